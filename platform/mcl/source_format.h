// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "platform/ffmpeg/ffmpeg_ptr.h"
#include "platform/mcl/source_file.h"

#include <memory>
#include <string>

// A source opened for demuxing: its file, FFmpeg's format context reading it, and the audio
// stream the library takes from it (FFmpeg's best one). Everything the source names besides
// itself (playlists, references to other files) is refused: the source is this one file.
class SourceFormat {
public:
    // Null when the file cannot be opened, is not media FFmpeg knows, has no audio stream with a
    // decoder, or the source interrupt stopped the open of a source that waited (`interrupted`
    // tells which).
    static std::unique_ptr<SourceFormat> open(const std::string& path, bool* interrupted = nullptr);

    AVFormatContext* context() const { return format.get(); }
    int audioIndex() const { return index; }
    AVStream* audio() const { return format->streams[index]; }
    // FFmpeg's decoder for the audio stream.
    const AVCodec* decoder() const { return codec; }
    const SourceFile& file() const { return *source; }

    // The audio stream's length as the container states it: the stream's duration, else the
    // whole file's, else an estimate from the file's size and bit rate; negative when unknown.
    double seconds() const;

private:
    static std::unique_ptr<SourceFormat> open(std::unique_ptr<SourceFile> file,
                                              const std::string& path);
    SourceFormat(std::unique_ptr<SourceFile> file, ffmpeg::AVFormatContextPtr format, int index,
                 const AVCodec* codec);

    // Declared first so that it outlives the format context reading it.
    std::unique_ptr<SourceFile> source;
    ffmpeg::AVFormatContextPtr format;
    int index;
    const AVCodec* codec;
};
