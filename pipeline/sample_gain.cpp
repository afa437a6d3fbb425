// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/sample_gain.h"

#include <cmath>
#include <cstring>

namespace {

using Floats = float __attribute__((vector_size(32)));
using Ints = std::int32_t __attribute__((vector_size(32)));
using Samples = std::int16_t __attribute__((vector_size(16)));

// The two halves of one draw are two uniform numbers; their sum is triangular over (-1, 1).
constexpr float kUnit = 1.0f / 65536.0f;

// Vectors are stepped and rounded in place: a function returning one would change the ABI
// without AVX.
template <typename T> void step(T& x) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
}

// Rounds to the nearest step (truncation of a positive number is its floor), held at full scale.
template <typename I> void hold(I& value) {
    value = value < -32768 ? -32768 : value;
    value = value > 32767 ? 32767 : value;
}

} // namespace

SampleGain::SampleGain(double decibels, std::uint64_t seed)
    : gainDb(decibels), factor(static_cast<float>(std::pow(10.0, decibels / 20))) {
    // Lanes seeded apart by splitmix64; xorshift must not start from 0.
    std::uint64_t z = seed;
    for (std::size_t k = 0; k < kLanes; ++k) {
        z += 0x9E3779B97F4A7C15ULL;
        std::uint64_t mixed = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBULL;
        lanes[k] = static_cast<std::uint32_t>(mixed ^ (mixed >> 31)) | 1U;
    }
}

std::int16_t SampleGain::scaled(std::int16_t sample) {
    std::uint32_t draw = lanes[next];
    step(draw);
    lanes[next] = draw;
    next = (next + 1) % kLanes;
    const float dither = static_cast<float>((draw & 0xFFFFU) + (draw >> 16)) * kUnit - 1.0f;
    int value = static_cast<int>(sample * factor + dither + 32768.5f) - 32768;
    hold(value);
    return static_cast<std::int16_t>(value);
}

void SampleGain::apply(std::int16_t* samples, std::size_t count) {
    if (changesNothing())
        return;
    // Sample n always takes its dither from lane n mod 8, however the sound is divided.
    std::size_t i = 0;
    for (; i < count && next != 0; ++i)
        samples[i] = scaled(samples[i]);
    Lanes x = lanes;
    for (; i + kLanes <= count; i += kLanes) {
        step(x);
        const Floats dither =
            __builtin_convertvector((x & 0xFFFFU) + (x >> 16), Floats) * kUnit - 1.0f;
        Samples round;
        std::memcpy(&round, samples + i, sizeof round);
        Ints value =
            __builtin_convertvector(
                __builtin_convertvector(round, Floats) * factor + dither + 32768.5f, Ints) -
            32768;
        hold(value);
        round = __builtin_convertvector(value, Samples);
        std::memcpy(samples + i, &round, sizeof round);
    }
    lanes = x;
    for (; i < count; ++i)
        samples[i] = scaled(samples[i]);
}
