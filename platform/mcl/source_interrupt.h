// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

// A process-wide stop for sources that wait: a FIFO, socket or terminal whose writer is slow.
// Raising it makes an open or read of such a source give up (the library then reports
// MclError::Aborted); regular files never wait, and open and read alike whether it is raised or
// not. It stays raised until cleared, so a conversion clears it before it opens its first
// source.
//
// raiseSourceInterrupt is async-signal-safe: a SIGINT handler may call it.
void raiseSourceInterrupt() noexcept;
void clearSourceInterrupt() noexcept;
bool sourceInterruptRaised() noexcept;
