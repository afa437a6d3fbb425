// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// tavimo-cli itself on real media, without a display.
#include "support/media.h"
#include "support/scratch_dir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

struct Result {
    int exitCode = -1;
    QStringList out;
    QString err;
};

// Runs tavimo-cli; `tmp` is its TMPDIR when given, `fileSizeLimit` its RLIMIT_FSIZE in bytes.
Result runCli(const QStringList& arguments, const QString& tmp = {},
              rlim_t fileSizeLimit = RLIM_INFINITY) {
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(name));
    if (!tmp.isEmpty())
        environment.insert(QStringLiteral("TMPDIR"), tmp);
    cli.setProcessEnvironment(environment);
    cli.setChildProcessModifier([fileSizeLimit] {
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    cli.start(QStringLiteral(TAVIMO_CLI), arguments);
    Result result;
    if (!cli.waitForFinished(300000) || cli.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "tavimo-cli did not end normally";
        return result;
    }
    result.exitCode = cli.exitCode();
    result.out = QString::fromUtf8(cli.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    result.err = QString::fromUtf8(cli.readAllStandardError());
    return result;
}

TEST(CliEndToEnd, HelpSucceedsAndAUsageErrorFailsWithTheUsage) {
    EXPECT_EQ(runCli({"--help"}).exitCode, 0);
    const Result result = runCli({});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.contains("Aufruf: tavimo-cli")) << result.err.toStdString();
}

TEST(CliEndToEnd, JoinsRealSourcesIntoOneWavOrMp3File) {
    ScratchDir dir;
    ASSERT_TRUE(media::makeVideoWithSine(dir.filePath("a.mp4"), 440, 2.0,
                                         {"-c:a", "aac", "-ar", "48000", "-ac", "2"}));
    ASSERT_TRUE(media::makeVideoWithSine(dir.filePath("b.avi"), 660, 2.0,
                                         {"-c:a", "libmp3lame", "-ar", "44100", "-ac", "2"}));
    // A source that cannot be opened does not stop the run, but it is named.
    Result result = runCli({"-o", dir.filePath("out.wav"), dir.filePath("a.mp4"),
                            dir.filePath("missing.avi"), dir.filePath("b.avi")});
    ASSERT_EQ(result.exitCode, 3) << result.err.toStdString();
    EXPECT_EQ(result.err,
              "Nicht umgewandelt: " + dir.filePath("missing.avi") + ": Ungültige Quelldatei.\n");
    EXPECT_EQ(result.out.filter("Quelldatei öffnen OK").size(), 2);
    EXPECT_EQ(result.out.last(), "Konvertierung beendet...");
    const media::Pcm pcm = media::readWav(dir.filePath("out.wav"));
    ASSERT_GT(pcm.rate, 0);
    // About four seconds: two of each source, in the order given.
    EXPECT_NEAR(static_cast<double>(pcm.frames()) / pcm.rate, 4.0, 0.2);
    const auto second = static_cast<std::size_t>(pcm.rate);
    EXPECT_NEAR(media::dominantFrequency(media::channel(pcm, 0, second / 2, second), pcm.rate), 440,
                2);
    EXPECT_NEAR(media::dominantFrequency(
                    media::channel(pcm, 0, pcm.frames() - 3 * second / 2, second), pcm.rate),
                660, 2);

    // 144 kbit/s do not exist at 32 kHz; the notice comes before the completion line, also
    // from several encoders.
    result = runCli({"--threads", "2", "--rate", "32000", "--bitrate", "144", "-o",
                     dir.filePath("out.mp3"), dir.filePath("a.mp4"), dir.filePath("b.avi")});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out.last(), "Konvertierung beendet...");
    EXPECT_EQ(result.out.filter("Hinweis: 144 kBit/Sekunde").size(), 1);
    const media::Pcm mp3 = media::decode(dir.filePath("out.mp3"));
    EXPECT_EQ(mp3.rate, 32000);
    EXPECT_NEAR(static_cast<double>(mp3.frames()) / mp3.rate, 4.0, 0.3);
}

