// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "mcl_test.h"

#include "common/cp1252.h"
#include "pipeline/mcl_translations.h"
#include "platform/mcl/mcl_texts.h"

#include <QFile>

#include <functional>

namespace {

// Every state a user can meet, in English and with the window's translations.
TEST_F(MclTest, EveryStateComesOutInTheWindowsGerman) {
    const std::string pcm = path(Fixture::PcmAvi), vanishing = file("vanishing.avi");
    const auto read = [](FfmpegMcl& m, const std::string& source, std::int64_t at) {
        const MclHandle input = m.MclReadOpen(source.c_str(), 0, 0, 0);
        m.MclReadSound(input, at, 10, m.MclSndCreate());
        return input;
    };
    const std::pair<const char*, std::function<void(FfmpegMcl&)>> cases[] = {
        {"OK", [&](FfmpegMcl& m) { read(m, pcm, 0); }},
        {"Invalid input file", [&](FfmpegMcl& m) { read(m, file("missing.avi"), 0); }},
        {"Error reading input file",
         [&](FfmpegMcl& m) {
             QFile::copy(QString::fromStdString(pcm), QString::fromStdString(vanishing));
             const MclHandle input = read(m, vanishing, 1000);
             QFile::remove(QString::fromStdString(vanishing));
             m.MclReadSound(input, 0, 10, m.MclSndCreate()); // going back opens it again
         }},
        {"Invalid output file name or format",
         [&](FfmpegMcl& m) { m.MclAudioSetFileName(m.MclCreate(), file("no/dir/a.wav").c_str()); }},
        {"Invalid output file name or format",
         [](FfmpegMcl& m) { m.MclWriteSound(m.MclCreate(), m.MclSndCreate()); }},
        {"MCL output handle not created (use MclCreate)",
         [](FfmpegMcl& m) { m.MclWriteSound(4711, m.MclSndCreate()); }},
        {"Sound handle not allocated (use MclSndCreate)",
         [&](FfmpegMcl& m) { m.MclReadSound(m.MclReadOpen(pcm.c_str(), 0, 0, 0), 0, 1, 4711); }},
        {"Conversion aborted by user",
         [&](FfmpegMcl& m) {
             const MclHandle input = m.MclReadOpen(pcm.c_str(), 0, 0, 0);
             m.MclAbort(input);
             m.MclReadSound(input, 0, 10, m.MclSndCreate());
         }},
        {"Unknown error", [&](FfmpegMcl& m) { read(m, "", -1); }},
    };
    for (const auto& [english, provoke] : cases) {
        SCOPED_TRACE(english);
        FfmpegMcl inEnglish, inGerman;
        applyMclTranslations(inGerman);
        provoke(inEnglish);
        provoke(inGerman);
        EXPECT_STREQ(inEnglish.MclGetErrorStr(), english);
        EXPECT_EQ(inGerman.MclGetErrorStr(), german(english));
    }
}

TEST(MclTextsTest, MatchesWholeTextsAndTemplatesBeforeTheFileNameGoesIn) {
    const auto cp1252 = [](const char* utf8) {
        return toCp1252(QString::fromUtf8(utf8)).toStdString();
    };
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
