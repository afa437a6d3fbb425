// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// The job's WAV road against a recording codec library: the calls it makes, the lines it
// logs, its stop and its guards against re-entry and against overwriting a source.
#include "fakes/fake_host.h"
#include "fakes/fake_mcl.h"
#include "pipeline/conversion_job.h"

#include "fakes/fake_acm.h"
#include "fakes/fake_lame.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// The calls, with the file the library was given for the destination shown as <new>.
std::vector<std::string> callsOf(const FakeMcl& mcl) {
    std::vector<std::string> calls = mcl.calls;
    for (std::string& call : calls) {
        if (call.starts_with("MclAudioSetFileHandle(1,"))
            call = "MclAudioSetFileHandle(1,<new>)";
    }
    return calls;
}

class JobWavTest : public ::testing::Test {
protected:
    JobWavTest() { host.settings.destination = destination; }

    void run() { job.RunConversion(); }
    QStringList lines() const { return host.log; }
    QStringList filesInFolder() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    }

    QTemporaryDir dir;
    QString destination = dir.filePath(QStringLiteral("out.wav"));
    FakeMcl mcl;
    FakeLame lame;
    FakeAcm acm;
    FakeHost host;
    ConversionJob job{host, {mcl, lame, acm}};
};

TEST(DestinationKind, WavInAnyCaseTakesTheWavRoad) {
    struct Case {
        const char* name;
        bool wav;
    };
    const Case cases[] = {
        {"out.wav", true},   {"OUT.WAV", true},    {"a.WaV", true},        {"/x/y.z/out.wav", true},
        {"out.mp3", false},  {"out", false},       {"out.wave", false},    {"dir.wav/out", false},
        {"C:out.wav", true}, {"c.wav:out", false}, {"out.wav.mp3", false}, {".wav", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isWavDestination(QString::fromUtf8(c.name)), c.wav) << c.name;
}

TEST_F(JobWavTest, EmptyListStillCreatesClosesAndFreesTheOutput) {
    run();
    EXPECT_THAT(callsOf(mcl),
                ElementsAre("MclMpegInternalDecoder(-1)", "MclCreate()",
                            "MclAudioSetFileHandle(1,<new>)", "MclGetErrorStr()", "MclSndCreate()",
                            "MclSndFree(2)", "MclWriteClose(1)", "MclFree(1)"));
    EXPECT_THAT(lines(), ElementsAre("Ausgabedatei OK", "Konvertierung beendet..."));
    EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::Finished);
}

TEST_F(JobWavTest, SourcesAreReadInBlocksAndLoggedLineByLine) {
    host.settings.sources = {QStringLiteral("a.mp4"), QStringLiteral("b.avi")};
    mcl.sources["a.mp4"] = {2, true};
    mcl.sources["b.avi"] = {0, true};
    run();
    EXPECT_THAT(mcl.callsStartingWith("MclReadSound"),
                ElementsAre("MclReadSound(10,0,100000,2)", "MclReadSound(10,100000,100000,2)",
                            "MclReadSound(10,200000,100000,2)", "MclReadSound(11,0,100000,2)"));
    EXPECT_EQ(mcl.callsStartingWith("MclWriteSound(1,2)").size(), 4u);
    EXPECT_THAT(mcl.callsStartingWith("MclReadClose"),
                ElementsAre("MclReadClose(10)", "MclReadClose(11)"));
    EXPECT_EQ(host.pumps, 4);
    EXPECT_EQ(mcl.calls.back(), "MclFree(1)");
}

TEST_F(JobWavTest, LogLinesFollowTheReads) {
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, FakeMcl::Source>> sources;
        int writeResult;
        QStringList lines;
    };
    const Case cases[] = {
        // The read that ends a source repeats the position of the line before it.
        {"two sources",
         {{"a.mp4", {2, true}}, {"b.avi", {0, true}}},
         0,
         {"Ausgabedatei OK", "Quelldatei öffnen OK", "100000 Samples gelesen...",
          "200000 Samples gelesen...", "200000 Samples gelesen...", "Quelldatei öffnen OK",
          "0 Samples gelesen...", "Konvertierung beendet..."}},
        {"a source that cannot be opened does not stop the run",
         {{"missing.avi", {0, false}}, {"b.avi", {1, true}}},
         0,
         {"Ausgabedatei OK", "Quelldatei öffnen Ungültige Quelldatei", "0 Samples gelesen...",
          "Quelldatei öffnen OK", "100000 Samples gelesen...", "100000 Samples gelesen...",
          "Konvertierung beendet..."}},
        {"a failed write ends the run without a completion line",
         {{"a.mp4", {5, true}}, {"b.avi", {1, true}}},
         1,
         {"Ausgabedatei OK", "Quelldatei öffnen OK", "100000 Samples gelesen...",
          "Ausgabedatei Fehler beim Schreiben der Zieldatei"}},
        {"the log keeps its ten newest lines",
         {{"a.mp4", {30, true}}},
         0,
         {"2300000 Samples gelesen...", "2400000 Samples gelesen...", "2500000 Samples gelesen...",
          "2600000 Samples gelesen...", "2700000 Samples gelesen...", "2800000 Samples gelesen...",
          "2900000 Samples gelesen...", "3000000 Samples gelesen...", "3000000 Samples gelesen...",
          "Konvertierung beendet..."}},
    };
    for (const Case& c : cases) {
        FakeMcl fresh;
        ConversionJob freshJob{host, {fresh, lame, acm}};
        host.log.clear();
        host.settings.sources.clear();
        for (const auto& [path, script] : c.sources) {
            host.settings.sources.append(QString::fromUtf8(path));
            fresh.sources[path] = script;
        }
        fresh.writeResult = c.writeResult;
        freshJob.RunConversion();
        EXPECT_EQ(host.log, c.lines) << c.name;
    }
}

