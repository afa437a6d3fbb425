// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "platform/ffmpeg/ffmpeg_ptr.h"

#include <cstdint>
#include <memory>
#include <vector>

// An owned AVChannelLayout; an unspecified order counts as the default layout of its size.
class ChannelLayout {
public:
    explicit ChannelLayout(int channels);
    explicit ChannelLayout(const AVChannelLayout& layout);
    ChannelLayout(const ChannelLayout& other);
    ChannelLayout& operator=(const ChannelLayout&) = delete;
    ~ChannelLayout();

    const AVChannelLayout* get() const { return &layout; }
    int channels() const { return layout.nb_channels; }
    bool operator==(const ChannelLayout& other) const;

private:
    AVChannelLayout layout{};
};

// Turns sound of one format into interleaved 16-bit samples of a fixed rate and channel count
// (1 or 2), keeping the resampler's state from one call to the next.
class SampleConverter {
public:
    static std::unique_ptr<SampleConverter> create(AVSampleFormat inFormat,
                                                   const ChannelLayout& inLayout, int inRate,
                                                   int outChannels, int outRate);

    bool accepts(AVSampleFormat format, const ChannelLayout& layout, int rate) const;
    // Appends the converted frames to `out`. False when the resampler fails.
    bool convert(const std::uint8_t* const* in, int frames, std::vector<std::int16_t>& out);
    // Appends what the resampler still holds.
    bool flush(std::vector<std::int16_t>& out);

private:
    SampleConverter(ffmpeg::SwrContextPtr swr, AVSampleFormat inFormat,
                    const ChannelLayout& inLayout, int inRate, int outChannels);

    ffmpeg::SwrContextPtr swr;
    AVSampleFormat inFormat;
    ChannelLayout inLayout;
    int inRate;
    int outChannels;
};
