// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "codec/mp3/mp3_frame_header.h"

namespace {

// kbit/s by bit rate index 1..14: MPEG-1 layers I, II, III, then MPEG-2/2.5 layer I, II and III.
constexpr int BitRates[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};

constexpr int SampleRates[3][3] = {
    {44100, 48000, 32000}, // MPEG-1
    {22050, 24000, 16000}, // MPEG-2
    {11025, 12000, 8000},  // MPEG-2.5
};

} // namespace

std::optional<Mp3FrameHeader> parseMp3FrameHeader(const std::uint8_t* bytes, std::size_t size) {
    if (!bytes || size < 4)
        return std::nullopt;
    const std::uint32_t word = std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
                               std::uint32_t{bytes[2]} << 8 | bytes[3];
    if ((word >> 21) != 0x7FF)
        return std::nullopt;
    const unsigned versionBits = word >> 19 & 3;
    const unsigned layerBits = word >> 17 & 3;
    const unsigned bitRateIndex = word >> 12 & 15;
    const unsigned rateIndex = word >> 10 & 3;
    if (versionBits == 1 || layerBits == 0 || bitRateIndex == 0 || bitRateIndex == 15 ||
        rateIndex == 3)
        return std::nullopt;

    Mp3FrameHeader h;
    h.version = versionBits == 3   ? Mp3FrameHeader::Version::Mpeg1
                : versionBits == 2 ? Mp3FrameHeader::Version::Mpeg2
                                   : Mp3FrameHeader::Version::Mpeg25;
    const bool mpeg1 = h.version == Mp3FrameHeader::Version::Mpeg1;
    h.layer = 4 - static_cast<int>(layerBits);
    h.bitRate = BitRates[mpeg1 ? h.layer - 1 : (h.layer == 1 ? 3 : 4)][bitRateIndex];
    h.sampleRate =
        SampleRates[mpeg1 ? 0 : (h.version == Mp3FrameHeader::Version::Mpeg2 ? 1 : 2)][rateIndex];
    h.crc = (word >> 16 & 1) == 0;
    h.padding = (word >> 9 & 1) != 0;
    h.channelMode = static_cast<Mp3FrameHeader::ChannelMode>(word >> 6 & 3);
    h.copyright = (word >> 3 & 1) != 0;
    h.original = (word >> 2 & 1) != 0;

    const int pad = h.padding ? 1 : 0;
    const bool mono = h.channelMode == Mp3FrameHeader::ChannelMode::Mono;
    switch (h.layer) {
    case 1:
        h.samplesPerFrame = 384;
        h.frameLength = (12000 * h.bitRate / h.sampleRate + pad) * 4;
        break;
    case 2:
        h.samplesPerFrame = 1152;
        h.frameLength = 144000 * h.bitRate / h.sampleRate + pad;
        break;
    default:
        // MPEG-2 and 2.5 frames carry one granule of 576 samples instead of two.
        h.samplesPerFrame = mpeg1 ? 1152 : 576;
        h.frameLength = (mpeg1 ? 144000 : 72000) * h.bitRate / h.sampleRate + pad;
        h.sideInfoLength = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
        break;
    }
    return h;
}
