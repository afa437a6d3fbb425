// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "pipeline/run_files.h"

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

// Where a run writes its destination. A file the user already has is replaced only by a complete
// new one: the run writes a new file beside it, which takes the destination's place in commit()
// and is removed otherwise. A destination that exists but is not a regular file (a pipe, a
// device) is written directly, as nothing of it could be kept anyway.
//
// Everything happens through descriptors: the folder is opened once, the new file is created in
// it exclusively (mode 0600, never through a link) and written through its descriptor, and it
// takes the destination's place by a rename within that folder. A destination that is a symbolic
// link is followed once, here, and only when the link is the user's, root's or the folder
// owner's.
class DestinationFile {
public:
    explicit DestinationFile(const QString& destination);
    ~DestinationFile();
    DestinationFile(const DestinationFile&) = delete;
    DestinationFile& operator=(const DestinationFile&) = delete;

    // Why the destination must not be touched at all (German), or empty.
    QString refusal() const;

    // Creates the new file, or opens the destination that is written directly (which waits for
    // a reader of a FIFO). False when that fails; then error() holds the system's error number.
    bool prepare();
    // What the run writes through, once prepared; it stays this object's. The new file is open
    // for reading as well.
    int descriptor() const { return fd; }
    bool writesDirectly() const { return direct; }
    int error() const { return lastError; }

    // Puts the written file in the destination's place, with the old file's permissions (set-id
    // bits cleared), owner and group where the process may give them, and on the disk before
    // and after the rename. An empty text on success, else why not.
    QString commit();
    // Removes what the run wrote, unless it was written directly.
    void discard();

private:
    void resolve(const QByteArray& given);
    bool stillOurs() const;
    void closeFile();

    QByteArray target; // the destination, a link followed
    QByteArray name;   // its last part, within `folder`
    int folder = -1;
    bool folderSyncable = false; // opened for reading, so that it can be synced
    int fd = -1;
    QByteArray partName;
    RunFileNote partNote;
    struct stat old {};  // the file replaced, when `existed`
    struct stat made {}; // the new file, or the direct destination as first seen
    bool existed = false;
    bool direct = false;
    QString refused;
    int lastError = 0;
};
