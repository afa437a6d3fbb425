// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "fakes/fake_lame.h"
#include "pipeline/encoder_stream.h"
#include "pipeline/output_file.h"
#include "platform/lame/mp3lame_library.h"
#include "support/media.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

// Interleaved stereo at 44100 Hz, 440 Hz left and 1000 Hz right, so channel order shows.
std::vector<std::int16_t> stereoSines(double seconds) {
    std::vector<std::int16_t> pcm(std::size_t(seconds * 44100) * 2);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = std::int16_t(std::lround(
            12000 * std::sin(2 * std::numbers::pi * (i % 2 ? 1000 : 440) * double(i / 2) / 44100)));
    return pcm;
}

// The record the program's stream hands the encoder for 44100 Hz at 128 kbit/s.
BE_CONFIG config() {
    FakeLame fake;
    OutputFile file;
    EncoderStream(fake, file).InitEncoderStream(44100, 128);
    return *fake.config;
}

// The handle of a new stream, 0 when refused.
HBE_STREAM init(Mp3LameLibrary& lame, const BE_CONFIG& cfg) {
    HBE_STREAM handle = 0;
    std::uint32_t samples = 0, size = 0;
    return lame.beInitStream(&cfg, &samples, &size, &handle) == BE_ERR_SUCCESSFUL ? handle : 0;
}

TEST(RealLame, ConfigurationsTheEncoderCannotTakeAreRefused) {
    Mp3LameLibrary lame;
    for (const auto change : std::initializer_list<void (*)(BE_CONFIG&)>{
             [](BE_CONFIG& c) { c.dwConfig = 0; }, [](BE_CONFIG& c) { c.dwStructVersion = 0; },
             [](BE_CONFIG& c) { c.nMode = BE_MP3_MODE_DUALCHANNEL; },
             [](BE_CONFIG& c) { c.nPreset = 77; },
             [](BE_CONFIG& c) { c.dwBitrate = c.dwMaxBitrate = 0x80000000u; }}) {
        BE_CONFIG cfg = config();
        change(cfg);
        EXPECT_EQ(0u, init(lame, cfg));
    }
}

// Handles are looked up, never trusted: closed or made-up ones are refused, others live on.
TEST(RealLame, HandlesAreCheckedAndCallsBounded) {
    Mp3LameLibrary lame;
    const HBE_STREAM first = init(lame, config()), second = init(lame, config());
    ASSERT_NE(0u, first);
    ASSERT_NE(0u, second);
    std::vector<std::uint8_t> out(8640);
    const auto pcm = stereoSines(2);
    std::uint32_t bytes = 0;
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lame.beCloseStream(first));
    for (const HBE_STREAM stale : {first, second + 1000}) {
        EXPECT_EQ(BE_ERR_INVALID_HANDLE,
                  lame.beEncodeChunk(stale, 2, pcm.data(), out.data(), &bytes));
        EXPECT_EQ(BE_ERR_INVALID_HANDLE, lame.beDeinitStream(stale, out.data(), &bytes));
        EXPECT_EQ(BE_ERR_INVALID_HANDLE, lame.beCloseStream(stale));
    }
    // Far more samples than a call may take must fail, not overrun the stated buffer.
    EXPECT_NE(BE_ERR_SUCCESSFUL, lame.beEncodeChunk(second, std::uint32_t(pcm.size()), pcm.data(),
                                                    out.data(), &bytes));
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lame.beDeinitStream(second, out.data(), &bytes));
    EXPECT_NE(BE_ERR_SUCCESSFUL, lame.beDeinitStream(second, out.data(), &bytes));
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lame.beCloseStream(second));
}

// Through the program's stream. Every frame header must be `header` (ISO 11172-3 / 13818-3,
// padding bit aside): layer III without CRC, stereo, copyright and original set. LAME takes
// the MPEG version from the rate and the nearest bit rate that version has; MPEG-1 frames
// take 1152 samples per channel, the others 576.
TEST(RealLame, FilesAreBareConstantRateStereoFramesThatKeepTheSound) {
    const struct {
        std::uint32_t rate, bitRate, header; // header bytes with the padding bit clear
        int frameBitRate;
    } cases[] = {
        {44100, 128, 0xFFFB900C, 128}, // MPEG-1, 128 kbit/s, 44100 Hz
        {48000, 160, 0xFFFBA40C, 160}, {44100, 144, 0xFFFB900C, 128},
        {22050, 64, 0xFFF3800C, 64},                                 // MPEG-2
        {16000, 32, 0xFFF3480C, 32},   {11025, 160, 0xFFE3800C, 64}, // MPEG-2.5
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz " << c.bitRate << " kbit/s");
        QTemporaryDir dir;
        const QString path = dir.filePath("out.mp3");
        Mp3LameLibrary lame;
        OutputFile file;
        ASSERT_TRUE(file.create(path));
        const bool mpeg1 = c.header & 0x80000;
        {
            EncoderStream stream(lame, file);
            ASSERT_TRUE(stream.InitEncoderStream(c.rate, c.bitRate));
            EXPECT_EQ(mpeg1 ? 2304u : 1152u, stream.SamplesPerChunk);
            EXPECT_EQ(mpeg1 ? 8640u : 7920u, stream.Mp3BufferSize); // 1.25 × samples + 7200
            const auto pcm = stereoSines(3); // split by the stream into calls of a frame each
            stream.EncodeChunk(pcm.data(), std::uint32_t(pcm.size() * 2));
            stream.FinishEncoderStream();
        }
        file.close();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray mp3 = f.readAll();

        // The file is frames, one after another, and nothing else.
        const int sideInfo = mpeg1 ? 32 : 17;
        std::vector<qsizetype> frames;
        for (qsizetype at = 0; at < mp3.size();) {
            frames.push_back(at);
            ASSERT_GE(mp3.size() - at, 4);
            const std::uint32_t header = qFromBigEndian<std::uint32_t>(mp3.constData() + at);
            ASSERT_EQ(c.header, header & ~0x200u) << "at " << at;
            at += (mpeg1 ? 144000 : 72000) * c.frameBitRate / int(c.rate) + (header >> 9 & 1);
            ASSERT_LE(at, mp3.size());
        }
        // No tag and no Xing/Info frame. LAME writes its name into unused ancillary bits, but
        // never into a header or side information, where an Info frame's would be.
        for (const char* word : {"ID3", "TAG", "Xing", "Info"})
            EXPECT_FALSE(mp3.contains(word)) << word;
        for (qsizetype at = mp3.indexOf("LAME"); at >= 0; at = mp3.indexOf("LAME", at + 1))
            for (const qsizetype frame : frames)
                EXPECT_FALSE(at >= frame && at < frame + 4 + sideInfo) << at;

        const media::Pcm decoded = media::decode(path);
        ASSERT_EQ(2, decoded.channels);
        EXPECT_NEAR(3.0, double(decoded.frames()) / c.rate, 0.15); // encoder delay and padding
        for (const auto& [side, tone] : {std::pair{0, 440.0}, {1, 1000.0}}) {
            const auto signal = media::channel(decoded, side);
            EXPECT_NEAR(tone, media::dominantFrequency(signal, decoded.rate), 1.0);
            EXPECT_NEAR(-11.7, media::rmsDb(signal), 1.0); // a sine of amplitude 12000
        }
    }
}

} // namespace
