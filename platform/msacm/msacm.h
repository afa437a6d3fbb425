// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <cstddef>
#include <cstdint>

// The conversion-stream calls of the audio compression manager, as the format convertor uses
// them: records, flags and result codes keep their platform values. The format convertor
// reaches the calls through AcmLibrary only.

using MMRESULT = std::uint32_t;
using DWORD = std::uint32_t;
using DWORD_PTR = std::uintptr_t;
struct AcmStream;
using HACMSTREAM = AcmStream*;
using HACMDRIVER = void*;

#pragma pack(push, 1)
// The wave-format header: packed, little-endian, 18 bytes.
struct WAVEFORMATEX {
    std::uint16_t wFormatTag;
    std::uint16_t nChannels;
    std::uint32_t nSamplesPerSec;
    std::uint32_t nAvgBytesPerSec;
    std::uint16_t nBlockAlign;
    std::uint16_t wBitsPerSample;
    std::uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

struct WAVEFILTER;

// The stream header. Its size differs from the 84 bytes of a 32-bit build, so cbStruct holds
// sizeof(ACMSTREAMHEADER).
struct ACMSTREAMHEADER {
    DWORD cbStruct;
    DWORD fdwStatus;
    DWORD_PTR dwUser;
    std::uint8_t* pbSrc;
    DWORD cbSrcLength;
    DWORD cbSrcLengthUsed;
    DWORD_PTR dwSrcUser;
    std::uint8_t* pbDst;
    DWORD cbDstLength;
    DWORD cbDstLengthUsed;
    DWORD_PTR dwDstUser;
    DWORD dwReservedDriver[10];
};

inline constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;
inline constexpr MMRESULT ACMERR_BUSY = 513;
inline constexpr MMRESULT ACMERR_UNPREPARED = 514;
inline constexpr MMRESULT ACMERR_CANCELED = 515;

inline constexpr DWORD ACM_STREAMOPENF_QUERY = 0x1;
inline constexpr DWORD ACM_STREAMOPENF_ASYNC = 0x2;
inline constexpr DWORD ACM_STREAMOPENF_NONREALTIME = 0x4;
inline constexpr DWORD ACM_STREAMSIZEF_SOURCE = 0x0;
inline constexpr DWORD ACM_STREAMSIZEF_DESTINATION = 0x1;
inline constexpr DWORD ACM_STREAMCONVERTF_BLOCKALIGN = 0x4;
inline constexpr DWORD ACM_STREAMCONVERTF_START = 0x10;
inline constexpr DWORD ACM_STREAMCONVERTF_END = 0x20;
inline constexpr DWORD ACMSTREAMHEADER_STATUSF_DONE = 0x10000;
inline constexpr DWORD ACMSTREAMHEADER_STATUSF_PREPARED = 0x20000;
inline constexpr DWORD ACMSTREAMHEADER_STATUSF_INQUEUE = 0x100000;

class AcmLibrary {
public:
    virtual ~AcmLibrary() = default;

    virtual MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver,
                                   const WAVEFORMATEX* source, const WAVEFORMATEX* destination,
                                   WAVEFILTER* filter, DWORD_PTR callback, DWORD_PTR instance,
                                   DWORD flags) = 0;
    virtual MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags) = 0;
    virtual MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header,
                                            DWORD flags) = 0;
    virtual MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header,
                                              DWORD flags) = 0;
    virtual MMRESULT acmStreamClose(HACMSTREAM stream, DWORD flags) = 0;
    virtual MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags) = 0;
    virtual MMRESULT acmStreamReset(HACMSTREAM stream, DWORD flags) = 0;
};
