// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// tavimo-cli on real media, interrupted as users and shells interrupt it: Ctrl-C once and
// twice, a source that keeps it waiting, a reader that goes away.
#include "support/media.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class CliSignals : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new QTemporaryDir;
        ASSERT_TRUE(media::makeVideoWithSine(folder->filePath("long.mp4"), 440, 90.0,
                                             {"-c:a", "aac", "-ar", "48000", "-ac", "2"}));
    }
    static void TearDownTestSuite() { delete folder; }

    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(tmp));
        QFile mine(destination);
        ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
        mine.write("the user's own file");
    }

    void start(const QStringList& arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), tmp);
        cli.setProcessEnvironment(environment);
        cli.start(QStringLiteral(TAVIMO_CLI), arguments);
        ASSERT_TRUE(cli.waitForStarted());
    }
    // Waits until standard error has shown `text`.
    bool waitForError(const QString& text) {
        while (!errors.contains(text)) {
            if (!cli.waitForReadyRead(30000))
                return false;
            output += cli.readAllStandardOutput();
            errors += QString::fromUtf8(cli.readAllStandardError());
        }
        return true;
    }
    // Waits until standard output has shown `line`.
    bool waitForLine(const QString& line) {
        while (!output.contains(line.toUtf8())) {
            if (!cli.waitForReadyRead(30000))
                return false;
            output += cli.readAllStandardOutput();
        }
        return true;
    }
    void signal(int number) { ASSERT_EQ(::kill(static_cast<pid_t>(cli.processId()), number), 0); }
    int finish() {
        if (!cli.waitForFinished(60000) || cli.exitStatus() != QProcess::NormalExit)
            return -1;
        output += cli.readAllStandardOutput();
        errors += QString::fromUtf8(cli.readAllStandardError());
        return cli.exitCode();
    }
    QByteArray mine() const {
        QFile file(destination);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static inline QTemporaryDir* folder = nullptr;
    QTemporaryDir dir;
    const QString tmp = dir.filePath("tmp");
    const QString destination = dir.filePath("mine.mp3");
    QProcess cli;
    QByteArray output;
    QString errors;
};

TEST_F(CliSignals, ASecondCtrlCEndsTheRunAtOnceAndCleansUp) {
    start({"-o", destination, folder->filePath("long.mp4")});
    ASSERT_TRUE(waitForLine("MP3 Kodierung..."));
    signal(SIGINT);
    // Signals sent at once may arrive as one: the second goes once the first has been heard.
    ASSERT_TRUE(waitForError("Noch einmal Strg+C"));
    signal(SIGINT);
    EXPECT_EQ(finish(), 1);
    EXPECT_TRUE(errors.contains("sobald die Quelldatei, die gerade kodiert wird, fertig ist"))
        << errors.toStdString();
    EXPECT_TRUE(errors.contains("sofort abgebrochen")) << errors.toStdString();
    EXPECT_FALSE(output.contains("Konvertierung beendet..."));
    EXPECT_EQ(mine(), "the user's own file");
    EXPECT_TRUE(QDir(tmp).isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"mine.mp3"});
}

TEST_F(CliSignals, CtrlCReachesASourceThatKeepsTheRunWaiting) {
    const QString fifo = dir.filePath("stalled.mpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A writer that never writes: the program waits for data that does not come.
    const int writer = ::open(QFile::encodeName(fifo).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    const QString wav = dir.filePath("out.wav");
    start({"-o", wav, fifo});
    ASSERT_TRUE(waitForLine("Ausgabedatei OK"));
    ::usleep(300000);
    signal(SIGINT);
    EXPECT_EQ(finish(), 130);
    ::close(writer);
    EXPECT_TRUE(output.contains("Quelldatei öffnen Konvertierung abgebrochen")) << output.data();
    EXPECT_FALSE(QFile::exists(wav));
}

TEST_F(CliSignals, AReaderThatGoesAwayEndsTheRunWithoutLeavingAnything) {
    // As a shell runs `tavimo-cli ... | head -2`, telling tavimo-cli's own exit status.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), tmp);
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral("bash"),
              {"-c", "\"$0\" \"$@\" | head -2 >/dev/null; exit ${PIPESTATUS[0]}",
               QStringLiteral(TAVIMO_CLI), "-o", destination, folder->filePath("long.mp4")});
    EXPECT_EQ(finish(), 1);
    EXPECT_TRUE(errors.contains("Standardausgabe")) << errors.toStdString();
    EXPECT_EQ(mine(), "the user's own file");
    EXPECT_TRUE(QDir(tmp).isEmpty());
}

} // namespace
