// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <ebur128.h>

#include <memory>

struct Ebur128Free {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};
// One libebur128 measurement, destroyed with the library's own function.
using Ebur128Ptr = std::unique_ptr<ebur128_state, Ebur128Free>;
