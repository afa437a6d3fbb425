// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/run_files.h"

#include <array>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

// A slot is filled by the thread that runs the conversion and emptied by it or by a signal
// handler on any thread; the state tells each side what it may touch.
enum SlotState : int { Free, Filling, Noted, Removing };

struct Slot {
    std::atomic<int> state{Free};
    int folder = -1;
    bool isFolder = false;
    char name[NAME_MAX + 1] = {};
};
static_assert(std::atomic<int>::is_always_lock_free);

// A run notes its temporary folder, one temporary file and the new destination file.
std::array<Slot, 8> table;

void removeNoted(bool folders) noexcept {
    for (Slot& slot : table) {
        if (slot.isFolder != folders)
            continue;
        int expected = Noted;
        if (!slot.state.compare_exchange_strong(expected, Removing))
            continue;
        ::unlinkat(slot.folder, slot.name, folders ? AT_REMOVEDIR : 0);
    }
}

constexpr int kEndingSignals[] = {SIGINT,    SIGTERM, SIGHUP,  SIGQUIT, SIGALRM, SIGUSR1, SIGUSR2,
                                  SIGVTALRM, SIGPROF, SIGABRT, SIGBUS,  SIGFPE,  SIGILL,  SIGSEGV};
constexpr int kIgnoredSignals[] = {SIGPIPE, SIGXFSZ};

extern "C" void removeRunFilesAndEnd(int signal) {
    removeRunFilesNow();
    // The handler was reset on entry: the signal now does what it would have done.
    ::raise(signal);
}

} // namespace

RunFileNote::RunFileNote(int folder, const QByteArray& name, bool isFolder) {
    if (name.isEmpty() || name.size() > NAME_MAX)
        return;
    for (std::size_t i = 0; i < table.size(); ++i) {
        int empty = Free;
        if (!table[i].state.compare_exchange_strong(empty, Filling))
            continue;
        table[i].folder = folder;
        table[i].isFolder = isFolder;
        std::memcpy(table[i].name, name.constData(), static_cast<std::size_t>(name.size()));
        table[i].name[name.size()] = '\0';
        table[i].state.store(Noted);
        slot = static_cast<int>(i);
        return;
    }
}

RunFileNote::RunFileNote(RunFileNote&& other) noexcept : slot(std::exchange(other.slot, -1)) {}

RunFileNote& RunFileNote::operator=(RunFileNote&& other) noexcept {
    if (this != &other) {
        forget();
        slot = std::exchange(other.slot, -1);
    }
    return *this;
}

bool RunFileNote::forget() {
    if (slot < 0)
        return true;
    // A slot a signal handler has taken stays taken: the process is ending.
    int expected = Noted;
    const bool forgotten =
        table[static_cast<std::size_t>(slot)].state.compare_exchange_strong(expected, Free);
    slot = -1;
    return forgotten;
}

void removeRunFilesNow() noexcept {
    removeNoted(false);
    removeNoted(true);
}

RunSignalGuard::RunSignalGuard() {
    const auto takeOver = [this](int signal, void (*handler)(int), int flags) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL ||
            (current.sa_flags & SA_SIGINFO))
            return;
        struct sigaction action {};
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        action.sa_flags = flags;
        if (::sigaction(signal, &action, nullptr) == 0)
            installed |= 1ULL << signal;
    };
    for (const int signal : kEndingSignals)
        takeOver(signal, removeRunFilesAndEnd, SA_RESETHAND | SA_RESTART);
    for (const int signal : kIgnoredSignals)
        takeOver(signal, SIG_IGN, 0);
}

RunSignalGuard::~RunSignalGuard() {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    for (int signal = 1; signal < 64; ++signal) {
        struct sigaction current {};
        if ((installed & (1ULL << signal)) && ::sigaction(signal, nullptr, &current) == 0 &&
            (current.sa_handler == removeRunFilesAndEnd || current.sa_handler == SIG_IGN))
            ::sigaction(signal, &fallback, nullptr);
    }
}
