// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Chapter marks: titles and times, TagLib's stream over a descriptor, and the job's chapters on
// both roads against recording fakes.
#include "common/file_names.h"
#include "fakes/fake_acm.h"
#include "fakes/fake_host.h"
#include "fakes/fake_lame.h"
#include "fakes/fake_mcl.h"
#include "pipeline/chapters.h"
#include "pipeline/conversion_job.h"
#include "pipeline/descriptor_stream.h"
#include "pipeline/id3_chapters.h"
#include "wav_builder.h"

#include <QDir>
#include <QTemporaryDir>

#include <taglib/chapterframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tableofcontentsframe.h>

#include <functional>
#include <map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace {

TEST(ChapterTitle, IsTheFileNameWithoutFolderAndExtensionShownSafely) {
    const std::pair<QString, QString> cases[] = {
        {"/v/Teil 1.mp4", "Teil 1"},
        {"/v/a.b.vob", "a.b"},
        {"ohne", "ohne"},
        {"/v/.versteckt", ".versteckt"},
        {"/v.d/x", "x"},
        {"/v/Zeile\nzwei.avi", "Zeile\\nzwei"},
        {"/v/" + decodeFileName("Gr\xf6\xdf"
                                "e.mpg"),
         "Größe"},
    };
    for (const auto& [path, title] : cases)
        EXPECT_EQ(chapterTitle(path), title) << path.toStdString();
}

// Times come from frame counts and are rounded once: three hours of frames at 44100 Hz land on
// the millisecond nearest to them, not on a sum of rounded lengths.
TEST(ChapterMilliseconds, RoundsEachFrameCountToTheNearestMillisecond) {
    const struct {
        std::int64_t frame;
        int rate;
        std::uint32_t ms;
    } cases[] = {
        {0, 44100, 0},
        {22, 44100, 0},
        {23, 44100, 1},
        {100, 44100, 2},
        {200, 44100, 5},
        {3LL * 3600 * 44100 + 22, 44100, 10800000},
        {3LL * 3600 * 48000 + 24, 48000, 10800001},
        {-5, 44100, 0},
        {INT64_MAX, 44100, 0xFFFFFFFF},
    };
    for (const auto& c : cases)
        EXPECT_EQ(chapterMilliseconds(c.frame, c.rate), c.ms) << c.frame << " at " << c.rate;
}

// TagLib's edits through the descriptor: the bytes after a replaced block move up or down,
// across more than one block of the move, and the file ends where it should.
TEST(DescriptorStream, ReplacesBlocksAndMovesWhatFollows) {
    QTemporaryDir dir;
    QByteArray original(2 * 1024 * 1024 + 777, '\0');
    for (qsizetype i = 0; i < original.size(); ++i)
        original[i] = char(i * 7 % 253);
    const struct {
        unsigned long start;
        unsigned long replace;
        qsizetype size;
    } cases[] = {{0, 0, 1000}, {0, 1000, 1000}, {10, 5000, 3}, {0, 0, 3 * 1024 * 1024}, {5, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << " " << c.replace << " " << c.size);
        const QString path = dir.filePath(QStringLiteral("f"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Truncate));
        ASSERT_EQ(file.write(original), original.size());
        const QByteArray data(c.size, 'X');
        DescriptorStream stream(file.handle());
        stream.insert(TagLib::ByteVector(data.constData(), static_cast<unsigned>(data.size())),
                      c.start, c.replace);
        EXPECT_EQ(stream.error(), 0);
        file.close();
        QByteArray expected = original;
        expected.replace(qsizetype(c.start), qsizetype(c.replace), data);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll() == expected);
    }
}

// A file that cannot be written is reported, not taken for done.
TEST(DescriptorStream, AFailedWriteIsKeptAndTheTagReportsIt) {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("f.mp3")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(5000, '\xff')) == 5000);
    file.close();
    const int readOnly = ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY);
    ASSERT_GE(readOnly, 0);
    DescriptorStream stream(readOnly);
    stream.insert(TagLib::ByteVector("ab", 2), 0, 0);
    EXPECT_NE(stream.error(), 0);
    EXPECT_FALSE(writeChapterTag(readOnly, {{"a", 0, 441}}, 44100).isEmpty());
    ::close(readOnly);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(5000, '\xff'));
}

