// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "support/sound_check.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace soundcheck {

std::vector<std::int16_t> music(double seconds, std::int64_t spacing) {
    const auto frames = std::size_t(seconds * kRate);
    std::vector<double> left(frames), right(frames);
    std::mt19937 random(20240611);
    std::normal_distribution<double> white(0.0, 1.0);
    std::uniform_int_distribution<int> note(0, 24);
    double phase[3] = {}, freq[3] = {220, 277, 330}, lowL = 0, lowR = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        if (i % (kRate / 4) == 0)
            for (double& f : freq)
                f = 220 * std::pow(2.0, note(random) / 12.0);
        double tone = 0;
        for (int k = 0; k < 3; ++k) {
            phase[k] =
                std::fmod(phase[k] + 2 * std::numbers::pi * freq[k] / kRate, 2 * std::numbers::pi);
            tone += std::sin(phase[k]) / (k + 1);
        }
        lowL += 0.05 * (white(random) - lowL);
        lowR += 0.05 * (white(random) - lowR);
        left[i] = 0.15 * tone + 0.3 * lowL;
        right[i] = 0.12 * tone + 0.3 * lowR;
    }
    // Offsets from the point in samples: before, on and after it, a granule apart.
    const int offsets[] = {0, -576, 576, -1152, 1152, 288, -288, 2304};
    int n = 0;
    for (std::int64_t point = spacing; spacing >= 1152 && point + 4096 < std::int64_t(frames);
         point += spacing, ++n) {
        const std::int64_t at = point + offsets[n % 8];
        if (n % 2 == 0) { // a click: one full-scale sample pair
            left[std::size_t(at)] += 0.9;
            right[std::size_t(at)] -= 0.9;
        } else { // a drum hit: a sharp attack of noise and a low thump, decaying in 80 ms
            for (int k = 0; k < 3528 && at + k < std::int64_t(frames); ++k) {
                const double env = std::exp(-k / 600.0);
                const double thump = std::sin(2 * std::numbers::pi * 60 * k / kRate);
                left[std::size_t(at + k)] += env * (0.5 * white(random) + 0.4 * thump);
                right[std::size_t(at + k)] += env * (0.4 * white(random) + 0.4 * thump);
            }
        }
    }
    std::vector<std::int16_t> pcm(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        pcm[2 * i] = std::int16_t(std::clamp(left[i] * 32767, -32768.0, 32767.0));
        pcm[2 * i + 1] = std::int16_t(std::clamp(right[i] * 32767, -32768.0, 32767.0));
    }
    return pcm;
}

int delayOf(const std::vector<std::int16_t>& in, const std::vector<std::int16_t>& out, int maxLag,
            std::size_t from, std::size_t span) {
    const std::size_t end = std::min(in.size() / 2, from + span);
    int best = 0;
    double bestScore = -1e300;
    for (int lag = 0; lag < maxLag; ++lag) {
        double score = 0;
        for (std::size_t i = from; i < end && (i + lag) * 2 + 1 < out.size(); ++i)
            score += double(in[2 * i]) * out[2 * (i + lag)] +
                     double(in[2 * i + 1]) * out[2 * (i + lag) + 1];
        if (score > bestScore) {
            bestScore = score;
            best = lag;
        }
    }
    return best;
}

Quality measure(const std::vector<std::int16_t>& in, const std::vector<std::int16_t>& out,
                int delay, std::size_t windowFrames) {
    Quality q;
    double signal = 0, noise = 0, windowSignal = 0, windowNoise = 0;
    const std::size_t frames = in.size() / 2;
    for (std::size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < 2; ++c) {
            const double x = in[2 * i + c];
            const std::size_t j = 2 * (i + std::size_t(delay)) + c;
            const double y = j < out.size() ? out[j] : 0;
            signal += x * x;
            noise += (x - y) * (x - y);
            windowSignal += x * x;
            windowNoise += (x - y) * (x - y);
        }
        if ((i + 1) % windowFrames == 0) {
            q.windows.push_back(10 * std::log10(windowSignal / std::max(windowNoise, 1e-9)));
            windowSignal = windowNoise = 0;
        }
    }
    q.snr = 10 * std::log10(signal / std::max(noise, 1e-9));
    return q;
}

} // namespace soundcheck
