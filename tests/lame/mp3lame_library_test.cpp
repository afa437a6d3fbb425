#include "mp3_frames.h"

#include "pipeline/encoder_stream.h"
#include "pipeline/output_file.h"
#include "platform/lame/mp3lame_library.h"
#include "support/media.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

namespace {

// Interleaved stereo at 44100 Hz: a different sine on each side, so channel order shows.
std::vector<std::int16_t> stereoSines(double left, double right, double seconds) {
    const auto frames = static_cast<std::size_t>(seconds * 44100);
    std::vector<std::int16_t> pcm(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = double(i) / 44100;
        pcm[2 * i] = std::int16_t(std::lround(12000 * std::sin(2 * std::numbers::pi * left * t)));
        pcm[2 * i + 1] =
            std::int16_t(std::lround(12000 * std::sin(2 * std::numbers::pi * right * t)));
    }
    return pcm;
}

// Encodes through the program's stream in blocks of the transcoding stage's size.
class RealLame : public testing::Test {
protected:
    QByteArray encode(std::uint32_t rate, std::uint32_t bitRate,
                      const std::vector<std::int16_t>& pcm) {
        OutputFile file;
        EXPECT_TRUE(file.create(path()));
        EncoderStream stream(lame, file);
        EXPECT_TRUE(stream.InitEncoderStream(rate, bitRate));
        if (!stream.Mp3Buffer)
            return {};
        const std::size_t block = 16384 / 2;
        for (std::size_t at = 0; at < pcm.size(); at += block) {
            const std::size_t samples = std::min(block, pcm.size() - at);
            stream.EncodeChunk(pcm.data() + at, std::uint32_t(samples * 2));
        }
        stream.FinishEncoderStream();
        file.close();
        QFile f(path());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }

    QString path() const { return dir.filePath("out.mp3"); }

    static BE_CONFIG config(std::uint32_t rate, std::uint32_t bitRate) {
        BE_CONFIG c;
        std::memset(&c, 0, sizeof c);
        c.dwConfig = BE_CONFIG_LAME;
        c.dwStructVersion = 1;
        c.dwStructSize = sizeof c;
        c.dwSampleRate = 44100;
        c.dwReSampleRate = rate;
        c.dwBitrate = bitRate;
        c.dwMaxBitrate = bitRate;
        c.nPreset = 2;
        c.dwMpegVersion = MPEG1;
        c.bCopyright = -1;
        c.bOriginal = -1;
        return c;
    }

    QTemporaryDir dir;
    Mp3LameLibrary lame;
};

// --- The stream interface -----------------------------------------------------------------

struct SizeCase {
    std::uint32_t rate;
    std::uint32_t samples;
    std::uint32_t bufferSize;
};

TEST_F(RealLame, InitialisationGivesOneFrameAndItsWorstCaseOutput) {
    // 1152 samples per channel in an MPEG-1 frame, 576 in MPEG-2 and 2.5; LAME's rule for the
    // output is 1.25 × samples + 7200 bytes.
    for (const auto& c :
         {SizeCase{48000, 2304, 8640}, SizeCase{44100, 2304, 8640}, SizeCase{32000, 2304, 8640},
          SizeCase{24000, 1152, 7920}, SizeCase{22050, 1152, 7920}, SizeCase{16000, 1152, 7920},
          SizeCase{11025, 1152, 7920}}) {
        SCOPED_TRACE(c.rate);
        const BE_CONFIG cfg = config(c.rate, 64);
        std::uint32_t samples = 0, size = 0;
        HBE_STREAM handle = 0;
        ASSERT_EQ(BE_ERR_SUCCESSFUL, lame.beInitStream(&cfg, &samples, &size, &handle));
        EXPECT_EQ(c.samples, samples);
        EXPECT_EQ(c.bufferSize, size);
        EXPECT_NE(0u, handle);
        EXPECT_EQ(BE_ERR_SUCCESSFUL, lame.beCloseStream(handle));
    }
}

TEST_F(RealLame, ConfigurationsTheEncoderCannotTakeAreRefused) {
    struct Bad {
        const char* name;
        void (*change)(BE_CONFIG&);
    };
    const Bad cases[] = {
        {"other record form", [](BE_CONFIG& c) { c.dwConfig = 0; }},
        {"structure version 0", [](BE_CONFIG& c) { c.dwStructVersion = 0; }},
        {"dual channel", [](BE_CONFIG& c) { c.nMode = BE_MP3_MODE_DUALCHANNEL; }},
        {"unknown mode", [](BE_CONFIG& c) { c.nMode = 9; }},
        {"unknown preset", [](BE_CONFIG& c) { c.nPreset = 77; }},
        {"bit rate out of range", [](BE_CONFIG& c) { c.dwBitrate = c.dwMaxBitrate = 0x80000000u; }},
    };
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.name);
        BE_CONFIG cfg = config(44100, 128);
        bad.change(cfg);
        std::uint32_t samples = 0, size = 0;
        HBE_STREAM handle = 0;
        EXPECT_NE(BE_ERR_SUCCESSFUL, lame.beInitStream(&cfg, &samples, &size, &handle));
    }
}

