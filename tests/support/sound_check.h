// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A test signal for the MP3 encoder and how close a decoded copy comes to it; the tests and
// the benchmarks judge the encoder by the same sound and the same sums.
namespace soundcheck {

inline constexpr int kRate = 44100;

// Interleaved stereo at kRate that gives an encoder work: a chord of three notes changing every
// quarter second over darkened noise, and every `spacing` sample frames a click or a drum hit,
// each time at another distance before or after that point (none for a spacing below 1152).
// The same every time.
std::vector<std::int16_t> music(double seconds, std::int64_t spacing = 0);

// The lag in sample frames, 0 to maxLag - 1, at which `out` matches `in` best over the frames
// [from, from + span) of `in`; both interleaved stereo.
int delayOf(const std::vector<std::int16_t>& in, const std::vector<std::int16_t>& out, int maxLag,
            std::size_t from, std::size_t span);

// Signal-to-noise ratio of `out` against `in` (interleaved stereo), `out` being `delay` sample
// frames late: over the whole of `in`, and over each whole window of `windowFrames`, in dB.
struct Quality {
    double snr = 0;
    std::vector<double> windows;
};
Quality measure(const std::vector<std::int16_t>& in, const std::vector<std::int16_t>& out,
                int delay, std::size_t windowFrames);

} // namespace soundcheck
