// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// tavimo-cli among other users, hostile names and stalled readers: races never reach a file
// outside the run, names never reach the terminal raw, and a run that waits can be ended.
#include "support/media.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Runs as another user; empty when this process cannot switch users.
QStringList asNobody() {
    if (::geteuid() != 0 || QFile::exists(QStringLiteral("/usr/bin/setpriv")) == false)
        return {};
    return {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
}

class CliSafety : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media_ = new QTemporaryDir;
        ::chmod(QFile::encodeName(media_->path()).constData(), 0755);
        const auto path = [](const char* name) { return media_->filePath(name); };
        ASSERT_TRUE(media::makeVideoWithSine(path("a.mp4"), 440, 3.0,
                                             {"-c:a", "aac", "-ar", "48000", "-ac", "2"}));
        ASSERT_TRUE(media::makeVideoWithSine(path("long.mp4"), 440, 30.0,
                                             {"-c:a", "aac", "-ar", "48000", "-ac", "2"}));
        // A video whose audio track holds not a single packet.
        ASSERT_TRUE(media::runFfmpeg({"-f", "lavfi", "-i", "testsrc=d=1:s=64x48", "-f", "lavfi",
                                      "-i", "sine=d=1", "-map", "0", "-map", "1", "-c:v", "mpeg4",
                                      "-c:a", "mp2", "-frames:a", "0", path("empty.avi")}));
        for (const char* rate : {"500", "800000"})
            ASSERT_TRUE(media::runFfmpeg({"-f", "lavfi", "-i",
                                          QStringLiteral("sine=f=100:r=%1:d=1").arg(rate), "-c:a",
                                          "pcm_s16le", path(rate) + QStringLiteral(".wav")}));
    }
    static void TearDownTestSuite() { delete media_; }
    static QString source(const char* name) { return media_->filePath(name); }

    void SetUp() override {
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        ASSERT_TRUE(QDir().mkpath(tmp));
        ASSERT_EQ(::chmod(QFile::encodeName(tmp).constData(), 01777), 0);
    }

    // tavimo-cli with `arguments`, after the command `before` that runs it.
    void start(const QStringList& arguments, const QStringList& before = {}) {
        startCommand(before + QStringList{QStringLiteral(TAVIMO_CLI)} + arguments);
    }
    void startCommand(const QStringList& command) {
        output.clear();
        errors.clear();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), tmpdir);
        cli.setProcessEnvironment(environment);
        cli.start(command.first(), command.mid(1));
        ASSERT_TRUE(cli.waitForStarted());
    }
    int run(const QStringList& arguments, const QStringList& before = {}) {
        start(arguments, before);
        return finish(120000);
    }
    static double seconds(const QString& path) {
        const media::Pcm pcm = media::decode(path);
        return pcm.rate ? static_cast<double>(pcm.frames()) / pcm.rate : 0;
    }
    bool waitFor(const QByteArray& text, bool onStandardError) {
        cli.setReadChannel(onStandardError ? QProcess::StandardError : QProcess::StandardOutput);
        while (!(onStandardError ? errors : output).contains(text)) {
            if (!cli.waitForReadyRead(30000))
                return false;
            output += cli.readAllStandardOutput();
            errors += cli.readAllStandardError();
        }
        return true;
    }
    int finish(int milliseconds) {
        if (!cli.waitForFinished(milliseconds) || cli.exitStatus() != QProcess::NormalExit)
            return -1;
        output += cli.readAllStandardOutput();
        errors += cli.readAllStandardError();
        return cli.exitCode();
    }
    void signal(int number) { ASSERT_EQ(::kill(static_cast<pid_t>(cli.processId()), number), 0); }
    QStringList left(const QString& folder) const {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot |
                                      QDir::System);
    }
    static QByteArray contentOf(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QString make(const QString& name, const QByteArray& content) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return file.fileName();
    }

    static inline QTemporaryDir* media_ = nullptr;
    QTemporaryDir dir;
    const QString tmp = dir.filePath("tmp");
    QString tmpdir = tmp; // the TMPDIR of the runs
    QProcess cli;
    QByteArray output;
    QByteArray errors;
};

TEST_F(CliSafety, ControlCharactersInNamesNeverReachTheTerminal) {
    const QString hostile = dir.filePath("a\x1b[2J\x1b]0;owned\x07\r\nb\xc2\x9b.mpg");
    EXPECT_EQ(run({"-o", dir.filePath("out.wav"), source("a.mp4"), hostile}), 3);
    for (const char control : {'\x1b', '\x07', '\r'})
        EXPECT_FALSE(errors.contains(control)) << errors.toHex().constData();
    EXPECT_EQ(errors.count('\n'), 1);
    EXPECT_TRUE(errors.contains("a\\x1b[2J\\x1b]0;owned\\x07\\r\\nb\\x9b.mpg")) << errors.data();
}

