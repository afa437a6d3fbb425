// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QByteArray>
#include <QString>

// File names are bytes on this system, and not every name is valid UTF-8 (a file copied from an
// old Latin-1 disk, say). These two keep every name through a QString: UTF-8 where the bytes are
// UTF-8, each other byte as a lone surrogate U+DC80..U+DCFF, which no valid text contains.
QString decodeFileName(const QByteArray& bytes);
QByteArray encodeFileName(const QString& name);

// The name as it may be shown on a terminal, in a log line or in a list: every control
// character (C0, DEL, C1, also a C1 byte that is no UTF-8) written as an escape such as \x1b or
// \n, so that printing a name can neither move the cursor, set a title nor end a line.
QString visibleName(const QString& name);
