// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/output_file.h"

#include "common/error_text.h"
#include "common/exception.h"
#include "common/file_names.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

void OutputFile::fail(int error) {
    // A short write without a system error is the disk refusing more bytes as well.
    if (error == 0 || error == ENOSPC || error == EDQUOT)
        throw EInOutError("Disk full");
    throw EInOutError(QStringLiteral("Fehler beim Schreiben der Datei: %1")
                          .arg(systemErrorText(error))
                          .toStdString());
}

OutputFile::~OutputFile() {
    if (fd >= 0)
        ::close(fd);
}

bool OutputFile::create(const QString& fileName) {
    if (fd >= 0)
        ::close(std::exchange(fd, -1));
    fd = ::open(encodeFileName(fileName).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                0666);
    createErrno = fd < 0 ? errno : 0;
    return fd >= 0;
}

bool OutputFile::attach(int descriptor) {
    if (fd >= 0)
        ::close(std::exchange(fd, -1));
    fd = descriptor >= 0 ? ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0) : -1;
    createErrno = fd < 0 ? (descriptor >= 0 ? errno : EBADF) : 0;
    return fd >= 0;
}

void OutputFile::write(const void* data, std::size_t size) {
    if (fd < 0)
        throw EInOutError("File not open");
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t done = ::write(fd, bytes, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            fail(done < 0 ? errno : 0);
        bytes += done;
        size -= static_cast<std::size_t>(done);
    }
}

void OutputFile::close() {
    if (fd < 0)
        return;
    // Some file systems report a failed write only when the file is closed.
    if (::close(std::exchange(fd, -1)) != 0 && errno != EINTR)
        fail(errno);
}
