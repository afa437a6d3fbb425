// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// The four bytes in front of every MPEG audio frame (ISO 11172-3, ISO 13818-3 and the
// MPEG-2.5 extension), decoded.
struct Mp3FrameHeader {
    enum class Version { Mpeg1, Mpeg2, Mpeg25 };
    enum class ChannelMode { Stereo, JointStereo, DualChannel, Mono };

    Version version = Version::Mpeg1;
    int layer = 3;      // 1, 2 or 3
    int bitRate = 0;    // kbit/s
    int sampleRate = 0; // Hz
    bool padding = false;
    bool crc = false; // a 16-bit check word follows the header
    ChannelMode channelMode = ChannelMode::Stereo;
    bool copyright = false;
    bool original = false;
    int frameLength = 0;     // bytes, header included
    int sideInfoLength = 0;  // bytes of Layer III side information; 0 for layers I and II
    int samplesPerFrame = 0; // per channel

    int channels() const { return channelMode == ChannelMode::Mono ? 1 : 2; }
};

// The header in the first four of `size` bytes; nothing when they are no valid header. A
// free-format frame (bit rate index 0) states no length and is refused too.
std::optional<Mp3FrameHeader> parseMp3FrameHeader(const std::uint8_t* bytes, std::size_t size);
