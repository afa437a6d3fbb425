// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

struct LoudnessMeasurement;

// Reads `count` frames of measured sound from frame `first` into `samples` (interleaved, as
// measured). False when they cannot be read.
using FrameReader =
    std::function<bool(std::int64_t first, std::int64_t count, std::vector<std::int16_t>& samples)>;

// The true peak (1.0 is full scale) of the measured sound, as far as it rises above `floor`:
// the exact value when it does, a value of at most `floor` when it does not. Oversampling all
// of the sound costs several times its decoding, so libebur128 oversamples only the windows
// whose sample peak lets their true peak reach that far (largest first), read again through
// `read`. Negative when the sound cannot be read again or measured.
double truePeakAbove(const LoudnessMeasurement& measured, double floor, const FrameReader& read);

// How far libebur128's oversampled true peak can rise above the largest sample around it, at
// `rate`: found by giving the library the pattern of samples that makes it rise most.
double oversamplingRise(int rate);
