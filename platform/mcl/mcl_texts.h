// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "platform/mcl/mcl_library.h"

#include <map>
#include <string>
#include <string_view>

// The translation table: the texts the library produces, in Windows-1252, each replaced by the
// program's wording where it has given one.
class MclTexts {
public:
    static const char* english(MclError error);

    // A later translation of the same text replaces the earlier one.
    void add(std::string text, std::string replacement);
    // `text` as the program wants it. A text with "%s" is looked up as it stands and then takes
    // `fileName` (UTF-8) in place of the "%s".
    std::string translate(std::string_view text, std::string_view fileName = {}) const;

private:
    std::map<std::string, std::string, std::less<>> replacements;
};
