// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "platform/mcl/source_interrupt.h"

#include <atomic>

namespace {

// Lock-free, so that a signal handler can set it whatever the interrupted thread was doing.
std::atomic<bool> raised{false};
static_assert(std::atomic<bool>::is_always_lock_free);

} // namespace

void raiseSourceInterrupt() noexcept {
    raised.store(true, std::memory_order_relaxed);
}

void clearSourceInterrupt() noexcept {
    raised.store(false, std::memory_order_relaxed);
}

bool sourceInterruptRaised() noexcept {
    return raised.load(std::memory_order_relaxed);
}
