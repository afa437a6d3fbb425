// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/sample_gain.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// The loop that scales is built three times on x86-64, and the program takes the best its
// processor runs when it starts: AVX2 takes eight samples in one instruction, SSE4.1 four, and
// only SSE4.1 and later multiply 32-bit lanes at all (the hash's multiplications cost SSE2
// several instructions each). All give the same bytes, since none fuses a multiply into an add.
// Not under ThreadSanitizer: the chooser runs while the program is loaded, before ThreadSanitizer
// is ready for the calls it puts into every function.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TAVIMO_THREAD_SANITIZER
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define TAVIMO_THREAD_SANITIZER
#endif
#if defined(__x86_64__) && defined(__GNUC__) && !defined(TAVIMO_THREAD_SANITIZER)
#define TAVIMO_VECTOR_CLONES __attribute__((target_clones("avx2", "sse4.1", "default")))
#else
#define TAVIMO_VECTOR_CLONES
#endif

namespace {

using Floats = float __attribute__((vector_size(32)));
using Ints = std::int32_t __attribute__((vector_size(32)));
using Words = std::uint32_t __attribute__((vector_size(32)));
using Samples = std::int16_t __attribute__((vector_size(16)));
constexpr std::size_t kStep = 8; // samples in one vector

// The two halves of one draw are two uniform numbers; their sum is triangular over (-1, 1).
constexpr float kUnit = 1.0f / 65536.0f;

// A 32-bit integer hash of low bias (constants from Chris Wellons' hash-prospector search):
// every bit of a draw depends on every bit of its counter, so counters in a row give draws
// that look independent. Vectors are hashed and rounded in place: a function returning one
// would change the ABI without AVX.
template <typename T> void mix(T& x) {
    x ^= x >> 16;
    x *= 0x7FEB352DU;
    x ^= x >> 15;
    x *= 0x846CA68BU;
    x ^= x >> 16;
}

// Holds a rounded value at full scale.
template <typename I> void hold(I& value) {
    value = value < -32768 ? -32768 : value;
    value = value > 32767 ? 32767 : value;
}

std::int16_t scaled(std::int16_t sample, float factor, std::uint32_t draw) {
    mix(draw);
    const float dither = static_cast<float>((draw & 0xFFFFU) + (draw >> 16)) * kUnit - 1.0f;
    // Rounds to the nearest step: shifted to be positive, where truncation is the floor.
    int value = static_cast<int>(sample * factor + dither + 32768.5f) - 32768;
    hold(value);
    return static_cast<std::int16_t>(value);
}

// Scales `count` samples whose draws are hashed from `counter` on, which must not wrap.
TAVIMO_VECTOR_CLONES void scale(std::int16_t* samples, std::size_t count, float factor,
                                std::uint32_t counter, std::uint32_t key) {
    std::size_t i = 0;
    for (; i + kStep <= count; i += kStep) {
        Words x = Words{0, 1, 2, 3, 4, 5, 6, 7} + (counter + static_cast<std::uint32_t>(i));
        x ^= key;
        mix(x);
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
    for (; i < count; ++i)
        samples[i] = scaled(samples[i], factor, (counter + static_cast<std::uint32_t>(i)) ^ key);
}

} // namespace

SampleGain::SampleGain(double decibels, std::uint64_t seed)
    : gainDb(decibels), factor(static_cast<float>(std::pow(10.0, decibels / 20))) {
    // Keys drawn from the seed by splitmix64.
    std::uint64_t z = seed;
    for (std::uint32_t& key : keys) {
        z += 0x9E3779B97F4A7C15ULL;
        std::uint64_t mixed = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBULL;
        key = static_cast<std::uint32_t>(mixed ^ (mixed >> 31));
    }
}

SampleGain SampleGain::from(std::uint64_t first) const {
    SampleGain gain = *this;
    gain.position = first;
    return gain;
}

void SampleGain::apply(std::int16_t* samples, std::size_t count) {
    if (changesNothing()) {
        position += count;
        return;
    }
    // The draw of sample n hashes its low 32 bits under a key made from the seed and its high
    // 32 bits, which stay the same for 2^32 samples (more than 12 hours of 48 kHz stereo).
    while (count > 0) {
        const auto low = static_cast<std::uint32_t>(position);
        auto high = static_cast<std::uint32_t>(position >> 32) ^ keys[0];
        mix(high);
        const std::uint64_t untilHighChanges = (std::uint64_t{1} << 32) - low;
        const auto take =
            static_cast<std::size_t>(std::min<std::uint64_t>(count, untilHighChanges));
        scale(samples, take, factor, low, high ^ keys[1]);
        samples += take;
        count -= take;
        position += take;
    }
}
