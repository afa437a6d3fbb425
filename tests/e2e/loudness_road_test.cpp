// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Levelling the loudness of videos of very different levels, through the real libraries, as
// ffmpeg's own EBU R 128 meter hears the result.
#include "e2e/real_job.h"
#include "fakes/fake_host.h"
#include "fakes/fake_lame.h"
#include "pipeline/conversion_job.h"
#include "platform/lame/mp3lame_library.h"
#include "platform/mcl/ffmpeg_mcl.h"
#include "platform/msacm/swr_acm.h"
#include "support/media.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr double kSeconds = 3;
// The start and end of each stretch are left out of its measurement: the MP3 encoder's delay
// and the resampler's joins lie there.
constexpr double kMargin = 0.3;

// A video whose sound is `expression` (of t) in both channels, or in one, at 48000 Hz.
bool makeVideo(const QString& path, const QString& expression, bool mono = false) {
    const QString channels = mono ? expression : expression + u'|' + expression;
    return media::runFfmpeg({"-f", "lavfi", "-i",
                             QStringLiteral("testsrc=size=64x48:rate=25:duration=%1").arg(kSeconds),
                             "-f", "lavfi", "-i",
                             QStringLiteral("aevalsrc=%1:s=48000:d=%2").arg(channels).arg(kSeconds),
                             "-shortest", "-c:v", "mpeg4", "-c:a", "aac", "-b:a", "192k", path});
}

QString sineAt(double frequency, double dbfs) {
    return QStringLiteral("pow(10\\,%1/20)*sin(2*PI*%2*t)").arg(dbfs).arg(frequency);
}

// Keeps every line, also those the trimmed log has let go.
class RecordingHost : public FakeHost {
public:
    QStringList lines;
    void AddProgressLine(const QString& line) override {
        lines << line;
        FakeHost::AddProgressLine(line);
    }
};

class LoudnessRoad : public RealJobTest<RecordingHost> {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        // About -35, -23 and -10 LUFS, their peaks leaving room.
        const struct {
            const char* name;
            double frequency;
            double dbfs;
        } levels[] = {{"quiet.mp4", 440, -35}, {"middle.mp4", 1000, -23}, {"loud.mp4", 1500, -11}};
        for (const auto& level : levels) {
            const QString path = dir->filePath(QString::fromUtf8(level.name));
            ASSERT_TRUE(makeVideo(path, sineAt(level.frequency, level.dbfs)));
            sources << path;
        }
        // Quiet, with a short loud burst each second: its peak keeps it from the target.
        spiky = dir->filePath(QStringLiteral("spiky.mp4"));
        ASSERT_TRUE(makeVideo(spiky, QStringLiteral("if(lt(mod(t\\,1)\\,0.002)\\,0.8\\,"
                                                    "pow(10\\,-30/20))*sin(2*PI*1000*t)")));
        mono = dir->filePath(QStringLiteral("mono.mp4"));
        ASSERT_TRUE(makeVideo(mono, sineAt(1000, -30), true));
        // Plain 16-bit samples, which every decoder gives back exactly.
        pcm = dir->filePath(QStringLiteral("pcm.avi"));
        ASSERT_TRUE(media::runFfmpeg(
            {"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25:duration=2", "-f", "lavfi", "-i",
             "aevalsrc=0.3*sin(2*PI*300*t)|0.2*sin(2*PI*500*t):s=44100:d=2", "-shortest", "-c:v",
             "mpeg4", "-c:a", "pcm_s16le", pcm}));
    }
    static void TearDownTestSuite() {
        delete dir;
        sources.clear();
    }

    void run(const QString& name, const QStringList& list, bool loudness, double target = -18) {
        host.settings.destination = out.filePath(name);
        host.settings.sources = list;
        host.settings.loudness = loudness;
        host.settings.loudnessTarget = target;
        job.RunConversion();
    }
    // Where the stretch of source `index` begins in the destination, in seconds.
    double startOf(int index) const {
        const bool mp3 = !isWavDestination(host.settings.destination);
        // The MP3 stream starts with the encoder's delay of 1105 frames.
        return index * kSeconds + (mp3 ? 1105.0 / 44100 : 0);
    }
    media::Loudness stretch(int index, double seconds = kSeconds) const {
        const double start = startOf(index);
        return media::measureLoudness(host.settings.destination, start + kMargin,
                                      start + seconds - kMargin);
    }

    static inline QTemporaryDir* dir = nullptr;
    static inline QStringList sources;
    static inline QString spiky;
    static inline QString pcm;
    static inline QString mono;
};

