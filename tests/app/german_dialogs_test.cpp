// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// The dialogs speak German with German numbers and dates, and cut none of their texts.
#include "app/FilenameEdit.h"
#include "app/application_setup.h"
#include "app/error_box.h"
#include "app/save_dialog.h"
#include "shell/ShellList.h"
#include "support/qt_print.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QIcon>
#include <QListView>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

TEST(GermanDialogs, TheBrowseButtonSaysDurchsuchen) {
    const TFilenameEdit edit;
    EXPECT_EQ(edit.browseAction()->toolTip(), "Durchsuchen");
    EXPECT_EQ(edit.browseAction()->text(), "Durchsuchen");
}

TEST(GermanDialogs, TheSaveDialogWritesSizesAndDatesInGermanAndCutsNoPlace) {
    const ApplicationSetup setup;
    QTemporaryDir dir;
    QFile song(dir.filePath("song.mp3"));
    ASSERT_TRUE(song.open(QIODevice::WriteOnly));
    song.write(QByteArray(383 * 1024, 'x'));
    song.close();
    QStringList shown;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* details = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
        const auto column = [details](int c) {
            return details->model()->index(0, c, details->rootIndex()).data().toString();
        };
        // The folder is read in the background; the entry's details come a little later.
        (void)QTest::qWaitFor([&] { return column(1) == "383,00 KiB"; });
        shown << column(1) << column(3);
        // "Computer" and home, whatever narrower width an earlier use saved.
        auto* places = dialog->findChild<QListView*>(QStringLiteral("sidebar"));
        for (int r = 0; r < places->model()->rowCount(); ++r)
            if (places->minimumWidth() <
                places->sizeHintForIndex(places->model()->index(r, 0)).width())
                shown << "cut: " + places->model()->index(r, 0).data().toString();
        dialog->reject();
    });
    QtSaveFileDialog().execute(nullptr, {dir.path(), QString()});
    EXPECT_EQ(shown, QStringList({"383,00 KiB",
                                  QFileInfo(song).lastModified().toString("dd.MM.yy HH:mm")}));
}

TEST(GermanDialogs, TheFileListShowsTheThemesIconsWithoutADesktopSession) {
    const ApplicationSetup setup;
    ASSERT_TRUE(QIcon::hasThemeIcon("folder"))
        << "is an icon theme (adwaita-icon-theme) installed?";
    QTemporaryDir dir;
    ASSERT_TRUE(QFile(dir.filePath("clip.avi")).open(QIODevice::WriteOnly));
    ShellList list;
    list.setFolder(dir.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.items().size() == 1; }, 30000));
    const QModelIndex clip = list.model()->index(0, 0, list.rootIndex());
    EXPECT_EQ(clip.data(Qt::DecorationRole).value<QIcon>().name(), "video-x-generic");
}

TEST(GermanDialogs, MessageBoxesAreWideEnoughForTheirCaption) {
    QMessageBox box(QMessageBox::Critical, "Tavimo", "Disk full.", QMessageBox::Ok);
    const int narrow = box.sizeHint().width();
    widenForCaption(box);
    QFont bold = box.font();
    bold.setBold(true);
    // The caption with the title bar's icon and three buttons beside it.
    EXPECT_GE(box.sizeHint().width(), QFontMetrics(bold).horizontalAdvance("Tavimo") + 4 * 24);
    EXPECT_GT(box.sizeHint().width(), narrow);
}

} // namespace
