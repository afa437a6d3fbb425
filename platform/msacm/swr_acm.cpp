// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "platform/msacm/swr_acm.h"

#include "platform/msacm/pcm_converter.h"

#include <limits>

// One open conversion stream: its converter and the headers prepared on it, with the buffers
// and lengths each was prepared with.
struct AcmStream {
    struct Prepared {
        std::uint8_t* pbSrc = nullptr;
        DWORD cbSrcLength = 0;
        std::uint8_t* pbDst = nullptr;
        DWORD cbDstLength = 0;
    };

    std::unique_ptr<msacm::PcmConverter> converter;
    std::map<const ACMSTREAMHEADER*, Prepared> headers;
};

namespace {

constexpr DWORD kOpenFlags =
    ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_ASYNC | ACM_STREAMOPENF_NONREALTIME;
constexpr DWORD kConvertFlags =
    ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END;

// Every rate a source may come at: from telephone-grade oddities to 768 kHz studio PCM.
constexpr DWORD kLowestRate = 1000;
constexpr DWORD kHighestRate = 768000;

bool knownWidth(int bits) {
    return bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Fields that cannot describe any PCM stream: each sample takes whole bytes of the frame.
bool impossible(const WAVEFORMATEX& format) {
    return format.nChannels == 0 || format.nSamplesPerSec == 0 || format.wBitsPerSample == 0 ||
           format.nBlockAlign != format.nChannels * ((format.wBitsPerSample + 7) / 8);
}

bool supported(const WAVEFORMATEX& format) {
    return format.nChannels <= 8 && format.nSamplesPerSec >= kLowestRate &&
           format.nSamplesPerSec <= kHighestRate && knownWidth(format.wBitsPerSample);
}

msacm::PcmFormat pcmFormat(const WAVEFORMATEX& format) {
    return {format.nChannels, static_cast<int>(format.nSamplesPerSec), format.wBitsPerSample};
}

bool headerUsable(const ACMSTREAMHEADER* header) {
    return header && header->cbStruct >= sizeof(ACMSTREAMHEADER);
}

} // namespace

SwrAcmLibrary::SwrAcmLibrary() = default;
SwrAcmLibrary::~SwrAcmLibrary() = default;

AcmStream* SwrAcmLibrary::find(HACMSTREAM stream) const {
    const auto it = streams.find(stream);
    return it == streams.end() ? nullptr : it->second.get();
}

MMRESULT SwrAcmLibrary::acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver,
                                      const WAVEFORMATEX* source, const WAVEFORMATEX* destination,
                                      WAVEFILTER* filter, DWORD_PTR callback, DWORD_PTR instance,
                                      DWORD flags) {
    (void)instance;
    if (flags & ~kOpenFlags)
        return MMSYSERR_INVALFLAG;
    const bool query = flags & ACM_STREAMOPENF_QUERY;
    if ((!stream && !query) || !source || !destination)
        return MMSYSERR_INVALPARAM;
    if (stream)
        *stream = nullptr;
    if (driver)
        return MMSYSERR_INVALHANDLE; // there are no drivers to choose from
    // Conversions run to completion inside the call: no callbacks, no filters.
    if ((flags & ACM_STREAMOPENF_ASYNC) || callback || filter)
        return ACMERR_NOTPOSSIBLE;
    if (source->wFormatTag != WAVE_FORMAT_PCM || destination->wFormatTag != WAVE_FORMAT_PCM)
        return ACMERR_NOTPOSSIBLE;
    if (impossible(*source) || impossible(*destination))
        return MMSYSERR_INVALPARAM;
    if (!supported(*source) || !supported(*destination))
        return ACMERR_NOTPOSSIBLE;
    if (destination->nChannels != source->nChannels && destination->nChannels > 2)
        return ACMERR_NOTPOSSIBLE;
    if (query)
        return MMSYSERR_NOERROR;

    auto opened = std::make_unique<AcmStream>();
    opened->converter = msacm::PcmConverter::create(pcmFormat(*source), pcmFormat(*destination));
    if (!opened->converter)
        return MMSYSERR_NOMEM;
    const HACMSTREAM handle = opened.get();
    streams.emplace(handle, std::move(opened));
    *stream = handle;
    return MMSYSERR_NOERROR;
}

