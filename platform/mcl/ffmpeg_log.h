// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QLoggingCategory>

#include <string>

// Library details for developers; off unless enabled (QT_LOGGING_RULES="tavimo.mcl.debug=true").
Q_DECLARE_LOGGING_CATEGORY(lcMcl)

namespace ffmpeg {

// FFmpeg's text for an error code.
std::string errorText(int code);

// Keeps FFmpeg's own messages off the console: users see only the library's texts.
void silenceLogging();

} // namespace ffmpeg
