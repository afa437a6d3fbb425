// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "platform/mcl/ffmpeg_log.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

Q_LOGGING_CATEGORY(lcMcl, "tavimo.mcl", QtWarningMsg)

namespace ffmpeg {

std::string errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

void silenceLogging() {
    av_log_set_level(AV_LOG_QUIET);
}

} // namespace ffmpeg
