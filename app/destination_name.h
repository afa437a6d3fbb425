// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QString>

// The longest first word the reading rule takes. A longer one reads as no name at all, so that
// no file is ever written at a silently shortened path.
inline constexpr int kMaxDestinationWord = 256;

// The destination name an edit's text stands for: the whole text when it names an existing
// file, else its first word, where double quotes group blanks into the word and are dropped.
QString readDestinationName(const QString& text);

// True when reading `text` took only its first word and left other words behind: an unquoted
// name with blanks, which would name another file than the user meant.
bool destinationWordsDropped(const QString& text);

// The text that shows a name in the edit: wrapped in double quotes when it holds a blank and
// does not begin with a quote, so that reading gives it back whole.
QString quoteDestinationName(const QString& name);

// Not empty, and none of < > " [ ] |.
bool isValidFileName(const QString& name);
