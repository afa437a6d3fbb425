// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "common/exception.h"
#include "pipeline/wav_header.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstring>

namespace {

template <typename T> QByteArray le(T v) {
    QByteArray b(sizeof v, 0);
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray riff(const QByteArray& chunks, const char* form = "WAVE") {
    return "RIFF" + le(std::uint32_t(4 + chunks.size())) + form + chunks;
}

// The RF64 form states its sizes as 0xFFFFFFFF and keeps them in ds64.
QByteArray rf64(const QByteArray& chunks) {
    return "RF64" + le(0xFFFFFFFFu) + "WAVE" + chunks;
}

QByteArray ds64(std::uint64_t dataSize) {
    return le(std::uint64_t(0x123456789)) + le(dataSize) + le(dataSize / 4) + le(0u);
}

// A chunk whose header states `size`, which may differ from the body the file holds; -2 states
// 0xFFFFFFFF.
QByteArray chunk(const char* tag, const QByteArray& body, qint64 size = -1) {
    const qint64 stated = size == -1 ? body.size() : size == -2 ? 0xFFFFFFFF : size;
    return tag + le(std::uint32_t(stated)) + body;
}

QByteArray fmt(std::uint16_t tag, std::uint32_t rate) {
    return le(tag) + le<std::uint16_t>(2) + le(rate) + le(rate * 4) + le<std::uint16_t>(4) +
           le<std::uint16_t>(16);
}

// The record handed to the reader is a pattern, so that fields it must leave alone show.
WavHeaderInfo pattern() {
    WavHeaderInfo info;
    std::memset(&info, 0xA5, sizeof info);
    return info;
}

// What the reader should leave: data at `offset` (0: untouched), a stereo 16-bit format of
// `tag` (0: untouched); a fmt body of 16 bytes leaves cbSize as it was.
WavHeaderInfo expect(std::int64_t offset, std::int64_t size, std::uint16_t tag = 0,
                     std::uint32_t rate = 0, std::uint16_t cbSize = 0xA5A5) {
    WavHeaderInfo info = pattern();
    if (tag)
        info.Format = {tag, 2, rate, rate * 4, 4, 16, cbSize};
    if (offset)
        info.DataOffset = offset, info.DataSize = size;
    return info;
}

void expectSame(const WavHeaderInfo& expected, const WavHeaderInfo& actual) {
    EXPECT_EQ(0, std::memcmp(&expected.Format, &actual.Format, sizeof expected.Format))
        << "tag " << actual.Format.wFormatTag << ", cbSize " << actual.Format.cbSize;
    EXPECT_EQ(expected.DataOffset, actual.DataOffset);
    EXPECT_EQ(expected.DataSize, actual.DataSize);
}

TEST(ReadWavHeader, Table) {
    const QByteArray pcm = fmt(1, 44100), samples(1000, 's'), pad(1, '\0');
    const QByteArray list = chunk("LIST", QByteArray(26, 'l'));
    const struct {
        const char* name;
        QByteArray file;
        bool found;
        WavHeaderInfo info;
        qint64 positionAfter = 0; // 12 when the leading tags do not match
        const char* error = "";
    } cases[] = {
        {"empty", "", false, pattern(), 0, "Read beyond end of file"},
        {"4 bytes", "RIFF", false, pattern(), 4, "Read beyond end of file"},
        {"11 bytes", riff("").left(11), false, pattern(), 11, "Read beyond end of file"},
        {"canonical", riff(chunk("fmt ", pcm) + chunk("data", samples)), true,
         expect(44, 1000, 1, 44100)},
        {"fmt of 18", riff(chunk("fmt ", pcm + le<std::uint16_t>(7)) + chunk("data", "")), true,
         expect(46, 0, 1, 44100, 7)},
        {"fmt of 40",
         riff(chunk("fmt ", fmt(0xFFFE, 48000) + le<std::uint16_t>(22) + QByteArray(22, 'x')) +
              chunk("data", samples)),
         true, expect(68, 1000, 0xFFFE, 48000, 22)},
        {"LIST before data", riff(chunk("fmt ", pcm) + list + chunk("data", samples)), true,
         expect(78, 1000, 1, 44100)},
        {"LIST after data", riff(chunk("fmt ", pcm) + chunk("data", samples) + list), true,
         expect(44, 1000, 1, 44100)},
        {"second data wins", riff(chunk("data", "abcd") + chunk("data", "xy")), true,
         expect(32, 2)},
        {"data without fmt", riff(chunk("data", samples)), true, expect(20, 1000)},
        {"fmt without data", riff(chunk("fmt ", pcm)), false, expect(0, 0, 1, 44100)},
        {"AVI form", riff(chunk("data", samples), "AVI "), false, pattern(), 12},
        {"not RIFF", "RIFX" + riff(chunk("data", samples)).mid(4), false, pattern(), 12},
        {"data beyond the file", riff(chunk("data", samples, 0xFFFFFFF0u)), true,
         expect(20, 0xFFFFFFF0u)},
        {"partial chunk header", riff(chunk("data", "ab")) + "LIST\x10", true, expect(20, 2)},
        {"fmt cut short", riff(chunk("data", "ab") + chunk("fmt ", pcm.left(10), 16)), true,
         expect(20, 2)},
        // A hostile stated size must not be allocated; ASan and the fuzz run watch this.
        {"fmt of 4 GiB", riff(chunk("data", "ab") + chunk("fmt ", pcm, 0xFFFFFFFFu)), true,
         expect(20, 2)},
        // RIFF pads odd bodies; the pad byte is not the next chunk's first byte.
        {"pad after odd LIST",
         riff(chunk("LIST", "abc") + pad + chunk("fmt ", pcm) + chunk("data", samples)), true,
         expect(56, 1000, 1, 44100)},
        {"pad after odd data", riff(chunk("data", "abc") + pad + chunk("fmt ", pcm)), true,
         expect(20, 3, 1, 44100)},
        {"odd data ends the file", riff(chunk("data", "abc")), true, expect(20, 3)},
        // RF64: a data size of 0xFFFFFFFF stands for the one in ds64, which the walk goes by.
        {"RF64", rf64(chunk("ds64", ds64(1000)) + chunk("fmt ", pcm) + chunk("data", samples, -2)),
         true, expect(80, 1000, 1, 44100)},
        {"RF64 walks by ds64",
         rf64(chunk("ds64", ds64(4)) + chunk("data", "abcd", 0xFFFFFFFFu) + chunk("fmt ", pcm)),
         true, expect(56, 4, 1, 44100)},
        {"RF64 beyond 4 GiB", rf64(chunk("ds64", ds64(0x100000004)) + chunk("data", samples, -2)),
         true, expect(56, 0x100000004)},
        {"RF64 beyond int64",
         rf64(chunk("ds64", ds64(~std::uint64_t{0})) + chunk("data", samples, -2)), true,
         expect(56, INT64_MAX)},
        {"RF64 without ds64", rf64(chunk("data", samples, -2)), true, expect(20, 0xFFFFFFFF)},
        {"ds64 cut short", rf64(chunk("ds64", ds64(8).left(12), 28) + chunk("data", "ab", -2)),
         false, pattern()},
        {"ds64 of a RIFF file", riff(chunk("ds64", ds64(2)) + chunk("data", "ab", -2)), true,
         expect(56, 0xFFFFFFFF)},
        {"RF64 not WAVE", "RF64" + riff(chunk("data", samples), "AVI ").mid(4), false, pattern(),
         12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QBuffer buffer;
        buffer.setData(c.file);
        ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
        WavHeaderInfo info = pattern();
        std::string error;
        try {
            EXPECT_EQ(c.found, ReadWavHeader(buffer, info));
        } catch (const EInOutError& e) {
            error = e.what();
        }
        EXPECT_EQ(c.error, error);
        expectSame(c.info, info);
        EXPECT_EQ(c.positionAfter, buffer.pos());
    }
}

// Offsets beyond 2^31 in a sparse file of 3 GiB that takes next to no disk space.
TEST(ReadWavHeader, FileOfThreeGigabytes) {
    QTemporaryDir dir;
    QFile file(dir.filePath("large.wav"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const std::uint32_t listSize = 0x80000000u, dataSize = 0x40000002u;
    const qint64 dataOffset = 12 + 24 + 8 + qint64(listSize) + 8;
    file.write(riff(chunk("fmt ", fmt(1, 44100)) + chunk("LIST", "", listSize)));
    if (!file.resize(dataOffset - 8) || !file.seek(dataOffset - 8) ||
        file.write(chunk("data", "", dataSize)) != 8 || !file.resize(dataOffset + dataSize) ||
        !file.seek(0))
        GTEST_SKIP() << "no room for a sparse file of 3 GiB";
    WavHeaderInfo info = pattern();
    EXPECT_TRUE(ReadWavHeader(file, info));
    expectSame(expect(dataOffset, dataSize, 1, 44100), info);
    EXPECT_EQ(0, file.pos());
}

} // namespace
