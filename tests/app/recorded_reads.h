// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "fakes/fake_mcl.h"

// The sound reads made on the source opened with this path: shows where a stop took effect.
inline int readsOf(const FakeMcl& mcl, const std::string& path) {
    int reads = 0;
    bool reading = false;
    for (const std::string& call : mcl.calls) {
        if (call.starts_with("MclReadOpen("))
            reading = call.starts_with("MclReadOpen(" + path + ",");
        else if (reading && call.starts_with("MclReadSound("))
            ++reads;
    }
    return reads;
}
