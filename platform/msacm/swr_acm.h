// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "platform/msacm/msacm.h"

#include <map>
#include <memory>

// The conversion streams of the audio compression manager, for PCM to PCM, on libswresample:
// 1000 to 768000 Hz, 1 to 8 channels (mixed down where the destination has fewer, to one or
// two), 8-bit unsigned and 16-, 24- and 32-bit signed samples. Streams are synchronous; calls
// on a handle this library did not open, or has closed, answer MMSYSERR_INVALHANDLE.
class SwrAcmLibrary final : public AcmLibrary {
public:
    SwrAcmLibrary();
    ~SwrAcmLibrary() override;

    MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const WAVEFORMATEX* source,
                           const WAVEFORMATEX* destination, WAVEFILTER* filter, DWORD_PTR callback,
                           DWORD_PTR instance, DWORD flags) override;
    MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags) override;
    MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header,
                                    DWORD flags) override;
    MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header,
                                      DWORD flags) override;
    MMRESULT acmStreamClose(HACMSTREAM stream, DWORD flags) override;
    MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags) override;
    MMRESULT acmStreamReset(HACMSTREAM stream, DWORD flags) override;

    // Streams open at present.
    std::size_t openStreams() const { return streams.size(); }

private:
    AcmStream* find(HACMSTREAM stream) const;

    // Keyed by the handle's value, so an unknown handle is never dereferenced.
    std::map<HACMSTREAM, std::unique_ptr<AcmStream>> streams;
};
