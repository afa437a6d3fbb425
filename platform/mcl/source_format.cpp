// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "platform/mcl/source_format.h"

#include "common/file_names.h"
#include "platform/mcl/ffmpeg_log.h"
#include "platform/mcl/source_interrupt.h"

namespace {

// Only a source that can wait listens to the interrupt: a regular file opens and reads alike
// whether it is raised or not.
int interruptRaised(void* file) {
    return !static_cast<const SourceFile*>(file)->regular() && sourceInterruptRaised() ? 1 : 0;
}

int refuseOtherFiles(AVFormatContext*, AVIOContext**, const char* url, int, AVDictionary**) {
    qCDebug(lcMcl) << "refused to open" << visibleName(decodeFileName(url));
    return AVERROR(EPERM);
}

bool known(std::int64_t value) {
    return value != AV_NOPTS_VALUE && value > 0;
}

} // namespace

std::unique_ptr<SourceFormat> SourceFormat::open(const std::string& path, bool* interrupted) {
    auto file = SourceFile::open(path);
    if (!file)
        return nullptr;
    const bool canWait = !file->regular();
    auto opened = open(std::move(file), path);
    if (interrupted)
        *interrupted = !opened && canWait && sourceInterruptRaised();
    return opened;
}

std::unique_ptr<SourceFormat> SourceFormat::open(std::unique_ptr<SourceFile> file,
                                                 const std::string& path) {
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw)
        return nullptr;
    raw->pb = file->io();
    raw->interrupt_callback = {interruptRaised, file.get()};
    // What a source names besides itself stays closed: playlists and references go through
    // io_open, a concatenation list opens its files through protocols, and no protocol is
    // allowed (ours is no protocol). Freed with the context.
    raw->io_open = refuseOtherFiles;
    raw->protocol_whitelist = av_strdup("none");
    if (!raw->protocol_whitelist) {
        avformat_free_context(raw);
        return nullptr;
    }
    // The name only lends its extension to probing: the bytes come from our context.
    int err = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (err < 0) { // the context is freed already
        qCDebug(lcMcl) << "cannot open" << visibleName(decodeFileName(path.c_str()))
                       << ffmpeg::errorText(err).c_str();
        return nullptr;
    }
    ffmpeg::AVFormatContextPtr format(raw);
    err = avformat_find_stream_info(format.get(), nullptr);
    const AVCodec* codec = nullptr;
    const int index =
        err < 0 ? err : av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (index < 0 || !codec) {
        qCDebug(lcMcl) << "no audio in" << visibleName(decodeFileName(path.c_str()))
                       << ffmpeg::errorText(index).c_str();
        return nullptr;
    }
    return std::unique_ptr<SourceFormat>(
        new SourceFormat(std::move(file), std::move(format), index, codec));
}

SourceFormat::SourceFormat(std::unique_ptr<SourceFile> file, ffmpeg::AVFormatContextPtr context,
                           int streamIndex, const AVCodec* streamCodec)
    : source(std::move(file)), format(std::move(context)), index(streamIndex), codec(streamCodec) {}

double SourceFormat::seconds() const {
    const AVStream* stream = audio();
    if (known(stream->duration) && stream->time_base.num > 0 && stream->time_base.den > 0)
        return static_cast<double>(stream->duration) * av_q2d(stream->time_base);
    if (known(format->duration))
        return static_cast<double>(format->duration) / AV_TIME_BASE;
    const std::int64_t bitRate =
        format->bit_rate > 0 ? format->bit_rate : stream->codecpar->bit_rate;
    const std::int64_t bytes = avio_size(format->pb);
    if (bitRate > 0 && bytes > 0)
        return static_cast<double>(bytes) * 8 / static_cast<double>(bitRate);
    return -1;
}
