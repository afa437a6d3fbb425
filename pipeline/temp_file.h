// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QString>

// The first name folder/prefix<n>extension, counting n from 0, under which no file exists in
// the system's temporary folder. The name is reserved by creating the file exclusively.
QString MakeTempFileName(const QString& prefix, const QString& extension);
