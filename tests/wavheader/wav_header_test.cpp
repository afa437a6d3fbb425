#include "common/exception.h"
#include "pipeline/wav_header.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

namespace {

QByteArray u16(std::uint16_t v) {
    QByteArray b(2, 0);
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray u32(std::uint32_t v) {
    QByteArray b(4, 0);
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray riff(const QByteArray& chunks, const char* form = "WAVE") {
    return "RIFF" + u32(std::uint32_t(4 + chunks.size())) + form + chunks;
}

// A chunk whose header states `size`; the body is what the file really holds.
QByteArray chunk(const char* tag, std::uint32_t size, const QByteArray& body) {
    return tag + u32(size) + body;
}

QByteArray chunk(const char* tag, const QByteArray& body) {
    return chunk(tag, std::uint32_t(body.size()), body);
}

QByteArray fmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                   std::uint16_t bits) {
    const auto align = std::uint16_t(channels * bits / 8);
    return u16(tag) + u16(channels) + u32(rate) + u32(rate * align) + u16(align) + u16(bits);
}

const QByteArray Pcm16 = fmtBody(1, 2, 44100, 16);
const QByteArray Mono8 = fmtBody(1, 1, 8000, 8);
const QByteArray Pad(1, '\0');

WAVEFORMATEX format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                    std::uint16_t bits, std::uint16_t cbSize) {
    const auto align = std::uint16_t(channels * bits / 8);
    return {tag, channels, rate, rate * align, align, bits, cbSize};
}

// The record the reader is given: a pattern, so that untouched fields show.
WavHeaderInfo pattern() {
    WavHeaderInfo info;
    std::memset(&info, 0xA5, sizeof info);
    return info;
}

WavHeaderInfo withFormat(WAVEFORMATEX f, WavHeaderInfo info = pattern()) {
    info.Format = f;
    return info;
}

WavHeaderInfo withData(std::int64_t offset, std::uint32_t size, WavHeaderInfo info = pattern()) {
    info.DataOffset = offset;
    info.DataSize = size;
    return info;
}

void expectSame(const WavHeaderInfo& expected, const WavHeaderInfo& actual) {
    EXPECT_EQ(0, std::memcmp(&expected.Format, &actual.Format, sizeof expected.Format))
        << "format tag " << actual.Format.wFormatTag << ", channels " << actual.Format.nChannels
        << ", rate " << actual.Format.nSamplesPerSec << ", cbSize " << actual.Format.cbSize;
    EXPECT_EQ(expected.DataOffset, actual.DataOffset);
    EXPECT_EQ(expected.DataSize, actual.DataSize);
}

struct Case {
    const char* name;
    QByteArray file;
    bool result;
    WavHeaderInfo info;
    qint64 positionAfter;
    WavHeaderInfo start = pattern(); // the record handed to the reader
};

WAVEFORMATEX pcm16(std::uint16_t cbSize) {
    return format(1, 2, 44100, 16, cbSize);
}

// A fmt body of 16 bytes fills six fields and leaves cbSize as it was.
WAVEFORMATEX pcm16Kept() {
    return pcm16(pattern().Format.cbSize);
}

QByteArray extensible() {
    // WAVE_FORMAT_EXTENSIBLE: 18 bytes plus 22 of extra data.
    return fmtBody(0xFFFE, 2, 48000, 16) + u16(22) + QByteArray(22, 'x');
}

std::vector<Case> cases() {
    const QByteArray samples(1000, 's');
    const QByteArray list = chunk("LIST", QByteArray(26, 'l'));
    return {
        {"canonical header", riff(chunk("fmt ", Pcm16) + chunk("data", samples)), true,
         withData(44, 1000, withFormat(pcm16Kept())), 0},
        {"canonical header into a zeroed record",
         riff(chunk("fmt ", Pcm16) + chunk("data", samples)), true,
         withData(44, 1000, withFormat(pcm16(0), WavHeaderInfo{})), 0, WavHeaderInfo{}},
        {"fmt of 18 bytes", riff(chunk("fmt ", Pcm16 + u16(0)) + chunk("data", samples)), true,
         withData(46, 1000, withFormat(pcm16(0))), 0},
        {"fmt of 18 bytes with cbSize 7", riff(chunk("fmt ", Pcm16 + u16(7)) + chunk("data", "")),
         true, withData(46, 0, withFormat(pcm16(7))), 0},
        {"fmt of 40 bytes", riff(chunk("fmt ", extensible()) + chunk("data", samples)), true,
         withData(68, 1000, withFormat(format(0xFFFE, 2, 48000, 16, 22))), 0},
        {"fmt of 14 bytes fills five fields",
         riff(chunk("fmt ", Pcm16.left(14)) + chunk("data", "")), true,
         withData(42, 0, withFormat([] {
                      auto f = pcm16Kept();
                      f.wBitsPerSample = pattern().Format.wBitsPerSample;
                      return f;
                  }())),
         0},
        {"LIST before data", riff(chunk("fmt ", Pcm16) + list + chunk("data", samples)), true,
         withData(78, 1000, withFormat(pcm16Kept())), 0},
        {"LIST after data", riff(chunk("fmt ", Pcm16) + chunk("data", samples) + list), true,
         withData(44, 1000, withFormat(pcm16Kept())), 0},
        {"two data chunks", riff(chunk("data", "abcd") + chunk("data", "xy")), true,
         withData(32, 2, withData(20, 4)), 0},
        {"fmt after data overrides",
         riff(chunk("fmt ", Pcm16) + chunk("data", "ab") + chunk("fmt ", Mono8)), true,
         withData(44, 2, withFormat(format(1, 1, 8000, 8, pattern().Format.cbSize))), 0},
        {"data without fmt", riff(chunk("data", samples)), true, withData(20, 1000), 0},
        {"fmt without data", riff(chunk("fmt ", Pcm16)), false, withFormat(pcm16Kept()), 0},
        {"no chunks at all", riff(""), false, pattern(), 0},
        {"AVI form type", riff(chunk("data", samples), "AVI "), false, pattern(), 12},
        {"not RIFF", "RIFX" + riff(chunk("data", samples)).mid(4), false, pattern(), 12},
        {"tags compared case-sensitively", riff(chunk("DATA", samples) + chunk("Fmt ", Pcm16)),
         false, pattern(), 0},
        {"data larger than the file", riff(chunk("fmt ", Pcm16) + chunk("data", 5000000, samples)),
         true, withData(44, 5000000, withFormat(pcm16Kept())), 0},
        {"data size of 2^31 and more stays unsigned", riff(chunk("data", 0xFFFFFFF0u, "abc")), true,
         withData(20, 0xFFFFFFF0u), 0},
        {"1 byte of a chunk header after the last chunk", riff(chunk("data", "ab")) + "L", true,
         withData(20, 2), 0},
        {"7 bytes of a chunk header after the last chunk",
         riff(chunk("data", "ab")) + "LIST" + "\x10\x00\x00", true, withData(20, 2), 0},
        {"fmt body cut short is not taken",
         riff(chunk("data", "ab") + chunk("fmt ", 16, Pcm16.left(10))), true, withData(20, 2), 0},
        {"other chunk past the end ends the walk",
         riff(chunk("LIST", 100000, "x") + chunk("data", "ab")), false, pattern(), 0},
        // A hostile fmt size: only the 18 bytes of the format would be read, and a body the
        // file does not hold is not read at all, so nothing of that size is ever allocated.
        {"fmt of 4 GiB stated", riff(chunk("data", "ab") + chunk("fmt ", 0xFFFFFFFFu, Pcm16)), true,
         withData(20, 2), 0},
        {"fmt longer than 18 bytes, held in full, is passed over",
         riff(chunk("fmt ", Pcm16 + u16(0) + QByteArray(982, 'e')) + chunk("data", samples)), true,
         withData(1028, 1000, withFormat(pcm16(0))), 0},
        // RIFF pads an odd body to an even length; the pad byte is not the next chunk's start.
        {"pad byte after an odd chunk",
         riff(chunk("LIST", "abc") + Pad + chunk("fmt ", Pcm16) + chunk("data", samples)), true,
         withData(56, 1000, withFormat(pcm16Kept())), 0},
        {"pad byte after odd data", riff(chunk("data", "abc") + Pad + chunk("fmt ", Pcm16)), true,
         withData(20, 3, withFormat(pcm16Kept())), 0},
        {"odd data at the end without its pad byte", riff(chunk("data", "abc")), true,
         withData(20, 3), 0},
        {"odd fmt with pad byte",
         riff(chunk("fmt ", Pcm16 + u16(0) + "e") + Pad + chunk("data", "ab")), true,
         withData(48, 2, withFormat(pcm16(0))), 0},
    };
}

// Warnings Qt prints while the reader runs (QBuffer warns when asked to seek past its end).
int qtWarnings = 0;

void countWarnings(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type != QtDebugMsg && type != QtInfoMsg)
        ++qtWarnings;
}

