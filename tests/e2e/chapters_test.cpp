// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Chapter marks through the real libraries: read back by TagLib, ffprobe and sox, and a reader
// of the test's own for the WAV chunks.
#include "fakes/fake_host.h"
#include "pipeline/conversion_job.h"
#include "platform/lame/mp3lame_library.h"
#include "platform/mcl/ffmpeg_mcl.h"
#include "platform/msacm/swr_acm.h"
#include "support/media.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <taglib/chapterframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tableofcontentsframe.h>

#include <gtest/gtest.h>

namespace {

struct Source {
    const char* name;
    QString title;
    double seconds;
    QStringList audio;
    QStringList container;
};

// A chapter as a reader gives it, in milliseconds.
struct Read {
    QString title;
    double start = 0;
    double end = 0;
};

QByteArray run(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        ADD_FAILURE() << program.toStdString() << " " << args.join(' ').toStdString() << ": "
                      << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<Read> tagLibChapters(const QString& path, bool& tableOk) {
    namespace ID3v2 = TagLib::ID3v2;
    std::vector<Read> chapters;
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    ID3v2::Tag* tag = file.ID3v2Tag();
    tableOk = false;
    if (!tag)
        return chapters;
    const ID3v2::FrameList tables = tag->frameListMap()["CTOC"];
    const ID3v2::FrameList frames = tag->frameListMap()["CHAP"];
    TagLib::ByteVectorList ids;
    for (ID3v2::Frame* frame : frames) {
        const auto* chapter = dynamic_cast<ID3v2::ChapterFrame*>(frame);
        const ID3v2::FrameList titles = chapter->embeddedFrameListMap()["TIT2"];
        chapters.push_back({titles.isEmpty()
                                ? QString()
                                : QString::fromStdString(titles.front()->toString().to8Bit(true)),
                            double(chapter->startTime()), double(chapter->endTime())});
        ids.append(chapter->elementID());
    }
    const auto* table =
        tables.size() == 1 ? dynamic_cast<ID3v2::TableOfContentsFrame*>(tables.front()) : nullptr;
    tableOk = tag->header()->majorVersion() == 4 && table && table->isTopLevel() &&
              table->isOrdered() && table->childElements() == ids;
    return chapters;
}

std::vector<Read> ffprobeChapters(const QString& path) {
    const QJsonObject probe =
        QJsonDocument::fromJson(
            run(QStringLiteral("ffprobe"), {"-v", "error", "-show_chapters", "-of", "json", path}))
            .object();
    std::vector<Read> chapters;
    for (const QJsonValue& value : probe[QStringLiteral("chapters")].toArray()) {
        const QJsonObject chapter = value.toObject();
        chapters.push_back({chapter["tags"].toObject()["title"].toString(),
                            chapter["start_time"].toString().toDouble() * 1000,
                            chapter["end_time"].toString().toDouble() * 1000});
    }
    return chapters;
}

// The MP3 frames after the ID3v2 tag a file begins with (its size is syncsafe).
QByteArray afterTag(const QByteArray& bytes) {
    if (!bytes.startsWith("ID3") || bytes.size() < 10)
        return bytes;
    qsizetype size = 10;
    for (int i = 6; i < 10; ++i)
        size += qsizetype(uchar(bytes[i]) & 0x7F) << (7 * (9 - i));
    return bytes.mid(size);
}

class Chapters : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        const Source made[] = {
            {"Erster Teil.mp4",
             "Erster Teil",
             2.0,
             {"-c:a", "aac", "-ar", "48000", "-ac", "2"},
             {}},
            {"zweiter.teil ä.avi",
             "zweiter.teil ä",
             2.5,
             {"-c:a", "libmp3lame", "-ar", "44100", "-ac", "1"},
             {}},
            {"3.mpg",
             "3",
             1.5,
             {"-c:a", "mp2", "-ar", "32000", "-ac", "2"},
             {"-c:v", "mpeg1video", "-f", "mpeg"}},
        };
        for (const Source& source : made) {
            const QString path = dir->filePath(QString::fromUtf8(source.name));
            ASSERT_TRUE(media::makeVideoWithSine(path, 440, source.seconds, source.audio,
                                                 source.container));
            paths << path;
            titles << source.title;
            const media::Pcm pcm = media::decode(path);
            milliseconds.push_back(1000.0 * double(pcm.frames()) / pcm.rate);
            frames48k.push_back(double(pcm.frames()) * 48000 / pcm.rate);
        }
        unreadable = dir->filePath(QStringLiteral("kaputt.avi"));
        QFile text(unreadable);
        ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write("kein Video\n") > 0);
    }
    static void TearDownTestSuite() {
        delete dir;
        paths.clear();
        titles.clear();
        milliseconds.clear();
        frames48k.clear();
    }

    void SetUp() override {
        savedTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        host.settings.destination = out.filePath(QStringLiteral("Kapitel.mp3"));
        host.settings.sources = paths;
        host.settings.chapters = true;
    }
    void TearDown() override { qputenv("TMPDIR", savedTmp); }

    // Each chapter read back has its source's title and starts where the sound of the sources
    // before it ends, within a millisecond; chapters follow each other without a gap.
    static void expectChapters(const std::vector<Read>& chapters, const std::vector<int>& sources) {
        ASSERT_EQ(chapters.size(), sources.size());
        double start = 0;
        for (std::size_t i = 0; i < sources.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(chapters[i].title, titles[sources[i]]);
            EXPECT_NEAR(chapters[i].start, start, 1.0);
            start += milliseconds[std::size_t(sources[i])];
            EXPECT_NEAR(chapters[i].end, start, 1.0);
            if (i > 0) {
                EXPECT_EQ(chapters[i].start, chapters[i - 1].end);
            }
        }
    }

    static inline QTemporaryDir* dir = nullptr;
    static inline QStringList paths;
    static inline QStringList titles;
    static inline QString unreadable;
    static inline std::vector<double> milliseconds;
    static inline std::vector<double> frames48k;

    QTemporaryDir temp;
    QTemporaryDir out;
    QByteArray savedTmp;
    FfmpegMcl mcl;
    Mp3LameLibrary lame;
    SwrAcmLibrary acm;
    FakeHost host;
    ConversionJob job{host, {mcl, lame, acm}};
};

