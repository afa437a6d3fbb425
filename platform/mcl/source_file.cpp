// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "platform/mcl/source_file.h"

#include "common/file_names.h"
#include "platform/mcl/ffmpeg_log.h"
#include "platform/mcl/source_interrupt.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// FFmpeg's own buffer size for files, so that probing sees what it saw through its file protocol.
constexpr int kBufferSize = 32768;
// How long one wait for a slow source lasts before the interrupt is looked at again.
constexpr int kWaitSliceMs = 50;

} // namespace

std::unique_ptr<SourceFile> SourceFile::open(const std::string& path) {
    // Without O_NONBLOCK, opening a FIFO would block until a writer appears, where no interrupt
    // reaches it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        qCDebug(lcMcl) << "cannot open" << visibleName(decodeFileName(path.c_str()))
                       << std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<SourceFile> file(new SourceFile(fd)); // closes it from here on
    struct stat status {};
    if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode))
        return nullptr;
    file->isRegular = S_ISREG(status.st_mode);
    if (file->isRegular) {
        // A regular file never waits, so its reads block as usual.
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
            return nullptr;
    }
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferSize));
    if (!buffer)
        return nullptr;
    file->context.reset(avio_alloc_context(buffer, kBufferSize, 0, file.get(), readPacket, nullptr,
                                           file->isRegular ? seekTo : nullptr));
    if (!file->context) {
        av_free(buffer);
        return nullptr;
    }
    return file;
}

SourceFile::SourceFile(int descriptor) : fd(descriptor) {}

SourceFile::~SourceFile() {
    context.reset();
    ::close(fd);
}

int SourceFile::readPacket(void* opaque, std::uint8_t* buffer, int size) {
    return static_cast<SourceFile*>(opaque)->read(buffer, size);
}

std::int64_t SourceFile::seekTo(void* opaque, std::int64_t offset, int whence) {
    const int fd = static_cast<SourceFile*>(opaque)->fd;
    if (whence & AVSEEK_SIZE) {
        struct stat status {};
        return ::fstat(fd, &status) == 0 ? status.st_size : AVERROR(errno);
    }
    const off_t at = ::lseek(fd, offset, whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : at;
}

int SourceFile::read(std::uint8_t* buffer, int size) {
    for (;;) {
        if (!isRegular && sourceInterruptRaised()) {
            gaveUp = true;
            return AVERROR_EXIT;
        }
        const ssize_t got = ::read(fd, buffer, static_cast<std::size_t>(size));
        if (got > 0)
            return static_cast<int>(got);
        // A FIFO without a writer reads as its end at once: nothing is waited for there.
        if (got == 0)
            return AVERROR_EOF;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // A writer is there but has nothing yet: wait one slice, then look again.
            pollfd wanted{fd, POLLIN, 0};
            ::poll(&wanted, 1, kWaitSliceMs);
        } else if (errno != EINTR) {
            return AVERROR(errno);
        }
    }
}
