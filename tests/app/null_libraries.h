#pragma once

#include "platform/lame/lame_enc.h"
#include "platform/msacm/msacm.h"

// Libraries the window needs at hand but a test does not use: every call fails.
class NullAcm final : public AcmLibrary {
public:
    MMRESULT acmStreamOpen(HACMSTREAM*, HACMDRIVER, const WAVEFORMATEX*, const WAVEFORMATEX*,
                           WAVEFILTER*, DWORD_PTR, DWORD_PTR, DWORD) override {
        return MMSYSERR_NODRIVER;
    }
    MMRESULT acmStreamSize(HACMSTREAM, DWORD, DWORD*, DWORD) override {
        return MMSYSERR_INVALHANDLE;
    }
    MMRESULT acmStreamPrepareHeader(HACMSTREAM, ACMSTREAMHEADER*, DWORD) override {
        return MMSYSERR_INVALHANDLE;
    }
    MMRESULT acmStreamUnprepareHeader(HACMSTREAM, ACMSTREAMHEADER*, DWORD) override {
        return MMSYSERR_INVALHANDLE;
    }
    MMRESULT acmStreamClose(HACMSTREAM, DWORD) override { return MMSYSERR_INVALHANDLE; }
    MMRESULT acmStreamConvert(HACMSTREAM, ACMSTREAMHEADER*, DWORD) override {
        return MMSYSERR_INVALHANDLE;
    }
    MMRESULT acmStreamReset(HACMSTREAM, DWORD) override { return MMSYSERR_INVALHANDLE; }
};

class NullLame final : public LameLibrary {
public:
    BE_ERR beInitStream(const BE_CONFIG*, std::uint32_t*, std::uint32_t*, HBE_STREAM*) override {
        return BE_ERR_INVALID_FORMAT;
    }
    BE_ERR beEncodeChunk(HBE_STREAM, std::uint32_t, const std::int16_t*, std::uint8_t*,
                         std::uint32_t*) override {
        return BE_ERR_INVALID_HANDLE;
    }
    BE_ERR beDeinitStream(HBE_STREAM, std::uint8_t*, std::uint32_t*) override {
        return BE_ERR_INVALID_HANDLE;
    }
    BE_ERR beCloseStream(HBE_STREAM) override { return BE_ERR_INVALID_HANDLE; }
};