TEST_F(JobWavTest, DirectShowChoiceReachesTheLibrary) {
    host.settings.internalDecoder = false;
    run();
    EXPECT_EQ(mcl.calls.front(), "MclMpegInternalDecoder(0)");
}

TEST_F(JobWavTest, StopEndsTheRunAfterTheCurrentBlockAndTheNextRunStartsAfresh) {
    host.settings.sources = {QStringLiteral("a.mp4"), QStringLiteral("b.avi"),
                             QStringLiteral("c.vob")};
    for (const char* s : {"a.mp4", "b.avi", "c.vob"})
        mcl.sources[s] = {9, true};
    host.onPump = [&](int pump) {
        if (pump == 2)
            job.requestStop();
    };
    run();
    EXPECT_EQ(mcl.callsStartingWith("MclReadSound").size(), 2u);
    EXPECT_EQ(mcl.callsStartingWith("MclReadOpen").size(), 1u);
    EXPECT_THAT(mcl.callsStartingWith("MclAbort"), ElementsAre("MclAbort(0)"));
    const std::vector<std::string> tail(mcl.calls.end() - 3, mcl.calls.end());
    EXPECT_THAT(tail, ElementsAre("MclSndFree(2)", "MclWriteClose(1)", "MclFree(1)"));
    EXPECT_EQ(lines().back(), "Konvertierung beendet...");
    EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::Stopped);

    // The request is still set; the next run clears it and reads everything.
    host.onPump = nullptr;
    mcl.calls.clear();
    run();
    EXPECT_EQ(mcl.callsStartingWith("MclReadSound").size(), 30u);
}

TEST_F(JobWavTest, NeitherASecondStartNorAListChangeDisturbsARunningConversion) {
    host.settings.sources = {QStringLiteral("a.mp4"), QStringLiteral("b.avi")};
    mcl.sources["a.mp4"] = {1, true};
    mcl.sources["b.avi"] = {1, true};
    host.onPump = [&](int) {
        EXPECT_TRUE(job.running());
        host.settings.sources.clear();
        job.RunConversion();
    };
    run();
    EXPECT_EQ(mcl.callsStartingWith("MclCreate").size(), 1u);
    EXPECT_EQ(mcl.callsStartingWith("MclReadOpen").size(), 2u);
    EXPECT_FALSE(job.running());
}

TEST_F(JobWavTest, DestinationThatIsOneOfTheSourcesIsRefusedUntouched) {
    const QString source = dir.filePath(QStringLiteral("film.wav"));
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    const QString hardLink = dir.filePath(QStringLiteral("link.wav"));
    ASSERT_TRUE(QFile::link(source, dir.filePath(QStringLiteral("sym.wav"))));
    ASSERT_EQ(
        ::link(QFile::encodeName(source).constData(), QFile::encodeName(hardLink).constData()), 0);

    for (const QString& target : {source, dir.filePath(QStringLiteral("sym.wav")), hardLink,
                                  dir.path() + QStringLiteral("/./film.wav")}) {
        mcl.calls.clear();
        host.log.clear();
        host.settings.destination = target;
        host.settings.sources = {QStringLiteral("other.avi"), source};
        run();
        EXPECT_THAT(mcl.calls, IsEmpty()) << target.toStdString();
        ASSERT_EQ(lines().size(), 1);
        EXPECT_TRUE(lines().front().startsWith(QStringLiteral("Die Zieldatei ist zugleich")));
        EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::Refused);
    }
    QFile check(source);
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), "keep me");
}

} // namespace
