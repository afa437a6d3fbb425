// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "cli/stop_signals.h"

#include "cli/cli_run.h"
#include "pipeline/run_files.h"
#include "platform/mcl/source_interrupt.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace {

std::atomic<int> firstSignal{0};
// Made before any signal can come, so the handler only writes them.
char stopMessage[512];
std::size_t stopMessageLength = 0;
char abortMessage[256];
std::size_t abortMessageLength = 0;

constexpr char kMp3Message[] =
    "Die Umwandlung wird angehalten, sobald die Quelldatei, die gerade kodiert wird, fertig "
    "ist.\nNoch einmal Strg+C bricht sofort ab; die Zieldatei bleibt dann, wie sie war.\n";
constexpr char kWavMessage[] =
    "Die Umwandlung wird nach dem aktuellen Block angehalten.\n"
    "Noch einmal Strg+C bricht sofort ab; die Zieldatei bleibt dann, wie sie war.\n";
constexpr char kAbortMessage[] =
    "Die Umwandlung wurde sofort abgebrochen; die Zieldatei bleibt, wie sie war.\n";

// Standard error gets only what it takes at once: a handler must not wait for a reader that has
// stopped reading. write() and poll() are safe in a handler; a terminal that is gone takes
// nothing.
void tell(const char* text, std::size_t length) {
    pollfd error{STDERR_FILENO, POLLOUT, 0};
    if (::poll(&error, 1, 0) == 1 && (error.revents & POLLOUT)) {
        const ssize_t written = ::write(STDERR_FILENO, text, length);
        (void)written;
    }
}

extern "C" void noteStopSignal(int signal) {
    // A source that keeps the run waiting (a FIFO) gives up, so the stop is not held up by it.
    raiseSourceInterrupt();
    int none = 0;
    if (firstSignal.compare_exchange_strong(none, signal)) {
        tell(stopMessage, stopMessageLength);
        return;
    }
    // The second one ends the run at once, whatever it waits for (a FIFO without a reader, a
    // pipe nobody reads): what the run made goes, an existing destination stays as it was.
    removeRunFilesNow();
    tell(abortMessage, abortMessageLength);
    ::_exit(kExitFailed);
}

static_assert(std::atomic<int>::is_always_lock_free,
              "signal handlers may only touch lock-free atomics");

} // namespace

void installSignalHandlers(bool mp3Road) {
    firstSignal = 0;
    // On a terminal the messages replace the progress line instead of running on behind it.
    const char* erase = ::isatty(STDERR_FILENO) == 1 ? "\r\033[K" : "";
    std::snprintf(stopMessage, sizeof stopMessage, "%s%s", erase,
                  mp3Road ? kMp3Message : kWavMessage);
    stopMessageLength = std::strlen(stopMessage);
    std::snprintf(abortMessage, sizeof abortMessage, "%s%s", erase, kAbortMessage);
    abortMessageLength = std::strlen(abortMessage);
    struct sigaction action {};
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    // After the first signal a write or an open that waits goes on waiting.
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // What the caller set to be ignored (nohup) stays ignored.
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (const int signal : {SIGPIPE, SIGXFSZ})
        sigaction(signal, &ignore, nullptr);
}

int stopSignal() {
    return firstSignal.load();
}
