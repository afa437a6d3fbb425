// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <array>

class MclLibrary;

// One text of the codec library and what it is to say in German instead.
struct MclTranslation {
    const char* text;        // UTF-8
    const char* replacement; // UTF-8
};

// The texts the window and the command-line tool hand the codec library at start, in order.
extern const std::array<MclTranslation, 20> kMclTranslations;

// Hands every pair to MclTranslate, in order, converted to Windows-1252.
void applyMclTranslations(MclLibrary& mcl);