TEST_F(LoudnessRoad, EverySourceComesOutAtTheTargetOnBothRoads) {
    for (const char* name : {"joined.wav", "joined.mp3"}) {
        for (const double target : {-18.0, -23.0}) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(target));
            host.lines.clear();
            run(QString::fromUtf8(name), sources, true, target);
            ASSERT_EQ(job.outcome().kind, ConversionOutcome::Kind::Finished);
            ASSERT_EQ(job.outcome().levels.size(), 3U);
            for (int i = 0; i < 3; ++i) {
                EXPECT_NEAR(stretch(i).integrated, target, 1.0) << "source " << i;
                EXPECT_FALSE(job.outcome().levels[i].limitedByPeak);
            }
            EXPECT_LE(media::measureLoudness(host.settings.destination).truePeak, -1.0);
            EXPECT_TRUE(QDir(temp.path()).isEmpty());
        }
    }
}

TEST_F(LoudnessRoad, ASourceWhosePeakForbidsTheTargetGetsWhatItsPeakAllows) {
    for (const char* name : {"spiky.wav", "spiky.mp3"}) {
        SCOPED_TRACE(name);
        host.lines.clear();
        run(QString::fromUtf8(name), {spiky, sources[1]}, true);
        ASSERT_EQ(job.outcome().levels.size(), 2U);
        const SourceLevel& level = job.outcome().levels[0];
        EXPECT_TRUE(level.limitedByPeak);
        EXPECT_NEAR(level.truePeak + level.gain, -1.0, 1e-9);
        EXPECT_LT(level.gain, level.wantedGain - 5);
        EXPECT_EQ(host.lines.filter(QStringLiteral("angehoben um nur")).size(), 1)
            << host.lines.join('\n').toStdString();
        // ffmpeg oversamples differently; its reading of the peak may differ by a little.
        const media::Loudness first = stretch(0);
        EXPECT_LE(media::measureLoudness(host.settings.destination, 0, kSeconds).truePeak,
                  name == std::string("spiky.wav") ? -0.9 : -0.5);
        EXPECT_NEAR(first.integrated, level.loudness + level.gain, 1.0);
        EXPECT_NEAR(stretch(1).integrated, -18, 1.0);
    }
}

TEST_F(LoudnessRoad, MonoIsLevelledAsItIsHeard) {
    // The MP3 stream carries mono on both sides at full level; a WAV file keeps one channel.
    for (const char* name : {"mono.wav", "mono.mp3"}) {
        SCOPED_TRACE(name);
        run(QString::fromUtf8(name), {mono}, true);
        ASSERT_EQ(job.outcome().kind, ConversionOutcome::Kind::Finished);
        EXPECT_NEAR(stretch(0).integrated, -18, 1.0);
    }
}

TEST_F(LoudnessRoad, AStopLeavesACompleteFileWithEverySourceInItLevelled) {
    for (const char* name : {"stopped.wav", "stopped.mp3"}) {
        SCOPED_TRACE(name);
        host.log.clear();
        host.progress.clear();
        // The stop lands while the second source is read (WAV) or encoded (MP3).
        host.onPump = [this](int) {
            if (host.progress.back().source == 1 && host.progress.back().doneSeconds > 3.5 &&
                !job.stopRequested())
                job.requestStop();
        };
        run(QString::fromUtf8(name), sources, true);
        host.onPump = nullptr;
        ASSERT_EQ(job.outcome().kind, ConversionOutcome::Kind::Stopped);
        ASSERT_EQ(job.outcome().levels.size(), 2U);
        const media::Pcm written = media::decode(host.settings.destination);
        const double seconds = static_cast<double>(written.frames()) / written.rate;
        EXPECT_GT(seconds, kSeconds + 1.5);
        EXPECT_LT(seconds, 2 * kSeconds + 0.2);
        EXPECT_NEAR(stretch(0).integrated, -18, 1.0);
        EXPECT_NEAR(stretch(1, seconds - kSeconds).integrated, -18, 1.0);
    }
}

TEST_F(LoudnessRoad, WithoutTheOptionEverySampleStaysAsItWas) {
    // WAV road: the destination holds the source's samples, byte for byte.
    run(QStringLiteral("plain.wav"), {pcm}, false);
    const media::Pcm source = media::decode(pcm);
    const media::Pcm written = media::readWav(host.settings.destination);
    EXPECT_EQ(written.samples, source.samples);
    EXPECT_TRUE(job.outcome().levels.empty());
    EXPECT_TRUE(host.lines.filter(QStringLiteral("Lautstärke")).isEmpty());

    // MP3 road: the encoder is handed the source's samples, byte for byte.
    FakeLame recording;
    RecordingHost mp3Host;
    mp3Host.settings.destination = out.filePath(QStringLiteral("plain.mp3"));
    mp3Host.settings.sources = {pcm};
    ConversionJob mp3Job{mp3Host, {mcl, recording, acm}};
    mp3Job.RunConversion();
    EXPECT_EQ(recording.received, source.samples);
    EXPECT_TRUE(mp3Host.lines.filter(QStringLiteral("Lautstärke")).isEmpty());
}

} // namespace
