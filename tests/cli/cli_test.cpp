// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/recorded_reads.h"
#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "cli/console_host.h"
#include "cli/stop_signals.h"
#include "common/exception.h"
#include "fakes/fake_acm.h"
#include "fakes/fake_lame.h"
#include "fakes/fake_mcl.h"
#include "pipeline/conversion_job.h"
#include "pipeline/mp3_choices.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

namespace {

TEST(CliOptions, RefusesCommandLinesItCannotRun) {
    const QStringList refused[] = {
        {},
        {"a.avi"},
        {"-o", "out.mp3"},
        {"a.avi", "-o"},
        {"-o", "", "a.avi"},
        {"--rate", "44000", "-o", "o", "a"},
        {"--rate=044100", "-o", "o", "a"},
        {"--bitrate", "192", "-o", "o", "a"},
        {"--fast", "-o", "o", "a"},
        {"--directshow=1", "-o", "o", "a"},
        {"--loudness=-9", "-o", "o", "a"},
        {"--loudness=-31", "-o", "o", "a"},
        {"--loudness=", "-o", "o", "a"},
        {"--loudness=-1e1", "-o", "o", "a"},
        {"--loudness=- 18", "-o", "o", "a"},
        {"--loudness", "-23", "-o", "o", "a"},
        {"--chapters=1", "-o", "o", "a"},
    };
    for (const QStringList& arguments : refused) {
        const CliParseResult result = parseCliArguments(arguments);
        EXPECT_EQ(result.kind, CliParseResult::UsageError) << arguments.join(' ').toStdString();
        EXPECT_FALSE(result.error.isEmpty());
    }
    EXPECT_EQ(parseCliArguments({"-o", "x", "--help", "--bogus"}).kind, CliParseResult::Help);
}

TEST(CliOptions, TakesTheWindowsChoicesAnywhereWithItsDefaults) {
    CliParseResult result =
        parseCliArguments({"a.avi", "--directshow", "-o", "my out.wav", "--", "-b.avi"});
    ASSERT_EQ(result.kind, CliParseResult::Run);
    EXPECT_FALSE(result.options.internalDecoder);
    EXPECT_EQ(result.options.destination, "my out.wav");
    EXPECT_EQ(result.options.sources, QStringList({"a.avi", "-b.avi"}));
    EXPECT_EQ(result.options.sampleRate, 44100);
    EXPECT_EQ(result.options.bitRate, 128);
    EXPECT_TRUE(parseCliArguments({"-o", "o", "a"}).options.internalDecoder);
    EXPECT_FALSE(result.options.chapters);
    EXPECT_TRUE(parseCliArguments({"-o", "o", "--chapters", "a"}).options.chapters);
    for (const int rate : kMp3SampleRates) {
        result = parseCliArguments({"--rate", QString::number(rate), "-o", "o", "a"});
        EXPECT_EQ(result.options.sampleRate, rate);
    }
    for (const int bitRate : kMp3BitRates) {
        result = parseCliArguments({"--bitrate=" + QString::number(bitRate), "-o", "o", "a"});
        EXPECT_EQ(result.options.bitRate, bitRate);
    }
}

TEST(CliOptions, LevelsLoudnessOnlyWhenAskedTowardTheTargetGiven) {
    EXPECT_FALSE(parseCliArguments({"-o", "o", "a"}).options.loudness);
    const struct {
        const char* argument;
        double target;
    } cases[] = {{"--loudness", -18},     {"--loudness=-23", -23},     {"--loudness=-30", -30},
                 {"--loudness=-10", -10}, {"--loudness=-23.5", -23.5}, {"--loudness=-23,5", -23.5}};
    for (const auto& c : cases) {
        const CliParseResult result = parseCliArguments({c.argument, "-o", "o.wav", "a"});
        ASSERT_EQ(result.kind, CliParseResult::Run) << c.argument;
        EXPECT_TRUE(result.options.loudness);
        EXPECT_EQ(result.options.loudnessTarget, c.target) << c.argument;
    }
    EXPECT_EQ(parseCliArguments({"--loudness=-5", "-o", "o", "a"}).error,
              "Ungültige Ziellautstärke: -5 (erlaubt sind -30 bis -10 LUFS)");
    EXPECT_TRUE(cliUsageText().contains(QStringLiteral("--loudness[=LUFS]")));
}

class CliRun : public ::testing::Test {
protected:
    int run(const QStringList& arguments) {
        out.str({});
        err.str({});
        return runCli(arguments, ConversionLibraries{mcl, lame, acm}, out, err);
    }
    QStringList outLines() const {
        return QString::fromStdString(out.str()).split(u'\n', Qt::SkipEmptyParts);
    }
    QString errText() const { return QString::fromStdString(err.str()); }

