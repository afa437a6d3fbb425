// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "form_fixture.h"

#include "app/AddPagesFUnit.h"
#include "shell/ShellList.h"
#include "shell/ShellTree.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// The main window with the add-files dialog on a folder of videos.
class SourceList : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        for (const char* name : {"b.AVI", "a.mpg", "c.Mp4", "e.vob", "f.MpEg", "g.mp2", "notes.txt",
                                 "avi", "x.avi.bak", ".hidden.avi"})
            ASSERT_TRUE(QFile(videos.filePath(QString::fromLatin1(name))).open(QFile::WriteOnly));
        ASSERT_TRUE(QDir(videos.path()).mkdir("sub.txt"));
        ASSERT_TRUE(QDir(videos.path()).mkdir(".hidden"));
        dialogForm = std::make_unique<TAddPagesForm>();
        AddPagesForm = dialogForm.get();
        ASSERT_TRUE(dialogForm->ShellTree1->setSelectedFolder(videos.path()));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return dialogForm->ShellList1->items().size() == 7; }, 30000));
    }
    void TearDown() override {
        AddPagesForm = nullptr;
        dialogForm.reset();
        FormTest::TearDown();
    }

    // Presses the add button; the modal dialog selects `names` and closes with `button`.
    void addThroughDialog(const QStringList& names, QPushButton* button) {
        QTimer::singleShot(0, dialogForm.get(), [this, names, button] {
            dialogForm->ShellList1->selectItems(names);
            button->click();
        });
        form->AddBtn->click();
    }

    QTemporaryDir videos;
    std::unique_ptr<TAddPagesForm> dialogForm;
};

TEST_F(SourceList, ListsFoldersAndVideoFilesWhateverTheirLetterCaseButNothingHidden) {
    QStringList names;
    for (const ShellListItem& item : dialogForm->ShellList1->items()) {
        names << item.ObjectName;
        EXPECT_EQ(item.isFolder, item.ObjectName == "sub.txt");
    }
    names.sort();
    EXPECT_EQ(names,
              QStringList({"a.mpg", "b.AVI", "c.Mp4", "e.vob", "f.MpEg", "g.mp2", "sub.txt"}));
}

TEST_F(SourceList, AddsTheSelectedFilesButNotFoldersInListOrderAfterTheEntries) {
    addSourceEntries({"/earlier.avi"});
    addThroughDialog({"c.Mp4", "sub.txt", "a.mpg", "b.AVI"}, dialogForm->BitBtnXP1);
    QStringList expected{"/earlier.avi"};
    for (const ShellListItem& item : dialogForm->ShellList1->items()) {
        if (item.selected && !item.isFolder)
            expected << videos.filePath(item.ObjectName);
    }
    ASSERT_EQ(expected.size(), 4);
    EXPECT_EQ(sourceEntries(), expected);
}

TEST_F(SourceList, CancelAndEmptySelectionsAddNothingAndTheSameFileMayComeTwice) {
    addThroughDialog({"a.mpg", "b.AVI"}, dialogForm->BitBtnXP2);
    addThroughDialog({}, dialogForm->BitBtnXP1);
    EXPECT_TRUE(sourceEntries().isEmpty());
    addThroughDialog({"e.vob"}, dialogForm->BitBtnXP1); // the dialog kept its folder
    addThroughDialog({"e.vob"}, dialogForm->BitBtnXP1);
    EXPECT_EQ(sourceEntries(), QStringList({videos.filePath("e.vob"), videos.filePath("e.vob")}));
}

using ShownNames = FormTest;

TEST_F(ShownNames, AnEntryShowsTheControlCharactersOfItsNameAndKeepsTheName) {
    const QString name = QStringLiteral("/v/a\x1b[2J\nb.avi");
    form->appendSources({name});
    EXPECT_EQ(sourceEntries(), QStringList{name});
    const QModelIndex entry = form->ListView1->model()->index(0, 0);
    auto* delegate = static_cast<QStyledItemDelegate*>(form->ListView1->itemDelegate());
    EXPECT_EQ(delegate->displayText(entry.data(), QLocale()),
              QStringLiteral("/v/a\\x1b[2J\\nb.avi"));
}

} // namespace