TEST_F(Chapters, Mp3BeginsWithAChapterTagInFrontOfTheSameFrames) {
    job.RunConversion();
    EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::Finished);
    const QString chaptered = host.settings.destination;
    bool tableOk = false;
    expectChapters(tagLibChapters(chaptered, tableOk), {0, 1, 2});
    EXPECT_TRUE(tableOk);
    expectChapters(ffprobeChapters(chaptered), {0, 1, 2});
    EXPECT_EQ(run(QStringLiteral("ffmpeg"),
                  {"-nostdin", "-v", "error", "-i", chaptered, "-f", "null", "-"}),
              QByteArray());

    host.settings.chapters = false;
    host.settings.destination = out.filePath(QStringLiteral("Ohne.mp3"));
    job.RunConversion();
    const QByteArray plain = bytesOf(host.settings.destination);
    ASSERT_FALSE(plain.isEmpty());
    EXPECT_EQ(uchar(plain[0]), 0xFF) << "a file without chapters begins with its first frame";
    const QByteArray frames = afterTag(bytesOf(chaptered));
    EXPECT_EQ(frames.size(), plain.size());
    EXPECT_TRUE(frames == plain);
}

TEST_F(Chapters, Mp3StoppedHoldsTheChaptersOfWhatWentIn) {
    host.onPump = [&](int) {
        if (host.progress.back().source == 1 && !job.stopRequested())
            job.requestStop();
    };
    job.RunConversion();
    EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::Stopped);
    bool tableOk = false;
    expectChapters(tagLibChapters(host.settings.destination, tableOk), {0, 1});
    EXPECT_TRUE(tableOk);
}

TEST_F(Chapters, Mp3UnreadableSourceGetsNoChapter) {
    host.settings.sources = {paths[0], unreadable, paths[2]};
    job.RunConversion();
    EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::FinishedWithProblems);
    expectChapters(ffprobeChapters(host.settings.destination), {0, 2});
}

// Cue points at each readable source's first frame with its name; the sound and its length,
// as ffprobe and sox read them, are what they are without the marks.
TEST_F(Chapters, WavCarriesACuePointPerReadableSource) {
    host.settings.sources = {paths[0], unreadable, paths[1], paths[2]};
    host.settings.destination = out.filePath(QStringLiteral("Kapitel.wav"));
    job.RunConversion();
    EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::FinishedWithProblems);
    const QString marked = host.settings.destination;
    const media::WavLayout layout = media::readWavLayout(marked);
    EXPECT_TRUE(layout.cuesConsistent);
    ASSERT_EQ(layout.cues.size(), 3u);
    // FFmpeg reads cue points with their labels as chapters.
    const std::vector<Read> probed = ffprobeChapters(marked);
    ASSERT_EQ(probed.size(), 3u);
    double start = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(QString::fromStdString(layout.cues[i].label), titles[qsizetype(i)]);
        EXPECT_NEAR(layout.cues[i].frame, start, 48.0) << i;
        EXPECT_EQ(probed[i].title, titles[qsizetype(i)]);
        EXPECT_NEAR(probed[i].start, layout.cues[i].frame / 48.0, 0.001) << i;
        start += frames48k[i];
    }

    const std::size_t frames = media::readWav(marked).frames();
    EXPECT_EQ(run(QStringLiteral("ffprobe"),
                  {"-v", "error", "-show_entries", "stream=duration_ts", "-of", "csv=p=0", marked})
                  .trimmed()
                  .toULongLong(),
              frames);
    EXPECT_EQ(run(QStringLiteral("sox"), {"--i", "-s", marked}).trimmed().toULongLong(), frames);

    host.settings.chapters = false;
    host.settings.destination = out.filePath(QStringLiteral("Ohne.wav"));
    job.RunConversion();
    const QByteArray plain = bytesOf(host.settings.destination);
    EXPECT_TRUE(bytesOf(marked).mid(80, plain.size() - 80) == plain.mid(80));
    EXPECT_EQ(media::readWavLayout(host.settings.destination).chunks.back().id, "data");
}

} // namespace