class WarningCounter {
public:
    WarningCounter() : previous(qInstallMessageHandler(countWarnings)) { qtWarnings = 0; }
    ~WarningCounter() { qInstallMessageHandler(previous); }

private:
    QtMessageHandler previous;
};

// The reader works on any device; a QBuffer and a QFile differ at their end.
enum class Device { Buffer, File };

class ReadWavHeaderTable : public testing::TestWithParam<Device> {
protected:
    struct Outcome {
        std::optional<bool> result;
        std::string error;
        WavHeaderInfo info = pattern();
        qint64 position = -1;
    };

    Outcome read(const QByteArray& bytes, const WavHeaderInfo& start = pattern()) {
        Outcome out;
        out.info = start;
        WarningCounter warnings;
        auto run = [&](QIODevice& device) {
            EXPECT_TRUE(device.open(QIODevice::ReadOnly));
            try {
                out.result = ReadWavHeader(device, out.info);
            } catch (const EInOutError& e) {
                out.error = e.what();
            }
            out.position = device.pos();
        };
        if (GetParam() == Device::Buffer) {
            QBuffer buffer;
            buffer.setData(bytes);
            run(buffer);
        } else {
            QFile file(dir.filePath("test.wav"));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
            file.close();
            run(file);
        }
        EXPECT_EQ(0, qtWarnings);
        return out;
    }

