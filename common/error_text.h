// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QString>

// An error's message as the program shows it: with a full stop appended when its last
// character comes after '.' in the character table.
QString withFullStop(const QString& message);

// What a system error number means, in German; the C library's own text for the rare ones.
QString systemErrorText(int errorNumber);
