// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/destination_file.h"

#include "common/error_text.h"
#include "common/file_names.h"

#include <QDir>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Long enough to tell the new file's owner, short enough for any file system's name limit.
constexpr int kKeptNameLength = 60;

} // namespace

DestinationFile::DestinationFile(const QString& destination) {
    target =
        QDir::isAbsolutePath(destination) ? destination : QDir::currentPath() + u'/' + destination;
    // A link is kept as a link: the file it points to is the one replaced.
    struct stat st {};
    if (::lstat(encodeFileName(target).constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(encodeFileName(target).constData(), nullptr)) {
            target = decodeFileName(resolved);
            std::free(resolved);
        }
    }
    if (::stat(encodeFileName(target).constData(), &st) != 0)
        return;
    existed = true;
    direct = !S_ISREG(st.st_mode);
    if (direct)
        writing = target;
    mode = st.st_mode & 07777;
    // A file without any write permission is not the user's to replace, even for root.
    readOnly = !direct && ((st.st_mode & 0222) == 0 ||
                           ::access(encodeFileName(target).constData(), W_OK) != 0);
}

DestinationFile::~DestinationFile() {
    discard();
}

QString DestinationFile::refusal() const {
    if (readOnly)
        return QStringLiteral("Die Zieldatei ist schreibgeschützt und wird nicht ersetzt - "
                              "bitte wählen Sie eine andere Zieldatei.");
    return {};
}

bool DestinationFile::prepare() {
    if (direct || reserved)
        return true;
    const qsizetype slash = target.lastIndexOf(u'/');
    const QString stem = QStringLiteral(".") + target.mid(slash + 1).left(kKeptNameLength) +
                         QStringLiteral(".tavimo-");
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = target.left(slash) + u'/' + stem +
                             QString::number(QRandomGenerator::global()->generate(), 36) +
                             QStringLiteral(".part");
        writing = name;
        const int fd =
            ::open(encodeFileName(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            reserved = true;
            return true;
        }
        if (errno != EEXIST) {
            lastError = errno;
            return false;
        }
    }
    lastError = EEXIST;
    return false;
}

QString DestinationFile::commit() {
    if (direct)
        return {};
    if (!reserved)
        return systemErrorText(lastError ? lastError : ENOENT);
    const QByteArray from = encodeFileName(writing);
    // The new file keeps the permissions the user gave the old one.
    if (existed)
        ::chmod(from.constData(), mode);
    if (::rename(from.constData(), encodeFileName(target).constData()) != 0) {
        const int error = errno;
        discard();
        return systemErrorText(error);
    }
    reserved = false;
    return {};
}

void DestinationFile::discard() {
    if (!reserved)
        return;
    ::unlink(encodeFileName(writing).constData());
    reserved = false;
}
