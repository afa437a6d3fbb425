#include "mcl_test.h"

#include "platform/mcl/mcl_texts.h"

#include <QFile>

#include <functional>

namespace {

// Every failure a user can meet, in English and with the window's translations.
TEST_F(MclTest, EveryStateComesOutInTheWindowsGerman) {
    const std::string missing = file("missing.avi"), badName = file("no/folder/out.wav");
    const std::string pcm = path(Fixture::PcmAvi), vanishing = file("vanishing.avi");
    const auto readAfterRemoval = [&](FfmpegMcl& m) {
        QFile::copy(QString::fromStdString(pcm), QString::fromStdString(vanishing));
        const MclHandle sound = m.MclSndCreate(), input = m.MclReadOpen(vanishing.c_str(), 0, 0, 0);
        m.MclReadSound(input, 1000, 10, sound);
        QFile::remove(QString::fromStdString(vanishing));
        m.MclReadSound(input, 0, 10, sound); // going back opens the file again
    };
    const auto abortRead = [&](FfmpegMcl& m) {
        const MclHandle sound = m.MclSndCreate(), input = m.MclReadOpen(pcm.c_str(), 0, 0, 0);
        m.MclAbort(input);
        m.MclReadSound(input, 0, 10, sound);
    };
    const struct Case {
        const char* english;
        const char* german;
        std::function<void(FfmpegMcl&)> provoke;
    } cases[] = {
        {"OK", "OK", [&](FfmpegMcl& m) { m.MclReadOpen(pcm.c_str(), 0, 0, 0); }},
        {"Invalid input file", "Ungültige Quelldatei",
         [&](FfmpegMcl& m) { m.MclReadOpen(missing.c_str(), 0, 0, 0); }},
        {"Error reading input file", "Fehler beim Lesen der Quelldatei", readAfterRemoval},
        {"Invalid output file name or format", "Üngültiger Zieldateiname oder Zieldateiformat",
         [&](FfmpegMcl& m) { m.MclAudioSetFileName(m.MclCreate(), badName.c_str()); }},
        {"Invalid output file name or format", "Üngültiger Zieldateiname oder Zieldateiformat",
         [](FfmpegMcl& m) { m.MclWriteSound(m.MclCreate(), m.MclSndCreate()); }},
        {"MCL output handle not created (use MclCreate)", "MCL Ausgabehandle nicht erstellt",
         [](FfmpegMcl& m) { m.MclWriteSound(4711, m.MclSndCreate()); }},
        {"Sound handle not allocated (use MclSndCreate)", "Sound Handle nicht erstellt",
         [&](FfmpegMcl& m) { m.MclReadSound(m.MclReadOpen(pcm.c_str(), 0, 0, 0), 0, 1, 4711); }},
        {"Conversion aborted by user", "Konvertierung abgebrochen", abortRead},
        {"Unknown error", "Unbekannter Fehler",
         [](FfmpegMcl& m) { m.MclReadSound(m.MclReadOpen("", 0, 0, 0), -1, 1, m.MclSndCreate()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.german);
        FfmpegMcl english, german;
        translateToGerman(german);
        c.provoke(english);
        c.provoke(german);
        EXPECT_STREQ(english.MclGetErrorStr(), c.english);
        EXPECT_EQ(german.MclGetErrorStr(), cp1252(c.german));
    }
}

TEST(MclTextsTest, MatchesWholeTextsAndTemplatesBeforeTheFileNameGoesIn) {
    MclTexts texts;
    texts.add("Invalid input file", "first");
    texts.add("Invalid input file", "second");
    texts.add("Die Datei \"%s\" existiert nicht!", cp1252("Datei »%s« fehlt"));
    EXPECT_EQ(texts.translate("Invalid input file"), "second");
    EXPECT_EQ(texts.translate("Invalid input"), "Invalid input");
    EXPECT_EQ(texts.translate("Die Datei \"%s\" existiert nicht!", "/tmp/Übung.avi"),
              cp1252("Datei »/tmp/Übung.avi« fehlt"));
}

} // namespace
