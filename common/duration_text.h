// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QString>

// A length of time as the program shows it: "0:42 min" below an hour, "1:02:33 h" above.
QString durationText(double seconds);
