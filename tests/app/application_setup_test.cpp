// Captions as the window manager shows them, and Qt's own texts in German.
#include "form_fixture.h"

#include "app/AddPagesFUnit.h"
#include "app/application_setup.h"

#include <QFile>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QTemporaryDir>

namespace {

using Captions = FormTest;

TEST_F(Captions, AreTheWindowsOwnWithoutTheApplicationsName) {
    const ApplicationSetup setup;
    EXPECT_EQ(QCoreApplication::applicationName(), "Tavimo");
    // Window managers append a display name of the application's own to every caption; without
    // one it is the application name, and follows it.
    QCoreApplication::setApplicationName(QStringLiteral("probe"));
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "probe");
    QCoreApplication::setApplicationName(QStringLiteral("Tavimo"));

    EXPECT_EQ(form->windowTitle(), "Quorrel Tavimo 1.0");
    EXPECT_EQ(TAddPagesForm().windowTitle(), "Videodateien hinzufügen (AVI,MPG)");
    // The save dialog's caption is in the save dialog's tests.
}

TEST(QtTexts, AreGermanWhileTheSetupLives) {
    // English before and after, whatever the language of the machine running the test.
    const QLocale machine;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QTemporaryDir dir;
    const QString video = dir.filePath("clip.avi");
    ASSERT_TRUE(QFile(video).open(QFile::WriteOnly));
    QFileSystemModel model;
    const auto texts = [&] {
        QStringList shown;
        for (int column = 0; column < 4; ++column)
            shown << model.headerData(column, Qt::Horizontal).toString();
        const QFileIconProvider types;
        return shown << types.type(QFileInfo(dir.path())) << types.type(QFileInfo(video));
    };
    const QStringList english{"Name", "Size", "Type", "Date Modified", "Folder", "AVI video"};
    ASSERT_EQ(texts(), english);
    {
        const ApplicationSetup setup;
        ASSERT_TRUE(setup.qtTextsGerman()) << "is qt6-translations-l10n installed?";
        EXPECT_EQ(texts(), QStringList({"Name", "Größe", "Typ", "Änderungsdatum", "Verzeichnis",
                                        "AVI-Video"}));
    }
    EXPECT_EQ(texts(), english);
    QLocale::setDefault(machine);
}

} // namespace
