// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Chapter marks: titles and times, the tag TagLib writes through a descriptor, and the job's
// chapters on both roads against recording fakes.
#include "common/file_names.h"
#include "fakes/fake_acm.h"
#include "fakes/fake_host.h"
#include "fakes/fake_lame.h"
#include "fakes/fake_mcl.h"
#include "pipeline/conversion_job.h"
#include "pipeline/descriptor_stream.h"
#include "pipeline/id3_chapters.h"
#include "wav_builder.h"

#include <QTemporaryDir>

#include <taglib/chapterframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tableofcontentsframe.h>

#include <fcntl.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

namespace ID3v2 = TagLib::ID3v2;
using Chapters = std::vector<std::tuple<std::string, unsigned, unsigned>>; // title, ms, ms

std::string text(const TagLib::ByteVector& id) {
    return std::string(id.data(), id.size())
        .substr(0, std::string(id.data(), id.size()).find('\0'));
}

// The chapters of a file in the order its top-level table lists them, through nested tables;
// empty unless the table is ordered and lists every chapter.
Chapters chaptersOf(const QString& path) {
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    std::map<std::string, ID3v2::Frame*> byId;
    ID3v2::TableOfContentsFrame* top = nullptr;
    for (ID3v2::Frame* frame :
         file.ID3v2Tag() ? file.ID3v2Tag()->frameList() : ID3v2::FrameList()) {
        if (auto* table = dynamic_cast<ID3v2::TableOfContentsFrame*>(frame)) {
            byId[text(table->elementID())] = table;
            top = table->isTopLevel() ? table : top;
        } else if (auto* chapter = dynamic_cast<ID3v2::ChapterFrame*>(frame)) {
            byId[text(chapter->elementID())] = chapter;
        }
    }
    Chapters chapters;
    std::function<void(ID3v2::TableOfContentsFrame*)> walk = [&](auto* table) {
        EXPECT_TRUE(table->isOrdered());
        for (const TagLib::ByteVector& child : table->childElements()) {
            ID3v2::Frame* frame = byId[text(child)];
            if (auto* inner = dynamic_cast<ID3v2::TableOfContentsFrame*>(frame))
                walk(inner);
            else if (auto* chapter = dynamic_cast<ID3v2::ChapterFrame*>(frame))
                chapters.emplace_back(
                    chapter->embeddedFrameListMap()["TIT2"].front()->toString().to8Bit(true),
                    chapter->startTime(), chapter->endTime());
        }
    };
    if (top)
        walk(top);
    const auto listed = file.ID3v2Tag() ? file.ID3v2Tag()->frameList("CHAP").size() : 0u;
    return chapters.size() == listed ? chapters : Chapters();
}

TEST(ChapterTitle, IsTheFileNameWithoutFolderAndExtensionShownSafely) {
    const QString latin1 = decodeFileName("/v/Gr\xf6\xdf"
                                          "e.mpg");
    const std::pair<QString, QString> cases[] = {{"/v/a.b.vob", "a.b"},
                                                 {"ohne", "ohne"},
                                                 {"/v/.hidden", ".hidden"},
                                                 {"/v/a\nb.avi", "a\\nb"},
                                                 {latin1, "Größe"}};
    for (const auto& [path, title] : cases)
        EXPECT_EQ(chapterTitle(path), title) << path.toStdString();
}

// Rounded once from the frame count: three hours of frames land on the nearest millisecond.
TEST(ChapterMilliseconds, RoundsEachFrameCountToTheNearestMillisecond) {
    const std::tuple<std::int64_t, int, std::uint32_t> cases[] = {
        {22, 44100, 0},
        {23, 44100, 1},
        {3LL * 3600 * 44100 + 22, 44100, 10800000},
        {3LL * 3600 * 48000 + 24, 48000, 10800001},
        {-5, 44100, 0},
        {INT64_MAX, 44100, 0xFFFFFFFF}};
    for (const auto& [frame, rate, ms] : cases)
        EXPECT_EQ(chapterMilliseconds(frame, rate), ms) << frame;
}

