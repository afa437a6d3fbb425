// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "platform/ffmpeg/ffmpeg_ptr.h"
#include "platform/mcl/sample_converter.h"
#include "platform/mcl/source_format.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The best audio stream of one media file, decoded in order to 16-bit interleaved samples at
// the rate and channel count (mono, or stereo for anything more) that the stream opened with.
class AudioDecoder {
public:
    enum class Result { More, End, Failed };

    // Null when the file is missing, unreadable, not media or without a decodable audio stream,
    // or when the source interrupt stopped the open (`interrupted` tells).
    // `floatMpeg` picks FFmpeg's floating-point MPEG audio decoders, else its fixed-point ones.
    static std::unique_ptr<AudioDecoder> open(const std::string& path, bool floatMpeg,
                                              bool* interrupted = nullptr);

    int rate() const { return outRate; }
    int channels() const { return outLayout.channels(); }
    const char* decoderName() const { return codec->codec->name; }
    // A regular file can be opened again and read from its start; a FIFO cannot.
    bool regularFile() const { return source->file().regular(); }
    // The source interrupt ended the reading (the last decode failed for it).
    bool interrupted() const { return source->file().interrupted(); }

    // Appends the next decoded frame's samples to `out`. End: nothing follows what was appended.
    Result decode(std::vector<std::int16_t>& out);

private:
    AudioDecoder(std::unique_ptr<SourceFormat> source, ffmpeg::AVCodecContextPtr codec);
    bool append(const AVFrame& frame, std::vector<std::int16_t>& out);
    bool sendNextPacket();

    std::unique_ptr<SourceFormat> source;
    ffmpeg::AVCodecContextPtr codec;
    ffmpeg::AVPacketPtr packet;
    ffmpeg::AVFramePtr frame;
    std::unique_ptr<SampleConverter> converter;
    int streamIndex;
    int outRate;
    ChannelLayout outLayout;
    int errorsInRow = 0;
    bool draining = false;
    bool finished = false;
};
