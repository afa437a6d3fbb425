// tavimo-cli itself on real media, without a display.
#include "support/media.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Result {
    int exitCode = -1;
    QStringList out;
    QString err;
};

Result runCli(const QStringList& arguments) {
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(name));
    cli.setProcessEnvironment(environment);
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

TEST(CliEndToEnd, UsageErrorsAndHelp) {
    const struct {
        QStringList arguments;
        int exitCode;
    } cases[] = {
        {{}, 2},
        {{"-o", "out.wav"}, 2},
        {{"--rate", "1000", "-o", "out.mp3", "a.avi"}, 2},
        {{"--bitrate", "320", "-o", "out.mp3", "a.avi"}, 2},
        {{"--help"}, 0},
    };
    for (const auto& c : cases) {
        const Result result = runCli(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
        const QString usage = c.exitCode == 0 ? result.out.join(u'\n') : result.err;
        EXPECT_TRUE(usage.contains("Aufruf: tavimo-cli")) << usage.toStdString();
    }
}

class CliMedia : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        ASSERT_TRUE(media::makeVideoWithSine(dir->filePath("a.mp4"), 440, 2.0,
                                             {"-c:a", "aac", "-ar", "48000", "-ac", "2"}));
        ASSERT_TRUE(media::makeVideoWithSine(dir->filePath("b.avi"), 660, 2.0,
                                             {"-c:a", "libmp3lame", "-ar", "44100", "-ac", "2"}));
    }
    static void TearDownTestSuite() { delete dir; }

    static QTemporaryDir* dir;
};

QTemporaryDir* CliMedia::dir = nullptr;

TEST_F(CliMedia, JoinsBothSourcesIntoOneWavFile) {
    const QString destination = dir->filePath("out.wav");
    const Result result =
        runCli({"-o", destination, dir->filePath("a.mp4"), dir->filePath("b.avi")});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.err.isEmpty()) << result.err.toStdString();
    ASSERT_FALSE(result.out.isEmpty());
    EXPECT_TRUE(result.out.first().startsWith("Ausgabedatei "));
    EXPECT_EQ(result.out.filter("Quelldatei öffnen ").size(), 2);
    EXPECT_EQ(result.out.last(), "Konvertierung beendet...");

    const media::Pcm pcm = media::readWav(destination);
    ASSERT_GT(pcm.rate, 0);
    // About four seconds: two of each source, one after the other.
    EXPECT_NEAR(static_cast<double>(pcm.frames()) / pcm.rate, 4.0, 0.2);
    const auto second = static_cast<std::size_t>(pcm.rate);
    EXPECT_NEAR(media::dominantFrequency(media::channel(pcm, 0, second / 2, second), pcm.rate), 440,
                2);
    EXPECT_NEAR(media::dominantFrequency(
                    media::channel(pcm, 0, pcm.frames() - 3 * second / 2, second), pcm.rate),
                660, 2);
}

TEST_F(CliMedia, WritesOneMp3StreamAtTheChosenRate) {
    const QString destination = dir->filePath("out.mp3");
    const Result result = runCli({"--rate", "32000", "--bitrate", "96", "-o", destination,
                                  dir->filePath("a.mp4"), dir->filePath("b.avi")});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out.filter("MP3 Kodierung...").size(), 2);
    EXPECT_EQ(result.out.last(), "Konvertierung beendet...");
    const media::Pcm pcm = media::decode(destination);
    EXPECT_EQ(pcm.rate, 32000);
    EXPECT_NEAR(static_cast<double>(pcm.frames()) / pcm.rate, 4.0, 0.3);
}

TEST_F(CliMedia, ASourceThatCannotBeOpenedDoesNotStopTheRun) {
    const QString destination = dir->filePath("partial.wav");
    const Result result =
        runCli({"-o", destination, dir->filePath("missing.avi"), dir->filePath("a.mp4")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out.last(), "Konvertierung beendet...");
}

} // namespace
