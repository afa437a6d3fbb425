// Qt's save dialog as the destination edit shows it.
#include "app/application_setup.h"
#include "app/save_dialog.h"
#include "support/qt_print.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// What the dialog showed.
struct Shown {
    QString title;
    QString directory;
    QString nameBox;
    QStringList texts; // its labels' and buttons' texts
};

class SaveDialog : public ::testing::Test {
protected:
    // Shows the dialog on `state`; `answer` (null: cancel) is typed into its name box and saved.
    std::optional<QString> run(const SaveDialogState& state, const QString& answer) {
        QTimer::singleShot(0, [this, answer] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto* nameBox = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(nameBox, nullptr);
            shown = {
                dialog->windowTitle(), dialog->directory().absolutePath(), nameBox->text(), {}};
            for (const QLabel* label : dialog->findChildren<QLabel*>())
                shown.texts << label->text();
            for (const QPushButton* button : dialog->findChildren<QPushButton*>())
                shown.texts << button->text();
            if (answer.isNull()) {
                dialog->reject();
                return;
            }
            nameBox->setText(answer);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        return QtSaveFileDialog().execute(nullptr, state);
    }

    const ApplicationSetup setup;
    QTemporaryDir dir;
    const QString folder = QDir(dir.path()).absolutePath();
    Shown shown;
};

TEST_F(SaveDialog, IsCaptionedBrowseAndSpeaksGerman) {
    EXPECT_EQ(run({folder, {}}, QString()), std::nullopt);
    EXPECT_EQ(shown.title, "Browse");
    for (const char* text :
         {"Suchen in:", "Datei&name:", "Dateien des Typs:", "S&peichern", "Abbrechen"})
        EXPECT_TRUE(shown.texts.contains(QString::fromUtf8(text)))
            << text << " in " << [&] { return shown.texts.join(" | ").toStdString(); }();
}

TEST_F(SaveDialog, StartsInTheFolderGivenAndProposesTheNameWithoutLeavingIt) {
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
        {QString(), QString(), "chosen", folder + "/chosen.mp3"},
        {folder + "/my song.wav", "my song.wav", "my song.wav", folder + "/my song.wav"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.proposed.toStdString());
        EXPECT_EQ(run({folder, c.proposed}, c.answer), c.chosen);
        EXPECT_EQ(shown.directory, folder);
        EXPECT_EQ(shown.nameBox, c.nameBox);
    }
}

} // namespace
