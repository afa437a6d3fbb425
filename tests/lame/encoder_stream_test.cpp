#include "common/exception.h"
#include "fakes/fake_lame.h"
#include "pipeline/encoder_stream.h"
#include "pipeline/output_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <numeric>

namespace {

class EncoderStreamTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(file.create(path()));
    }

    QString path() const { return dir.filePath("out.mp3"); }

    QByteArray written() {
        file.close();
        QFile f(path());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }

    QByteArray producedByFake() const {
        const auto bytes = lame.produced();
        return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    }

    static std::vector<std::int16_t> ramp(std::size_t samples) {
        std::vector<std::int16_t> pcm(samples);
        std::iota(pcm.begin(), pcm.end(), std::int16_t(1));
        return pcm;
    }

    QTemporaryDir dir;
    OutputFile file;
    FakeLame lame;
    std::unique_ptr<EncoderStream> stream = std::make_unique<EncoderStream>(lame, file);
};

// --- Opening ------------------------------------------------------------------------------

TEST_F(EncoderStreamTest, ConfigurationIsFilledAsTheEncoderExpects) {
    ASSERT_TRUE(stream->InitEncoderStream(22050, 64));
    ASSERT_TRUE(lame.config);
    const BE_CONFIG& c = *lame.config;
    EXPECT_EQ(256u, c.dwConfig);
    EXPECT_EQ(1u, c.dwStructVersion);
    EXPECT_EQ(332u, c.dwStructSize);
    EXPECT_EQ(44100u, c.dwSampleRate);
    EXPECT_EQ(22050u, c.dwReSampleRate);
    EXPECT_EQ(0, c.nMode);
    EXPECT_EQ(64u, c.dwBitrate);
    EXPECT_EQ(64u, c.dwMaxBitrate);
    EXPECT_EQ(2, c.nPreset);
    EXPECT_EQ(1u, c.dwMpegVersion);
    EXPECT_EQ(0u, c.dwPsyModel);
    EXPECT_EQ(0u, c.dwEmphasis);
    EXPECT_EQ(0, c.bPrivate);
    EXPECT_EQ(0, c.bCRC);
    EXPECT_EQ(-1, c.bCopyright);
    EXPECT_EQ(-1, c.bOriginal);
    EXPECT_EQ(0, c.bWriteVBRHeader);
    EXPECT_EQ(0, c.bEnableVBR);
    EXPECT_EQ(0, c.nVBRQuality);
    // Everything after nVBRQuality stays as zero-filled.
    const auto* bytes = reinterpret_cast<const unsigned char*>(&c);
    for (std::size_t i = offsetof(BE_CONFIG, dwVbrAbr_bps); i < sizeof c; ++i)
        ASSERT_EQ(0, bytes[i]) << "byte " << i;
    EXPECT_EQ("beInitStream(22050,64)", lame.joined());
}

TEST_F(EncoderStreamTest, OpeningTakesSizesAndHandleAndZeroesTheBuffer) {
    lame.samplesPerChunk = 1152;
    lame.bufferSize = 7920;
    lame.handle = 42;
    ASSERT_TRUE(stream->InitEncoderStream(44100, 128));
    EXPECT_EQ(42u, stream->EncoderHandle);
    EXPECT_EQ(1152u, stream->SamplesPerChunk);
    EXPECT_EQ(7920u, stream->Mp3BufferSize);
    ASSERT_TRUE(stream->Mp3Buffer);
    for (std::uint32_t i = 0; i < stream->Mp3BufferSize; ++i)
        ASSERT_EQ(0, stream->Mp3Buffer[i]);
}

TEST_F(EncoderStreamTest, RefusedOpeningAllocatesNothingAndCallsNothingElse) {
    lame.initResult = BE_ERR_INVALID_FORMAT_PARAMETERS;
    EXPECT_FALSE(stream->InitEncoderStream(48000, 8));
    EXPECT_FALSE(stream->Mp3Buffer);
    stream.reset();
    EXPECT_EQ("beInitStream(48000,8)", lame.joined());
    EXPECT_TRUE(written().isEmpty());
}

// A stream that cannot take one stereo frame per call could not be fed; it is closed again.
TEST_F(EncoderStreamTest, StreamWithoutRoomForAFrameIsClosedAndRefused) {
    for (const auto& [samples, size] : {std::pair{0u, 8640u}, {1u, 8640u}, {2304u, 0u}}) {
        FakeLame fake;
        fake.samplesPerChunk = samples;
        fake.bufferSize = size;
        EncoderStream s(fake, file);
        EXPECT_FALSE(s.InitEncoderStream(44100, 128));
        EXPECT_FALSE(s.Mp3Buffer);
        EXPECT_EQ("beInitStream(44100,128) beCloseStream(7)", fake.joined());
    }
}

// --- Encoding -----------------------------------------------------------------------------

