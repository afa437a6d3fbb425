// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Captions as the window manager shows them, and Qt's own texts in German, the save dialog's too.
#include "app/AddPagesFUnit.h"
#include "app/application_setup.h"
#include "app/save_dialog.h"
#include "support/qt_print.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

TEST(ApplicationSetup, CaptionsCarryNoApplicationNameAndQtsTextsAreGerman) {
    const ApplicationSetup setup;
    EXPECT_EQ(QCoreApplication::applicationName(), "Tavimo");
    // A display name of the application's own is appended to every caption; without one it
    // follows the application name.
    QCoreApplication::setApplicationName(QStringLiteral("probe"));
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "probe");
    QCoreApplication::setApplicationName(QStringLiteral("Tavimo"));
    EXPECT_EQ(TAddPagesForm().windowTitle(), "Videodateien hinzufügen (AVI,MPG)");

    ASSERT_TRUE(setup.qtTextsGerman()) << "is qt6-translations-l10n installed?";
    QTemporaryDir dir;
    const QString video = dir.filePath("clip.avi");
    ASSERT_TRUE(QFile(video).open(QFile::WriteOnly));
    const QFileSystemModel model;
    QStringList shown;
    for (int column = 0; column < 4; ++column)
        shown << model.headerData(column, Qt::Horizontal).toString();
    const QFileIconProvider types;
    shown << types.type(QFileInfo(dir.path())) << types.type(QFileInfo(video));
    EXPECT_EQ(shown,
              QStringList({"Name", "Größe", "Typ", "Änderungsdatum", "Verzeichnis", "AVI-Video"}));
}

// The real save dialog, German, started in the folder given with the name given, and answered.
TEST(SaveDialog, IsCaptionedBrowseAndProposesTheNameWithoutLeavingItsFolder) {
    const ApplicationSetup setup;
    QTemporaryDir dir;
    const QString folder = QDir(dir.path()).absolutePath();
    const struct {
        QString proposed;
        QString nameBox;
        QString answer; // null: cancel
        std::optional<QString> chosen;
    } cases[] = {
        // A name in the folder shows as its file part.
        {folder + "/new.mp3", "new.mp3", QString(), std::nullopt},
        // A folder that does not exist: the dialog stays, the name stays whole.
        {"/no/such/folder/x.wav", "/no/such/folder/x.wav", QString(), std::nullopt},
        {QString(), QString(), "my song", folder + "/my song.mp3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.proposed.toStdString());
        QStringList shown;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto* nameBox = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(nameBox, nullptr);
            shown << dialog->windowTitle() << dialog->directory().absolutePath() << nameBox->text();
            for (const QLabel* label : dialog->findChildren<QLabel*>())
                shown << label->text();
            for (const QPushButton* button : dialog->findChildren<QPushButton*>())
                shown << button->text();
            nameBox->setText(c.answer);
            QMetaObject::invokeMethod(dialog, c.answer.isNull() ? "reject" : "accept");
        });
        EXPECT_EQ(QtSaveFileDialog().execute(nullptr, {folder, c.proposed}), c.chosen);
        EXPECT_EQ(shown, QStringList({"Browse", folder, c.nameBox, "Suchen in:", "Datei&name:",
                                      "Dateien des Typs:", "S&peichern", "Abbrechen"}));
    }
}

} // namespace