TEST_F(CliSafety, SourcesWithoutSoundAreNotReadAndNoSoundAtAllKeepsTheDestination) {
    for (const char* name : {"mine.mp3", "mine.wav"}) {
        const QString mine = make(name, QByteArray(402000, 'm'));
        EXPECT_EQ(run({"-o", mine, source("empty.avi")}), 1) << name;
        EXPECT_EQ(contentOf(mine), QByteArray(402000, 'm')) << name;
        EXPECT_EQ(run({"-o", mine, source("a.mp4"), source("empty.avi")}), 3) << name;
        EXPECT_TRUE(errors.contains(": Die Quelldatei enthält keinen Ton.")) << errors.data();
        EXPECT_NEAR(seconds(mine), 3.0, 0.2) << name;
        EXPECT_EQ(left(dir.path()), QStringList({name, "tmp"}));
        QFile::remove(mine);
    }
}

TEST_F(CliSafety, ASampleRateTheStreamCannotTakeSkipsOnlyItsSource) {
    const QString out = dir.filePath("out.mp3");
    EXPECT_EQ(run({"-o", out, source("500.wav"), source("a.mp4"), source("800000.wav")}), 3);
    EXPECT_TRUE(errors.contains("(500 Hz) lässt sich nicht umwandeln.")) << errors.data();
    EXPECT_TRUE(errors.contains("(800000 Hz) lässt sich nicht umwandeln.")) << errors.data();
    EXPECT_FALSE(errors.contains("acmStreamOpen")) << errors.data();
    EXPECT_NEAR(seconds(out), 3.0, 0.2);
}

TEST_F(CliSafety, ARunThatWaitsForAReaderEndsOnTheSecondSignal) {
    const QString fifo = dir.filePath("fifo.mp3");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    enum Reader { None, Stalled, StalledOutput };
    for (const Reader reader : {None, Stalled, StalledOutput}) {
        SCOPED_TRACE(reader);
        // A reader that never reads: the writer fills the pipe and waits.
        const int held = reader == None
                             ? -1
                             : ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
        if (reader == StalledOutput)
            cli.setStandardOutputFile(fifo);
        start({"-o", reader == StalledOutput ? QString("/dev/stdout") : fifo, source("long.mp4")});
        if (reader != None) {
            ASSERT_TRUE(waitFor("MP3 Kodierung...", reader == StalledOutput));
        }
        ::usleep(500000);
        signal(SIGINT);
        ASSERT_TRUE(waitFor("Noch einmal", true));
        ::usleep(200000);
        signal(SIGINT);
        QElapsedTimer ended;
        ended.start();
        EXPECT_EQ(finish(2000), 1) << errors.data();
        EXPECT_LT(ended.elapsed(), 2000);
        EXPECT_TRUE(errors.contains("sofort abgebrochen")) << errors.data();
        EXPECT_TRUE(left(tmp).isEmpty());
        EXPECT_EQ(left(dir.path()), QStringList({"fifo.mp3", "tmp"}));
        if (held >= 0)
            ::close(held);
        cli.setStandardOutputFile(QString());
    }
}

TEST_F(CliSafety, ASignalIgnoredAtTheStartStaysIgnored) {
    start({"-o", dir.filePath("out.mp3"), source("long.mp4")},
          {"bash", "-c", "trap '' HUP; exec \"$@\"", "nohup-like"});
    ASSERT_TRUE(waitFor("Quelldatei öffnen OK", false));
    signal(SIGHUP);
    EXPECT_EQ(finish(120000), 0) << errors.data();
    EXPECT_TRUE(output.contains("Konvertierung beendet..."));
}

TEST_F(CliSafety, StandardOutputAsDestinationGetsOnlyTheSound) {
    EXPECT_EQ(run({"-o", "/dev/stdout", source("a.mp4")}), 0) << errors.data();
    EXPECT_TRUE(errors.contains("Quelldatei öffnen OK\n")) << errors.data();
    EXPECT_TRUE(errors.contains("Konvertierung beendet...\n"));
    const QString out = make("out.mp3", output);
    EXPECT_FALSE(output.contains("Quelldatei"));
    EXPECT_NEAR(seconds(out), 3.0, 0.2);
}

