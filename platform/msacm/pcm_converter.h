// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "platform/ffmpeg/ffmpeg_ptr.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace msacm {

// A PCM layout the conversion layer accepts: 1 to 8 channels, 8-bit unsigned or 16-, 24- or
// 32-bit signed little-endian samples, interleaved.
struct PcmFormat {
    int channels = 0;
    int rate = 0;
    int bits = 0;
    int frameBytes() const { return channels * bits / 8; }
};

// Converts one PCM stream to another through libswresample, in calls of whole source frames.
//
// Output is held back by a fixed delay and released at the pace of the rate ratio (what is not
// released yet waits inside the resampler), so that how the source is cut into calls never
// changes what comes out, and no call can produce more than maxOutputBytes() of its source
// length, the end included.
class PcmConverter {
public:
    // Null when libswresample refuses the pair.
    static std::unique_ptr<PcmConverter> create(const PcmFormat& in, const PcmFormat& out);

    // No conversion of `inputBytes` source bytes, the end included, produces more than this.
    std::uint64_t maxOutputBytes(std::uint64_t inputBytes) const;
    // The largest source length whose conversion always fits `outputBytes`.
    std::uint64_t inputBytesFitting(std::uint64_t outputBytes) const;

    struct Result {
        std::uint32_t srcUsed = 0;
        std::uint32_t dstUsed = 0;
        bool ok = true;
    };
    // `start` begins afresh; `end` drains what the resampler still holds once all of `src` has
    // been taken. Only whole frames are taken, and no more than `dst` can take in output.
    Result convert(const std::uint8_t* src, std::uint32_t srcLength, std::uint8_t* dst,
                   std::uint32_t dstLength, bool start, bool end);
    // Forgets the running conversion; the next call starts afresh.
    void reset();

    // Output frames held back behind the rate ratio before the end.
    std::int64_t delayFrames() const { return delay; }

private:
    PcmConverter(const PcmFormat& in, const PcmFormat& out);
    bool restart();
    // One call into libswresample: `frames` of `src` in (null: flush), at most `room` out.
    int run(const std::uint8_t* src, std::int64_t frames, std::uint8_t* dst, std::int64_t room);
    std::int64_t targetFrames(std::int64_t inFrames) const;

    PcmFormat in;
    PcmFormat out;
    std::vector<double> matrix;
    std::int64_t delay = 0;

    ffmpeg::SwrContextPtr swr;
    std::int64_t framesIn = 0;
    std::int64_t framesOut = 0;
    bool fresh = true;
    bool drained = false;

    // 24-bit samples travel widened to 32 bits through libswresample.
    std::vector<std::int32_t> unpacked;
    std::vector<std::int32_t> widened;
};

// The mixing matrix (out rows × in columns) from `inChannels` to `outChannels`; empty for equal
// counts. Empty as well when there is no sensible mix (more than two outputs of another count).
std::vector<double> mixMatrix(int inChannels, int outChannels);

} // namespace msacm
