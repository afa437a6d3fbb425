#include "shell/ShellLink.h"
#include "shell/ShellList.h"
#include "shell/ShellTree.h"

#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

bool touch(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

QStringList sortedNames(const ShellList& list) {
    QStringList names;
    for (const ShellListItem& item : list.items())
        names << item.ObjectName;
    names.sort();
    return names;
}

class ShellWidgets : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        root = QDir::cleanPath(folder.path());
    }

    bool waitForItems(const ShellList& list, int count) {
        return QTest::qWaitFor([&] { return list.items().size() == count; }, 30000);
    }

    QTemporaryDir folder;
    QString root;
};

TEST_F(ShellWidgets, ListMatchesTheMasksWithoutRegardToCase) {
    const struct {
        const char* name;
        bool listed;
    } files[] = {
        {"upper.AVI", true}, {"lower.avi", true},  {"mixed.MpEg", true},   {"clip.mpg", true},
        {"song.mp2", true},  {"film.mp4", true},   {"dvd.VOB", true},      {"notes.txt", false},
        {"avi", false},      {"x.avi.bak", false}, {".hidden.avi", false},
    };
    QStringList expected;
    for (const auto& f : files) {
        ASSERT_TRUE(touch(folder.filePath(QString::fromLatin1(f.name))));
        if (f.listed)
            expected << QString::fromLatin1(f.name);
    }
    // Folders are listed whatever their names, hidden ones are not.
    ASSERT_TRUE(QDir(root).mkdir("folder.txt"));
    ASSERT_TRUE(QDir(root).mkdir(".hidden"));
    expected << "folder.txt";
    expected.sort();

    ShellList list;
    list.setFilter("*.AVI;*.MPG;*.MPEG;*.MP2;*.MP4;*.vob");
    list.setFolder(root);
    ASSERT_TRUE(waitForItems(list, expected.size())) << list.items().size();
    EXPECT_EQ(sortedNames(list), expected);
    for (const ShellListItem& item : list.items()) {
        EXPECT_EQ(item.isFolder, item.ObjectName == "folder.txt");
        EXPECT_FALSE(item.selected);
    }
}

TEST_F(ShellWidgets, ListSelectsSeveralItems) {
    for (const char* name : {"a.avi", "b.avi", "c.avi"})
        ASSERT_TRUE(touch(folder.filePath(QString::fromLatin1(name))));
    ShellList list;
    list.setFilter("*.AVI");
    list.setFolder(root);
    ASSERT_TRUE(waitForItems(list, 3));
    list.selectItems({"a.avi", "c.avi"});
    QStringList selected;
    for (const ShellListItem& item : list.items()) {
        if (item.selected)
            selected << item.ObjectName;
    }
    selected.sort();
    EXPECT_EQ(selected, QStringList({"a.avi", "c.avi"}));
}

TEST_F(ShellWidgets, TreeNamesTheSpecialFolders) {
    ShellTree tree;
    // It opens at the computer's drives.
    EXPECT_EQ(tree.SelectedFolder(), QDir::rootPath());
    EXPECT_EQ(tree.SpecialFolder(), SF_DRIVES);

    tree.setSpecialFolder(SF_DESKTOP);
    EXPECT_TRUE(tree.SelectedFolder().isEmpty());
    EXPECT_EQ(tree.SpecialFolder(), SF_DESKTOP);

    ASSERT_TRUE(tree.setSelectedFolder(root));
    EXPECT_EQ(tree.SelectedFolder(), root);
    EXPECT_EQ(tree.SpecialFolder(), SF_NONE);

    tree.setSpecialFolder(SF_PERSONAL);
    EXPECT_EQ(tree.SelectedFolder(), QDir::homePath());
    EXPECT_FALSE(tree.setSelectedFolder(root + "/no such folder"));
    EXPECT_EQ(tree.SelectedFolder(), QDir::homePath());
}

TEST_F(ShellWidgets, TreeShowsFoldersOnlyAndNoHiddenOnes) {
    ASSERT_TRUE(QDir(root).mkdir("visible"));
    ASSERT_TRUE(QDir(root).mkdir(".hidden"));
    ASSERT_TRUE(touch(folder.filePath("file.avi")));
    ShellTree tree;
    ASSERT_TRUE(tree.setSelectedFolder(root));
    auto* model = qobject_cast<QFileSystemModel*>(tree.model());
    ASSERT_NE(model, nullptr);
    const QModelIndex index = model->index(root);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(index) >= 1; }, 30000));
    QStringList names;
    for (int row = 0; row < model->rowCount(index); ++row)
        names << model->fileName(model->index(row, 0, index));
    EXPECT_EQ(names, QStringList{"visible"});
}

TEST_F(ShellWidgets, LinkKeepsListAndTreeOnOneFolder) {
    ASSERT_TRUE(QDir(root).mkdir("inner"));
    ASSERT_TRUE(touch(folder.filePath("inner/x.avi")));
    ShellTree tree;
    ShellList list;
    list.setFilter("*.AVI");
    ShellLink link(&tree, &list);
    EXPECT_EQ(list.Folder(), QDir::rootPath());

    ASSERT_TRUE(tree.setSelectedFolder(root));
    EXPECT_EQ(list.Folder(), root);
    ASSERT_TRUE(waitForItems(list, 1));

    // Opening a folder in the list moves the tree, and the list follows the tree.
    emit list.folderOpened(root + "/inner");
    EXPECT_EQ(tree.SelectedFolder(), root + "/inner");
    EXPECT_EQ(list.Folder(), root + "/inner");
    ASSERT_TRUE(waitForItems(list, 1));
    EXPECT_EQ(list.items().first().ObjectName, "x.avi");

    // The desktop shows the folder that holds the desktop's files.
    tree.setSpecialFolder(SF_DESKTOP);
    EXPECT_EQ(list.Folder(), ShellFolderPath(SF_DESKTOPDIRECTORY));
}

TEST_F(ShellWidgets, DoubleClickOnAFolderOpensIt) {
    ASSERT_TRUE(QDir(root).mkdir("inner"));
    ShellList list;
    list.setFilter("*.AVI");
    list.resize(400, 300);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    list.setFolder(root);
    ASSERT_TRUE(waitForItems(list, 1));
    QSignalSpy opened(&list, &ShellList::folderOpened);
    const QModelIndex index = list.model()->index(0, 0, list.rootIndex());
    const QPoint centre = list.visualRect(index).center();
    // A double click is a press and a release followed by the double-click event.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, centre);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first().first().toString(), root + "/inner");
}

TEST(ShellFolders, HaveTheirPathsOnThisPlatform) {
    EXPECT_EQ(ShellFolderPath(SF_DRIVES), "/");
    EXPECT_EQ(ShellFolderPath(SF_PERSONAL), QDir::homePath());
    EXPECT_TRUE(ShellFolderPath(SF_DESKTOP).isEmpty());
    EXPECT_TRUE(ShellFolderPath(SF_NONE).isEmpty());
    EXPECT_TRUE(QFileInfo(ShellFolderPath(SF_DESKTOPDIRECTORY)).isDir());
}

} // namespace
