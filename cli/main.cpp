// tavimo-cli: the window's conversion on the command line, without a display.
#include "cli/cli_options.h"
#include "cli/cli_run.h"
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
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    FfmpegMcl mcl;
    Mp3LameLibrary lame(parseCliArguments(arguments).options.threads);
    SwrAcmLibrary acm;
    return runCli(arguments, ConversionLibraries{mcl, lame, acm}, std::cout, std::cerr,
                  ::isatty(STDERR_FILENO) == 1);
}