TEST_F(RealLame, UnknownAndClosedHandlesAreInvalid) {
    const BE_CONFIG cfg = config(44100, 128);
    std::uint32_t samples = 0, size = 0;
    HBE_STREAM handle = 0;
    ASSERT_EQ(BE_ERR_SUCCESSFUL, lame.beInitStream(&cfg, &samples, &size, &handle));
    std::vector<std::uint8_t> out(size);
    std::vector<std::int16_t> pcm(samples);
    std::uint32_t bytes = 0;
    const HBE_STREAM unknown = handle + 1000;
    EXPECT_EQ(BE_ERR_INVALID_HANDLE,
              lame.beEncodeChunk(unknown, samples, pcm.data(), out.data(), &bytes));
    EXPECT_EQ(BE_ERR_INVALID_HANDLE, lame.beDeinitStream(unknown, out.data(), &bytes));
    EXPECT_EQ(BE_ERR_INVALID_HANDLE, lame.beCloseStream(unknown));
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lame.beCloseStream(handle));
    EXPECT_EQ(BE_ERR_INVALID_HANDLE,
              lame.beEncodeChunk(handle, samples, pcm.data(), out.data(), &bytes));
    EXPECT_EQ(BE_ERR_INVALID_HANDLE, lame.beCloseStream(handle));
}

TEST_F(RealLame, StreamsAreIndependent) {
    const BE_CONFIG a = config(44100, 128), b = config(22050, 64);
    std::uint32_t samplesA = 0, samplesB = 0, size = 0;
    HBE_STREAM first = 0, second = 0;
    ASSERT_EQ(BE_ERR_SUCCESSFUL, lame.beInitStream(&a, &samplesA, &size, &first));
    ASSERT_EQ(BE_ERR_SUCCESSFUL, lame.beInitStream(&b, &samplesB, &size, &second));
    EXPECT_NE(first, second);
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lame.beCloseStream(first));
    std::vector<std::uint8_t> out(size);
    std::uint32_t bytes = 0;
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lame.beDeinitStream(second, out.data(), &bytes));
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lame.beCloseStream(second));
}

// A call of far more samples than the stream asked for must fail, never write past the
// buffer of the size the stream stated.
TEST_F(RealLame, OversizedCallFailsInsteadOfOverrunningTheBuffer) {
    const BE_CONFIG cfg = config(44100, 320);
    std::uint32_t samples = 0, size = 0;
    HBE_STREAM handle = 0;
    ASSERT_EQ(BE_ERR_SUCCESSFUL, lame.beInitStream(&cfg, &samples, &size, &handle));
    const auto pcm = stereoSines(440, 1000, 2);
    std::vector<std::uint8_t> out(size);
    std::uint32_t bytes = 0;
    EXPECT_NE(BE_ERR_SUCCESSFUL, lame.beEncodeChunk(handle, std::uint32_t(pcm.size()), pcm.data(),
                                                    out.data(), &bytes));
    lame.beCloseStream(handle);
}

TEST_F(RealLame, FlushTwiceIsRefused) {
    const BE_CONFIG cfg = config(44100, 128);
    std::uint32_t samples = 0, size = 0;
    HBE_STREAM handle = 0;
    ASSERT_EQ(BE_ERR_SUCCESSFUL, lame.beInitStream(&cfg, &samples, &size, &handle));
    std::vector<std::uint8_t> out(size);
    std::uint32_t bytes = 0;
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lame.beDeinitStream(handle, out.data(), &bytes));
    EXPECT_NE(BE_ERR_SUCCESSFUL, lame.beDeinitStream(handle, out.data(), &bytes));
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lame.beCloseStream(handle));
}

// --- What lands in the file ---------------------------------------------------------------

