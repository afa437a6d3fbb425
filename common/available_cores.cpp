// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "common/available_cores.h"

#include <sched.h>

#include <algorithm>
#include <thread>

unsigned availableCores() {
    // A process pinned to some cores (taskset, a container's cpuset) must not start more
    // encoders than it can run side by side.
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0)
            return static_cast<unsigned>(count);
    }
    return std::max(1u, std::thread::hardware_concurrency());
}
