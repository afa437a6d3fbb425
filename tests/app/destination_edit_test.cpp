// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "form_fixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

using DestinationEdit = FormTest;

TEST_F(DestinationEdit, ButtonsTakeTheChosenNameQuotedAndZielBtnRefusesInvalidOnes) {
    QTemporaryDir dir;
    const QString existing = dir.filePath("old [1].mp3"); // read whole because it exists
    ASSERT_TRUE(QFile(existing).open(QIODevice::WriteOnly));
    const struct {
        bool zielBtn;
        QString chosen; // null: cancelled
        QString shown;  // null: the text stays
    } cases[] = {
        {true, QString(), QString()},
        {true, "/tmp/out.mp3", "/tmp/out.mp3"},
        {true, "/tmp/my song.mp3", "\"/tmp/my song.mp3\""},
        // The bracket after the first blank is not part of the name read: accepted.
        {true, "/tmp/my [1].wav", "\"/tmp/my [1].wav\""},
        {true, "/tmp/a[1].mp3", QString()},
        {true, "/tmp/b|c.mp3", QString()},
        {true, existing, QString()},
        {false, QString(), QString()},
        {false, "/tmp/a[1].mp3", "/tmp/a[1].mp3"},
        {false, "/tmp/x y/my song.wav", "\"/tmp/x y/my song.wav\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString() + (c.zielBtn ? " via ZielBtn" : " via browse"));
        boxes.clear();
        form->FilenameEdit1->setText("keep.mp3");
        dialog->answers = {c.chosen};
        if (c.zielBtn)
            form->ZielBtn->click();
        else
            form->FilenameEdit1->browseAction()->trigger();
        EXPECT_EQ(form->FilenameEdit1->text(), c.shown.isNull() ? "keep.mp3" : c.shown);
        decltype(boxes) refusal;
        if (c.shown.isNull() && !c.chosen.isNull())
            refusal = {{"Tavimo", "Ungültiger Dateiname - " + c.chosen + "."}};
        EXPECT_EQ(boxes, refusal);
    }
    EXPECT_EQ(form->FilenameEdit1->FileName(), "/tmp/x y/my song.wav");
    EXPECT_EQ(form->FilenameEdit1->dialogState().directory, "/tmp/x y");
}

TEST_F(DestinationEdit, ZielBtnOffersTheNameChosenLastNotTheTypedOne) {
    dialog->answers = {QStringLiteral("/tmp/first.mp3")};
    form->ZielBtn->click();
    form->FilenameEdit1->setText("/tmp/typed.wav");
    form->ZielBtn->click();
    ASSERT_EQ(dialog->shown.size(), 2u);
    EXPECT_TRUE(dialog->shown[0].fileName.isEmpty());
    EXPECT_EQ(dialog->shown[1].fileName, "/tmp/first.mp3");
}

TEST_F(DestinationEdit, BrowseStartsInTheTypedNamesFolderWhenItExistsAndProposesTheWholeName) {
    QTemporaryDir dir;
    const QString folder = QDir(dir.path()).absolutePath();
    dialog->answers = {QStringLiteral("/tmp/chosen.mp3")};
    form->ZielBtn->click();
    const struct {
        QString typed;
        QString directory; // null: not compared
        QString fileName;
    } cases[] = {
        // An invalid name leaves the last proposal.
        {"bad<name.mp3", QString(), "/tmp/chosen.mp3"},
        {dir.filePath("new.mp3"), folder, dir.filePath("new.mp3")},
        {'"' + dir.filePath("my song.wav") + '"', folder, dir.filePath("my song.wav")},
        // A folder that does not exist keeps the last one; the name keeps its folder.
        {"/no/such/folder/other.wav", folder, "/no/such/folder/other.wav"},
        {dir.path() + "/", folder, ""},
        {"relative.mp3", QDir::currentPath(), "relative.mp3"},
    };
    for (const auto& c : cases) {
        form->FilenameEdit1->setText(c.typed);
        form->FilenameEdit1->browseAction()->trigger();
        if (!c.directory.isNull()) {
            EXPECT_EQ(dialog->shown.back().directory, c.directory) << c.typed.toStdString();
        }
        EXPECT_EQ(dialog->shown.back().fileName, c.fileName) << c.typed.toStdString();
    }
}

} // namespace
