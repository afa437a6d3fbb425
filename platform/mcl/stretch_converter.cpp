// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "platform/mcl/stretch_converter.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// Input frames libswresample's default filter (32 taps, cutoff 0.97) reaches to either side of
// an output frame when it does not downsample, with some to spare.
constexpr double kReach = 24;

std::int16_t clamp16(int value) {
    return static_cast<std::int16_t>(std::clamp(value, -32768, 32767));
}

} // namespace

std::unique_ptr<StretchConverter> StretchConverter::create(int inRate, int inChannels, int outRate,
                                                           int outChannels) {
    auto converter = SampleConverter::create(AV_SAMPLE_FMT_S16, ChannelLayout(inChannels), inRate,
                                             outChannels, outRate);
    if (!converter)
        return nullptr;
    return std::unique_ptr<StretchConverter>(
        new StretchConverter(std::move(converter), inRate, inChannels, outRate, outChannels));
}

StretchConverter::StretchConverter(std::unique_ptr<SampleConverter> sampleConverter, int rateIn,
                                   int channelsIn, int rateOut, int channelsOut)
    : converter(std::move(sampleConverter)), inRate(rateIn), inChannels(channelsIn),
      outRate(rateOut), outChannels(channelsOut),
      // Without resampling there is no filter, and nothing to prime.
      reach(rateIn == rateOut ? 0
                              : static_cast<std::int64_t>(
                                    std::ceil(kReach * std::max(1.0, double(rateIn) / rateOut)))),
      // Priming by a multiple of this many frames moves the output by whole frames.
      primingUnit(rateIn / std::gcd(rateIn, rateOut)) {}

bool StretchConverter::convert(const std::int16_t* samples, std::int64_t frames,
                               std::vector<std::int16_t>& out) {
    if (frames <= 0)
        return true;
    if (primed)
        return feed(samples, frames, out);
    head.insert(head.end(), samples, samples + frames * inChannels);
    // The priming turns frames 1..P about frame 0, so it needs P + 1 of them.
    const std::int64_t priming = (reach + primingUnit - 1) / primingUnit * primingUnit;
    if (static_cast<std::int64_t>(head.size()) / inChannels <= priming)
        return true;
    return prime(reach > 0 ? priming : 0, out);
}

bool StretchConverter::finish(std::vector<std::int16_t>& out) {
    if (!primed) {
        // A stretch shorter than the priming primes with as much as it has.
        const std::int64_t have = static_cast<std::int64_t>(head.size()) / inChannels;
        const std::int64_t priming =
            reach > 0 && have > 0 ? (have - 1) / primingUnit * primingUnit : 0;
        if (!prime(std::min(priming, (reach + primingUnit - 1) / primingUnit * primingUnit), out))
            return false;
    }
    // From here on the output stops at the stretch's own length.
    wanted = (framesIn * outRate + inRate / 2) / inRate;
    const std::int64_t last = static_cast<std::int64_t>(tail.size()) / inChannels - 1;
    const std::int64_t draining = std::min(reach, last);
    if (draining > 0) {
        std::vector<std::int16_t> after(static_cast<std::size_t>(draining * inChannels));
        for (std::int64_t n = 1; n <= draining; ++n)
            for (int c = 0; c < inChannels; ++c)
                after[(n - 1) * inChannels + c] =
                    clamp16(2 * tail[last * inChannels + c] - tail[(last - n) * inChannels + c]);
        const std::size_t from = out.size();
        const auto* in = reinterpret_cast<const std::uint8_t*>(after.data());
        if (!converter->convert(&in, static_cast<int>(draining), out))
            return false;
        deliver(out, from);
    }
    const std::size_t from = out.size();
    if (!converter->flush(out))
        return false;
    deliver(out, from);
    return true;
}

std::int64_t StretchConverter::framesOwed() const {
    const std::int64_t taken = framesIn + static_cast<std::int64_t>(head.size()) / inChannels;
    // Rounded as the stretch's length is when it ends.
    return std::max<std::int64_t>((taken * outRate + inRate / 2) / inRate - framesOut, 0);
}

bool StretchConverter::prime(std::int64_t priming, std::vector<std::int16_t>& out) {
    primed = true;
    const std::vector<std::int16_t> first = std::move(head);
    head.clear();
    if (priming > 0) {
        std::vector<std::int16_t> before(static_cast<std::size_t>(priming * inChannels));
        for (std::int64_t i = 0; i < priming; ++i)
            for (int c = 0; c < inChannels; ++c)
                before[i * inChannels + c] =
                    clamp16(2 * first[c] - first[(priming - i) * inChannels + c]);
        // The frames the priming makes come first; they are cut away as they arrive.
        dropping = priming * outRate / inRate;
        const std::size_t from = out.size();
        const auto* in = reinterpret_cast<const std::uint8_t*>(before.data());
        if (!converter->convert(&in, static_cast<int>(priming), out))
            return false;
        deliver(out, from);
    }
    return first.empty() ||
           feed(first.data(), static_cast<std::int64_t>(first.size()) / inChannels, out);
}

bool StretchConverter::feed(const std::int16_t* samples, std::int64_t frames,
                            std::vector<std::int16_t>& out) {
    const std::size_t from = out.size();
    const auto* in = reinterpret_cast<const std::uint8_t*>(samples);
    if (!converter->convert(&in, static_cast<int>(frames), out))
        return false;
    framesIn += frames;
    keepTail(samples, frames);
    deliver(out, from);
    return true;
}

// The draining turns the last `reach` frames about the very last one.
void StretchConverter::keepTail(const std::int16_t* samples, std::int64_t frames) {
    const auto keep = static_cast<std::size_t>((reach + 1) * inChannels);
    const auto given = static_cast<std::size_t>(frames * inChannels);
    if (given >= keep) {
        tail.assign(samples + given - keep, samples + given);
        return;
    }
    tail.insert(tail.end(), samples, samples + given);
    if (tail.size() > keep)
        tail.erase(tail.begin(), tail.end() - static_cast<std::ptrdiff_t>(keep));
}

// Takes the frames appended to `out` from `from` on: those of the priming are cut away, and
// none beyond the stretch's length once that is known.
void StretchConverter::deliver(std::vector<std::int16_t>& out, std::size_t from) {
    std::int64_t made = static_cast<std::int64_t>(out.size() - from) / outChannels;
    const std::int64_t cut = std::min(dropping, made);
    const auto at = out.begin() + static_cast<std::ptrdiff_t>(from);
    out.erase(at, at + static_cast<std::ptrdiff_t>(cut * outChannels));
    dropping -= cut;
    made -= cut;
    if (wanted >= 0 && framesOut + made > wanted) {
        made = std::max<std::int64_t>(wanted - framesOut, 0);
        out.resize(from + static_cast<std::size_t>(made * outChannels));
    }
    framesOut += made;
}
