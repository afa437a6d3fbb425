// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/temp_file.h"

#include "common/exception.h"
#include "common/file_names.h"

#include <QDir>
#include <QRandomGenerator>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr char kRunPrefix[] = "tavimo-";

EInOutError noTemporaryFolder(const QString& folder) {
    return EInOutError(QStringLiteral("Im Ordner für temporäre Dateien (%1) kann keine Datei "
                                      "angelegt werden")
                           .arg(visibleName(QDir::toNativeSeparators(folder)))
                           .toStdString());
}

// Removes what lies in an open folder; run folders hold plain files only.
void removeContents(int folder) {
    const int scan = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    DIR* dir = scan >= 0 ? ::fdopendir(scan) : nullptr;
    if (!dir) {
        if (scan >= 0)
            ::close(scan);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(dir);
}

bool alive(long pid) {
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// A folder of a run of this user that has ended: its process is gone and nobody holds its lock
// (a run takes the lock right after making its folder, and is alive in between).
void removeIfDead(int parent, const char* name) {
    const long pid = runFolderPid(name);
    if (pid == 0 || pid == ::getpid() || alive(pid))
        return;
    struct stat seen {};
    if (::fstatat(parent, name, &seen, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(seen.st_mode) ||
        seen.st_uid != ::geteuid() || (seen.st_mode & 07777) != 0700)
        return;
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat opened {};
    if (::fstat(fd, &opened) == 0 && opened.st_dev == seen.st_dev && opened.st_ino == seen.st_ino &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        removeContents(fd);
        ::unlinkat(parent, name, AT_REMOVEDIR);
    }
    ::close(fd);
}

void removeDeadRuns(int parent) {
    const int scan = ::fcntl(parent, F_DUPFD_CLOEXEC, 0);
    DIR* dir = scan >= 0 ? ::fdopendir(scan) : nullptr;
    if (!dir) {
        if (scan >= 0)
            ::close(scan);
        return;
    }
    while (const dirent* entry = ::readdir(dir))
        removeIfDead(parent, entry->d_name);
    ::closedir(dir);
}

} // namespace

long runFolderPid(const char* name) {
    if (std::strncmp(name, kRunPrefix, sizeof kRunPrefix - 1) != 0)
        return 0;
    const char* digits = name + sizeof kRunPrefix - 1;
    char* end = nullptr;
    errno = 0;
    const long pid = std::strtol(digits, &end, 10);
    if (errno != 0 || end == digits || *end != '-' || pid <= 0 || *digits == '+' || *digits == '-')
        return 0;
    return pid;
}

TempFolder::TempFolder() {
    // Qt gives an empty path when the folder named by the system does not exist.
    const QString system = QDir::tempPath();
    if (system.isEmpty())
        throw noTemporaryFolder(qEnvironmentVariable("TMPDIR"));
    parent = ::open(encodeFileName(system).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        throw noTemporaryFolder(system);
    removeDeadRuns(parent);

    for (int attempt = 0; attempt < 100 && name.isEmpty(); ++attempt) {
        const QByteArray candidate =
            kRunPrefix + QByteArray::number(::getpid()) + '-' +
            QByteArray::number(QRandomGenerator::system()->generate64(), 36);
        if (::mkdirat(parent, candidate.constData(), 0700) == 0) {
            name = candidate;
            note = RunFileNote(parent, name, true);
            fd =
                ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        } else if (errno != EEXIST) {
            break;
        }
    }
    // Only a folder of our own that nobody else can enter will do; the mode is set in full, as
    // a umask may have taken the owner's bits.
    struct stat made {};
    if (fd < 0 || ::fstat(fd, &made) != 0 || made.st_uid != ::geteuid() ||
        ::fchmod(fd, 0700) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // What is in a folder that is not ours is not ours to remove.
        if (fd >= 0 && made.st_uid != ::geteuid())
            ::close(std::exchange(fd, -1));
        release();
        throw noTemporaryFolder(system);
    }
    where = QDir(system).filePath(decodeFileName(name));
}

TempFolder::~TempFolder() {
    release();
}

void TempFolder::release() {
    if (fd >= 0)
        removeContents(fd);
    if (!name.isEmpty())
        ::unlinkat(parent, name.constData(), AT_REMOVEDIR);
    if (!note.forget())
        return;
    if (fd >= 0)
        ::close(std::exchange(fd, -1));
    if (parent >= 0)
        ::close(std::exchange(parent, -1));
}

TempFile::TempFile(TempFolder& runFolder, const QString& prefix, const QString& extension)
    : folder(runFolder) {
    for (quint64 counter = 0;; ++counter) {
        name = encodeFileName(prefix + QString::number(counter) + extension);
        fd = ::openat(folder.descriptor(), name.constData(),
                      O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0)
            break;
        if (errno != EEXIST)
            throw EInOutError(
                QStringLiteral("Die temporäre Datei %1 konnte nicht angelegt werden")
                    .arg(visibleName(QDir(folder.path()).filePath(decodeFileName(name))))
                    .toStdString());
    }
    note = RunFileNote(folder.descriptor(), name);
}

TempFile::~TempFile() {
    ::unlinkat(folder.descriptor(), name.constData(), 0);
    if (note.forget())
        ::close(fd);
}

QString TempFile::path() const {
    return QDir(folder.path()).filePath(decodeFileName(name));
}