    FakeMcl mcl;
    FakeLame lame;
    FakeAcm acm;
    std::ostringstream out;
    std::ostringstream err;
    QTemporaryDir dir;
    const QString wav = dir.filePath("out.wav");
};

TEST_F(CliRun, HelpAndUsageErrorsTouchNothing) {
    EXPECT_EQ(run({"--help"}), kExitFinished);
    EXPECT_EQ(QString::fromStdString(out.str()), cliUsageText());
    EXPECT_EQ(run({"--rate", "1", "-o", "x.wav", "a.avi"}), kExitUsage);
    EXPECT_EQ(errText(), "Ungültige Samplefrequenz: 1\n" + cliUsageText());
    EXPECT_TRUE(out.str().empty());
    EXPECT_TRUE(mcl.calls.empty());
}

TEST_F(CliRun, VersionAndQuietKeepStandardOutputForWhatWasAsked) {
    EXPECT_EQ(run({"--version"}), kExitFinished);
    EXPECT_EQ(out.str(), "tavimo-cli 1.0\n");
    mcl.sources["/v/a.avi"] = {2, true};
    EXPECT_EQ(run({"--quiet", "-o", wav, "/v/a.avi"}), kExitFinished);
    EXPECT_TRUE(out.str().empty());
    EXPECT_TRUE(err.str().empty());
}

TEST_F(CliRun, PrintsEveryLogLineAsTheWindowWouldShowIt) {
    mcl.sources["/v/a.avi"] = {2, true};
    mcl.sources["/v/b.avi"] = {0, true};
    EXPECT_EQ(run({"-o", wav, "/v/a.avi", "/v/b.avi"}), kExitFinished);
    EXPECT_EQ(outLines(), QStringList({"Ausgabedatei OK", "Quelldatei öffnen OK",
                                       "100000 Samples gelesen...", "200000 Samples gelesen...",
                                       "200000 Samples gelesen...", "Quelldatei öffnen OK",
                                       "0 Samples gelesen...", "Konvertierung beendet..."}));
    EXPECT_TRUE(err.str().empty());
    ASSERT_GT(mcl.calls.size(), 20u);
    EXPECT_EQ(mcl.calls[20], "MclMpegInternalDecoder(-1)");
    EXPECT_EQ(run({"--directshow", "-o", wav, "/v/a.avi"}), kExitFinished);
    EXPECT_EQ(mcl.callsStartingWith("MclMpegInternalDecoder").back(), "MclMpegInternalDecoder(0)");
    EXPECT_TRUE(mcl.callsStartingWith("MclAudioAddCue").empty());
}

// Chapter marks only when asked for, and never into what is no regular file.
TEST_F(CliRun, ChaptersAreAskedForAndNeedARegularFile) {
    mcl.sources["/v/a.avi"] = {0, true};
    EXPECT_EQ(run({"--chapters", "-o", wav, "/v/a.avi"}), kExitFinished);
    EXPECT_EQ(mcl.callsStartingWith("MclAudioAddCue"),
              std::vector<std::string>{"MclAudioAddCue(1,0,a)"});
    mcl.calls.clear();
    EXPECT_EQ(run({"-o", "/dev/null", "--chapters", "/v/a.avi"}), kExitFailed);
    EXPECT_TRUE(errText().startsWith("Kapitelmarken lassen sich nur in eine gewöhnliche Datei"));
    EXPECT_TRUE(mcl.callsStartingWith("MclMpegInternalDecoder").empty());
    EXPECT_TRUE(lame.calls.empty());
    EXPECT_TRUE(cliUsageText().contains("--chapters"));
}

// The exit status and standard error follow the run's outcome, never its log lines.
TEST_F(CliRun, ExitStatusTellsHowTheRunEnded) {
    mcl.sources["/v/a.avi"] = {2, true};
    mcl.sources["/v/cut.avi"] = {1, true, true};
    EXPECT_EQ(run({"-o", wav, "/v/a.avi", "/v/missing.avi", "/v/cut.avi"}), kExitWithProblems);
    EXPECT_EQ(outLines().last(), "Konvertierung beendet...");
    EXPECT_EQ(errText(),
              "Nicht umgewandelt: /v/missing.avi: Ungültige Quelldatei.\n"
              "Nicht ganz umgewandelt: /v/cut.avi: Fehler beim Lesen der Quelldatei - nur die "
              "ersten 0:02 min wurden umgewandelt.\n");

    EXPECT_EQ(run({"-o", wav, "/v/missing.avi"}), kExitFailed);
    EXPECT_NE(outLines().last(), "Konvertierung beendet...");
    EXPECT_TRUE(errText().contains("Keine der Quelldateien konnte gelesen werden"));

    lame.initResult = BE_ERR_INVALID_FORMAT;
    EXPECT_EQ(run({"-o", dir.filePath("out.mp3"), "/v/a.avi"}), kExitFailed);
    EXPECT_EQ(outLines(), QStringList{"Konnte LAME Encoder nicht initialisieren..."});

    // An error that the window shows in a box goes to standard error with its full stop.
    mcl.onRead = [](int) { throw EInOutError("Disk full"); };
    EXPECT_EQ(run({"-o", wav, "/v/a.avi"}), kExitFailed);
    EXPECT_EQ(errText(), "Disk full.\n");
}

TEST_F(CliRun, AStopSignalActsAsTheStopButtonAndASecondOneAbortsTheRun) {
    mcl.sources["/v/a.avi"] = {50, true};
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        mcl.calls.clear();
        mcl.onRead = [signal, reads = 0](int) mutable {
            if (++reads == 2)
                std::raise(signal);
        };
        EXPECT_EQ(run({"-o", wav, "/v/a.avi"}), 128 + signal);
        EXPECT_EQ(readsOf(mcl, "/v/a.avi"), 2);
        EXPECT_EQ(mcl.callsStartingWith("MclAbort"), std::vector<std::string>{"MclAbort(0)"});
        EXPECT_EQ(outLines().last(), "Konvertierung beendet...");
        EXPECT_TRUE(QFileInfo::exists(wav));
    }

