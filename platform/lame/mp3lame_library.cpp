#include "platform/lame/mp3lame_library.h"

#include <lame/lame.h>

#include <climits>
#include <cstdarg>

namespace {

// LAME prints warnings to stderr by default; the program reports failures through results.
void quiet(const char*, va_list) {}

// LAME's documented worst case for one call of `frames` samples per channel.
std::uint32_t worstCaseBytes(std::uint32_t frames) {
    return static_cast<std::uint32_t>((5ULL * frames + 3) / 4 + 7200);
}

bool configure(lame_global_flags* gf, const BE_CONFIG& config, int& channels) {
    MPEG_mode mode;
    switch (config.nMode) {
    case BE_MP3_MODE_STEREO:
        mode = STEREO;
        break;
    case BE_MP3_MODE_JSTEREO:
        mode = JOINT_STEREO;
        break;
    case BE_MP3_MODE_MONO:
        mode = MONO;
        break;
    default:
        return false; // LAME has no dual-channel encoding
    }
    channels = mode == MONO ? 1 : 2;
    if (config.dwSampleRate > INT_MAX || config.dwReSampleRate > INT_MAX ||
        config.dwBitrate > INT_MAX || config.dwMaxBitrate > INT_MAX)
        return false;
    switch (config.nPreset) {
    case 0:
        break;
    case 2:
        lame_set_quality(gf, 2);
        break;
    default:
        return false;
    }

    lame_set_errorf(gf, quiet);
    lame_set_debugf(gf, quiet);
    lame_set_msgf(gf, quiet);
    lame_set_in_samplerate(gf, static_cast<int>(config.dwSampleRate));
    lame_set_num_channels(gf, channels);
    lame_set_out_samplerate(gf, static_cast<int>(config.dwReSampleRate));
    lame_set_mode(gf, mode);
    if (config.bEnableVBR) {
        lame_set_VBR(gf, vbr_default);
        lame_set_VBR_q(gf, config.nVBRQuality);
        lame_set_VBR_min_bitrate_kbps(gf, static_cast<int>(config.dwBitrate));
        lame_set_VBR_max_bitrate_kbps(gf, static_cast<int>(config.dwMaxBitrate));
    } else {
        lame_set_VBR(gf, vbr_off);
        lame_set_brate(gf, static_cast<int>(config.dwBitrate));
    }
    lame_set_emphasis(gf, static_cast<int>(config.dwEmphasis));
    lame_set_extension(gf, config.bPrivate ? 1 : 0);
    lame_set_error_protection(gf, config.bCRC ? 1 : 0);
    lame_set_copyright(gf, config.bCopyright ? 1 : 0);
    lame_set_original(gf, config.bOriginal ? 1 : 0);
    lame_set_bWriteVbrTag(gf, config.bWriteVBRHeader ? 1 : 0);
    lame_set_disable_reservoir(gf, config.bNoRes ? 1 : 0);
    lame_set_strict_ISO(gf, config.bStrictIso ? 1 : 0);
    // The destination is the bare MP3 stream: no ID3 tag in front of or behind the frames.
    lame_set_write_id3tag_automatic(gf, 0);
    lame_set_findReplayGain(gf, 0);
    return lame_init_params(gf) >= 0;
}

} // namespace

void Mp3LameLibrary::LameCloser::operator()(lame_global_struct* gf) const {
    lame_close(gf);
}

Mp3LameLibrary::Mp3LameLibrary() = default;
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
    s.lame.reset(lame_init());
    if (!s.lame)
        return BE_ERR_NO_MORE_HANDLES;
    if (!configure(s.lame.get(), *config, s.channels))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;

    // One MP3 frame's worth of input: 1152 samples per channel for MPEG-1, 576 for MPEG-2/2.5.
    const int frameSize = lame_get_framesize(s.lame.get());
    if (frameSize <= 0)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const auto frames = static_cast<std::uint32_t>(frameSize);
    s.bufferSize = worstCaseBytes(frames);

    const HBE_STREAM handle = nextHandle++;
    streams.emplace(handle, std::move(s));
    *samples = frames * static_cast<std::uint32_t>(streams.at(handle).channels);
    *bufferSize = streams.at(handle).bufferSize;
    *stream = handle;
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

    // LAME checks every byte it emits against this size, so a call of more samples than the
    // stream asked for fails rather than overrunning `output`. It does not write to `pcm`.
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
    const int bytes = lame_encode_flush(s->lame.get(), output, static_cast<int>(s->bufferSize));
    if (bytes < 0)
        return BE_ERR_BUFFER_TOO_SMALL;
    *outputBytes = static_cast<std::uint32_t>(bytes);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR Mp3LameLibrary::beCloseStream(HBE_STREAM stream) {
    return streams.erase(stream) ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_HANDLE;
}
