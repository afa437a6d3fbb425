// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "platform/mcl/sample_converter.h"

#include "platform/mcl/ffmpeg_log.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <cmath>
#include <numbers>

ChannelLayout::ChannelLayout(int channels) {
    av_channel_layout_default(&layout, channels);
}

ChannelLayout::ChannelLayout(const AVChannelLayout& other) {
    if (other.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_copy(&layout, &other) < 0)
        av_channel_layout_default(&layout, other.nb_channels);
}

ChannelLayout::ChannelLayout(const ChannelLayout& other) : ChannelLayout(other.layout) {}

ChannelLayout::~ChannelLayout() {
    av_channel_layout_uninit(&layout);
}

bool ChannelLayout::operator==(const ChannelLayout& other) const {
    return av_channel_layout_compare(&layout, &other.layout) == 0;
}

std::unique_ptr<SampleConverter> SampleConverter::create(AVSampleFormat inFormat,
                                                         const ChannelLayout& inLayout, int inRate,
                                                         int outChannels, int outRate) {
    const ChannelLayout outLayout(outChannels);
    SwrContext* raw = nullptr;
    // FFmpeg 5.1 declares the layouts non-const but only reads them.
    int err = swr_alloc_set_opts2(
        &raw, const_cast<AVChannelLayout*>(outLayout.get()), AV_SAMPLE_FMT_S16, outRate,
        const_cast<AVChannelLayout*>(inLayout.get()), inFormat, inRate, 0, nullptr);
    ffmpeg::SwrContextPtr swr(raw);
    // Downmix at the usual -3 dB for centre and surrounds, without the LFE; the resampler then
    // scales the matrix so that a full-scale source cannot clip.
    const double minus3dB = std::numbers::sqrt2 / 2;
    if (err >= 0)
        err = av_opt_set_double(swr.get(), "center_mix_level", minus3dB, 0);
    if (err >= 0)
        err = av_opt_set_double(swr.get(), "surround_mix_level", minus3dB, 0);
    if (err >= 0)
        err = av_opt_set_double(swr.get(), "lfe_mix_level", 0, 0);
    if (err >= 0)
        err = swr_init(swr.get());
    if (err < 0) {
        qCDebug(lcMcl) << "resampler setup failed:" << ffmpeg::errorText(err).c_str();
        return nullptr;
    }
    return std::unique_ptr<SampleConverter>(
        new SampleConverter(std::move(swr), inFormat, inLayout, inRate, outChannels));
}

SampleConverter::SampleConverter(ffmpeg::SwrContextPtr swrContext, AVSampleFormat format,
                                 const ChannelLayout& layout, int rate, int channels)
    : swr(std::move(swrContext)), inFormat(format), inLayout(layout), inRate(rate),
      outChannels(channels) {}

bool SampleConverter::accepts(AVSampleFormat format, const ChannelLayout& layout, int rate) const {
    return format == inFormat && rate == inRate && layout == inLayout;
}

bool SampleConverter::convert(const std::uint8_t* const* in, int frames,
                              std::vector<std::int16_t>& out) {
    const int room = swr_get_out_samples(swr.get(), frames);
    if (room < 0)
        return false;
    const std::size_t used = out.size();
    out.resize(used + static_cast<std::size_t>(room) * outChannels);
    auto* dst = reinterpret_cast<std::uint8_t*>(out.data() + used);
    const int got =
        swr_convert(swr.get(), &dst, room, const_cast<const std::uint8_t**>(in), frames);
    out.resize(used + static_cast<std::size_t>(std::max(got, 0)) * outChannels);
    if (got < 0)
        qCDebug(lcMcl) << "resampling failed:" << ffmpeg::errorText(got).c_str();
    return got >= 0;
}

bool SampleConverter::flush(std::vector<std::int16_t>& out) {
    while (swr_get_out_samples(swr.get(), 0) > 0) {
        const std::size_t before = out.size();
        if (!convert(nullptr, 0, out))
            return false;
        if (out.size() == before)
            break;
    }
    return true;
}
