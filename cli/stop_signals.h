// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

// SIGINT, SIGTERM and SIGHUP stop a conversion as the stop button does; the first one says at
// once, on standard error, where the stop takes effect. A second one ends the process at once,
// with status 1, after removing the run's temporary files and its unfinished new destination
// file. A signal the caller set to be ignored (nohup) stays ignored. SIGPIPE and SIGXFSZ are
// ignored, so a write they would have stopped fails like any other.
// `mp3Road` chooses what the first signal's message says.
void installSignalHandlers(bool mp3Road);
// The first stop signal that arrived, 0 while none has.
int stopSignal();
