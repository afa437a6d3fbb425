// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/true_peak.h"

#include "pipeline/ebur128_ptr.h"
#include "pipeline/loudness_meter.h"

#include <algorithm>
#include <numeric>

namespace {

// Real sound before a window, so that the interpolator's history holds no stale frames, and
// after it, so that the points between its last frames are reached (the library's filters are
// 49 taps long: 13 frames at 4x oversampling).
constexpr std::int64_t kLeadIn = 64;
constexpr std::int64_t kLeadOut = 32;
// Margin on the rise found, against rounding in the library.
constexpr double kRiseMargin = 1.02;

double peakOf(ebur128_state* state, int channels, bool lastCall) {
    double peak = 0;
    for (int c = 0; c < channels; ++c) {
        double value = 0;
        const int status = lastCall
                               ? ebur128_prev_true_peak(state, static_cast<unsigned>(c), &value)
                               : ebur128_true_peak(state, static_cast<unsigned>(c), &value);
        if (status != EBUR128_SUCCESS)
            return -1;
        peak = std::max(peak, value);
    }
    return peak;
}

} // namespace

double oversamplingRise(int rate) {
    // Samples of alternating sign, mirrored about the middle, add up the magnitudes of the
    // coefficients that interpolate half-way between the two middle samples: the most any
    // point can get from samples of magnitude 1.
    constexpr int kHalf = 64;
    std::vector<std::int16_t> pattern(2 * kHalf + 2 * kLeadOut, 0);
    constexpr std::int16_t kLevel = 8192;
    for (int i = 0; i < kHalf; ++i) {
        const auto value = static_cast<std::int16_t>(i % 2 == 0 ? kLevel : -kLevel);
        pattern[kHalf - 1 - i] = value;
        pattern[kHalf + i] = value;
    }
    const Ebur128Ptr state(
        ebur128_init(1, static_cast<unsigned long>(rate), EBUR128_MODE_TRUE_PEAK));
    if (!state ||
        ebur128_add_frames_short(state.get(), pattern.data(), pattern.size()) != EBUR128_SUCCESS)
        return -1;
    const double peak = peakOf(state.get(), 1, false);
    return peak < 0 ? -1 : std::max(1.0, peak * 32768 / kLevel) * kRiseMargin;
}

double truePeakAbove(const LoudnessMeasurement& measured, double floor, const FrameReader& read) {
    const std::vector<std::uint16_t>& peaks = measured.windowPeaks;
    if (peaks.empty() || measured.channels <= 0)
        return 0;
    const double rise = oversamplingRise(measured.rate);
    if (rise < 0)
        return -1;
    const auto reaches = [&](std::size_t window, double level) {
        return peaks[window] / 32768.0 * rise > level;
    };
    std::vector<std::size_t> order;
    for (std::size_t w = 0; w < peaks.size(); ++w) {
        if (reaches(w, floor))
            order.push_back(w);
    }
    if (order.empty())
        return 0;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return peaks[a] > peaks[b]; });

    const Ebur128Ptr state(ebur128_init(static_cast<unsigned>(measured.channels),
                                        static_cast<unsigned long>(measured.rate),
                                        EBUR128_MODE_TRUE_PEAK));
    if (!state)
        return -1;
    std::vector<std::int16_t> samples;
    double best = 0;
    for (const std::size_t window : order) {
        // Windows in falling order of their sample peaks: once one cannot beat what is known,
        // none after it can.
        if (!reaches(window, std::max(floor, best)))
            break;
        const std::int64_t first = static_cast<std::int64_t>(window) * kPeakWindow;
        const std::int64_t from = std::max<std::int64_t>(0, first - kLeadIn);
        const std::int64_t to = std::min(measured.frames, first + kPeakWindow + kLeadOut);
        // Before the first frame the sound is silence, as it was for a measurement from the start.
        const std::int64_t silence = kLeadIn - (first - from);
        samples.assign(static_cast<std::size_t>(silence * measured.channels), 0);
        std::vector<std::int16_t> part;
        if (!read(from, to - from, part) ||
            static_cast<std::int64_t>(part.size()) != (to - from) * measured.channels)
            return -1;
        samples.insert(samples.end(), part.begin(), part.end());
        // Only the points interpolated in the second call count: their history is real sound.
        if (ebur128_add_frames_short(state.get(), samples.data(),
                                     static_cast<std::size_t>(kLeadIn)) != EBUR128_SUCCESS ||
            ebur128_add_frames_short(state.get(), samples.data() + kLeadIn * measured.channels,
                                     static_cast<std::size_t>(to - first)) != EBUR128_SUCCESS)
            return -1;
        const double peak = peakOf(state.get(), measured.channels, true);
        if (peak < 0)
            return -1;
        best = std::max(best, peak);
    }
    return best;
}
