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

// Sound is measured in stretches of this many frames (about 11 s at 48 kHz), taken in turn by
// the meter's workers, each with a libebur128 state of its own; the states' gating blocks are
// pooled at the end. Whole peak windows, so that none spans two stretches.
inline constexpr std::int64_t kStretchFrames = kPeakWindow * 512;

// Measures the loudness of 16-bit sound with libebur128 on threads of its own, so that the
// thread that decodes goes on meanwhile: libebur128 takes longer over a stretch of sound than
// decoding it does, so two workers share the stretches. Which stretch a worker measures depends
// on sample positions only, and queues are bounded, so the result does not depend on timing.
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
    static constexpr int kWorkers = 2;

    struct Block {
        std::vector<std::int16_t> samples;
        std::int64_t stretch = 0;
    };
    // One worker's share: its queue, and what it found in the stretches it measured.
    struct Lane {
        std::deque<Block> queue; // guarded by `mutex`
        // Touched by the lane's worker only, or by the caller once the workers have ended.
        Ebur128Ptr state;
        bool failed = false;
        std::vector<std::pair<std::int64_t, std::vector<std::uint16_t>>> peaks; // per stretch
        std::int64_t windowFill = 0;
        int windowPeak = 0;
    };

    // The block being filled for a worker: taken from the spare buffers once there is room.
    void startPending(std::int64_t stretch);
    void sendPending();
    void work(Lane& lane);
    void measure(Lane& lane, const Block& block);
    void notePeaks(Lane& lane, const std::int16_t* samples, std::int64_t frames);
    void stopWorkers(bool abandon);

    const bool monoTwice;
    // The format of the first frames given; the caller's only.
    int rate = 0;
    int channels = 0;
    std::int64_t added = 0; // frames
    bool wrongFormat = false;
    Block pending; // the block being filled, not yet any worker's

    std::mutex mutex;
    std::condition_variable changed;
    Lane lanes[kWorkers];
    std::vector<std::vector<std::int16_t>> spare; // buffers to use again
    std::size_t queuedSamples = 0;
    bool ending = false;
    bool abandoned = false;
    bool finished = false;
    LoudnessMeasurement result;

    std::vector<std::thread> workers; // last: they start when everything else is ready
};
