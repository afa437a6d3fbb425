// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "common/available_cores.h"

#include <sched.h>

#include <gtest/gtest.h>

namespace {

// The mask read is the calling thread's, so narrowing it shows in the count.
TEST(AvailableCores, CountsTheCoresTheAffinityMaskAllows) {
    cpu_set_t all;
    ASSERT_EQ(0, sched_getaffinity(0, sizeof all, &all));
    EXPECT_EQ(unsigned(CPU_COUNT(&all)), availableCores());
    int first = 0;
    while (!CPU_ISSET(first, &all))
        ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(0, sched_setaffinity(0, sizeof one, &one));
    EXPECT_EQ(1u, availableCores());
    ASSERT_EQ(0, sched_setaffinity(0, sizeof all, &all));
}

} // namespace