// What a user meets on a bad day: the exit status says it, standard error says why, and the
// file the user had is still there.
TEST(CliEndToEnd, FailuresExitWithOneAndLeaveTheUsersFile) {
    ScratchDir dir;
    const QString source = dir.filePath("a.mp4");
    ASSERT_TRUE(
        media::makeVideoWithSine(source, 440, 6.0, {"-c:a", "aac", "-ar", "48000", "-ac", "2"}));
    const QString mine = dir.filePath("mine.wav");
    QFile file(mine);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(200000, 'x'));
    file.close();
    const QString tmp = dir.filePath("tmp");
    ASSERT_TRUE(QDir().mkpath(tmp));

    struct Case {
        const char* name;
        QStringList arguments;
        rlim_t limit;
        const char* says;
    };
    const Case cases[] = {
        {"a mistyped source",
         {"-o", mine, dir.filePath("a.mp5")},
         RLIM_INFINITY,
         "Keine der Quelldateien"},
        {"a WAV that outgrows the disk",
         {"-o", mine, source},
         300000,
         "Fehler beim Schreiben der Zieldatei"},
        {"an MP3 whose temporary WAV outgrows the disk",
         {"-o", dir.filePath("mine.mp3"), source},
         300000,
         "temporäre Datei"},
        // The full disk shows before the completion line, from one encoder or several.
        {"a full device",
         {"--threads", "1", "-o", "/dev/full", source},
         RLIM_INFINITY,
         "Disk full"},
        {"a full device, several encoders",
         {"--threads", "2", "-o", "/dev/full", source},
         RLIM_INFINITY,
         "Disk full"},
        {"a folder that does not exist",
         {"-o", dir.filePath("no/such.wav"), source},
         RLIM_INFINITY,
         "nicht angelegt"},
    };
    for (const Case& c : cases) {
        const Result result = runCli(c.arguments, tmp, c.limit);
        EXPECT_EQ(result.exitCode, 1) << c.name;
        EXPECT_TRUE(result.err.contains(QString::fromUtf8(c.says)))
            << c.name << ": " << result.err.toStdString();
        EXPECT_FALSE(result.out.contains("Konvertierung beendet...")) << c.name;
        EXPECT_EQ(QFileInfo(mine).size(), 200000) << c.name;
        EXPECT_TRUE(QDir(tmp).isEmpty()) << c.name;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList({"a.mp4", "mine.wav"}))
            << c.name;
    }
}

// Source names are the files of those names: bytes that are no UTF-8, and names FFmpeg would
// read as protocols.
TEST(CliEndToEnd, ANameIsAlwaysTheFileOfThatName) {
    ScratchDir dir;
    ASSERT_TRUE(media::makeVideoWithSine(dir.filePath("12:30.mpg"), 440, 1.0,
                                         {"-c:a", "mp2", "-ar", "48000", "-ac", "2"}));
    ASSERT_TRUE(QFile::copy(dir.filePath("12:30.mpg"), dir.filePath("concat:x.mpg")));
    // A Latin-1 name, which Qt's own names cannot hold, nor QTemporaryDir remove.
    const QByteArray latin = QFile::encodeName(dir.path()) + "/caf\xe9.mpg";
    const struct Remove {
        const QByteArray& name;
        ~Remove() { ::unlink(name.constData()); }
    } removeLatin{latin};
    ASSERT_TRUE(QFile::copy(dir.filePath("12:30.mpg"), dir.filePath("latin")));
    ASSERT_EQ(::rename(QFile::encodeName(dir.filePath("latin")).constData(), latin.constData()), 0);
    QProcess cli;
    cli.setWorkingDirectory(dir.path());
    cli.start(QStringLiteral("bash"), {"-c",
                                       "exec \"$0\" -o out.wav 12:30.mpg concat:x.mpg "
                                       "\"$(printf 'caf\\351.mpg')\"",
                                       QStringLiteral(TAVIMO_CLI)});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().constData();
    const media::Pcm pcm = media::readWav(dir.filePath("out.wav"));
    ASSERT_GT(pcm.rate, 0);
    EXPECT_NEAR(static_cast<double>(pcm.frames()) / pcm.rate, 3.0, 0.1);
}

} // namespace
