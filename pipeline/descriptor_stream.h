// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <taglib/tiostream.h>

// TagLib's view of a file the caller holds open for reading and writing, so that TagLib edits
// the very file a run writes, never one looked up by name. The descriptor stays the caller's;
// its own file offset is left alone. TagLib gives its streams no way to fail, so the first
// system error is kept here, and after it nothing more is written.
class DescriptorStream : public TagLib::IOStream {
public:
    explicit DescriptorStream(int descriptor);
    ~DescriptorStream() override;

    // The first system error number, 0 while there was none.
    int error() const { return failure; }

    TagLib::FileName name() const override;
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector& data) override;
    // Replaces `replace` bytes at `start` by `data`, moving what follows them.
    void insert(const TagLib::ByteVector& data, unsigned long start = 0,
                unsigned long replace = 0) override;
    void removeBlock(unsigned long start = 0, unsigned long length = 0) override;
    bool readOnly() const override { return false; }
    bool isOpen() const override { return fd >= 0; }
    void seek(long offset, Position p = Beginning) override;
    long tell() const override { return static_cast<long>(position); }
    long length() override;
    void truncate(long length) override;

private:
    bool writeAt(long long at, const char* data, long long size);
    // Moves the bytes from `from` to the end of the file so that they begin at `to`.
    bool moveTail(long long from, long long to);
    void fail(int error);

    int fd;
    long long position = 0;
    int failure = 0;
};
