// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// The folder tree and file list; their filter is tested on the add-files dialog.
#include "shell/ShellLink.h"
#include "shell/ShellList.h"
#include "shell/ShellTree.h"
#include "shell/folder_tree_model.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QStandardItem>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class ShellWidgets : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"inner", ".hidden"})
            ASSERT_TRUE(QDir(root).mkdir(QString::fromLatin1(folder)));
        ASSERT_TRUE(QFile(root + "/inner/x.avi").open(QFile::WriteOnly));
        list.setFilter("*.AVI");
    }
    bool waitForItems(int count) {
        return QTest::qWaitFor([&] { return list.items().size() == count; }, 30000);
    }

    QTemporaryDir dir;
    const QString root = QDir::cleanPath(dir.path());
    ShellTree tree;
    ShellList list;
};

TEST_F(ShellWidgets, TreeIsRootedAtTheDesktopAndShowsOnlyVisibleFolders) {
    auto* model = qobject_cast<FolderTreeModel*>(tree.model());
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->desktop()->text(), "Desktop");
    QStringList places;
    for (const QStandardItem* place : model->places()) {
        places << FolderTreeModel::path(place);
        EXPECT_FALSE(place->icon().isNull()) << place->text().toStdString();
    }
    EXPECT_EQ(places.mid(0, 1), QStringList{QDir::homePath()});
    EXPECT_TRUE(places.contains("/"));
    EXPECT_EQ(tree.SelectedFolder(), "/"); // it opens at the file system
    EXPECT_EQ(tree.SpecialFolder(), SF_DRIVES);
    tree.setSpecialFolder(SF_DESKTOP);
    EXPECT_EQ(tree.currentIndex(), model->desktop()->index());
    EXPECT_TRUE(tree.SelectedFolder().isEmpty());
    EXPECT_EQ(tree.SpecialFolder(), SF_DESKTOP);
    tree.setSpecialFolder(SF_PERSONAL);
    EXPECT_EQ(tree.SelectedFolder(), QDir::homePath());
    EXPECT_EQ(tree.currentIndex().parent(), model->desktop()->index());
    EXPECT_FALSE(tree.setSelectedFolder(root + "/no such folder"));
    EXPECT_FALSE(tree.setSelectedFolder(root + "/.hidden"));
    EXPECT_EQ(tree.SelectedFolder(), QDir::homePath());
    ASSERT_TRUE(tree.setSelectedFolder(root));
    EXPECT_EQ(tree.SelectedFolder(), root);
    EXPECT_EQ(tree.SpecialFolder(), SF_NONE);

    const auto subFolders = [&] {
        QStringList names;
        const QModelIndex index = tree.currentIndex();
        for (int row = 0; row < model->rowCount(index); ++row)
            names << model->index(row, 0, index).data().toString();
        return names;
    };
    EXPECT_EQ(subFolders(), QStringList{"inner"});
    // A folder made meanwhile shows when its parent is opened again.
    ASSERT_TRUE(QDir(root).mkdir("later"));
    tree.collapse(tree.currentIndex());
    tree.expand(tree.currentIndex());
    EXPECT_EQ(subFolders(), QStringList({"inner", "later"}));

    // Folders made and removed beside the selected one, before and after it, leave the
    // selection where it is.
    for (const char* name : {"a", "m", "z"})
        ASSERT_TRUE(QDir(root).mkdir(QString::fromLatin1(name)));
    const QModelIndex top = tree.currentIndex();
    tree.collapse(top);
    tree.expand(top);
    ASSERT_TRUE(tree.setSelectedFolder(root + "/m"));
    for (const char* name : {"a", "z"})
        ASSERT_TRUE(QDir(root).rmdir(QString::fromLatin1(name)));
    for (const char* name : {"b", "y"})
        ASSERT_TRUE(QDir(root).mkdir(QString::fromLatin1(name)));
    tree.collapse(top);
    tree.expand(top);
    EXPECT_EQ(tree.SelectedFolder(), root + "/m");
    // The selected folder itself gone: the selection goes up to the folder that held it.
    ASSERT_TRUE(QDir(root).rmdir("m"));
    tree.collapse(top);
    tree.expand(top);
    EXPECT_EQ(tree.SelectedFolder(), root);
    EXPECT_EQ(subFolders(), QStringList({"b", "inner", "later", "y"}));
}

TEST_F(ShellWidgets, ListShowsSizesAndDatesInTheProgramsLocaleWithIcons) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QFile video(root + "/inner/x.avi");
    ASSERT_TRUE(video.open(QFile::WriteOnly));
    video.write(QByteArray(383 * 1024, 'x'));
    video.close();
    list.setFolder(root + "/inner");
    ASSERT_TRUE(waitForItems(1));
    const QModelIndex entry = list.model()->index(0, 0, list.rootIndex());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return entry.siblingAtColumn(1).data().toString() == "383,00 KiB"; }, 30000))
        << entry.siblingAtColumn(1).data().toString().toStdString();
    const QDateTime modified = QFileInfo(video).lastModified();
    EXPECT_EQ(entry.siblingAtColumn(3).data().toString(), modified.toString("dd.MM.yy HH:mm"));
    EXPECT_FALSE(entry.data(Qt::DecorationRole).value<QIcon>().isNull());
    QLocale::setDefault(previous);
}

TEST_F(ShellWidgets, LinkKeepsListAndTreeOnOneFolderAndADoubleClickOpensOne) {
    ShellLink link(&tree, &list);
    EXPECT_EQ(list.Folder(), "/");
    ASSERT_TRUE(tree.setSelectedFolder(root));
    EXPECT_EQ(list.Folder(), root);
    ASSERT_TRUE(waitForItems(1)); // the folder "inner" alone
    list.resize(400, 300);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    const QPoint centre = list.visualRect(list.model()->index(0, 0, list.rootIndex())).center();
    // A double click is a press and a release followed by the double-click event.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, centre);
    // The list asks the tree to move, and follows it.
    EXPECT_EQ(tree.SelectedFolder(), root + "/inner");
    EXPECT_EQ(list.Folder(), root + "/inner");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !list.items().isEmpty() && list.items().first().ObjectName == "x.avi"; },
        30000));
    // The desktop shows the folder that holds the desktop's files.
    tree.setSpecialFolder(SF_DESKTOP);
    EXPECT_EQ(list.Folder(), ShellFolderPath(SF_DESKTOPDIRECTORY));
    EXPECT_TRUE(QFileInfo(list.Folder()).isDir());
}

} // namespace