    QTemporaryDir dir;
};

TEST_P(ReadWavHeaderTable, EveryCase) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        const auto out = read(c.file, c.start);
        ASSERT_TRUE(out.result.has_value()) << out.error;
        EXPECT_EQ(c.result, *out.result);
        expectSame(c.info, out.info);
        EXPECT_EQ(c.positionAfter, out.position);
    }
}

TEST_P(ReadWavHeaderTable, FewerThanTwelveBytesIsReadBeyondEndOfFile) {
    const QByteArray header = riff(chunk("data", "ab"));
    for (int size = 0; size < 12; ++size) {
        SCOPED_TRACE(size);
        const auto out = read(header.left(size));
        EXPECT_FALSE(out.result.has_value());
        EXPECT_EQ("Read beyond end of file", out.error);
        expectSame(pattern(), out.info);
    }
}

INSTANTIATE_TEST_SUITE_P(Devices, ReadWavHeaderTable, testing::Values(Device::Buffer, Device::File),
                         [](const auto& device) {
                             return device.param == Device::Buffer ? "QBuffer" : "QFile";
                         });

// A file between 2 GiB and 4 GiB: positions beyond 2^31 and a data size above 2^31 are read as
// they stand. The file is sparse, so it takes next to no disk space.
TEST(ReadWavHeaderLarge, FileOfThreeGigabytesIsReadWhole) {
    QTemporaryDir dir;
    QFile file(dir.filePath("large.wav"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const std::uint32_t listSize = 0x80000000u;      // 2 GiB of other data first
    const std::uint32_t dataSize = 0x40000000u + 2u; // then 1 GiB of samples
    const qint64 dataOffset = 12 + 24 + 8 + qint64(listSize) + 8;
    file.write(riff(chunk("fmt ", Pcm16) + chunk("LIST", listSize, "")));
    if (!file.resize(dataOffset - 8))
        GTEST_SKIP() << "no room for a sparse file of 3 GiB";
    file.seek(dataOffset - 8);
    file.write(chunk("data", dataSize, ""));
    if (!file.resize(dataOffset + dataSize) || !file.seek(0))
        GTEST_SKIP() << "no room for a sparse file of 3 GiB";

    WavHeaderInfo info{};
    EXPECT_TRUE(ReadWavHeader(file, info));
    expectSame(withData(dataOffset, dataSize, withFormat(pcm16(0), WavHeaderInfo{})), info);
    EXPECT_GT(info.DataOffset, qint64(INT32_MAX));
    EXPECT_EQ(0, file.pos());
}

} // namespace
