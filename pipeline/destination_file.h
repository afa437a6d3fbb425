// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QString>

// Where a run writes its destination. A file the user already has is replaced only by a complete
// new one: the run writes a new file beside it, which takes the destination's place in commit()
// and is removed otherwise. A destination that exists but is not a regular file (a pipe, a
// device) is written directly, as nothing of it could be kept anyway.
class DestinationFile {
public:
    explicit DestinationFile(const QString& destination);
    ~DestinationFile();
    DestinationFile(const DestinationFile&) = delete;
    DestinationFile& operator=(const DestinationFile&) = delete;

    // Why the destination must not be touched at all (German), or empty.
    QString refusal() const;

    // Reserves the name the run writes to. False when its folder cannot take a file; then
    // error() holds the system's error number.
    bool prepare();
    // The name the run writes to: the reserved new file, or the destination itself when it is
    // written directly. After a failed prepare() a new name in the destination's folder, which
    // cannot be created either: never the file the user has.
    const QString& writeName() const { return writing; }
    bool writesDirectly() const { return direct; }
    int error() const { return lastError; }

    // Puts the written file in the destination's place. An empty text on success, else why not.
    QString commit();
    // Removes what the run wrote, unless it was written directly.
    void discard();

private:
    QString target;  // the destination, symbolic links followed
    QString writing; // where the run writes
    bool reserved = false;
    bool existed = false;
    bool direct = false;
    bool readOnly = false;
    unsigned mode = 0;
    int lastError = 0;
};