TEST_F(CliSafety, WhatWouldFailLateIsRefusedBeforeAnySourceIsRead) {
    // A name longer than the folder takes.
    EXPECT_EQ(run({"-o", dir.filePath(QString(300, u'n') + ".mp3"), source("a.mp4")}), 1);
    EXPECT_TRUE(errors.contains("Der Name ist zu lang")) << errors.data();
    EXPECT_FALSE(output.contains("Quelldatei öffnen"));

    // A relative name in a folder deeper than the path limit is no trouble at all.
    const QString deep = QStringLiteral("d").repeated(250);
    startCommand({"bash", "-c",
                  QStringLiteral("cd \"$1\" && for i in $(seq 20); do mkdir %1 && cd %1 || "
                                 "exit 9; done; shift; \"$@\" && test -s out.mp3")
                      .arg(deep),
                  "deep", dir.path(), QStringLiteral(TAVIMO_CLI), "-q", "-o", "out.mp3",
                  source("a.mp4")});
    EXPECT_EQ(finish(120000), 0) << errors.data();
    QProcess::execute(QStringLiteral("rm"), {"-rf", dir.filePath(deep)});

    // Root's file, writable by all, in a sticky folder: only root may replace it there.
    const QStringList nobody = asNobody();
    if (nobody.isEmpty())
        GTEST_SKIP() << "needs root and setpriv to act as a second user (nobody)";
    const QString roots = make("tmp/roots.mp3", "root's");
    ASSERT_EQ(::chmod(QFile::encodeName(roots).constData(), 0666), 0);
    EXPECT_EQ(run({"-o", roots, source("a.mp4")}, nobody), 1);
    EXPECT_TRUE(errors.contains("nur der Besitzer")) << errors.data();
    EXPECT_FALSE(output.contains("Quelldatei öffnen"));
    EXPECT_EQ(contentOf(roots), "root's");
}

// Another user who may write to the temporary folder and to the destination's folder swaps
// every name the run might use for a link to a file of root's, while root converts.
TEST_F(CliSafety, RacesWithAnotherUserNeverTouchAFileOutsideTheRun) {
    const QStringList nobody = asNobody();
    if (nobody.isEmpty())
        GTEST_SKIP() << "needs root and setpriv to act as a second user (nobody)";
    const QString victim = make("victim", "precious");
    const QString shared = dir.filePath("shared");
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0777), 0);
    tmpdir = shared;
    QProcess attacker;
    attacker.start(nobody.first(),
                   nobody.mid(1) + QStringList{"bash", "-c",
                                               "while :; do for f in \"$1\"/temp0.wav "
                                               "\"$1\"/*/temp0.wav \"$1\"/.*.part; do "
                                               "ln -sfn \"$2\" \"$f\" 2>/dev/null; done; done",
                                               "attacker", shared, victim});
    ASSERT_TRUE(attacker.waitForStarted());
    const int runs = qEnvironmentVariableIsSet("TAVIMO_RACE_RUNS")
                         ? qEnvironmentVariableIntValue("TAVIMO_RACE_RUNS")
                         : 3;
    for (int i = 0; i < runs; ++i) {
        for (const char* name : {"out.mp3", "out.wav"}) {
            const QString out = QDir(shared).filePath(name);
            start({"-o", out, source("a.mp4")});
            // Meanwhile nothing the run made is open to the other user.
            for (const QString& entry : left(shared)) {
                struct stat st {};
                const bool ours = entry.startsWith("tavimo-") || entry.endsWith(".part");
                if (ours &&
                    ::lstat(QFile::encodeName(shared + '/' + entry).constData(), &st) == 0 &&
                    st.st_uid == 0) {
                    EXPECT_EQ(st.st_mode & 0077, 0u) << entry.toStdString();
                }
            }
            const int status = finish(120000);
            EXPECT_TRUE(status == 0 || status == 1) << status << errors.data();
            EXPECT_EQ(contentOf(victim), "precious") << name << " run " << i;
            EXPECT_FALSE(QFileInfo(out).isSymLink()) << name << " run " << i;
            if (status == 0) {
                EXPECT_NEAR(seconds(out), 3.0, 0.2) << name;
            }
        }
    }
    attacker.kill();
    attacker.waitForFinished();
}

TEST(Window, WithoutADisplaySaysSoInGerman) {
    for (const char* display : {"", ":4711"}) {
        QProcess window;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(name));
        if (*display)
            environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        window.setProcessEnvironment(environment);
        window.start(QStringLiteral(TAVIMO_WINDOW), {});
        ASSERT_TRUE(window.waitForFinished(60000));
        EXPECT_EQ(window.exitStatus(), QProcess::NormalExit) << display;
        EXPECT_EQ(window.exitCode(), 2) << display;
        EXPECT_TRUE(QString::fromUtf8(window.readAllStandardError())
                        .contains(QStringLiteral("braucht eine grafische Oberfläche")))
            << display;
    }
}

} // namespace
