// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "pipeline/ebur128_ptr.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

// Frames per entry of LoudnessMeasurement::windowPeaks.
inline constexpr std::int64_t kPeakWindow = 1024;

// What a LoudnessMeter found in the sound it was given.
struct LoudnessMeasurement {
    // Integrated loudness (ITU-R BS.1770 with its gating, as EBU R 128 uses it) in LUFS;
    // -infinity when the sound is silent or shorter than one gating block.
    double loudness = -std::numeric_limits<double>::infinity();
    bool failed = false; // the sound could not be measured at all
    int rate = 0;
    int channels = 0;
    std::int64_t frames = 0;
    // The largest sample magnitude in every kPeakWindow frames, in order: where the true peak
    // can be found without oversampling all of the sound.
    std::vector<std::uint16_t> windowPeaks;
};

// Measures the loudness of 16-bit sound with libebur128, on a thread of its own, so that the
// thread that decodes goes on meanwhile. Blocks are handed over in order through a queue of
// bounded size, so the result does not depend on timing.
class LoudnessMeter {
public:
    // `monoOnBothSides`: mono sound will be heard at full level on both sides of a stereo pair,
    // where it is as loud as on one channel counted twice.
    explicit LoudnessMeter(bool monoOnBothSides = false);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // Copies the frames; waits while much is still unmeasured. One format per meter: frames of
    // another format make the measurement fail.
    void add(const std::int16_t* samples, std::int64_t frames, int rate, int channels);
    // Waits for everything given to be measured; nothing can be added afterwards.
    LoudnessMeasurement finish();

    // add() in the shape of a codec library's sound tap; `meter` is the LoudnessMeter.
    static void tap(void* meter, const std::int16_t* samples, std::int64_t frames, int rate,
                    int channels);

private:
    struct Block {
        std::vector<std::int16_t> samples;
        int rate = 0;
        int channels = 0;
    };

    void work();
    void measure(const Block& block);
    void notePeaks(const std::int16_t* samples, std::int64_t frames, int channels);
    void stopWorker(bool abandon);

    const bool monoTwice;

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Block> queue;
    std::vector<std::vector<std::int16_t>> spare; // buffers to use again
    std::size_t queuedSamples = 0;
    bool ending = false;
    bool abandoned = false;
    bool finished = false;

    // Touched by the worker only, or by the caller once it has ended.
    Ebur128Ptr state;
    LoudnessMeasurement result;
    std::int64_t windowFill = 0;
    int windowPeak = 0;

    std::thread worker; // last: it starts when everything else is ready
};
