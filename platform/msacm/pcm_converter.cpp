// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "platform/msacm/pcm_converter.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>
#include <numeric>

namespace msacm {

namespace {

// libswresample's own polyphase resampler, in float so that its noise stays far below the
// 16-bit floor (1 kHz at -1 dBFS, 48000 to 44100 Hz: about 93 dB SINAD on 16-bit output).
// 24 taps with the cutoff at 99% of the lower Nyquist frequency keep 18 kHz within 0.05 dB;
// the cost is weaker rejection just above that Nyquist frequency, where 32 taps would reject
// some 5 dB more, for a fifth more time. Exact rational phases avoid phase interpolation for
// the common rate pairs; no dither, which would only raise the noise.
constexpr int kFilterSize = 24;
constexpr double kCutoff = 0.99;
// libswresample's phases per input sample (its default phase_shift of 10).
constexpr int kPhases = 1 << 10;

// A pair whose reduced ratio needs more phases than the filter bank has (5512 to 44100 Hz needs
// 11025) would take the nearest phase, a timing error that leaves some -70 dB of distortion;
// interpolating between phases keeps such pairs as clean as the common ones.
bool needsInterpolation(int inRate, int outRate) {
    return outRate / std::gcd(inRate, outRate) > kPhases;
}

AVSampleFormat swrFormat(int bits) {
    switch (bits) {
    case 8:
        return AV_SAMPLE_FMT_U8;
    case 16:
        return AV_SAMPLE_FMT_S16;
    default: // 24-bit samples travel widened to 32 bits
        return AV_SAMPLE_FMT_S32;
    }
}

// Where each channel sits when a format names only its channel count (the usual order of
// multichannel wave files).
enum class Speaker { Left, Right, Center, Lfe, LeftSurround, RightSurround, BackCenter };

std::vector<Speaker> speakers(int channels) {
    using S = Speaker;
    switch (channels) {
    case 1:
        return {S::Center};
    case 2:
        return {S::Left, S::Right};
    case 3:
        return {S::Left, S::Right, S::Center};
    case 4:
        return {S::Left, S::Right, S::LeftSurround, S::RightSurround};
    case 5:
        return {S::Left, S::Right, S::Center, S::LeftSurround, S::RightSurround};
    case 6:
        return {S::Left, S::Right, S::Center, S::Lfe, S::LeftSurround, S::RightSurround};
    case 7:
        return {S::Left,       S::Right,        S::Center,       S::Lfe,
                S::BackCenter, S::LeftSurround, S::RightSurround};
    default:
        return {S::Left,         S::Right,         S::Center,       S::Lfe,
                S::LeftSurround, S::RightSurround, S::LeftSurround, S::RightSurround};
    }
}

} // namespace

std::vector<double> mixMatrix(int inChannels, int outChannels) {
    if (inChannels == outChannels || outChannels > 2)
        return {};
    std::vector<double> stereo(2 * static_cast<std::size_t>(inChannels), 0.0);
    if (inChannels == 1) {
        // A mono source is the same signal on both sides, at full level.
        stereo = {1.0, 1.0};
    } else {
        // Fronts at full level, centres split over both sides and surrounds to their side at
        // -3 dB, the LFE channel left out; then scaled so that no input can clip.
        const double half = std::numbers::sqrt2 / 2;
        const auto layout = speakers(inChannels);
        for (int c = 0; c < inChannels; ++c) {
            double& left = stereo[c];
            double& right = stereo[inChannels + c];
            switch (layout[c]) {
            case Speaker::Left:
                left = 1.0;
                break;
            case Speaker::Right:
                right = 1.0;
                break;
            case Speaker::Center:
            case Speaker::BackCenter:
                left = right = half;
                break;
            case Speaker::LeftSurround:
                left = half;
                break;
            case Speaker::RightSurround:
                right = half;
                break;
            case Speaker::Lfe:
                break;
            }
        }
        double largest = 0;
        for (int row = 0; row < 2; ++row) {
            double sum = 0;
            for (int c = 0; c < inChannels; ++c)
                sum += stereo[row * inChannels + c];
            largest = std::max(largest, sum);
        }
        if (largest > 1.0) {
            for (double& gain : stereo)
                gain /= largest;
        }
    }
    if (outChannels == 2)
        return stereo;
    std::vector<double> mono(inChannels);
    for (int c = 0; c < inChannels; ++c)
        mono[c] = (stereo[c] + stereo[inChannels + c]) / 2;
    return mono;
}

PcmConverter::PcmConverter(const PcmFormat& inFormat, const PcmFormat& outFormat)
    : in(inFormat), out(outFormat), matrix(mixMatrix(inFormat.channels, outFormat.channels)) {
    if (in.rate != out.rate) {
        // The resampler answers a source frame once it has half a filter of frames after it
        // (the filter widens as the cutoff narrows); one frame more on either side covers the
        // phase rounding.
        const double stretch = std::max(1.0, static_cast<double>(out.rate) / in.rate);
        const double halfFilter = kFilterSize / (2 * kCutoff);
        delay = static_cast<std::int64_t>(std::ceil((halfFilter + 1) * stretch)) + 1;
    }
}

std::unique_ptr<PcmConverter> PcmConverter::create(const PcmFormat& in, const PcmFormat& out) {
    std::unique_ptr<PcmConverter> converter(new PcmConverter(in, out));
    if (!converter->restart())
        return nullptr;
    return converter;
}

bool PcmConverter::restart() {
    swr.reset();
    framesIn = framesOut = 0;
    fresh = drained = false;

    AVChannelLayout inLayout;
    AVChannelLayout outLayout;
    av_channel_layout_default(&inLayout, in.channels);
    av_channel_layout_default(&outLayout, out.channels);
    SwrContext* raw = nullptr;
    const int made = swr_alloc_set_opts2(&raw, &outLayout, swrFormat(out.bits), out.rate, &inLayout,
                                         swrFormat(in.bits), in.rate, 0, nullptr);
    ffmpeg::SwrContextPtr context(raw);
    if (made < 0 || !context)
        return false;
    if (av_opt_set_sample_fmt(raw, "internal_sample_fmt", AV_SAMPLE_FMT_FLTP, 0) < 0 ||
        av_opt_set_int(raw, "filter_size", kFilterSize, 0) < 0 ||
        av_opt_set_double(raw, "cutoff", kCutoff, 0) < 0 ||
        av_opt_set_int(raw, "linear_interp", needsInterpolation(in.rate, out.rate), 0) < 0 ||
        av_opt_set_int(raw, "phase_shift", std::countr_zero(unsigned{kPhases}), 0) < 0 ||
        av_opt_set_int(raw, "exact_rational", 1, 0) < 0)
        return false;
    if (!matrix.empty() && swr_set_matrix(raw, matrix.data(), in.channels) < 0)
        return false;
    if (swr_init(raw) < 0)
        return false;
    swr = std::move(context);
    return true;
}

void PcmConverter::reset() {
    fresh = true;
}

std::int64_t PcmConverter::targetFrames(std::int64_t inFrames) const {
    return inFrames * out.rate / in.rate;
}

std::uint64_t PcmConverter::maxOutputBytes(std::uint64_t inputBytes) const {
    // The end can release the delay and the rounding of the last call's share at once.
    const std::uint64_t frames = inputBytes / in.frameBytes();
    const std::uint64_t share = (frames * out.rate + in.rate - 1) / in.rate;
    return (share + delay + 1) * out.frameBytes();
}

std::uint64_t PcmConverter::inputBytesFitting(std::uint64_t outputBytes) const {
    const std::uint64_t frames = outputBytes / out.frameBytes();
    const std::uint64_t reserve = delay + 1;
    if (frames <= reserve)
        return 0;
    return (frames - reserve) * in.rate / out.rate * in.frameBytes();
}

int PcmConverter::run(const std::uint8_t* src, std::int64_t frames, std::uint8_t* dst,
                      std::int64_t room) {
    const std::uint8_t* input = src;
    if (src && in.bits == 24) {
        const std::size_t samples = static_cast<std::size_t>(frames) * in.channels;
        unpacked.resize(samples);
        for (std::size_t i = 0; i < samples; ++i) {
            const std::uint32_t v = std::uint32_t{src[3 * i]} << 8 |
                                    std::uint32_t{src[3 * i + 1]} << 16 |
                                    std::uint32_t{src[3 * i + 2]} << 24;
            unpacked[i] = static_cast<std::int32_t>(v);
        }
        input = reinterpret_cast<const std::uint8_t*>(unpacked.data());
    }
    std::uint8_t* output = dst;
    if (out.bits == 24) {
        widened.resize(static_cast<std::size_t>(room) * out.channels);
        output = reinterpret_cast<std::uint8_t*>(widened.data());
    }
    // Whatever does not fit `room` stays inside the resampler for a later call.
    const int made = src ? swr_convert(swr.get(), &output, static_cast<int>(room), &input,
                                       static_cast<int>(frames))
                         : swr_convert(swr.get(), &output, static_cast<int>(room), nullptr, 0);
    if (made > 0 && out.bits == 24) {
        // Round the widened samples back to 24 bits.
        const std::size_t samples = static_cast<std::size_t>(made) * out.channels;
        for (std::size_t i = 0; i < samples; ++i) {
            const std::int64_t v =
                std::min<std::int64_t>((std::int64_t{widened[i]} + 128) >> 8, 0x7FFFFF);
            const auto bits = static_cast<std::uint32_t>(v);
            dst[3 * i] = static_cast<std::uint8_t>(bits);
            dst[3 * i + 1] = static_cast<std::uint8_t>(bits >> 8);
            dst[3 * i + 2] = static_cast<std::uint8_t>(bits >> 16);
        }
    }
    return made;
}

PcmConverter::Result PcmConverter::convert(const std::uint8_t* src, std::uint32_t srcLength,
                                           std::uint8_t* dst, std::uint32_t dstLength, bool start,
                                           bool end) {
    if ((fresh || start) && !restart())
        return {0, 0, false};

    // libswresample counts frames in int: larger buffers are worked through in several calls.
    constexpr std::int64_t kMostFrames = 1 << 24;
    const int frameBytes = out.frameBytes();
    const std::int64_t room = std::min<std::int64_t>(dstLength / frameBytes, kMostFrames);
    const std::int64_t available = srcLength / in.frameBytes();
    const std::int64_t whole = std::min(available, kMostFrames);
    std::int64_t frames = 0;
    std::int64_t given = 0;
    if (!drained) {
        // Take no more than what the destination can receive at this call's pace, and release
        // output only up to the ratio's share less the delay.
        const std::int64_t reach = room + framesOut + delay;
        const std::int64_t limit = ((reach + 1) * in.rate - 1) / out.rate - framesIn;
        frames = std::clamp<std::int64_t>(limit, 0, whole);
        framesIn += frames;
        const std::int64_t due =
            std::clamp<std::int64_t>(targetFrames(framesIn) - delay - framesOut, 0, room);
        // A null source would ask for the flush; with no frames nothing is read from it.
        static constexpr std::uint8_t nothing = 0;
        const int made = run(src ? src : &nothing, frames, dst, due);
        if (made < 0)
            return {0, 0, false};
        given = made;
        drained = end && frames == available;
    }
    if (drained) {
        // The whole conversion yields the source's length at the new rate, rounded up.
        const std::int64_t total = (framesIn * out.rate + in.rate - 1) / in.rate;
        bool complete = framesOut + given >= total;
        while (!complete && given < room) {
            const std::int64_t want = std::min(room - given, total - framesOut - given);
            const int made = run(nullptr, 0, dst + given * frameBytes, want);
            if (made < 0)
                return {0, 0, false};
            given += made;
            complete = made == 0 || framesOut + given >= total;
        }
        fresh = complete;
    }
    framesOut += given;
    return {static_cast<std::uint32_t>(frames * in.frameBytes()),
            static_cast<std::uint32_t>(given * frameBytes), true};
}

} // namespace msacm
