// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/destination_file.h"

#include "common/error_text.h"
#include "common/file_names.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

// Long enough to tell the new file's owner, short enough for any file system's name limit.
constexpr int kKeptNameLength = 60;
// As many links as the system itself follows in one name.
constexpr int kMostLinks = 40;
constexpr int kCapFowner = 3;

// A field of /proc/self/status ("Umask", "CapEff"), read as a number in `base`.
bool statusField(const QByteArray& field, int base, unsigned long long& value) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':')) {
            bool ok = false;
            value = line.mid(field.size() + 1).trimmed().toULongLong(&ok, base);
            return ok;
        }
    }
    return false;
}

mode_t currentUmask() {
    unsigned long long mask = 0;
    if (statusField("Umask", 8, mask))
        return static_cast<mode_t>(mask);
    const mode_t current = ::umask(022);
    ::umask(current);
    return current;
}

// Whether the process may replace files of others in a folder with the sticky bit.
bool mayReplaceOthersFiles() {
    unsigned long long capabilities = 0;
    if (statusField("CapEff", 16, capabilities))
        return (capabilities >> kCapFowner) & 1;
    return ::geteuid() == 0;
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

// A link is followed when its owner is the one who follows it, root, or the owner of the
// folder it lies in: the rule the system applies in shared folders, here in every folder.
bool trustedLink(const QByteArray& path, const struct stat& link) {
    if (link.st_uid == ::geteuid() || link.st_uid == 0)
        return true;
    struct stat folder {};
    return ::stat(folderOf(path).constData(), &folder) == 0 && folder.st_uid == link.st_uid;
}

} // namespace

