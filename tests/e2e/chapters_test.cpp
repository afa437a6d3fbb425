// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Chapter marks of three real sources through the real libraries, as ffprobe and sox read them.
#include "e2e/real_job.h"
#include "fakes/fake_host.h"
#include "pipeline/conversion_job.h"
#include "platform/lame/mp3lame_library.h"
#include "platform/mcl/ffmpeg_mcl.h"
#include "platform/msacm/swr_acm.h"
#include "support/media.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray run(const QString& program, const QStringList& args) {
    const media::ToolRun tool = media::runTool(program, args);
    EXPECT_TRUE(tool.exitedZero) << program.toStdString() << ": " << tool.err.toStdString();
    return tool.out;
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class Chapters : public RealJobTest<> {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        const std::tuple<QString, double, QStringList> made[] = {
            {"Erster Teil.mp4", 2.0, {"-c:a", "aac", "-ar", "48000", "-ac", "2"}},
            {"zweiter.teil ä.avi", 2.5, {"-c:a", "libmp3lame", "-ar", "44100", "-ac", "1"}},
            {"3.mpg", 1.5, {"-c:a", "mp2", "-ar", "32000", "-c:v", "mpeg1video", "-f", "mpeg"}}};
        for (const auto& [name, seconds, audio] : made) {
            paths << dir->filePath(name);
            ASSERT_TRUE(media::makeVideoWithSine(paths.back(), 440, seconds, audio));
            const media::Pcm pcm = media::decode(paths.back());
            lengths.push_back(double(pcm.frames()) / pcm.rate);
        }
        QFile text(dir->filePath(QStringLiteral("kaputt.avi")));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write("kein Video\n") > 0);
    }
    static void TearDownTestSuite() {
        delete dir;
        paths.clear();
        lengths.clear();
    }
    void SetUp() override {
        RealJobTest::SetUp();
        host.settings.sources = paths;
        host.settings.chapters = true;
    }

    // The chapters ffprobe reads have the sources' titles and start where the sound of the
    // sources before them ends, within a millisecond, one after the other.
    static void expectChapters(const QString& path, std::size_t count) {
        const QJsonArray chapters =
            QJsonDocument::fromJson(
                run("ffprobe", {"-v", "error", "-show_chapters", "-of", "json", path}))
                .object()["chapters"]
                .toArray();
        ASSERT_EQ(std::size_t(chapters.size()), count);
        const QStringList titles{"Erster Teil", "zweiter.teil ä", "3"};
        double start = 0;
        for (qsizetype i = 0; i < chapters.size(); ++i) {
            const QJsonObject chapter = chapters[i].toObject();
            EXPECT_EQ(chapter["tags"].toObject()["title"].toString(), titles[i]);
            EXPECT_NEAR(chapter["start_time"].toString().toDouble(), start, 0.001) << i;
            start += lengths[std::size_t(i)];
            EXPECT_NEAR(chapter["end_time"].toString().toDouble(), start, 0.001) << i;
        }
    }

    static inline QTemporaryDir* dir = nullptr;
    static inline QStringList paths;
    static inline std::vector<double> lengths; // seconds of sound of each source
};

// After the tag, the bytes of the run without chapters, which begins with its first frame.
TEST_F(Chapters, Mp3BeginsWithAChapterTagInFrontOfTheSameFrames) {
    for (const bool chapters : {true, false}) {
        host.settings.chapters = chapters;
        host.settings.destination = out.filePath(chapters ? "mit.mp3" : "ohne.mp3");
        job.RunConversion();
        EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::Finished);
    }
    expectChapters(out.filePath("mit.mp3"), 3);
    EXPECT_EQ(run("ffmpeg", {"-v", "error", "-i", out.filePath("mit.mp3"), "-f", "null", "-"}), "");
    const QByteArray with = bytesOf(out.filePath("mit.mp3")),
                     without = bytesOf(out.filePath("ohne.mp3"));
    ASSERT_TRUE(with.startsWith("ID3") && without.startsWith('\xff'));
    const qsizetype tag = 10 + (with[6] << 21 | with[7] << 14 | with[8] << 7 | with[9]);
    EXPECT_TRUE(with.mid(tag) == without);
}

TEST_F(Chapters, Mp3StoppedHoldsTheChaptersOfWhatWentIn) {
    host.settings.destination = out.filePath("mit.mp3");
    host.onPump = [&](int) {
        if (host.progress.back().source == 1)
            job.requestStop();
    };
    job.RunConversion();
    EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::Stopped);
    expectChapters(host.settings.destination, 2);
}

// An unreadable source between them gets no cue point; the file's sound and its length, as
// ffprobe and sox read it, are those of the run without marks.
TEST_F(Chapters, WavCarriesACuePointPerReadableSource) {
    host.settings.sources.insert(1, dir->filePath(QStringLiteral("kaputt.avi")));
    for (const bool chapters : {false, true}) {
        host.settings.chapters = chapters;
        host.settings.destination = out.filePath(chapters ? "mit.wav" : "ohne.wav");
        job.RunConversion();
    }
    const QString marked = out.filePath("mit.wav");
    expectChapters(marked, 3);
    const media::WavChunks wav = media::readWavChunks(marked);
    ASSERT_EQ(wav.cues.size(), 3u);
    EXPECT_EQ(wav.cues[1].second, "zweiter.teil ä");
    EXPECT_NEAR(wav.cues[2].first, (lengths[0] + lengths[1]) * 48000, 48);
    const QByteArray without = bytesOf(out.filePath("ohne.wav"));
    EXPECT_TRUE(bytesOf(marked).mid(80, without.size() - 80) == without.mid(80));
    const QString frames = QString::number((without.size() - 80) / 4);
    EXPECT_EQ(run("sox", {"--i", "-s", marked}).trimmed(), frames);
    EXPECT_EQ(run("ffprobe",
                  {"-v", "error", "-show_entries", "stream=duration_ts", "-of", "csv=p=0", marked})
                  .trimmed(),
              frames);
}

} // namespace
