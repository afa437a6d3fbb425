// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <cstdint>
#include <vector>

// One block of decoded sound: interleaved signed 16-bit samples, mono or stereo.
struct SoundBlock {
    int rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;

    std::int64_t frames() const {
        return channels ? static_cast<std::int64_t>(samples.size()) / channels : 0;
    }
};
