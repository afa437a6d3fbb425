// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "pipeline/run_files.h"

#include <QByteArray>
#include <QString>

// The run's own folder for temporary files, in the system's folder for them (TMPDIR): made
// with mode 0700 under an unpredictable name, so that no other user can see, swap or read what
// is in it, and removed with everything in it when the run ends (by a signal too). It is locked
// while the run lives; folders that killed runs of the same user left behind are removed when
// the next one is made.
class TempFolder {
public:
    // Raises EInOutError when no folder can be made.
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    int descriptor() const { return fd; }
    // Where it is, for messages.
    const QString& path() const { return where; }

private:
    void release();

    int parent = -1;
    int fd = -1;
    QByteArray name;
    QString where;
    RunFileNote note;
};

// One temporary file in the run's folder, named prefix<n>extension with the first n, counting
// from 0, that no file there has; created exclusively, mode 0600, open for reading and writing,
// and never opened by its name again. Removed when destroyed.
class TempFile {
public:
    // Raises EInOutError when it cannot be created.
    TempFile(TempFolder& folder, const QString& prefix, const QString& extension);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int descriptor() const { return fd; }
    // Its full name, for messages.
    QString path() const;

private:
    TempFolder& folder;
    int fd = -1;
    QByteArray name;
    RunFileNote note;
};

// The pid a run folder's name carries, or 0 for any other name.
long runFolderPid(const char* name);
