// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Levelling loudness in the job, against recording fakes: where the gain is measured, logged
// and applied, and what is refused.
#include "fakes/fake_acm.h"
#include "fakes/fake_host.h"
#include "fakes/fake_lame.h"
#include "fakes/fake_mcl.h"
#include "pipeline/conversion_job.h"
#include "pipeline/sample_gain.h"
#include "pipeline/source_levelling.h"
#include "wav_builder.h"

#include <QDir>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

using ::testing::ElementsAre;

namespace {

class JobLoudnessTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        host.settings.loudness = true;
        FakeAcm::Conversion conversion;
        conversion.dstUsed = 400;
        acm.script.assign(64, conversion);
        mcl.onSetFileName = [this](const std::string& name) {
            if (name.ends_with(".wav") && QString::fromStdString(name).startsWith(temp.path()))
                writeWav(QString::fromStdString(name), {.dataBytes = 4000});
        };
        acm.onConvert = [this](const ACMSTREAMHEADER& header) {
            converted.emplace_back(reinterpret_cast<const std::int16_t*>(header.pbSrc),
                                   reinterpret_cast<const std::int16_t*>(header.pbSrc) +
                                       header.cbSrcLength / 2);
        };
    }
    void TearDown() override { qputenv("TMPDIR", savedTmp); }

    QTemporaryDir temp;
    QTemporaryDir out;
    QByteArray savedTmp;
    FakeMcl mcl;
    FakeLame lame;
    FakeAcm acm;
    FakeHost host;
    ConversionJob job{host, {mcl, lame, acm}};
    std::vector<std::vector<std::int16_t>> converted; // what the convertor was given
};

TEST_F(JobLoudnessTest, Mp3RoadMeasuresWhileDecodingAndScalesWhatTheStageReads) {
    host.settings.destination = out.filePath(QStringLiteral("film.mp3"));
    host.settings.sources = {QStringLiteral("a.mp4")};
    mcl.sources["a.mp4"] = {1, true, false, false, -30};
    job.RunConversion();

    EXPECT_THAT(host.log, ElementsAre("Quelldatei öffnen OK", "100000 Samples gelesen...",
                                      "100000 Samples gelesen...", "MP3 Kodierung...",
                                      "Lautstärke: -30,0 LUFS, angehoben um 12,0 dB",
                                      "Konvertierung beendet..."));
    // The tap is on for the decoding only; the writer is flushed before and after it.
    std::vector<std::string> calls;
    for (const std::string& call : mcl.calls) {
        if (!call.starts_with("MclAudioSetFileHandle") && !call.starts_with("MclGetErrorStr"))
            calls.push_back(call);
    }
    EXPECT_THAT(calls,
                ElementsAre("MclMpegInternalDecoder(-1)", "MclCreate()", "MclSndCreate()",
                            "MclReadOpen(a.mp4,0,0,0)", "MclWriteFlush(1)", "MclAudioSetTap(1,on)",
                            "MclReadSound(10,0,100000,2)", "MclWriteSound(1,2)",
                            "MclReadSound(10,100000,100000,2)", "MclWriteSound(1,2)",
                            "MclReadClose(10)", "MclWriteFlush(1)", "MclAudioSetTap(1,off)",
                            "MclWriteClose(1)", "MclSndFree(2)", "MclFree(1)"));
    ASSERT_EQ(job.outcome().levels.size(), 1U);
    const SourceLevel& level = job.outcome().levels[0];
    EXPECT_NEAR(level.gain, 12.0, 0.05);

    // The convertor gets the temporary file's samples with exactly that gain and dither.
    QByteArray data = wavBytes({.dataBytes = 4000}).mid(kWavDataOffset);
    std::vector<std::int16_t> expected(reinterpret_cast<const std::int16_t*>(data.constData()),
                                       reinterpret_cast<const std::int16_t*>(data.constData()) +
                                           data.size() / 2);
    SampleGain(level.gain, ditherSeed(0)).apply(expected.data(), expected.size());
    ASSERT_EQ(converted.size(), 1U);
    EXPECT_EQ(converted[0], expected);
}

TEST_F(JobLoudnessTest, WavRoadSaysSoWhenASourceIsTooShortToMeasure) {
    host.settings.destination = out.filePath(QStringLiteral("film.wav"));
    host.settings.sources = {QStringLiteral("a.mp4"), QStringLiteral("b.mp4")};
    mcl.sources["a.mp4"] = {0, true};
    mcl.sources["b.mp4"] = {0, false};
    mcl.lastBlockSeconds = 0.3;
    job.RunConversion();
    // A source that gave no sound gets no line.
    EXPECT_THAT(host.log,
                ElementsAre("Ausgabedatei OK", "Quelldatei öffnen OK", "0 Samples gelesen...",
                            "Lautstärke nicht messbar (zu leise oder zu kurz) - unverändert",
                            "Quelldatei öffnen Ungültige Quelldatei", "0 Samples gelesen...",
                            "Konvertierung beendet..."));
    ASSERT_EQ(job.outcome().levels.size(), 1U);
    EXPECT_EQ(job.outcome().levels[0].gain, 0);
}

TEST_F(JobLoudnessTest, WavDestinationThatIsNoRegularFileIsRefusedBeforeAnythingIsRead) {
    const QString fifo = out.filePath(QStringLiteral("pipe.wav"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    host.settings.destination = fifo;
    host.settings.sources = {QStringLiteral("a.mp4")};
    job.RunConversion();
    EXPECT_THAT(host.log, ElementsAre("Die Lautstärke lässt sich nur in einer gewöhnlichen "
                                      "WAV-Datei angleichen, nicht in einer Pipe oder einem "
                                      "Gerät - bitte wählen Sie eine andere Zieldatei."));
    EXPECT_TRUE(mcl.calls.empty());
    EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::Refused);
}

} // namespace
