// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <string>
#include <vector>

// The calls a fake library received, as text, in the order they came.
class CallLog {
public:
    std::vector<std::string> calls;

    // The recorded calls whose text starts with `prefix`.
    std::vector<std::string> callsStartingWith(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& c : calls) {
            if (c.rfind(prefix, 0) == 0)
                out.push_back(c);
        }
        return out;
    }

protected:
    void record(std::string call) { calls.push_back(std::move(call)); }
};
