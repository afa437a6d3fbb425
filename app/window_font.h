// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QFont>

// The font every control of the windows uses: "MS Sans Serif", 11 pixels high. Where it is
// missing (on Linux it always is), Liberation Sans stands in, else a sans serif of its widths,
// so that the fixed layout keeps its texts whole.
QFont windowFont();
