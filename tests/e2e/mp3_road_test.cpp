// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Videos of different sound formats through the real libraries into one MP3.
#include "acm/ACMConvertor.h"
#include "e2e/real_job.h"
#include "fakes/fake_host.h"
#include "pipeline/conversion_job.h"
#include "platform/lame/mp3lame_library.h"
#include "platform/mcl/ffmpeg_mcl.h"
#include "platform/msacm/swr_acm.h"
#include "support/media.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct Fixture {
    const char* name;
    double frequency;
    double seconds;
    QStringList audio;
    QStringList container;
};

class Mp3Road : public RealJobTest<> {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        const Fixture fixtures[] = {
            {"a.mp4", 440, 2.0, {"-c:a", "aac", "-ar", "48000", "-ac", "2"}, {}},
            {"b.avi", 660, 2.5, {"-c:a", "libmp3lame", "-ar", "44100", "-ac", "1"}, {}},
            {"c.vob",
             880,
             2.0,
             {"-c:a", "ac3", "-ar", "48000", "-ac", "6"},
             {"-c:v", "mpeg2video", "-f", "vob"}},
            {"d.mpg",
             1000,
             1.5,
             {"-c:a", "mp2", "-ar", "32000", "-ac", "2"},
             {"-c:v", "mpeg1video", "-f", "mpeg"}},
        };
        for (const Fixture& f : fixtures) {
            const QString path = dir->filePath(QString::fromUtf8(f.name));
            ASSERT_TRUE(
                media::makeVideoWithSine(path, f.frequency, f.seconds, f.audio, f.container));
            sources.append(path);
            frequencies.push_back(f.frequency);
            // The length a player gives each source, at the destination's rate.
            const media::Pcm pcm = media::decode(path);
            sourceFrames.push_back(pcm.frames() * 44100.0 / pcm.rate);
        }
    }
    static void TearDownTestSuite() {
        delete dir;
        sources.clear();
        frequencies.clear();
        sourceFrames.clear();
    }

    void SetUp() override {
        RealJobTest::SetUp();
        host.settings.destination = out.filePath(QStringLiteral("joined.mp3"));
    }

    static inline QTemporaryDir* dir = nullptr;
    static inline QStringList sources;
    static inline std::vector<double> frequencies;
    static inline std::vector<double> sourceFrames;
};

TEST_F(Mp3Road, FourFormatsJoinIntoOneCleanMp3) {
    host.settings.sources = sources;
    job.RunConversion();
    EXPECT_EQ(host.log.back(), "Konvertierung beendet...");
    EXPECT_TRUE(host.boxes.isEmpty()) << host.boxes.join('\n').toStdString();
    EXPECT_TRUE(QDir(temp.path()).isEmpty()) << "temporary files left behind";
    EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::Finished);
    EXPECT_EQ(job.outcome().sourcesConverted, sources.size());

    // Decodes without a single complaint.
    const media::ToolRun check =
        media::runTool(QStringLiteral("ffmpeg"),
                       {"-v", "error", "-i", host.settings.destination, "-f", "null", "-"});
    EXPECT_TRUE(check.exitedZero);
    EXPECT_EQ(check.err, QByteArray());

    const media::Pcm pcm = media::decode(host.settings.destination);
    ASSERT_EQ(pcm.rate, 44100);
    ASSERT_EQ(pcm.channels, 2);
    double expected = 0;
    for (double frames : sourceFrames)
        expected += frames;
    // The encoder's start delay and end padding come on top, a few frames of 1152 samples.
    EXPECT_GE(static_cast<double>(pcm.frames()), expected - 64);
    EXPECT_LE(static_cast<double>(pcm.frames()), expected + 3 * 1152 + 64);

    // Every part keeps its tone, in both channels, at the place it belongs.
    double start = 1105;
    for (std::size_t i = 0; i < sourceFrames.size(); ++i) {
        const auto middle = static_cast<std::size_t>(start + sourceFrames[i] / 2);
        for (int ch = 0; ch < 2; ++ch) {
            const auto part = media::channel(pcm, ch, middle - 8192, 16384);
            EXPECT_NEAR(media::dominantFrequency(part, 44100), frequencies[i], 1.0)
                << "source " << i << " channel " << ch;
        }
        start += sourceFrames[i];
    }

    // No click: nothing in the output jumps further than a full swing of the loudest tone.
    const auto left = media::channel(pcm, 0);
    const double peak = std::abs(*std::max_element(
        left.begin(), left.end(), [](double a, double b) { return std::abs(a) < std::abs(b); }));
    EXPECT_LT(peak, 0.5);
    EXPECT_LT(media::largestStep(left), 0.5);
}

TEST_F(Mp3Road, StopDuringTheSecondSourceLeavesACompleteFileOfTheFirstTwo) {
    host.settings.sources = sources;
    host.onPump = [&](int) {
        // The stop click lands while the second source is encoded.
        if (host.progress.back().source == 1 && !job.stopRequested())
            job.requestStop();
    };
    job.RunConversion();
    EXPECT_EQ(host.log.back(), "Konvertierung beendet...");
    EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::Stopped);
    EXPECT_TRUE(QDir(temp.path()).isEmpty());

    const media::Pcm pcm = media::decode(host.settings.destination);
    const double expected = sourceFrames[0] + sourceFrames[1];
    EXPECT_GE(static_cast<double>(pcm.frames()), expected - 64);
    EXPECT_LE(static_cast<double>(pcm.frames()), expected + 3 * 1152 + 64);
    const auto tail = media::channel(pcm, 0, pcm.frames() - 30000, 16384);
    EXPECT_NEAR(media::dominantFrequency(tail, 44100), frequencies[1], 1.0);
}

TEST_F(Mp3Road, WavDestinationJoinsTheSameSources) {
    host.settings.destination = out.filePath(QStringLiteral("joined.WAV"));
    host.settings.sources = sources;
    job.RunConversion();
    EXPECT_EQ(host.log.back(), "Konvertierung beendet...");
    const media::Pcm pcm = media::readWav(host.settings.destination);
    // The first source fixes the format: 48000 Hz stereo.
    EXPECT_EQ(pcm.rate, 48000);
    EXPECT_EQ(pcm.channels, 2);
    double expected = 0;
    for (double frames : sourceFrames)
        expected += frames * 48000 / 44100;
    EXPECT_NEAR(static_cast<double>(pcm.frames()), expected, 64);
}

} // namespace