TEST_F(RealLame, DefaultsGiveBareConstantRateStereoMpeg1Frames) {
    const auto pcm = stereoSines(440, 1000, 3);
    const QByteArray mp3 = encode(44100, 128, pcm);
    const Mp3Parse parse = parseMp3Frames(mp3);
    ASSERT_EQ("", parse.error);
    // 3 s of 1152-sample frames, plus the encoder's delay and the padded last frame.
    EXPECT_GE(parse.frames.size(), 115u);
    EXPECT_LE(parse.frames.size(), 118u);
    for (const Mp3Frame& f : parse.frames) {
        SCOPED_TRACE(f.offset);
        ASSERT_EQ(10, f.version);
        ASSERT_EQ(3, f.layer);
        ASSERT_EQ(44100, f.sampleRate);
        ASSERT_EQ(128, f.bitrate);
        ASSERT_EQ(0, f.mode);
        ASSERT_TRUE(f.copyright);
        ASSERT_TRUE(f.original);
        ASSERT_FALSE(f.crc);
        ASSERT_FALSE(f.privateBit);
        ASSERT_EQ(0, f.emphasis);
    }
    // No tag before or after the frames, and no Xing/Info header frame: that frame would hold
    // its tag word right after the side information of the first frame.
    EXPECT_FALSE(mp3.contains("ID3"));
    EXPECT_FALSE(mp3.contains("TAG"));
    EXPECT_FALSE(mp3.contains("Xing"));
    EXPECT_FALSE(mp3.contains("Info"));
    // LAME fills unused bits of a frame's ancillary data with its name and version; that text
    // is audio-frame padding, never a header frame, so it may appear only inside a frame's
    // body, past the first frame's header and side information.
    const int first = 4 + parse.frames.front().sideInfo;
    for (qsizetype at = mp3.indexOf("LAME"); at >= 0; at = mp3.indexOf("LAME", at + 1)) {
        SCOPED_TRACE(at);
        EXPECT_GE(at, first);
        EXPECT_TRUE(mp3.mid(at, 9) == "LAME3.100" || mp3.size() - at < 9);
        for (const Mp3Frame& f : parse.frames)
            EXPECT_FALSE(at >= f.offset && at < f.offset + 4 + f.sideInfo);
    }
}

struct RateCase {
    std::uint32_t rate;
    std::uint32_t bitRate;
    int version;
    int frameRate;
    int frameBitRate;
};

class RealLameRates : public RealLame, public testing::WithParamInterface<RateCase> {};

// LAME picks the MPEG version from the output rate; a bit rate that version lacks becomes the
// nearest one it has (the lower of two equally near), and MPEG-2.5 goes no higher than 64.
TEST_P(RealLameRates, EveryFrameHasTheRateAndBitRateLameMakesOfTheChoice) {
    const RateCase& c = GetParam();
    const QByteArray mp3 = encode(c.rate, c.bitRate, stereoSines(440, 1000, 1));
    const Mp3Parse parse = parseMp3Frames(mp3);
    ASSERT_EQ("", parse.error);
    ASSERT_FALSE(parse.frames.empty());
    for (const Mp3Frame& f : parse.frames) {
        ASSERT_EQ(c.version, f.version) << "at " << f.offset;
        ASSERT_EQ(c.frameRate, f.sampleRate) << "at " << f.offset;
        ASSERT_EQ(c.frameBitRate, f.bitrate) << "at " << f.offset;
        ASSERT_EQ(0, f.mode);
        ASSERT_FALSE(f.crc);
    }
    EXPECT_FALSE(mp3.contains("Xing"));
    EXPECT_FALSE(mp3.contains("Info"));
}

INSTANTIATE_TEST_SUITE_P(
    WindowChoices, RealLameRates,
    testing::Values(RateCase{48000, 160, 10, 48000, 160}, RateCase{48000, 8, 10, 48000, 32},
                    RateCase{44100, 144, 10, 44100, 128}, RateCase{32000, 96, 10, 32000, 96},
                    RateCase{24000, 40, 20, 24000, 40}, RateCase{22050, 64, 20, 22050, 64},
                    RateCase{16000, 32, 20, 16000, 32}, RateCase{11025, 8, 25, 11025, 8},
                    RateCase{11025, 160, 25, 11025, 64}),
    [](const auto& test) {
        return std::to_string(test.param.rate) + "Hz_" + std::to_string(test.param.bitRate) +
               "kbit";
    });

struct SineCase {
    std::uint32_t rate;
    std::uint32_t bitRate;
};

class RealLameSound : public RealLame, public testing::WithParamInterface<SineCase> {};

TEST_P(RealLameSound, SinesComeOutAtTheirFrequenciesOnTheirOwnSides) {
    const auto [rate, bitRate] = GetParam();
    ASSERT_FALSE(encode(rate, bitRate, stereoSines(440, 1000, 3)).isEmpty());
    const media::Pcm decoded = media::decode(path());
    ASSERT_EQ(int(rate), decoded.rate);
    ASSERT_EQ(2, decoded.channels);
    EXPECT_NEAR(3.0, double(decoded.frames()) / rate, 0.1);
    EXPECT_NEAR(440, media::dominantFrequency(media::channel(decoded, 0), decoded.rate), 1.0);
    EXPECT_NEAR(1000, media::dominantFrequency(media::channel(decoded, 1), decoded.rate), 1.0);
    // A sine of amplitude 12000 has an RMS level of -11.7 dBFS.
    EXPECT_NEAR(-11.7, media::rmsDb(media::channel(decoded, 0)), 1.0);
    EXPECT_NEAR(-11.7, media::rmsDb(media::channel(decoded, 1)), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Rates, RealLameSound,
                         testing::Values(SineCase{44100, 128}, SineCase{22050, 64},
                                         SineCase{48000, 160}),
                         [](const auto& test) { return std::to_string(test.param.rate) + "Hz"; });

} // namespace
