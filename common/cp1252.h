// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QByteArray>
#include <QString>

// Texts crossing the codec library's boundary are Windows-1252 (the Western code page).
QByteArray toCp1252(const QString& text);
QString fromCp1252(const char* text);
QString fromCp1252(const QByteArray& text);
