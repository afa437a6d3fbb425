// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// The job's MP3 road with recording fakes of the three libraries: its lines, its calls, its
// failures and its stop, with real temporary files in a folder of the test's own.
#include "acm/ACMConvertor.h"
#include "fakes/fake_acm.h"
#include "fakes/fake_host.h"
#include "fakes/fake_lame.h"
#include "fakes/fake_mcl.h"
#include "pipeline/conversion_job.h"
#include "wav_builder.h"

#include <QDir>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace {

// Remembers the newest log line at the moment the stream is flushed.
class FlushWatchingLame : public FakeLame {
public:
    const QStringList* log = nullptr;
    QString newestLineAtFlush;
    BE_ERR beDeinitStream(HBE_STREAM stream, std::uint8_t* output,
                          std::uint32_t* outputBytes) override {
        newestLineAtFlush = log->isEmpty() ? QString() : log->back();
        return FakeLame::beDeinitStream(stream, output, outputBytes);
    }
};

class JobMp3Test : public ::testing::Test {
protected:
    void SetUp() override {
        savedTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        host.settings.destination = out.filePath(QStringLiteral("film.mp3"));
        lame.log = &host.log;
        FakeAcm::Conversion conversion;
        conversion.dstUsed = 400;
        acm.script.assign(64, conversion);
        // The library writes each source's temporary file: one block of sound.
        mcl.onSetFileName = [this](const std::string& name) {
            tempNames.push_back(QString::fromStdString(name));
            writeWav(QString::fromStdString(name), {.dataBytes = 4000});
        };
    }
    void TearDown() override { qputenv("TMPDIR", savedTmp); }

    QByteArray destinationBytes() const {
        QFile file(host.settings.destination);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    bool tempFolderEmpty() const { return QDir(temp.path()).isEmpty(); }

    QTemporaryDir temp;
    QTemporaryDir out;
    QByteArray savedTmp;
    QStringList tempNames;
    FakeMcl mcl;
    FlushWatchingLame lame;
    FakeAcm acm;
    FakeHost host;
    ConversionJob job{host, {mcl, lame, acm}};
};

TEST_F(JobMp3Test, SourcesGoThroughTemporaryFilesIntoOneStream) {
    host.settings.sources = {QStringLiteral("a.mp4"), QStringLiteral("b.avi")};
    mcl.sources["a.mp4"] = {1, true};
    mcl.sources["b.avi"] = {0, true};
    host.settings.sampleRate = 22050;
    host.settings.bitRate = 64;
    job.RunConversion();

    ASSERT_EQ(tempNames.size(), 2);
    // In the run's own folder in the temporary folder.
    const QFileInfo temp0(tempNames[0]);
    EXPECT_EQ(QFileInfo(temp0.path()).path(), temp.path());
    EXPECT_TRUE(temp0.dir().dirName().startsWith(QStringLiteral("tavimo-")));
    EXPECT_EQ(temp0.fileName(), QStringLiteral("temp0.wav"));
    // The first file is deleted before the second is named, so the name comes round again.
    EXPECT_EQ(tempNames[1], tempNames[0]);
    EXPECT_TRUE(tempFolderEmpty());

    const std::string t = tempNames[0].toStdString();
    EXPECT_THAT(mcl.calls,
                ElementsAre("MclMpegInternalDecoder(-1)", "MclCreate()", "MclSndCreate()",
                            "MclReadOpen(a.mp4,0,0,0)", "MclGetErrorStr()",
                            "MclAudioSetFileHandle(1," + t + ")", "MclReadSound(10,0,100000,2)",
                            "MclWriteSound(1,2)", "MclReadSound(10,100000,100000,2)",
                            "MclWriteSound(1,2)", "MclReadClose(10)", "MclWriteClose(1)",
                            "MclReadOpen(b.avi,0,0,0)", "MclGetErrorStr()",
                            "MclAudioSetFileHandle(1," + t + ")", "MclReadSound(11,0,100000,2)",
                            "MclWriteSound(1,2)", "MclReadClose(11)", "MclWriteClose(1)",
                            "MclSndFree(2)", "MclFree(1)"));
    EXPECT_THAT(host.log, ElementsAre("Quelldatei öffnen OK", "100000 Samples gelesen...",
                                      "100000 Samples gelesen...", "MP3 Kodierung...",
                                      "Quelldatei öffnen OK", "0 Samples gelesen...",
                                      "MP3 Kodierung...", "Konvertierung beendet..."));
    EXPECT_THAT(lame.calls,
                ElementsAre("beInitStream(22050,64)", "beEncodeChunk(7,200)",
                            "beEncodeChunk(7,200)", "beDeinitStream(7)", "beCloseStream(7)"));
    EXPECT_EQ(lame.newestLineAtFlush, "MP3 Kodierung..."); // the last bytes before the end
    const auto produced = lame.produced();
    EXPECT_EQ(destinationBytes(), QByteArray(reinterpret_cast<const char*>(produced.data()),
                                             static_cast<qsizetype>(produced.size())));
    // Messages are pumped after each decoded block (three) and each block of the stage (two).
    EXPECT_EQ(host.pumps, 5);
    EXPECT_THAT(host.runStates, ElementsAre(true, false));
    EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::Finished);
}

