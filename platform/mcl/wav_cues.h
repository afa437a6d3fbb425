// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A marked place in a WAV file's sound: a sample frame and its label.
struct WavCue {
    std::uint32_t frame = 0;
    std::string label; // bytes as they go into the file, without a terminating zero
};

// The chunks that carry `cues`, laid out to follow the data chunk (and its pad byte): "cue "
// with one cue point per cue, numbered from 1 in the given order, then "LIST" of type "adtl"
// with one "labl" per cue point. Readers that do not know them skip them as any unknown chunk.
// Nothing without cues.
std::vector<char> wavCueChunks(const std::vector<WavCue>& cues);
