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