DestinationFile::DestinationFile(const QString& destination) {
    resolve(encodeFileName(destination));
    if (!refused.isEmpty() || direct)
        return;
    struct stat st {};
    if (::stat(target.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        direct = true;
        made = st;
        return;
    }
    name = target.mid(target.lastIndexOf('/') + 1);
    const QByteArray folderPath = folderOf(target);
    folder = ::open(folderPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    folderSyncable = folder >= 0;
    // A folder one may write to but not read still takes the new file.
    if (folder < 0 && errno == EACCES)
        folder = ::open(folderPath.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        lastError = errno;
        return;
    }
    const long longest = ::fpathconf(folder, _PC_NAME_MAX);
    if (name.size() > (longest > 0 ? longest : NAME_MAX)) {
        lastError = ENAMETOOLONG;
        return;
    }
    existed =
        ::fstatat(folder, name.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode);
}

DestinationFile::~DestinationFile() {
    discard();
    if (folder >= 0 && partName.isEmpty())
        ::close(folder);
}

void DestinationFile::resolve(const QByteArray& given) {
    target = given;
    QByteArray path = given;
    for (int hop = 0; hop < kMostLinks; ++hop) {
        struct stat link {};
        if (::lstat(path.constData(), &link) != 0 || !S_ISLNK(link.st_mode))
            break;
        if (!trustedLink(path, link)) {
            refused = QStringLiteral("Die Zieldatei ist ein Verweis, den ein anderer Benutzer "
                                     "angelegt hat, und wird nicht verfolgt - bitte wählen Sie "
                                     "eine andere Zieldatei.");
            return;
        }
        QByteArray to(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.constData(), to.data(), to.size());
        if (length < 0)
            break;
        to.truncate(length);
        path = to.startsWith('/') ? to : folderOf(path) + '/' + to;
    }
    if (path == given)
        return;
    // A link the system resolves its own way (/dev/stdout to a pipe) is left to the system, and
    // whatever it names is written directly.
    struct stat byName {};
    struct stat atEnd {};
    if (::stat(given.constData(), &byName) == 0 &&
        (::stat(path.constData(), &atEnd) != 0 || atEnd.st_dev != byName.st_dev ||
         atEnd.st_ino != byName.st_ino)) {
        direct = true;
        made = byName;
        return;
    }
    target = path;
}

QString DestinationFile::refusal() const {
    if (!refused.isEmpty())
        return refused;
    if (!existed)
        return {};
    // A file without any write permission is not the user's to replace, even for root.
    if ((old.st_mode & 0222) == 0 || ::faccessat(folder, name.constData(), W_OK, 0) != 0)
        return QStringLiteral("Die Zieldatei ist schreibgeschützt und wird nicht ersetzt - "
                              "bitte wählen Sie eine andere Zieldatei.");
    struct stat dir {};
    if (::fstat(folder, &dir) == 0 && (dir.st_mode & S_ISVTX) && old.st_uid != ::geteuid() &&
        dir.st_uid != ::geteuid() && !mayReplaceOthersFiles())
        return QStringLiteral("Die Zieldatei gehört einem anderen Benutzer, und in ihrem Ordner "
                              "darf nur der Besitzer sie ersetzen - bitte wählen Sie eine andere "
                              "Zieldatei.");
    return {};
}

bool DestinationFile::prepare() {
    if (fd >= 0)
        return true;
    if (direct) {
        fd = ::open(target.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            lastError = errno;
            return false;
        }
        // Only what was looked at is written: not a file that took its name since.
        struct stat now {};
        if (::fstat(fd, &now) != 0 || now.st_dev != made.st_dev || now.st_ino != made.st_ino) {
            closeFile();
            lastError = EEXIST;
            return false;
        }
        return true;
    }
    if (folder < 0 || lastError != 0) {
        lastError = lastError ? lastError : ENOENT;
        return false;
    }
    const QByteArray stem =
        '.' + encodeFileName(decodeFileName(name).left(kKeptNameLength)) + ".tavimo-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray candidate =
            stem + QByteArray::number(QRandomGenerator::system()->generate64(), 36) + ".part";
        // Readable too: a chapter tag is fitted in front of the sound once that is written.
        fd = ::openat(folder, candidate.constData(),
                      O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            partName = candidate;
            partNote = RunFileNote(folder, partName);
            ::fstat(fd, &made);
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    lastError = errno;
    return false;
}

QString DestinationFile::commit() {
    if (direct)
        return {};
    if (fd < 0)
        return systemErrorText(lastError ? lastError : ENOENT);
    if (existed && (old.st_uid != made.st_uid || old.st_gid != made.st_gid)) {
        // Root gives the file back to its owner; anyone else keeps at least its group if allowed.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0 &&
            ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
            // Neither is allowed: the new file is the user's own, in the folder's group.
        }
    }
    // The old file's permissions, but never set-user-id or set-group-id on a file of this run.
    ::fchmod(fd, existed ? old.st_mode & 01777 : 0666 & ~currentUmask());
    if (::fsync(fd) != 0 && errno != EINVAL) {
        const int error = errno;
        discard();
        return systemErrorText(error);
    }
    // Someone who may write to the folder could have put something else under the new name.
    if (!stillOurs()) {
        partNote.forget();
        partName.clear();
        closeFile();
        return QStringLiteral("Die neue Datei wurde während der Umwandlung ersetzt oder entfernt");
    }
    if (::renameat(folder, partName.constData(), folder, name.constData()) != 0) {
        const int error = errno;
        discard();
        return systemErrorText(error);
    }
    if (partNote.forget())
        partName.clear();
    if (folderSyncable)
        ::fsync(folder);
    closeFile();
    return {};
}

void DestinationFile::discard() {
    if (!partName.isEmpty()) {
        if (fd >= 0 && stillOurs())
            ::unlinkat(folder, partName.constData(), 0);
        // A signal handler removing it now needs the folder until the process has ended.
        if (!partNote.forget())
            return;
        partName.clear();
    }
    closeFile();
}

bool DestinationFile::stillOurs() const {
    struct stat now {};
    return ::fstatat(folder, partName.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
           now.st_dev == made.st_dev && now.st_ino == made.st_ino;
}

void DestinationFile::closeFile() {
    if (fd >= 0)
        ::close(std::exchange(fd, -1));
}