struct ChunkCase {
    const char* name;
    std::uint32_t samplesPerChunk;
    std::uint32_t byteCount;
    std::vector<std::uint32_t> calls; // samples of each beEncodeChunk call
};

class EncodeChunkTable : public EncoderStreamTest, public testing::WithParamInterface<ChunkCase> {};

TEST_P(EncodeChunkTable, PassesSamplesInPiecesAndWritesEveryPiece) {
    const ChunkCase& c = GetParam();
    lame.samplesPerChunk = c.samplesPerChunk;
    ASSERT_TRUE(stream->InitEncoderStream(44100, 128));
    const auto pcm = ramp(c.byteCount / 2 + 1);
    stream->EncodeChunk(pcm.data(), c.byteCount);

    std::string expected = "beInitStream(44100,128)";
    for (const auto samples : c.calls)
        expected += " beEncodeChunk(7," + std::to_string(samples) + ")";
    EXPECT_EQ(expected, lame.joined());
    EXPECT_EQ(std::vector<std::int16_t>(pcm.begin(), pcm.begin() + c.byteCount / 2), lame.received);
    EXPECT_EQ(producedByFake(), written());
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, EncodeChunkTable,
    testing::Values(
        ChunkCase{"empty", 2304, 0, {0}}, ChunkCase{"one byte", 2304, 1, {0}},
        ChunkCase{"one frame", 2304, 4, {2}}, ChunkCase{"odd byte dropped", 2304, 7, {3}},
        ChunkCase{"exactly one chunk", 2304, 4608, {2304}},
        ChunkCase{"one frame more", 2304, 4612, {2304, 2}},
        ChunkCase{"stage block", 2304, 16384, {2304, 2304, 2304, 1280}},
        ChunkCase{"MPEG-2 chunk", 1152, 16384, {1152, 1152, 1152, 1152, 1152, 1152, 1152, 128}},
        ChunkCase{"odd chunk keeps frames whole", 1153, 4620, {1152, 1152, 6}}),
    [](const auto& test) {
        std::string name = test.param.name;
        for (auto& ch : name)
            ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return name;
    });

TEST_F(EncoderStreamTest, BufferIsReusedForEveryCall) {
    ASSERT_TRUE(stream->InitEncoderStream(44100, 128));
    const auto* buffer = stream->Mp3Buffer.get();
    const auto pcm = ramp(20000);
    for (int i = 0; i < 5; ++i)
        stream->EncodeChunk(pcm.data(), 40000);
    EXPECT_EQ(buffer, stream->Mp3Buffer.get());
    EXPECT_EQ(producedByFake(), written());
}

TEST_F(EncoderStreamTest, FailedEncodingClosesTheStreamThenRaises) {
    ASSERT_TRUE(stream->InitEncoderStream(44100, 128));
    const auto pcm = ramp(4608);
    stream->EncodeChunk(pcm.data(), 400);
    const QByteArray before = producedByFake();
    lame.failEncodeCall = 2;
    try {
        stream->EncodeChunk(pcm.data(), 400);
        FAIL() << "no error";
    } catch (const EInOutError&) {
        FAIL() << "an input/output error instead of the encoder's";
    } catch (const Exception& e) {
        EXPECT_STREQ("Fehler beim MP3 Codieren", e.what());
    }
    stream.reset();
    EXPECT_EQ("beInitStream(44100,128) beEncodeChunk(7,200) beEncodeChunk(7,200) beCloseStream(7)",
              lame.joined());
    EXPECT_EQ(before, written());
}

TEST_F(EncoderStreamTest, FailureInTheMiddleOfASplitBlockKeepsTheEarlierPieces) {
    ASSERT_TRUE(stream->InitEncoderStream(44100, 128));
    lame.failEncodeCall = 3;
    const auto pcm = ramp(8192);
    EXPECT_THROW(stream->EncodeChunk(pcm.data(), 16384), Exception);
    EXPECT_EQ("beInitStream(44100,128) beEncodeChunk(7,2304) beEncodeChunk(7,2304) "
              "beEncodeChunk(7,2304) beCloseStream(7)",
              lame.joined());
    EXPECT_EQ(producedByFake(), written());
    EXPECT_EQ(2 * 2304 / 8, written().size());
}

TEST_F(EncoderStreamTest, EncoderClaimingMoreThanTheBufferIsAFailure) {
    lame.bufferSize = 100;
    lame.encodeBytes = [](std::uint32_t) { return 101u; };
    ASSERT_TRUE(stream->InitEncoderStream(44100, 128));
    const auto pcm = ramp(4);
    EXPECT_THROW(stream->EncodeChunk(pcm.data(), 8), Exception);
    EXPECT_EQ("beInitStream(44100,128) beEncodeChunk(7,4) beCloseStream(7)", lame.joined());
    EXPECT_TRUE(written().isEmpty());
}

