// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "codec/mp3/lame_config.h"

#include <lame/lame.h>

#include <climits>
#include <cstdarg>

namespace {

// LAME prints warnings to stderr by default; the program reports failures through results.
void quiet(const char*, va_list) {}

} // namespace

bool configureLame(lame_global_flags* gf, const BE_CONFIG& config, int& channels) {
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

void LameCloser::operator()(lame_global_struct* gf) const {
    lame_close(gf);
}

std::uint32_t lameWorstCaseBytes(std::uint32_t frames) {
    return static_cast<std::uint32_t>((5ULL * frames + 3) / 4 + 7200);
}
