// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/descriptor_stream.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Large enough that moving a long file costs little more than reading and writing it once.
constexpr long long kMoveBlock = 1 << 20;

} // namespace

DescriptorStream::DescriptorStream(int descriptor) : fd(descriptor) {}

DescriptorStream::~DescriptorStream() = default;

TagLib::FileName DescriptorStream::name() const {
    return "";
}

TagLib::ByteVector DescriptorStream::readBlock(unsigned long length) {
    TagLib::ByteVector data(static_cast<unsigned int>(length), '\0');
    unsigned long got = 0;
    while (got < length) {
        const ssize_t done = ::pread(fd, data.data() + got, length - got,
                                     static_cast<off_t>(position + static_cast<long long>(got)));
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0)
            fail(errno);
        if (done <= 0)
            break;
        got += static_cast<unsigned long>(done);
    }
    data.resize(static_cast<unsigned int>(got));
    position += static_cast<long long>(got);
    return data;
}

void DescriptorStream::writeBlock(const TagLib::ByteVector& data) {
    if (writeAt(position, data.data(), data.size()))
        position += data.size();
}

void DescriptorStream::insert(const TagLib::ByteVector& data, unsigned long start,
                              unsigned long replace) {
    const auto at = static_cast<long long>(start);
    const auto size = static_cast<long long>(data.size());
    const auto old = static_cast<long long>(replace);
    // The usual case, a tag rewritten within its own room, moves nothing.
    if (size != old) {
        const long long before = length();
        if (!moveTail(at + old, at + size))
            return;
        if (size < old && before >= 0)
            truncate(static_cast<long>(before - (old - size)));
    }
    if (writeAt(at, data.data(), size))
        position = at + size;
}

void DescriptorStream::removeBlock(unsigned long start, unsigned long length) {
    insert(TagLib::ByteVector(), start, length);
}

void DescriptorStream::seek(long offset, Position p) {
    const long long base = p == Beginning ? 0 : p == Current ? position : length();
    position = std::max(0LL, base + offset);
}

long DescriptorStream::length() {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        fail(errno);
        return 0;
    }
    return static_cast<long>(status.st_size);
}

void DescriptorStream::truncate(long size) {
    if (failure == 0 && ::ftruncate(fd, static_cast<off_t>(size)) != 0)
        fail(errno);
}

bool DescriptorStream::writeAt(long long at, const char* data, long long size) {
    while (size > 0 && failure == 0) {
        const ssize_t done = ::pwrite(fd, data, static_cast<std::size_t>(size), at);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            // A write that takes nothing is a full disk too.
            fail(done < 0 ? errno : ENOSPC);
            break;
        }
        data += done;
        at += done;
        size -= done;
    }
    return failure == 0;
}

bool DescriptorStream::moveTail(long long from, long long to) {
    const long long end = length();
    if (failure != 0 || from >= end)
        return failure == 0;
    std::vector<char> block(static_cast<std::size_t>(std::min(kMoveBlock, end - from)));
    const auto blockSize = static_cast<long long>(block.size());
    // Moving up goes from the end down, moving down from the start up, so that no byte is
    // overwritten before it has been moved.
    const bool up = to > from;
    for (long long done = 0; done < end - from && failure == 0;) {
        const long long size = std::min(blockSize, end - from - done);
        const long long offset = up ? end - done - size : from + done;
        long long got = 0;
        while (got < size) {
            const ssize_t read =
                ::pread(fd, block.data() + got, static_cast<std::size_t>(size - got),
                        static_cast<off_t>(offset + got));
            if (read < 0 && errno == EINTR)
                continue;
            if (read <= 0) {
                fail(read < 0 ? errno : EIO);
                return false;
            }
            got += read;
        }
        if (!writeAt(offset - from + to, block.data(), size))
            return false;
        done += size;
    }
    return failure == 0;
}

void DescriptorStream::fail(int error) {
    if (failure == 0)
        failure = error ? error : EIO;
}