// What follows a replaced block moves up or down, across more than one block of the move, and
// the file ends where it should; a descriptor that cannot write keeps its error.
TEST(DescriptorStream, ReplacesBlocksAndMovesWhatFollows) {
    QTemporaryDir dir;
    QByteArray original(2 * 1024 * 1024 + 777, '\0');
    for (qsizetype i = 0; i < original.size(); ++i)
        original[i] = char(i * 7 % 253);
    const std::tuple<int, int, qsizetype, int> cases[] = {{0, 1000, 1000, O_RDWR},
                                                          {10, 5000, 3, O_RDWR},
                                                          {0, 0, 3 << 20, O_RDWR},
                                                          {0, 0, 2, O_RDONLY}};
    for (const auto& [start, replace, size, mode] : cases) {
        QFile file(dir.filePath(QStringLiteral("f")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(original) == original.size());
        file.close();
        const int fd = ::open(QFile::encodeName(file.fileName()).constData(), mode);
        DescriptorStream stream(fd);
        const QByteArray data(size, 'X');
        stream.insert(TagLib::ByteVector(data.constData(), unsigned(size)), start, replace);
        EXPECT_EQ(stream.error() != 0, mode == O_RDONLY);
        if (mode == O_RDONLY) {
            EXPECT_FALSE(writeChapterTag(fd, {{"a", 0, 1}}, 44100).isEmpty());
        }
        ::close(fd);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(
            file.readAll() ==
            (mode == O_RDONLY ? original : QByteArray(original).replace(start, replace, data)));
        file.close();
    }
}

// A table of contents counts its entries in one byte: from the 256th chapter on, the top-level
// table lists tables of at most 255.
TEST(ChapterTag, ListsEveryChapterInOrderWhateverTheirNumber) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tag.mp3"));
    for (const int count : {1, 256, 600}) {
        QStringList titles;
        for (int i = 0; i < count; ++i)
            titles << QString::number(i);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(reservedChapterTag(titles) + QByteArray(4000, '\xff'));
        file.close();
        const Chapters chapters = chaptersOf(path);
        ASSERT_EQ(chapters.size(), std::size_t(count));
        EXPECT_EQ(std::get<0>(chapters.back()), std::to_string(count - 1));
        TagLib::MPEG::File mp3(QFile::encodeName(path).constData(), false);
        for (ID3v2::Frame* frame : mp3.ID3v2Tag()->frameList("CTOC"))
            EXPECT_LE(dynamic_cast<ID3v2::TableOfContentsFrame*>(frame)->entryCount(), 255u);
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
        // Each temporary file holds one block of sound, but that of the silent source none.
        mcl.onSetFileName = [this](const std::string& name) {
            writeWav(QString::fromStdString(name), {.dataBytes = ++named == silent ? 0u : 4000u});
        };
    }
    void TearDown() override { qputenv("TMPDIR", savedTmp); }

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

// 100 frames per source, each chapter time rounded on its own (100 frames: 2.27 ms), not as a
// sum of rounded lengths; a source without sound has none, and the tag shrinks around the rest.
// After the tag, the encoder's bytes, unchanged.
TEST_F(JobChapters, Mp3ChaptersCountTheFramesHandedToTheEncoder) {
    const std::pair<int, Chapters> cases[] = {{0, {{"a", 0, 2}, {"b", 2, 5}, {"c", 5, 7}}},
                                              {2, {{"a", 0, 2}, {"c", 2, 5}}}};
    for (const auto& [silentSource, expected] : cases) {
        named = 0;
        silent = silentSource;
        FakeLame encoder; // numbers its bytes from 0
        ConversionJob run{host, {mcl, encoder, acm}};
        run.RunConversion();
        EXPECT_EQ(chaptersOf(host.settings.destination), expected);
        QFile file(host.settings.destination);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const auto produced = encoder.produced();
        const qsizetype tag = 10 + (bytes[6] << 21 | bytes[7] << 14 | bytes[8] << 7 | bytes[9]);
        EXPECT_EQ(bytes.mid(tag), QByteArray(reinterpret_cast<const char*>(produced.data()),
                                             qsizetype(produced.size())));
    }
}

} // namespace