// An element ID as text, without the terminating zero TagLib may keep.
std::string text(const TagLib::ByteVector& id) {
    std::string bytes(id.data(), id.size());
    return bytes.substr(0, bytes.find('\0'));
}

// A table of contents counts its entries in one byte: from the 256th chapter on, the top-level
// table lists tables of at most 255, which list the chapters in order.
TEST(ChapterTag, ListsEveryChapterInOrderWhateverTheirNumber) {
    namespace ID3v2 = TagLib::ID3v2;
    QTemporaryDir dir;
    for (const int count : {1, 255, 256, 600}) {
        SCOPED_TRACE(count);
        QStringList titles;
        for (int i = 0; i < count; ++i)
            titles << QStringLiteral("Teil %1").arg(i);
        const QString path = dir.filePath(QStringLiteral("tag.mp3"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(reservedChapterTag(titles) + QByteArray(4000, '\xff'));
        file.close();

        TagLib::MPEG::File mp3(QFile::encodeName(path).constData(), false);
        ASSERT_TRUE(mp3.ID3v2Tag());
        std::map<TagLib::ByteVector, ID3v2::TableOfContentsFrame*> tables;
        std::vector<ID3v2::TableOfContentsFrame*> topLevel;
        for (ID3v2::Frame* frame : mp3.ID3v2Tag()->frameList("CTOC")) {
            auto* table = dynamic_cast<ID3v2::TableOfContentsFrame*>(frame);
            tables[table->elementID()] = table;
            if (table->isTopLevel())
                topLevel.push_back(table);
            EXPECT_TRUE(table->isOrdered());
            EXPECT_LE(table->entryCount(), 255u);
        }
        ASSERT_EQ(topLevel.size(), 1u);
        std::vector<std::string> listed;
        const std::function<void(ID3v2::TableOfContentsFrame*)> walk = [&](auto* table) {
            for (const TagLib::ByteVector& child : table->childElements()) {
                if (tables.count(child))
                    walk(tables[child]);
                else
                    listed.push_back(text(child));
            }
        };
        walk(topLevel.front());
        std::vector<std::string> chapters;
        for (ID3v2::Frame* frame : mp3.ID3v2Tag()->frameList("CHAP"))
            chapters.push_back(text(dynamic_cast<ID3v2::ChapterFrame*>(frame)->elementID()));
        ASSERT_EQ(chapters.size(), std::size_t(count));
        EXPECT_EQ(listed, chapters);
        EXPECT_EQ(chapters.back(), "chp" + std::to_string(count - 1));
    }
}

class JobChapters : public ::testing::Test {
protected:
    void SetUp() override {
        savedTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        host.settings.destination = out.filePath(QStringLiteral("film.mp3"));
        host.settings.sources = {QStringLiteral("/v/a.mp4"), QStringLiteral("/v/b.avi"),
                                 QStringLiteral("/v/c.vob")};
        host.settings.chapters = true;
        for (const QString& source : host.settings.sources)
            mcl.sources[source.toStdString()] = {0, true};
        FakeAcm::Conversion conversion;
        conversion.dstUsed = 400; // 100 stereo frames per block
        acm.script.assign(64, conversion);
        // Each temporary file holds one block of sound, but that of an unopened source none.
        mcl.onSetFileName = [this](const std::string& name) {
            writeWav(QString::fromStdString(name), {.dataBytes = ++named == silent ? 0u : 4000u});
        };
    }
    void TearDown() override { qputenv("TMPDIR", savedTmp); }

    QByteArray destinationBytes() const {
        QFile file(host.settings.destination);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // What follows the ID3v2 tag the destination begins with (its size is syncsafe).
    QByteArray afterTag() const {
        const QByteArray bytes = destinationBytes();
        if (!bytes.startsWith("ID3") || bytes.size() < 10)
            return {};
        qsizetype size = 10;
        for (int i = 6; i < 10; ++i)
            size += qsizetype(uchar(bytes[i]) & 0x7F) << (7 * (9 - i));
        return bytes.mid(size);
    }
    QByteArray produced() const {
        const auto bytes = lame.produced();
        return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    }
    // (title, start ms, end ms) of each CHAP frame in the destination.
    std::vector<std::tuple<std::string, unsigned, unsigned>> chapterFrames() const {
        std::vector<std::tuple<std::string, unsigned, unsigned>> frames;
        TagLib::MPEG::File file(QFile::encodeName(host.settings.destination).constData(), false);
        if (!file.ID3v2Tag())
            return frames;
        for (auto* frame : file.ID3v2Tag()->frameListMap()["CHAP"]) {
            const auto* chapter = dynamic_cast<TagLib::ID3v2::ChapterFrame*>(frame);
            frames.emplace_back(
                chapter->embeddedFrameListMap()["TIT2"].front()->toString().to8Bit(true),
                chapter->startTime(), chapter->endTime());
        }
        return frames;
    }

    QTemporaryDir temp;
    QTemporaryDir out;
    QByteArray savedTmp;
    int silent = 0; // the number of the source, from 1, whose temporary file holds no sound
    int named = 0;
    FakeMcl mcl;
    FakeLame lame;
    FakeAcm acm;
    FakeHost host;
    ConversionJob job{host, {mcl, lame, acm}};
};

// 100 frames per source: the chapters begin at 0, 100 and 200 frames, each time rounded on its
// own (0, 2, 5 ms), and the encoder's bytes follow the tag unchanged.
TEST_F(JobChapters, Mp3ChaptersCountTheFramesHandedToTheEncoder) {
    job.RunConversion();
    EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::Finished);
    EXPECT_THAT(chapterFrames(), ElementsAre(std::tuple{"a", 0u, 2u}, std::tuple{"b", 2u, 5u},
                                             std::tuple{"c", 5u, 7u}));
    EXPECT_EQ(afterTag(), produced());
    EXPECT_EQ(host.log.back(), "Konvertierung beendet...");
}

// The tag has room for three chapters but gets two; the file shrinks around it.
TEST_F(JobChapters, Mp3SourceWithoutSoundGetsNoChapter) {
    silent = 2;
    mcl.sources["/v/b.avi"] = {0, false};
    job.RunConversion();
    EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::FinishedWithProblems);
    EXPECT_THAT(chapterFrames(), ElementsAre(std::tuple{"a", 0u, 2u}, std::tuple{"c", 2u, 5u}));
    EXPECT_EQ(afterTag(), produced());
}

TEST_F(JobChapters, Mp3WithoutChaptersHasNoTag) {
    host.settings.chapters = false;
    job.RunConversion();
    EXPECT_EQ(destinationBytes(), produced());
}

TEST_F(JobChapters, DestinationThatIsNoRegularFileIsRefusedBeforeTheRun) {
    const QString fifo = out.filePath(QStringLiteral("fifo.wav"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& destination : {QStringLiteral("/dev/null"), fifo}) {
        mcl.calls.clear();
        host.log.clear();
        host.settings.destination = destination;
        job.RunConversion();
        EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::Refused);
        EXPECT_THAT(host.log, ElementsAre(job.outcome().reason));
        EXPECT_TRUE(job.outcome().reason.startsWith("Kapitelmarken lassen sich nur"));
        EXPECT_TRUE(mcl.calls.empty());
        EXPECT_TRUE(lame.calls.empty());
    }
}

// WAV: a cue point where each source with sound began; none for one that could not be opened,
// none after the stop, and a note for a mark the file cannot carry.
TEST_F(JobChapters, WavMarksEachSourceThatPutSoundIntoTheFile) {
    host.settings.destination = out.filePath(QStringLiteral("film.wav"));
    mcl.sources["/v/a.mp4"] = {2, true}; // 5 s: 5000 frames
    mcl.sources["/v/b.avi"] = {0, false};
    job.RunConversion();
    EXPECT_THAT(mcl.cues, ElementsAre(std::pair{std::int64_t{0}, std::string("a")},
                                      std::pair{std::int64_t{5000}, std::string("c")}));
    EXPECT_EQ(host.log.back(), "Konvertierung beendet...");

    mcl.calls.clear();
    mcl.framesWritten = 0;
    mcl.cueResult = -1;
    host.onPump = [&](int) { job.requestStop(); };
    job.RunConversion();
    EXPECT_EQ(job.outcome().kind, ConversionOutcome::Kind::Stopped);
    EXPECT_THAT(mcl.callsStartingWith("MclAudioAddCue"), ElementsAre("MclAudioAddCue(1,0,a)"));
    EXPECT_TRUE(host.log.contains(
        "Hinweis: Die Kapitelmarke \"a\" fehlt: Marken einer WAV-Datei reichen nur bis Sample "
        "4294967295."));
}

} // namespace
