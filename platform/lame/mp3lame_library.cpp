// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "platform/lame/mp3lame_library.h"

#include "codec/mp3/parallel_stream.h"

#include <lame/lame.h>

#include <climits>
#include <new>
#include <system_error>

Mp3LameLibrary::Mp3LameLibrary(unsigned threads_, const ChunkLayout& layout_)
    : threads(threads_), layout(layout_) {}
Mp3LameLibrary::~Mp3LameLibrary() = default;

Mp3LameLibrary::Stream* Mp3LameLibrary::find(HBE_STREAM stream) {
    const auto it = streams.find(stream);
    return it == streams.end() ? nullptr : &it->second;
}

BE_ERR Mp3LameLibrary::beInitStream(const BE_CONFIG* config, std::uint32_t* samples,
                                    std::uint32_t* bufferSize, HBE_STREAM* stream) {
    if (!config || !samples || !bufferSize || !stream)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (config->dwConfig != BE_CONFIG_LAME || config->dwStructVersion < 1)
        return BE_ERR_INVALID_FORMAT;

    Stream s;
    try {
        if (const BE_ERR result = initStream(*config, s); result != BE_ERR_SUCCESSFUL)
            return result;
    } catch (const std::bad_alloc&) {
        return BE_ERR_NO_MEMORY;
    }

    const HBE_STREAM handle = nextHandle++;
    const std::uint32_t frames = s.frameSize;
    const int channels = s.channels;
    *bufferSize = s.bufferSize;
    streams.emplace(handle, std::move(s));
    *samples = frames * static_cast<std::uint32_t>(channels);
    *stream = handle;
    return BE_ERR_SUCCESSFUL;
}

BE_ERR Mp3LameLibrary::initStream(const BE_CONFIG& config, Stream& s) {
    {
        const LameGate::Initialising passage(gate);
        s.lame.reset(lame_init());
        if (!s.lame) // LAME makes a context with calloc alone
            return BE_ERR_NO_MEMORY;
        if (!configureLame(s.lame.get(), config, s.channels))
            return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }

    // One MP3 frame's worth of input: 1152 samples per channel for MPEG-1, 576 for MPEG-2/2.5.
    const int frameSize = lame_get_framesize(s.lame.get());
    if (frameSize <= 0)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    s.frameSize = static_cast<std::uint32_t>(frameSize);
    s.bufferSize = lameWorstCaseBytes(s.frameSize);
    if (threads <= 1)
        return BE_ERR_SUCCESSFUL;

    auto first = ChunkEncoder::open(config, gate);
    if (!first)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (!ParallelStream::suits(config, *first))
        return BE_ERR_SUCCESSFUL;
    try {
        s.parallel = std::make_unique<ParallelStream>(
            config, std::move(first), threads, layout,
            [this](const BE_CONFIG& c) { return ChunkEncoder::open(c, gate); });
    } catch (const std::system_error&) {
        return BE_ERR_SUCCESSFUL; // no threads to be had (no room for their stacks): one encoder
    }
    s.lame.reset();
    s.bufferSize = s.parallel->bufferSize();
    return BE_ERR_SUCCESSFUL;
}

BE_ERR Mp3LameLibrary::beEncodeChunk(HBE_STREAM stream, std::uint32_t samples,
                                     const std::int16_t* pcm, std::uint8_t* output,
                                     std::uint32_t* outputBytes) {
    Stream* s = find(stream);
    if (!s)
        return BE_ERR_INVALID_HANDLE;
    const std::uint32_t frames = samples / static_cast<std::uint32_t>(s->channels);
    if (s->flushed || !outputBytes || !output || (frames > 0 && !pcm) || frames > INT_MAX)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    *outputBytes = 0;
    if (frames == 0)
        return BE_ERR_SUCCESSFUL;
    if (s->parallel)
        return s->parallel->encode(frames * std::uint32_t(s->channels), pcm, output, outputBytes);

    // LAME checks every byte it emits against this size, so a call of more samples than the
    // stream asked for fails rather than overrunning `output`. It does not write to `pcm`.
    const LameGate::Encoding passage(gate);
    auto* in = const_cast<short*>(reinterpret_cast<const short*>(pcm));
    const int bytes =
        s->channels == 2
            ? lame_encode_buffer_interleaved(s->lame.get(), in, static_cast<int>(frames), output,
                                             static_cast<int>(s->bufferSize))
            : lame_encode_buffer(s->lame.get(), in, in, static_cast<int>(frames), output,
                                 static_cast<int>(s->bufferSize));
    if (bytes < 0)
        return BE_ERR_BUFFER_TOO_SMALL;
    *outputBytes = static_cast<std::uint32_t>(bytes);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR Mp3LameLibrary::beDeinitStream(HBE_STREAM stream, std::uint8_t* output,
                                      std::uint32_t* outputBytes) {
    Stream* s = find(stream);
    if (!s)
        return BE_ERR_INVALID_HANDLE;
    if (s->flushed || !output || !outputBytes)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    *outputBytes = 0;
    s->flushed = true;
    if (s->parallel)
        return s->parallel->finish(output, outputBytes);
    const LameGate::Encoding passage(gate);
    const int bytes = lame_encode_flush(s->lame.get(), output, static_cast<int>(s->bufferSize));
    if (bytes < 0)
        return BE_ERR_BUFFER_TOO_SMALL;
    *outputBytes = static_cast<std::uint32_t>(bytes);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR Mp3LameLibrary::beCloseStream(HBE_STREAM stream) {
    return streams.erase(stream) ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_HANDLE;
}

std::string Mp3LameLibrary::beErrorText(HBE_STREAM stream) const {
    const auto it = streams.find(stream);
    if (it == streams.end() || !it->second.parallel)
        return {};
    return it->second.parallel->failureText();
}

std::optional<ParallelStats> Mp3LameLibrary::parallelStats(HBE_STREAM stream) const {
    const auto it = streams.find(stream);
    if (it == streams.end() || !it->second.parallel)
        return std::nullopt;
    return it->second.parallel->stats();
}
