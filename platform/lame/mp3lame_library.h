// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "codec/mp3/lame_config.h"
#include "codec/mp3/lame_gate.h"
#include "codec/mp3/parallel_stream.h"
#include "platform/lame/lame_enc.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

// The stream interface over libmp3lame. Each stream owns one encoder context; handles are
// looked up in a registry, so a stale or made-up handle gives BE_ERR_INVALID_HANDLE instead of
// touching freed memory.
//
// Settings taken from BE_CONFIG (dwConfig must be BE_CONFIG_LAME, dwStructVersion 1 or later):
// dwSampleRate (input rate), dwReSampleRate (output rate, 0 lets LAME choose), nMode (0 stereo,
// 1 joint stereo, 3 mono with one input channel), dwBitrate (constant bit rate; with bEnableVBR
// the lowest and dwMaxBitrate the highest of a VBR stream of quality nVBRQuality), nPreset
// (0 LAME's default quality, 2 LAME's quality 2), dwEmphasis, bPrivate, bCRC, bCopyright,
// bOriginal, bWriteVBRHeader (Xing/Info frame), bNoRes, bStrictIso. LAME derives the MPEG version
// from the output rate, so dwMpegVersion is not used. No ID3 tag is ever written.
//
// With more than one thread, a stream whose settings allow it (ParallelStream::suits) is
// encoded by several encoders on that many worker threads and joined into one stream of the
// same frames and headers. Its output buffer then holds what the workers may have completed
// at once (see ParallelStream::bufferSize), up to the last frame in the flush. All contexts
// of the library's streams are made and run through one LameGate.
//
// A stream that runs out of memory fails with BE_ERR_NO_MEMORY; beErrorText tells why a
// parallel stream's worker failed otherwise.
class Mp3LameLibrary final : public LameLibrary {
public:
    explicit Mp3LameLibrary(unsigned threads = 1, const ChunkLayout& layout = {});
    ~Mp3LameLibrary() override;
    Mp3LameLibrary(const Mp3LameLibrary&) = delete;
    Mp3LameLibrary& operator=(const Mp3LameLibrary&) = delete;

    // `bufferSize` is what `output` must hold in every later call on the stream.
    BE_ERR beInitStream(const BE_CONFIG* config, std::uint32_t* samples, std::uint32_t* bufferSize,
                        HBE_STREAM* stream) override;
    BE_ERR beEncodeChunk(HBE_STREAM stream, std::uint32_t samples, const std::int16_t* pcm,
                         std::uint8_t* output, std::uint32_t* outputBytes) override;
    BE_ERR beDeinitStream(HBE_STREAM stream, std::uint8_t* output,
                          std::uint32_t* outputBytes) override;
    BE_ERR beCloseStream(HBE_STREAM stream) override;
    std::string beErrorText(HBE_STREAM stream) const override;

    // What a stream on several threads has done so far; nothing for a stream on one.
    std::optional<ParallelStats> parallelStats(HBE_STREAM stream) const;

private:
    struct Stream {
        LamePtr lame;
        std::unique_ptr<ParallelStream> parallel;
        int channels = 2;
        std::uint32_t frameSize = 0;
        std::uint32_t bufferSize = 0;
        bool flushed = false;
    };

    Stream* find(HBE_STREAM stream);
    BE_ERR initStream(const BE_CONFIG& config, Stream& s);

    const unsigned threads;
    const ChunkLayout layout;
    // Before the streams, whose workers pass it until they are stopped.
    LameGate gate;
    std::map<HBE_STREAM, Stream> streams;
    HBE_STREAM nextHandle = 1;
};
