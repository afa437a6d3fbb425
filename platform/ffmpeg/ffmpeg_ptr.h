// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

#include <memory>

// Owning pointers for FFmpeg objects, each freed by the library's own function.
namespace ffmpeg {

template <typename T, void (*Free)(T**)> struct Deleter {
    void operator()(T* p) const { Free(&p); }
};

// avformat_open_input frees the context itself when it fails: wrap only what it returned.
using AVFormatContextPtr =
    std::unique_ptr<AVFormatContext, Deleter<AVFormatContext, avformat_close_input>>;
using AVCodecContextPtr =
    std::unique_ptr<AVCodecContext, Deleter<AVCodecContext, avcodec_free_context>>;
using AVFramePtr = std::unique_ptr<AVFrame, Deleter<AVFrame, av_frame_free>>;
using AVPacketPtr = std::unique_ptr<AVPacket, Deleter<AVPacket, av_packet_free>>;
using SwrContextPtr = std::unique_ptr<SwrContext, Deleter<SwrContext, swr_free>>;

// An AVIOContext of our own: FFmpeg may have replaced its buffer, so the one it holds is freed.
struct AVIOContextDeleter {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
using AVIOContextPtr = std::unique_ptr<AVIOContext, AVIOContextDeleter>;

} // namespace ffmpeg
