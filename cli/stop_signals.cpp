// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "cli/stop_signals.h"

#include "platform/mcl/source_interrupt.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

std::atomic<int> firstSignal{0};
std::atomic<bool> secondSignal{false};
// Made before any signal can come, so the handler only writes it.
char stopMessage[512];
std::size_t stopMessageLength = 0;

constexpr char kMp3Message[] =
    "Die Umwandlung wird angehalten, sobald die Quelldatei, die gerade kodiert wird, fertig "
    "ist.\nNoch einmal Strg+C bricht sofort ab; die Zieldatei bleibt dann, wie sie war.\n";
constexpr char kWavMessage[] =
    "Die Umwandlung wird nach dem aktuellen Block angehalten.\n"
    "Noch einmal Strg+C bricht sofort ab; die Zieldatei bleibt dann, wie sie war.\n";

extern "C" void noteStopSignal(int signal) {
    // A source that keeps the run waiting (a FIFO) gives up, so the stop is not held up by it.
    raiseSourceInterrupt();
    int none = 0;
    if (firstSignal.compare_exchange_strong(none, signal)) {
        // write() is safe here; a terminal that is gone simply takes nothing.
        [[maybe_unused]] const ssize_t ignored =
            ::write(STDERR_FILENO, stopMessage, stopMessageLength);
        return;
    }
    secondSignal = true;
}

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "signal handlers may only touch lock-free atomics");

} // namespace

void installSignalHandlers(bool mp3Road) {
    firstSignal = 0;
    secondSignal = false;
    // On a terminal the message replaces the progress line instead of running on behind it.
    const char* erase = ::isatty(STDERR_FILENO) == 1 ? "\r\033[K" : "";
    std::snprintf(stopMessage, sizeof stopMessage, "%s%s", erase,
                  mp3Road ? kMp3Message : kWavMessage);
    stopMessageLength = std::strlen(stopMessage);
    struct sigaction action {};
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (const int signal : {SIGPIPE, SIGXFSZ})
        sigaction(signal, &ignore, nullptr);
}

int stopSignal() {
    return firstSignal.load();
}

bool abortSignalled() {
    return secondSignal.load();
}
