#include "mcl_fixtures.h"

#include "platform/mcl/mcl_texts.h"

#include <gtest/gtest.h>

#include <functional>

using namespace mcltest;

namespace {

// Every failure a user can meet, and the text it shows once the window's translations are in.
TEST(MclErrorTextTest, EveryStateComesOutInTheWindowsGerman) {
    QTemporaryDir dir;
    const std::string missing = dir.filePath("missing.avi").toStdString();
    const std::string badName = dir.filePath("no/such/folder/out.wav").toStdString();
    struct Case {
        const char* english;
        const char* german;
        std::function<void(FfmpegMcl&)> provoke;
    };
    const Case cases[] = {
        {"OK", "OK", [](FfmpegMcl& m) { m.MclSndCreate(); }},
        {"Invalid input file", "Ungültige Quelldatei",
         [&](FfmpegMcl& m) { m.MclReadOpen(missing.c_str(), 0, 0, 0); }},
        {"Invalid output file name or format", "Üngültiger Zieldateiname oder Zieldateiformat",
         [&](FfmpegMcl& m) { m.MclAudioSetFileName(m.MclCreate(), badName.c_str()); }},
        {"Invalid output file name or format", "Üngültiger Zieldateiname oder Zieldateiformat",
         [](FfmpegMcl& m) { m.MclWriteSound(m.MclCreate(), m.MclSndCreate()); }},
        {"MCL output handle not created (use MclCreate)", "MCL Ausgabehandle nicht erstellt",
         [](FfmpegMcl& m) { m.MclWriteSound(4711, m.MclSndCreate()); }},
        {"MCL output handle not created (use MclCreate)", "MCL Ausgabehandle nicht erstellt",
         [](FfmpegMcl& m) { m.MclAudioSetFileName(0, "x.wav"); }},
        {"Sound handle not allocated (use MclSndCreate)", "Sound Handle nicht erstellt",
         [](FfmpegMcl& m) { m.MclWriteSound(m.MclCreate(), 4711); }},
        {"Sound handle not allocated (use MclSndCreate)", "Sound Handle nicht erstellt",
         [&](FfmpegMcl& m) { m.MclReadSound(m.MclReadOpen(missing.c_str(), 0, 0, 0), 0, 1, 0); }},
        {"Conversion aborted by user", "Konvertierung abgebrochen",
         [&](FfmpegMcl& m) {
             const MclHandle sound = m.MclSndCreate();
             const MclHandle input = m.MclReadOpen(missing.c_str(), 0, 0, 0);
             m.MclAbort(input);
             m.MclReadSound(input, 0, 1, sound);
         }},
        {"Unknown error", "Unbekannter Fehler",
         [](FfmpegMcl& m) { m.MclReadSound(m.MclReadOpen("", 0, 0, 0), -1, 1, m.MclSndCreate()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.german);
        FfmpegMcl english;
        c.provoke(english);
        EXPECT_STREQ(english.MclGetErrorStr(), c.english);
        FfmpegMcl german;
        translateToGerman(german);
        c.provoke(german);
        EXPECT_EQ(german.MclGetErrorStr(), cp1252(c.german));
    }
}

TEST(MclTextsTest, LooksUpWholeTextsAndTemplatesBeforeTheFileNameGoesIn) {
    MclTexts texts;
    texts.add("Invalid input file", "first");
    texts.add("Invalid input file", cp1252("Ungültige Quelldatei"));
    texts.add("Die Datei \"%s\" existiert nicht!", "Fehlt: %s");
    texts.add("Datei Informationen", "");

    EXPECT_EQ(texts.translate("Invalid input file"), cp1252("Ungültige Quelldatei"));
    EXPECT_EQ(texts.translate("Invalid input"), "Invalid input") << "only whole texts match";
    EXPECT_EQ(texts.translate("Die Datei \"%s\" existiert nicht!", "/tmp/Übung.avi"),
              cp1252("Fehlt: /tmp/Übung.avi"));
    EXPECT_EQ(texts.translate("Die Datei \"%s\" nicht", "a.avi"), "Die Datei \"a.avi\" nicht");
    EXPECT_EQ(texts.translate("Datei Informationen"), "");
    EXPECT_STREQ(MclTexts::english(MclError::Ok), "OK");
}

} // namespace
