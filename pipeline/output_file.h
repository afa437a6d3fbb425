// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QString>

#include <cstddef>

// A file written in bytes, straight through to the system, so that a full disk shows at the
// write that did not fit. Failures raise EInOutError: "Disk full" when the disk takes fewer
// bytes than given.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the file, emptying it if it exists. False when it cannot be created; then
    // creationError() tells why.
    bool create(const QString& fileName);
    int creationError() const { return createErrno; }
    // Writes through a copy of an open descriptor, which stays its owner's. False when it cannot
    // be copied; then creationError() tells why.
    bool attach(int descriptor);
    bool isOpen() const { return fd >= 0; }
    void write(const void* data, std::size_t size);
    // Closes; a failure raises EInOutError. Closing a closed file does nothing.
    void close();

private:
    [[noreturn]] static void fail(int error);

    int fd = -1;
    int createErrno = 0;
};
