// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <cstddef>
#include <cstdint>

// One constant gain for 16-bit samples, requantised with TPDF dither of one step either way and
// held at full scale. A gain of 0 dB leaves every sample as it is. The dither of each sample
// follows from the caller's seed and the sample's position in the sound alone, so that a run's
// bytes can be made again, whether the sound is scaled in order or in pieces apart.
class SampleGain {
public:
    SampleGain(double decibels, std::uint64_t seed);

    double decibels() const { return gainDb; }
    bool changesNothing() const { return gainDb == 0; }
    // Scales the next `count` samples of the sound, in order after those scaled before.
    void apply(std::int16_t* samples, std::size_t count);
    // The same gain, going on at sample `position` of the sound.
    SampleGain from(std::uint64_t position) const;

private:
    double gainDb;
    float factor;
    std::uint32_t keys[2] = {};
    std::uint64_t position = 0;
};
