// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <cstddef>
#include <cstdint>

// One constant gain for 16-bit samples, requantised with TPDF dither of one step either way
// (from generators seeded by the caller, so that a run's bytes can be made again) and held at
// full scale. A gain of 0 dB leaves every sample as it is. Samples are taken in order across
// calls.
class SampleGain {
public:
    SampleGain(double decibels, std::uint64_t seed);

    double decibels() const { return gainDb; }
    bool changesNothing() const { return gainDb == 0; }
    void apply(std::int16_t* samples, std::size_t count);

private:
    static constexpr std::size_t kLanes = 8;
    // Eight xorshift32 generators, stepped side by side.
    using Lanes = std::uint32_t __attribute__((vector_size(kLanes * 4)));

    std::int16_t scaled(std::int16_t sample);

    double gainDb;
    float factor;
    Lanes lanes{};
    std::size_t next = 0; // the lane of the next sample
};
