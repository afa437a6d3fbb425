// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <stdexcept>

// The program's plain error: it carries a message (UTF-8) and nothing else.
class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An input/output error of a file, such as "Disk full" or "Read beyond end of file".
class EInOutError : public Exception {
public:
    using Exception::Exception;
};