TEST_F(JobMp3Test, EmptyListGivesOnlyTheFlushedBytes) {
    lame.flushBytes = 17;
    job.RunConversion();
    EXPECT_THAT(host.log, ElementsAre("Konvertierung beendet..."));
    EXPECT_THAT(lame.calls,
                ElementsAre("beInitStream(44100,128)", "beDeinitStream(7)", "beCloseStream(7)"));
    EXPECT_EQ(destinationBytes().size(), 17);
}

TEST_F(JobMp3Test, DestinationThatCannotBeCreatedIsOneLineAndNothingElse) {
    host.settings.destination = out.filePath(QStringLiteral("no/such/folder/film.mp3"));
    host.settings.sources = {QStringLiteral("a.mp4")};
    job.RunConversion();
    EXPECT_THAT(host.log, ElementsAre("Konnte MP3 Datei nicht erstellen..."));
    EXPECT_THAT(mcl.calls, ElementsAre("MclMpegInternalDecoder(-1)"));
    EXPECT_TRUE(lame.calls.empty());
    EXPECT_TRUE(tempFolderEmpty());
}

// Settings the encoder refuses, or no memory for it, each said as what it is.
TEST_F(JobMp3Test, EncoderThatCannotStartLeavesNoFileBehind) {
    const std::pair<BE_ERR, const char*> cases[] = {
        {BE_ERR_INVALID_FORMAT_PARAMETERS,
         "Der MP3-Encoder lässt sich mit 44100 Hz und 128 kBit/Sekunde nicht starten."},
        {BE_ERR_NO_MEMORY, "Nicht genug Arbeitsspeicher für den MP3-Encoder."}};
    for (const auto& [result, reason] : cases) {
        lame.initResult = result;
        host.log.clear();
        mcl.calls.clear();
        host.settings.sources = {QStringLiteral("a.mp4")};
        job.RunConversion();
        EXPECT_THAT(host.log, ElementsAre("Konnte LAME Encoder nicht initialisieren..."));
        EXPECT_THAT(mcl.calls, ElementsAre("MclMpegInternalDecoder(-1)"));
        EXPECT_TRUE(QDir(out.path()).isEmpty());
        EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::Failed);
        EXPECT_EQ(job.outcome().reason, QString::fromUtf8(reason));
    }
}

TEST_F(JobMp3Test, StopTakesEffectAfterTheSourceBeingEncoded) {
    host.settings.sources = {QStringLiteral("a.mp4"), QStringLiteral("b.avi")};
    mcl.sources["a.mp4"] = {0, true};
    mcl.sources["b.avi"] = {0, true};
    host.onPump = [&](int) { job.requestStop(); };
    job.RunConversion();
    EXPECT_EQ(mcl.callsStartingWith("MclReadOpen").size(), 1u);
    EXPECT_EQ(host.log.back(), "Konvertierung beendet...");
    EXPECT_EQ(lame.calls.back(), "beCloseStream(7)");
    EXPECT_TRUE(tempFolderEmpty());
}

TEST_F(JobMp3Test, ErrorInTheStageReleasesEverythingAndLeavesNoFileBehind) {
    host.settings.sources = {QStringLiteral("a.mp4"), QStringLiteral("b.avi")};
    mcl.sources["a.mp4"] = {0, true};
    mcl.sources["b.avi"] = {0, true};
    lame.failEncodeCall = 2;
    try {
        job.RunConversion();
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Fehler beim MP3 Codieren");
    }
    EXPECT_FALSE(job.running());
    EXPECT_NE(host.log.back(), "Konvertierung beendet...");
    EXPECT_TRUE(tempFolderEmpty());
    const std::vector<std::string> tail(mcl.calls.end() - 2, mcl.calls.end());
    EXPECT_THAT(tail, ElementsAre("MclSndFree(2)", "MclFree(1)"));
    EXPECT_TRUE(QDir(out.path()).isEmpty());
    EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::Failed);
    EXPECT_EQ(job.outcome().reason, "Fehler beim MP3 Codieren");
    EXPECT_THAT(host.runStates, ElementsAre(true, false));
    EXPECT_FALSE(job.wavtowav.Active());
}

TEST_F(JobMp3Test, TemporaryFileThatIsNoWaveIsReportedAndTheRunGoesOn) {
    host.settings.sources = {QStringLiteral("a.mp4"), QStringLiteral("b.avi")};
    mcl.sources["a.mp4"] = {0, true};
    mcl.sources["b.avi"] = {0, true};
    mcl.onSetFileName = [](const std::string& name) {
        QFile file(QString::fromStdString(name));
        file.open(QIODevice::WriteOnly);
        file.write("this is no sound at all");
    };
    job.RunConversion();
    EXPECT_THAT(host.boxes,
                ElementsAre("Keine gültige WAV-Datei!!!!", "Keine gültige WAV-Datei!!!!"));
    // Neither gave any sound, so there is nothing to replace the destination with.
    EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::Failed);
    EXPECT_EQ(host.log.back(), job.outcome().reason);
    EXPECT_TRUE(tempFolderEmpty());
}

} // namespace
