// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "platform/ffmpeg/ffmpeg_ptr.h"

#include <cstdint>
#include <memory>
#include <string>

// One source opened as a local file by its name's bytes, for FFmpeg to read through an
// AVIOContext of ours: a name such as "12:30.mpg" or "concat:x.mpg" is the file of that name,
// never one of FFmpeg's protocols.
//
// A regular file is read as it is. Anything else (a FIFO, a socket, a terminal) can keep a read
// waiting for its writer: such a source is read without blocking, waiting in short slices, and
// gives up once the source interrupt is raised; it cannot seek. A FIFO that has no writer when
// it is read ends there.
class SourceFile {
public:
    // Null when the name cannot be opened or names a directory.
    static std::unique_ptr<SourceFile> open(const std::string& path);
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    AVIOContext* io() const { return context.get(); }
    bool regular() const { return isRegular; }
    // True once a wait gave up because the source interrupt was raised.
    bool interrupted() const { return gaveUp; }

private:
    explicit SourceFile(int fd);
    static int readPacket(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t seekTo(void* opaque, std::int64_t offset, int whence);
    int read(std::uint8_t* buffer, int size);

    int fd;
    bool isRegular = false;
    bool gaveUp = false;
    ffmpeg::AVIOContextPtr context;
};
