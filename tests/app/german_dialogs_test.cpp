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
#include <QHeaderView>
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

TEST(GermanDialogs, TheSaveDialogWritesSizesAndDatesInGermanAndCutsNoColumn) {
    const ApplicationSetup setup;
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("Aufnahmen"));
    QFile song(dir.filePath("song.mp3"));
    ASSERT_TRUE(song.open(QIODevice::WriteOnly));
    song.write(QByteArray(383 * 1024, 'x'));
    song.close();
    QStringList shown;
    bool columnsFit = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* details = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
        ASSERT_NE(details, nullptr);
        const auto row = [&](const QString& name) {
            QStringList texts;
            const QModelIndex root = details->rootIndex();
            for (int r = 0; r < details->model()->rowCount(root); ++r) {
                const QModelIndex entry = details->model()->index(r, 0, root);
                if (entry.data().toString() != name)
                    continue;
                for (int column = 1; column < 4; ++column)
                    texts << entry.siblingAtColumn(column).data().toString();
            }
            return texts;
        };
        // The folder is read in the background; its entries' details come a little later.
        if (!QTest::qWaitFor([&] { return row("song.mp3").value(0) == "383,00 KiB"; }, 30000))
            ADD_FAILURE() << "no German size";
        shown << row("song.mp3") << row("Aufnahmen");
        auto* places = dialog->findChild<QListView*>(QStringLiteral("sidebar"));
        if (!places)
            return ADD_FAILURE() << "no places";
        const auto fit = [&] {
            const QModelIndex root = details->rootIndex();
            for (int column = 1; column < 4; ++column) {
                int needed = details->header()->sectionSizeHint(column);
                for (int r = 0; r < details->model()->rowCount(root); ++r)
                    needed = std::max(
                        needed, details->sizeHintForIndex(details->model()->index(r, column, root))
                                    .width());
                if (details->header()->sectionSize(column) < needed)
                    return false;
            }
            // Also where a narrower width was saved from an earlier use.
            for (int r = 0; r < places->model()->rowCount(); ++r) {
                if (places->minimumWidth() <
                    places->sizeHintForIndex(places->model()->index(r, 0)).width())
                    return false;
            }
            return true;
        };
        // The columns follow their texts when the view next lays itself out.
        columnsFit = QTest::qWaitFor(fit, 5000);
        dialog->reject();
    });
    QtSaveFileDialog().execute(nullptr, {dir.path(), QString()});
    const QString date = QFileInfo(song).lastModified().toString("dd.MM.yy HH:mm");
    EXPECT_EQ(shown.mid(0, 1), QStringList{"383,00 KiB"});
    EXPECT_EQ(shown.value(2), date);
    EXPECT_EQ(shown.value(4), "Verzeichnis");
    EXPECT_TRUE(columnsFit);
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
