#include "form_fixture.h"

#include "app/AddPagesFUnit.h"
#include "app/add_files.h"
#include "shell/ShellList.h"
#include "shell/ShellTree.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

bool touch(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

QStringList itemNames(const ShellList& list) {
    QStringList names;
    for (const ShellListItem& item : list.items())
        names << item.ObjectName;
    return names;
}

// The main window with the add-files dialog on a folder of videos.
class SourceList : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        ASSERT_TRUE(videos.isValid());
        for (const char* name : {"b.AVI", "a.mpg", "c.Mp4", "notes.txt", "e.vob"})
            ASSERT_TRUE(touch(videos.filePath(QString::fromLatin1(name))));
        ASSERT_TRUE(QDir(videos.path()).mkdir("sub"));
        dialogForm = std::make_unique<TAddPagesForm>();
        AddPagesForm = dialogForm.get();
        ASSERT_TRUE(openFolder(videos.path(), 5));
    }
    void TearDown() override {
        AddPagesForm = nullptr;
        dialogForm.reset();
        FormTest::TearDown();
    }

    // Selects a folder in the tree and waits until the list shows its `count` items.
    bool openFolder(const QString& path, int count) {
        if (!dialogForm->ShellTree1->setSelectedFolder(path))
            return false;
        return QTest::qWaitFor([&] { return dialogForm->ShellList1->items().size() == count; },
                               30000) &&
               dialogForm->ShellList1->Folder() == QDir::cleanPath(path);
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

TEST_F(SourceList, ListsSubFoldersAndVideoFilesWhateverTheirLetterCase) {
    QStringList names = itemNames(*dialogForm->ShellList1);
    names.sort();
    EXPECT_EQ(names, QStringList({"a.mpg", "b.AVI", "c.Mp4", "e.vob", "sub"}));
}

TEST_F(SourceList, AddsTheSelectedFilesButNotFoldersInListOrderAfterTheEntries) {
    addSourceEntries({"/earlier.avi"});
    addThroughDialog({"c.Mp4", "sub", "a.mpg", "b.AVI"}, dialogForm->BitBtnXP1);
    QStringList expected{"/earlier.avi"};
    for (const ShellListItem& item : dialogForm->ShellList1->items()) {
        if (item.selected && !item.isFolder)
            expected << videos.path() + "/" + item.ObjectName;
    }
    EXPECT_EQ(expected.size(), 4);
    EXPECT_EQ(sourceEntries(), expected);
    QStringList files = sourceEntries().mid(1);
    files.sort();
    EXPECT_EQ(files, QStringList({videos.filePath("a.mpg"), videos.filePath("b.AVI"),
                                  videos.filePath("c.Mp4")}));
}

TEST_F(SourceList, AddingTheSameFileTwiceGivesTwoEntries) {
    addThroughDialog({"e.vob"}, dialogForm->BitBtnXP1);
    addThroughDialog({"e.vob"}, dialogForm->BitBtnXP1);
    EXPECT_EQ(sourceEntries(), QStringList({videos.filePath("e.vob"), videos.filePath("e.vob")}));
}

TEST_F(SourceList, CancelAddsNothing) {
    addThroughDialog({"a.mpg", "b.AVI"}, dialogForm->BitBtnXP2);
    EXPECT_TRUE(sourceEntries().isEmpty());
    EXPECT_EQ(dialogForm->result(), QDialog::Rejected);
}

TEST_F(SourceList, TheDialogKeepsItsFolderBetweenUses) {
    addThroughDialog({}, dialogForm->BitBtnXP1);
    EXPECT_TRUE(sourceEntries().isEmpty()); // nothing selected, nothing reported
    EXPECT_EQ(dialogForm->ShellTree1->SelectedFolder(), QDir::cleanPath(videos.path()));
    addThroughDialog({"a.mpg"}, dialogForm->BitBtnXP1);
    EXPECT_EQ(sourceEntries(), QStringList{videos.filePath("a.mpg")});
}

TEST_F(SourceList, DesktopEntriesComeFromTheDesktopFolder) {
    // A home of our own, so the desktop folder is one the test controls.
    const QByteArray home = qgetenv("HOME");
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    QTemporaryDir fakeHome;
    qputenv("HOME", QFile::encodeName(fakeHome.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(fakeHome.filePath(".config")));
    ASSERT_TRUE(QDir(fakeHome.path()).mkdir("Desktop"));
    ASSERT_TRUE(touch(fakeHome.filePath("Desktop/clip.avi")));

    dialogForm->ShellTree1->setSpecialFolder(SF_DESKTOP);
    EXPECT_TRUE(dialogForm->ShellTree1->SelectedFolder().isEmpty());
    EXPECT_EQ(dialogForm->ShellTree1->SpecialFolder(), SF_DESKTOP);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return dialogForm->ShellList1->items().size() == 1; }, 30000));
    addThroughDialog({"clip.avi"}, dialogForm->BitBtnXP1);
    EXPECT_EQ(sourceEntries(), QStringList{fakeHome.filePath("Desktop/clip.avi")});

    qputenv("HOME", home);
    if (config.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", config);
}

TEST_F(SourceList, TheRootGetsNoSecondSeparator) {
    dialogForm->ShellTree1->setSpecialFolder(SF_DRIVES);
    const ShellTree& tree = *dialogForm->ShellTree1;
    EXPECT_EQ(tree.SelectedFolder(), "/");
    EXPECT_EQ(tree.SpecialFolder(), SF_DRIVES);
    EXPECT_EQ(dialogForm->ShellList1->Folder(), "/");
    // The entries read "/" and the bare name.
    EXPECT_EQ(addFilesFolder(tree.SelectedFolder(), tree.SpecialFolder()), "/");
}

TEST_F(SourceList, DeleteRemovesTheSelectedEntriesAndKeepsTheOrder) {
    addSourceEntries({"1", "2", "3", "4", "5"});
    form->DeleteBtn->click(); // nothing selected
    EXPECT_EQ(sourceEntries(), QStringList({"1", "2", "3", "4", "5"}));
    form->ListView1->topLevelItem(1)->setSelected(true);
    form->ListView1->topLevelItem(3)->setSelected(true);
    form->DeleteBtn->click();
    EXPECT_EQ(sourceEntries(), QStringList({"1", "3", "5"}));
}

TEST_F(SourceList, DialogLooksAsLaidOut) {
    EXPECT_EQ(dialogForm->windowTitle(), "Videodateien hinzufügen (AVI,MPG)");
    EXPECT_EQ(dialogForm->size(), QSize(696, 480));
    EXPECT_EQ(dialogForm->BitBtnXP1->text(), "Dateien hinzufügen");
    EXPECT_EQ(dialogForm->BitBtnXP1->geometry(), QRect(8, 8, 161, 25));
    EXPECT_TRUE(dialogForm->BitBtnXP1->isDefault());
    EXPECT_EQ(dialogForm->BitBtnXP2->text(), "Abbrechen");
    EXPECT_EQ(dialogForm->BitBtnXP2->geometry(), QRect(176, 8, 129, 25));
    EXPECT_EQ(dialogForm->Panel2->height(), 41);
    EXPECT_EQ(dialogForm->ShellList1->Filter(), "*.AVI;*.MPG;*.MPEG;*.MP2;*.MP4;*.vob");
    EXPECT_EQ(dialogForm->ShellList1->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_FALSE(dialogForm->isVisible());
}

} // namespace
