// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <cstdint>

// The configuration record of an MP3 encoder stream and the results of its calls, as the
// encoder stream interface (platform/lame/lame_enc.h) has them. The parallel stream takes and
// answers in them too, so they live below both.

using BE_ERR = std::uint32_t;

inline constexpr BE_ERR BE_ERR_SUCCESSFUL = 0x00000000;
inline constexpr BE_ERR BE_ERR_INVALID_FORMAT = 0x00000001;
inline constexpr BE_ERR BE_ERR_INVALID_FORMAT_PARAMETERS = 0x00000002;
inline constexpr BE_ERR BE_ERR_NO_MORE_HANDLES = 0x00000003;
inline constexpr BE_ERR BE_ERR_INVALID_HANDLE = 0x00000004;
inline constexpr BE_ERR BE_ERR_BUFFER_TOO_SMALL = 0x00000005;
// The encoder ran out of memory.
inline constexpr BE_ERR BE_ERR_NO_MEMORY = 0x00000100;

inline constexpr std::uint32_t BE_CONFIG_LAME = 256;
inline constexpr std::int32_t BE_MP3_MODE_STEREO = 0;
inline constexpr std::int32_t BE_MP3_MODE_JSTEREO = 1;
inline constexpr std::int32_t BE_MP3_MODE_DUALCHANNEL = 2;
inline constexpr std::int32_t BE_MP3_MODE_MONO = 3;
inline constexpr std::uint32_t MPEG1 = 1;
inline constexpr std::uint32_t MPEG2 = 0;

// The configuration record in its LAME form; fields in the record's order.
struct BE_CONFIG {
    std::uint32_t dwConfig;
    std::uint32_t dwStructVersion;
    std::uint32_t dwStructSize;
    std::uint32_t dwSampleRate;
    std::uint32_t dwReSampleRate;
    std::int32_t nMode;
    std::uint32_t dwBitrate;
    std::uint32_t dwMaxBitrate;
    std::int32_t nPreset;
    std::uint32_t dwMpegVersion;
    std::uint32_t dwPsyModel;
    std::uint32_t dwEmphasis;
    std::int32_t bPrivate;
    std::int32_t bCRC;
    std::int32_t bCopyright;
    std::int32_t bOriginal;
    std::int32_t bWriteVBRHeader;
    std::int32_t bEnableVBR;
    std::int32_t nVBRQuality;
    std::uint32_t dwVbrAbr_bps;
    std::int32_t nVbrMethod;
    std::int32_t bNoRes;
    std::int32_t bStrictIso;
    std::uint16_t nQuality;
    std::uint8_t btReserved[255 - 4 * sizeof(std::uint32_t) - sizeof(std::uint16_t)];
};
static_assert(sizeof(BE_CONFIG) == 332);
