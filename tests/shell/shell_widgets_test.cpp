// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// The folder tree and file list; their filter is tested on the add-files dialog.
#include "shell/ShellLink.h"
#include "shell/ShellList.h"
#include "shell/ShellTree.h"

#include <QDir>
#include <QFile>
#include <QFileSystemModel>
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

TEST_F(ShellWidgets, TreeNamesTheSpecialFoldersAndShowsOnlyVisibleFolders) {
    EXPECT_EQ(tree.SelectedFolder(), "/"); // it opens at the computer's drives
    EXPECT_EQ(tree.SpecialFolder(), SF_DRIVES);
    tree.setSpecialFolder(SF_DESKTOP);
    EXPECT_TRUE(tree.SelectedFolder().isEmpty());
    EXPECT_EQ(tree.SpecialFolder(), SF_DESKTOP);
    tree.setSpecialFolder(SF_PERSONAL);
    EXPECT_EQ(tree.SelectedFolder(), QDir::homePath());
    EXPECT_FALSE(tree.setSelectedFolder(root + "/no such folder"));
    EXPECT_EQ(tree.SelectedFolder(), QDir::homePath());
    ASSERT_TRUE(tree.setSelectedFolder(root));
    EXPECT_EQ(tree.SelectedFolder(), root);
    EXPECT_EQ(tree.SpecialFolder(), SF_NONE);

    auto* model = qobject_cast<QFileSystemModel*>(tree.model());
    ASSERT_NE(model, nullptr);
    const QModelIndex index = model->index(root);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(index) >= 1; }, 30000));
    QStringList names;
    for (int row = 0; row < model->rowCount(index); ++row)
        names << model->fileName(model->index(row, 0, index));
    EXPECT_EQ(names, QStringList{"inner"});
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
