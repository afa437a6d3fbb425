// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "pipeline/conversion_outcome.h"
#include "pipeline/loudness_meter.h"
#include "platform/mcl/mcl_library.h"

#include <cstdint>
#include <functional>

// Levels one source: measures its sound as the codec library writes it into the file open as
// `descriptor` (through the writer's tap, on a thread of its own), then chooses its gain,
// reading the file again where its true peak matters. The source's sound is the stretch of the
// file between the writer's offsets before and after it.
class SourceLevelling {
public:
    // `monoOnBothSides`: mono sound will be heard at full level on both sides.
    SourceLevelling(MclLibrary& mcl, MclHandle output, int descriptor, bool monoOnBothSides);
    ~SourceLevelling();
    SourceLevelling(const SourceLevelling&) = delete;
    SourceLevelling& operator=(const SourceLevelling&) = delete;

    // The source has been given to the writer: puts all of it into the file and ends the
    // measurement. False when the writer could not.
    bool finish();
    // The gain toward `target` (LUFS) for the source at `index`. Raises EInOutError when the
    // file cannot be read again.
    SourceLevel choose(int index, double target);

    // Where the source's sound lies in the file, once finished.
    std::int64_t begin() const { return first; }
    std::int64_t end() const { return last; }

private:
    void untap();

    MclLibrary& mcl;
    MclHandle output;
    int fd;
    LoudnessMeter meter;
    LoudnessMeasurement measured;
    bool tapped = false;
    std::int64_t first = -1;
    std::int64_t last = -1;
};

// Seed of the dither for the source at `index`: the same for every run.
std::uint64_t ditherSeed(int index);

// Scales the 16-bit sound in [begin, end) of the file open as `descriptor` in place, in pieces
// on two threads, calling `between` on this one after each of its pieces. 0, or the system's
// error number.
class SampleGain;
int rewriteWithGain(int descriptor, std::int64_t begin, std::int64_t end, const SampleGain& gain,
                    const std::function<void()>& between);