    QFile::remove(wav);
    mcl.onRead = [reads = 0](int) mutable {
        if (++reads == 2) {
            std::raise(SIGINT);
            std::raise(SIGINT);
        }
    };
    // The second one ends the process at once, with what the run made removed.
    EXPECT_EXIT(run({"-o", wav, "/v/a.avi"}), ::testing::ExitedWithCode(kExitFailed),
                "sofort abgebrochen");
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(ConsoleHost, DrawsOneProgressLineInPlaceAndClearsItForLogLinesAndAtTheEnd) {
    std::ostringstream out;
    std::ostringstream err;
    ConsoleHost host({}, out, err, false, true);
    host.runStateChanged(true);
    host.progressChanged({0, 2, 30, 60});
    host.progressChanged({0, 2, 31, 60}); // too soon after the last one: not drawn
    host.AddProgressLine("Quelldatei öffnen OK");
    host.runStateChanged(false);
    EXPECT_EQ(err.str(), "\r\033[K50 % - 0:00 min vergangen, noch 0:00 min\r\033[K");
    EXPECT_EQ(out.str(), "Quelldatei öffnen OK\n");
}

TEST(ConsoleHost, PrintsLinesAsAddedAndBoxesToStandardError) {
    std::ostringstream out;
    std::ostringstream err;
    ConsoleHost host({}, out, err);
    host.showErrorMessage("Keine gültige WAV-Datei!!!!");
    EXPECT_EQ(err.str(), "Keine gültige WAV-Datei!!!!\n");
    for (int i = 0; i < 15; ++i)
        host.AddProgressLine(QString::number(i));
    host.TrimProgressLog();
    EXPECT_EQ(host.log().size(), 10);
    EXPECT_EQ(QString::fromStdString(out.str()).count(u'\n'), 15);
}

} // namespace
