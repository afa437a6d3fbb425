#include "app/null_libraries.h"
#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "cli/console_host.h"
#include "cli/stop_signals.h"
#include "common/exception.h"
#include "fakes/fake_mcl.h"
#include "pipeline/conversion_job.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

namespace {

class CliRun : public ::testing::Test {
protected:
    int run(const QStringList& arguments) {
        return runCli(arguments, ConversionLibraries{mcl, lame}, acm, out, err);
    }
    QStringList outLines() const {
        return QString::fromStdString(out.str()).split(u'\n', Qt::SkipEmptyParts);
    }
    int readsOf(const std::string& path) const {
        int reads = 0;
        bool reading = false;
        for (const std::string& call : mcl.calls) {
            if (call.rfind("MclReadOpen(", 0) == 0)
                reading = call.rfind("MclReadOpen(" + path + ",", 0) == 0;
            else if (reading && call.rfind("MclReadSound(", 0) == 0)
                ++reads;
        }
        return reads;
    }

    FakeMcl mcl;
    NullLame lame;
    NullAcm acm;
    std::ostringstream out;
    std::ostringstream err;
    QTemporaryDir dir;
};

TEST_F(CliRun, HelpPrintsTheUsageAndSucceeds) {
    EXPECT_EQ(run({"--help"}), kExitCompleted);
    EXPECT_EQ(QString::fromStdString(out.str()), cliUsageText());
    EXPECT_TRUE(err.str().empty());
    EXPECT_TRUE(mcl.calls.empty());
}

TEST_F(CliRun, AUsageErrorTouchesNothing) {
    EXPECT_EQ(run({"--rate", "1", "-o", "x.wav", "a.avi"}), kExitUsage);
    const QString errors = QString::fromStdString(err.str());
    EXPECT_TRUE(errors.startsWith("Ungültige Samplefrequenz: 1\n")) << err.str();
    EXPECT_TRUE(errors.contains("Aufruf: tavimo-cli"));
    EXPECT_TRUE(out.str().empty());
    EXPECT_TRUE(mcl.calls.empty());
}

TEST_F(CliRun, PrintsEveryLogLineAsTheWindowWouldShowIt) {
    mcl.sources["/v/a.avi"] = {2, true};
    mcl.sources["/v/b.avi"] = {0, true};
    const QString destination = dir.filePath("out.wav");
    EXPECT_EQ(run({"-o", destination, "/v/a.avi", "/v/b.avi"}), kExitCompleted);
    EXPECT_EQ(outLines(), QStringList({"Ausgabedatei OK", "Quelldatei öffnen OK",
                                       "100000 Samples gelesen...", "200000 Samples gelesen...",
                                       "200000 Samples gelesen...", "Quelldatei öffnen OK",
                                       "0 Samples gelesen...", "Konvertierung beendet..."}));
    EXPECT_TRUE(err.str().empty());
    ASSERT_GT(mcl.calls.size(), 20u);
    for (std::size_t i = 0; i < 20; ++i)
        EXPECT_EQ(mcl.calls[i].rfind("MclTranslate(", 0), 0u) << mcl.calls[i];
    EXPECT_EQ(mcl.calls[20], "MclMpegInternalDecoder(-1)");
}

TEST_F(CliRun, DirectShowClearsTheInternalDecoder) {
    EXPECT_EQ(run({"--directshow", "-o", dir.filePath("out.wav"), "/v/missing.avi"}),
              kExitCompleted);
    EXPECT_EQ(mcl.callsStartingWith("MclMpegInternalDecoder"),
              std::vector<std::string>{"MclMpegInternalDecoder(0)"});
}

TEST_F(CliRun, ARunThatEndsWithoutCompletionFails) {
    // The encoder that cannot start ends the MP3 road before the completion line.
    EXPECT_EQ(run({"-o", dir.filePath("out.mp3"), "/v/a.avi"}), kExitFailed);
    EXPECT_EQ(outLines(), QStringList{"Konnte LAME Encoder nicht initialisieren..."});
}

TEST_F(CliRun, AnErrorGoesToStandardErrorWithItsFullStop) {
    mcl.sources["/v/a.avi"] = {5, true};
    mcl.onRead = [](int) { throw EInOutError("Disk full"); };
    EXPECT_EQ(run({"-o", dir.filePath("out.wav"), "/v/a.avi"}), kExitFailed);
    EXPECT_EQ(err.str(), "Disk full.\n");
}

TEST_F(CliRun, AStopSignalActsAsTheStopButton) {
    mcl.sources["/v/a.avi"] = {50, true};
    installStopSignals();
    mcl.onRead = [](int read) {
        if (read == 2)
            std::raise(SIGTERM);
    };
    EXPECT_EQ(run({"-o", dir.filePath("out.wav"), "/v/a.avi"}), kExitCompleted);
    EXPECT_EQ(readsOf("/v/a.avi"), 2);
    EXPECT_EQ(mcl.callsStartingWith("MclAbort"), std::vector<std::string>{"MclAbort(0)"});
    EXPECT_EQ(outLines().last(), "Konvertierung beendet...");
    EXPECT_FALSE(takeStopSignal());
}

TEST(ConsoleHost, SendsBoxesToStandardErrorAndKeepsTheLogShort) {
    NullAcm acm;
    std::ostringstream out;
    std::ostringstream err;
    ConsoleHost host({}, acm, out, err);
    host.showErrorMessage("Keine gültige WAV-Datei!!!!");
    EXPECT_EQ(err.str(), "Keine gültige WAV-Datei!!!!\n");
    for (int i = 0; i < 15; ++i)
        host.AddProgressLine(QString::number(i));
    host.TrimProgressLog();
    EXPECT_EQ(host.log().size(), 10);
    EXPECT_EQ(QString::fromStdString(out.str()).count(u'\n'), 15);
    EXPECT_FALSE(host.completed());
    host.AddProgressLine("Konvertierung beendet...");
    EXPECT_TRUE(host.completed());
}

} // namespace
