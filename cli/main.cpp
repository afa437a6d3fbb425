// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// tavimo-cli: the window's conversion on the command line, without a display.
#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "common/file_names.h"
#include "pipeline/conversion_job.h"
#include "platform/lame/mp3lame_library.h"
#include "platform/mcl/ffmpeg_mcl.h"
#include "platform/msacm/swr_acm.h"

#include <QCoreApplication>

#include <iostream>

#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tavimo"));
    // Taken as bytes: a source name need not be valid UTF-8 to name a file.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << decodeFileName(argv[i]);
    // Read once: the encoder needs the thread count before the run sees the rest.
    const CliParseResult parsed = parseCliArguments(arguments);
    FfmpegMcl mcl;
    Mp3LameLibrary lame(parsed.options.threads);
    SwrAcmLibrary acm;
    return runCli(parsed, ConversionLibraries{mcl, lame, acm}, std::cout, std::cerr,
                  ::isatty(STDERR_FILENO) == 1);
}