MMRESULT SwrAcmLibrary::acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags) {
    AcmStream* s = find(stream);
    if (!s)
        return MMSYSERR_INVALHANDLE;
    if (flags != ACM_STREAMSIZEF_SOURCE && flags != ACM_STREAMSIZEF_DESTINATION)
        return MMSYSERR_INVALFLAG;
    if (!output)
        return MMSYSERR_INVALPARAM;
    const std::uint64_t size = flags == ACM_STREAMSIZEF_SOURCE
                                   ? s->converter->maxOutputBytes(input)
                                   : s->converter->inputBytesFitting(input);
    if (size == 0 || size > std::numeric_limits<DWORD>::max())
        return ACMERR_NOTPOSSIBLE;
    *output = static_cast<DWORD>(size);
    return MMSYSERR_NOERROR;
}

MMRESULT SwrAcmLibrary::acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header,
                                               DWORD flags) {
    AcmStream* s = find(stream);
    if (!s)
        return MMSYSERR_INVALHANDLE;
    if (flags != 0)
        return MMSYSERR_INVALFLAG;
    if (!headerUsable(header) || (!header->pbSrc && header->cbSrcLength) ||
        (!header->pbDst && header->cbDstLength))
        return MMSYSERR_INVALPARAM;
    if (s->headers.contains(header))
        return MMSYSERR_NOERROR; // already prepared on this stream: nothing to do
    s->headers[header] = {header->pbSrc, header->cbSrcLength, header->pbDst, header->cbDstLength};
    header->fdwStatus =
        (header->fdwStatus & ~(ACMSTREAMHEADER_STATUSF_DONE | ACMSTREAMHEADER_STATUSF_INQUEUE)) |
        ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT SwrAcmLibrary::acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header,
                                                 DWORD flags) {
    AcmStream* s = find(stream);
    if (!s)
        return MMSYSERR_INVALHANDLE;
    if (flags != 0)
        return MMSYSERR_INVALFLAG;
    if (!headerUsable(header))
        return MMSYSERR_INVALPARAM;
    const auto it = s->headers.find(header);
    if (it == s->headers.end() || !(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED))
        return ACMERR_UNPREPARED;
    const AcmStream::Prepared& prepared = it->second;
    if (header->pbSrc != prepared.pbSrc || header->cbSrcLength != prepared.cbSrcLength ||
        header->pbDst != prepared.pbDst || header->cbDstLength != prepared.cbDstLength)
        return MMSYSERR_INVALPARAM;
    s->headers.erase(it);
    header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT SwrAcmLibrary::acmStreamClose(HACMSTREAM stream, DWORD flags) {
    const auto it = streams.find(stream);
    if (it == streams.end())
        return MMSYSERR_INVALHANDLE;
    if (flags != 0)
        return MMSYSERR_INVALFLAG;
    streams.erase(it);
    return MMSYSERR_NOERROR;
}

MMRESULT SwrAcmLibrary::acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags) {
    AcmStream* s = find(stream);
    if (!s)
        return MMSYSERR_INVALHANDLE;
    if (flags & ~kConvertFlags)
        return MMSYSERR_INVALFLAG;
    if (!headerUsable(header))
        return MMSYSERR_INVALPARAM;
    const auto it = s->headers.find(header);
    if (it == s->headers.end() || !(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED))
        return ACMERR_UNPREPARED;
    // The buffers stay those of the preparation; the lengths may shrink, never grow.
    const AcmStream::Prepared& prepared = it->second;
    if (header->pbSrc != prepared.pbSrc || header->pbDst != prepared.pbDst ||
        header->cbSrcLength > prepared.cbSrcLength || header->cbDstLength > prepared.cbDstLength)
        return MMSYSERR_INVALPARAM;

    header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
    const auto result = s->converter->convert(header->pbSrc, header->cbSrcLength, header->pbDst,
                                              header->cbDstLength, flags & ACM_STREAMCONVERTF_START,
                                              flags & ACM_STREAMCONVERTF_END);
    header->cbSrcLengthUsed = result.srcUsed;
    header->cbDstLengthUsed = result.dstUsed;
    header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return result.ok ? MMSYSERR_NOERROR : MMSYSERR_NOMEM;
}

MMRESULT SwrAcmLibrary::acmStreamReset(HACMSTREAM stream, DWORD flags) {
    AcmStream* s = find(stream);
    if (!s)
        return MMSYSERR_INVALHANDLE;
    if (flags != 0)
        return MMSYSERR_INVALFLAG;
    s->converter->reset();
    return MMSYSERR_NOERROR;
}
