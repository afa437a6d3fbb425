// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QByteArray>

// The files a running conversion has made and must not leave behind: its temporary folder and
// files, and the new destination file before it takes the old one's place. Each is noted by
// the open folder that holds it and its name there, where a signal handler can reach it, so that
// a run ended by a signal removes them too.
class RunFileNote {
public:
    RunFileNote() = default;
    // `folder` stays open at least as long as the note.
    RunFileNote(int folder, const QByteArray& name, bool isFolder = false);
    ~RunFileNote() { forget(); }
    RunFileNote(RunFileNote&& other) noexcept;
    RunFileNote& operator=(RunFileNote&& other) noexcept;
    RunFileNote(const RunFileNote&) = delete;
    RunFileNote& operator=(const RunFileNote&) = delete;

    // The file is gone or has become the user's: it is no longer removed. False when a signal
    // handler is removing it right now; its folder must then stay open, as the process is ending.
    bool forget();

private:
    int slot = -1;
};

// Removes every noted file, then every noted folder. Async-signal-safe.
void removeRunFilesNow() noexcept;

// For the length of a run: a signal that would end the process at once (SIGTERM, SIGINT,
// SIGHUP, SIGQUIT and the like) first removes the run's files, where nobody has set what the
// signal does; SIGPIPE and SIGXFSZ, left at their default, are ignored instead, so that a write
// they would have ended fails as any other. What was set before is restored at the end.
class RunSignalGuard {
public:
    RunSignalGuard();
    ~RunSignalGuard();
    RunSignalGuard(const RunSignalGuard&) = delete;
    RunSignalGuard& operator=(const RunSignalGuard&) = delete;

private:
    unsigned long long installed = 0; // bit n: signal n was taken over
};
