#include "form_fixture.h"

#include "app/FilenameEdit.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

using DestinationEdit = FormTest;

TEST_F(DestinationEdit, ZielBtnCancelledChangesNothing) {
    form->FilenameEdit1->setText("typed.mp3");
    dialog->answers = {QString()};
    form->ZielBtn->click();
    EXPECT_EQ(form->FilenameEdit1->text(), "typed.mp3");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DestinationEdit, ZielBtnTakesTheChosenNameAndQuotesOneWithABlank) {
    const struct {
        QString chosen;
        QString shown;
        QString read;
    } cases[] = {
        {"/tmp/out.mp3", "/tmp/out.mp3", "/tmp/out.mp3"},
        {"/tmp/my song.mp3", "\"/tmp/my song.mp3\"", "/tmp/my song.mp3"},
        // The bracket after the first blank is not part of the name read: accepted.
        {"/tmp/my [1].wav", "\"/tmp/my [1].wav\"", "/tmp/my [1].wav"},
    };
    for (const auto& c : cases) {
        dialog->answers = {c.chosen};
        form->ZielBtn->click();
        EXPECT_EQ(form->FilenameEdit1->text(), c.shown);
        EXPECT_EQ(form->FilenameEdit1->FileName(), c.read);
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DestinationEdit, ZielBtnOffersTheNameChosenLastNotTheTypedOne) {
    dialog->answers = {QStringLiteral("/tmp/first.mp3"), QString()};
    form->ZielBtn->click();
    form->FilenameEdit1->setText("/tmp/typed.wav");
    form->ZielBtn->click();
    ASSERT_EQ(dialog->shown.size(), 2u);
    EXPECT_TRUE(dialog->shown[0].fileName.isEmpty());
    EXPECT_EQ(dialog->shown[1].fileName, "/tmp/first.mp3");
    EXPECT_EQ(form->FilenameEdit1->text(), "/tmp/typed.wav");
}

TEST_F(DestinationEdit, ZielBtnRefusesABracketWithTheErrorBox) {
    QTemporaryDir dir;
    const QString existing = dir.filePath("old [1].mp3"); // read whole: it exists
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    for (const QString& chosen :
         {QStringLiteral("/tmp/a[1].mp3"), QStringLiteral("/tmp/b|c.mp3"), existing}) {
        boxes.clear();
        form->FilenameEdit1->setText("keep.mp3");
        dialog->answers = {chosen};
        form->ZielBtn->click();
        EXPECT_EQ(form->FilenameEdit1->text(), "keep.mp3");
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "Tavimo");
        EXPECT_EQ(boxes[0].text, "Ungültiger Dateiname - " + chosen + ".");
    }
}

TEST_F(DestinationEdit, BrowseAcceptsTheNameZielBtnRefuses) {
    dialog->answers = {QStringLiteral("/tmp/a[1].mp3")};
    form->FilenameEdit1->browseAction()->trigger();
    EXPECT_EQ(form->FilenameEdit1->text(), "/tmp/a[1].mp3");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DestinationEdit, BrowseQuotesANameWithABlankAndStartsNextTimeInItsFolder) {
    dialog->answers = {QStringLiteral("/tmp/x y/my song.wav")};
    form->FilenameEdit1->browseAction()->trigger();
    EXPECT_EQ(form->FilenameEdit1->text(), "\"/tmp/x y/my song.wav\"");
    EXPECT_EQ(form->FilenameEdit1->FileName(), "/tmp/x y/my song.wav");
    EXPECT_EQ(form->FilenameEdit1->dialogState().directory, "/tmp/x y");
}

TEST_F(DestinationEdit, BrowseCancelledLeavesTheText) {
    form->FilenameEdit1->setText("typed.mp3");
    dialog->answers = {QString()};
    form->FilenameEdit1->browseAction()->trigger();
    EXPECT_EQ(form->FilenameEdit1->text(), "typed.mp3");
}

TEST_F(DestinationEdit, BrowseProposesTheTypedNameInItsFolder) {
    QTemporaryDir dir;
    form->FilenameEdit1->setText(dir.filePath("new.mp3"));
    form->FilenameEdit1->browseAction()->trigger();
    ASSERT_EQ(dialog->shown.size(), 1u);
    EXPECT_EQ(dialog->shown[0].directory, QDir(dir.path()).absolutePath());
    EXPECT_EQ(dialog->shown[0].fileName, "new.mp3");

    // A folder that does not exist leaves the starting folder; the name is still proposed.
    form->FilenameEdit1->setText("/no/such/folder/other.wav");
    form->FilenameEdit1->browseAction()->trigger();
    EXPECT_EQ(dialog->shown[1].directory, QDir(dir.path()).absolutePath());
    EXPECT_EQ(dialog->shown[1].fileName, "other.wav");

    // A name ending in a separator has no file part: nothing is proposed.
    form->FilenameEdit1->setText(dir.path() + "/");
    form->FilenameEdit1->browseAction()->trigger();
    EXPECT_TRUE(dialog->shown[2].fileName.isEmpty());
}

TEST_F(DestinationEdit, BrowseKeepsTheProposalForAnInvalidName) {
    dialog->answers = {QStringLiteral("/tmp/chosen.mp3")};
    form->ZielBtn->click();
    form->FilenameEdit1->setText("bad<name.mp3");
    form->FilenameEdit1->browseAction()->trigger();
    ASSERT_EQ(dialog->shown.size(), 2u);
    EXPECT_EQ(dialog->shown[1].fileName, "/tmp/chosen.mp3");
    EXPECT_EQ(form->FilenameEdit1->text(), "bad<name.mp3");
}

} // namespace
