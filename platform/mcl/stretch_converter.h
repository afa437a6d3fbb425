// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "platform/mcl/sample_converter.h"

#include <cstdint>
#include <memory>
#include <vector>

// Converts one stretch of interleaved 16-bit sound (the sources of one format that follow each
// other in a WAV file of another format) to the file's rate and channel count, so that the
// stretch joins its neighbours without a step.
//
// A resampler started and flushed cold mirrors the first and last frames it has, which bends
// the sound at both ends of the stretch: a click at each join. Here the resampler is primed with
// the stretch's beginning and drained with its end, each turned about its end frame (2·x₀ − xₙ),
// which carries the sound on with its level and slope; the output those frames make is cut
// away, and the stretch gives exactly as many frames as it lasts at the file's rate.
class StretchConverter {
public:
    // Null when the resampler refuses the pair.
    static std::unique_ptr<StretchConverter> create(int inRate, int inChannels, int outRate,
                                                    int outChannels);

    bool accepts(int rate, int channels) const { return rate == inRate && channels == inChannels; }
    // Appends what can be converted so far (nothing until the priming has enough frames).
    bool convert(const std::int16_t* samples, std::int64_t frames, std::vector<std::int16_t>& out);
    // Ends the stretch: appends the rest.
    bool finish(std::vector<std::int16_t>& out);
    // Frames at the file's rate that the sound taken so far has still to give.
    std::int64_t framesOwed() const;

private:
    StretchConverter(std::unique_ptr<SampleConverter> converter, int inRate, int inChannels,
                     int outRate, int outChannels);
    bool prime(std::int64_t frames, std::vector<std::int16_t>& out);
    bool feed(const std::int16_t* samples, std::int64_t frames, std::vector<std::int16_t>& out);
    void keepTail(const std::int16_t* samples, std::int64_t frames);
    // Frames turned about frame `edge` of `samples`, walking `step` frames away from it.
    std::vector<std::int16_t> turned(const std::int16_t* samples, std::int64_t edge,
                                     std::int64_t count, int step) const;
    void deliver(std::vector<std::int16_t>& out, std::size_t from);

    std::unique_ptr<SampleConverter> converter;
    int inRate;
    int inChannels;
    int outRate;
    int outChannels;
    // Input frames a filter reaches to either side, and the priming length's unit: a whole
    // number of output frames.
    std::int64_t reach;
    std::int64_t primingUnit;
    // The stretch's first frames, gathered until there are enough to prime with.
    std::vector<std::int16_t> head;
    bool primed = false;
    // Its last frames, for the draining.
    std::vector<std::int16_t> tail;
    std::int64_t framesIn = 0;
    std::int64_t framesOut = 0;
    std::int64_t dropping = 0;
    std::int64_t wanted = -1; // the stretch's length at the file's rate, once it has ended
};