TEST_F(EncoderStreamTest, EncodingAClosedStreamRaisesWithoutACall) {
    ASSERT_TRUE(stream->InitEncoderStream(44100, 128));
    stream->FinishEncoderStream();
    lame.calls.clear();
    const auto pcm = ramp(4);
    EXPECT_THROW(stream->EncodeChunk(pcm.data(), 8), Exception);
    EXPECT_TRUE(lame.calls.empty());
}

// --- Finishing ----------------------------------------------------------------------------

TEST_F(EncoderStreamTest, WholeRunCallsInOrderAndAppendsTheFlush) {
    ASSERT_TRUE(stream->InitEncoderStream(44100, 128));
    const auto pcm = ramp(2304);
    stream->EncodeChunk(pcm.data(), 4608);
    stream->EncodeChunk(pcm.data(), 16);
    stream->FinishEncoderStream();
    EXPECT_FALSE(stream->Mp3Buffer);
    stream.reset();
    EXPECT_EQ("beInitStream(44100,128) beEncodeChunk(7,2304) beEncodeChunk(7,8) "
              "beDeinitStream(7) beCloseStream(7)",
              lame.joined());
    const QByteArray out = written();
    EXPECT_EQ(producedByFake(), out);
    EXPECT_EQ(2304 / 8 + 1 + 100, out.size());
}

TEST_F(EncoderStreamTest, RunWithoutSamplesHoldsOnlyTheFlush) {
    ASSERT_TRUE(stream->InitEncoderStream(44100, 128));
    stream->FinishEncoderStream();
    EXPECT_EQ("beInitStream(44100,128) beDeinitStream(7) beCloseStream(7)", lame.joined());
    EXPECT_EQ(100, written().size());
}

TEST_F(EncoderStreamTest, FlushOfNothingWritesNothingAndStillCloses) {
    lame.flushBytes = 0;
    ASSERT_TRUE(stream->InitEncoderStream(44100, 128));
    stream->FinishEncoderStream();
    EXPECT_EQ("beInitStream(44100,128) beDeinitStream(7) beCloseStream(7)", lame.joined());
    EXPECT_TRUE(written().isEmpty());
}

TEST_F(EncoderStreamTest, FailedFlushClosesTheStreamThenRaises) {
    ASSERT_TRUE(stream->InitEncoderStream(44100, 128));
    const auto pcm = ramp(64);
    stream->EncodeChunk(pcm.data(), 128);
    lame.deinitResult = BE_ERR_INVALID_HANDLE;
    try {
        stream->FinishEncoderStream();
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ("Echec à la sortie", e.what());
    }
    stream.reset();
    EXPECT_EQ("beInitStream(44100,128) beEncodeChunk(7,64) beDeinitStream(7) beCloseStream(7)",
              lame.joined());
    EXPECT_EQ(8, written().size());
}

TEST_F(EncoderStreamTest, OpenStreamIsClosedWhenDropped) {
    ASSERT_TRUE(stream->InitEncoderStream(44100, 128));
    const auto pcm = ramp(4);
    stream->EncodeChunk(pcm.data(), 8);
    lame.closeResult = BE_ERR_INVALID_HANDLE; // a failing close must not escape
    stream.reset();
    EXPECT_EQ("beInitStream(44100,128) beEncodeChunk(7,4) beCloseStream(7)", lame.joined());
}

// --- Writing fails ------------------------------------------------------------------------

class EncoderStreamDiskFull : public testing::Test {
protected:
    void SetUp() override {
        if (!file.create("/dev/full"))
            GTEST_SKIP() << "no /dev/full";
    }
    OutputFile file;
    FakeLame lame;
};

TEST_F(EncoderStreamDiskFull, WriteOfAChunkRaisesDiskFullAndClosesTheStream) {
    // More than the file's own buffer, so the bytes reach the disk within the call.
    lame.bufferSize = 4 * 1024 * 1024;
    lame.encodeBytes = [](std::uint32_t) { return 4u * 1024 * 1024; };
    EncoderStream stream(lame, file);
    ASSERT_TRUE(stream.InitEncoderStream(44100, 128));
    const std::int16_t pcm[2] = {1, 2};
    try {
        stream.EncodeChunk(pcm, 4);
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_STREQ("Disk full", e.what());
    }
    EXPECT_EQ("beInitStream(44100,128) beEncodeChunk(7,2) beCloseStream(7)", lame.joined());
}

TEST_F(EncoderStreamDiskFull, BufferedBytesRaiseDiskFullWhenTheFileIsClosed) {
    EncoderStream stream(lame, file);
    ASSERT_TRUE(stream.InitEncoderStream(44100, 128));
    const std::int16_t pcm[2] = {1, 2};
    stream.EncodeChunk(pcm, 4);
    stream.FinishEncoderStream();
    try {
        file.close();
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_STREQ("Disk full", e.what());
    }
}

} // namespace
