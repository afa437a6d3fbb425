// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "codec/mp3/mp3_frame_header.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using Version = Mp3FrameHeader::Version;
using Mode = Mp3FrameHeader::ChannelMode;

std::array<std::uint8_t, 4> bytes(std::uint32_t word) {
    return {std::uint8_t(word >> 24), std::uint8_t(word >> 16), std::uint8_t(word >> 8),
            std::uint8_t(word)};
}

TEST(Mp3FrameHeader, ReadsEveryFieldOfEachVersionAndLayer) {
    const struct {
        std::uint32_t word;
        Version version;
        int layer, bitRate, sampleRate;
        bool padding, crc;
        Mode mode;
        int frameLength, sideInfo, samples;
    } cases[] = {
        // What the program writes: MPEG-1 layer III, 128 kbit/s, 44100 Hz, stereo.
        {0xFFFB900C, Version::Mpeg1, 3, 128, 44100, false, false, Mode::Stereo, 417, 32, 1152},
        {0xFFFB920C, Version::Mpeg1, 3, 128, 44100, true, false, Mode::Stereo, 418, 32, 1152},
        {0xFFFBA444, Version::Mpeg1, 3, 160, 48000, false, false, Mode::JointStereo, 480, 32, 1152},
        {0xFFFA10C0, Version::Mpeg1, 3, 32, 44100, false, true, Mode::Mono, 104, 17, 1152},
        {0xFFF280C0, Version::Mpeg2, 3, 64, 22050, false, true, Mode::Mono, 208, 9, 576},
        {0xFFF3480C, Version::Mpeg2, 3, 32, 16000, false, false, Mode::Stereo, 144, 17, 576},
        {0xFFE31000, Version::Mpeg25, 3, 8, 11025, false, false, Mode::Stereo, 52, 17, 576},
        {0xFFFDE480, Version::Mpeg1, 2, 384, 48000, false, false, Mode::DualChannel, 1152, 0, 1152},
        {0xFFFFEAC0, Version::Mpeg1, 1, 448, 32000, true, false, Mode::Mono, 676, 0, 384},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.word);
        const auto b = bytes(c.word);
        const auto h = parseMp3FrameHeader(b.data(), b.size());
        ASSERT_TRUE(h);
        EXPECT_EQ(c.version, h->version);
        EXPECT_EQ(c.layer, h->layer);
        EXPECT_EQ(c.bitRate, h->bitRate);
        EXPECT_EQ(c.sampleRate, h->sampleRate);
        EXPECT_EQ(c.padding, h->padding);
        EXPECT_EQ(c.crc, h->crc);
        EXPECT_EQ(c.mode, h->channelMode);
        EXPECT_EQ(c.frameLength, h->frameLength);
        EXPECT_EQ(c.sideInfo, h->sideInfoLength);
        EXPECT_EQ(c.samples, h->samplesPerFrame);
    }
    const auto program = bytes(0xFFFB900C);
    EXPECT_TRUE(parseMp3FrameHeader(program.data(), 4)->copyright);
    EXPECT_TRUE(parseMp3FrameHeader(program.data(), 4)->original);
}

TEST(Mp3FrameHeader, RefusesWhatIsNoFrameOrStatesNoLength) {
    for (const std::uint32_t word : {
             0x7FFB900Cu, // no sync
             0xFFEB900Cu, // reserved version
             0xFFF9900Cu, // reserved layer
             0xFFFB000Cu, // free format
             0xFFFBF00Cu, // bit rate index 15
             0xFFFB9C0Cu, // reserved sample rate
         }) {
        const auto b = bytes(word);
        EXPECT_FALSE(parseMp3FrameHeader(b.data(), b.size())) << std::hex << word;
    }
    const auto b = bytes(0xFFFB900C);
    EXPECT_FALSE(parseMp3FrameHeader(b.data(), 3));
    EXPECT_FALSE(parseMp3FrameHeader(nullptr, 4));
}

} // namespace
