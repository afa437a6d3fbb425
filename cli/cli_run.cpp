// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "cli/cli_run.h"

#include "cli/cli_options.h"
#include "cli/console_host.h"
#include "cli/stop_signals.h"
#include "common/error_text.h"
#include "common/file_names.h"
#include "pipeline/conversion_job.h"
#include "pipeline/mcl_translations.h"
#include "pipeline/progress_text.h"

#include <csignal>
#include <ostream>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// File names go out as the bytes they are, valid UTF-8 or not, but their control characters
// are shown rather than sent to the terminal.
void printLine(std::ostream& err, const QString& text) {
    err << encodeFileName(visibleName(text)).toStdString() << '\n' << std::flush;
}

// The destination is this process's standard output (-o /dev/stdout into a pipe or a file):
// then log lines must not go there too. A device such as /dev/null takes both unharmed.
bool writesToStandardOutput(const QString& destination) {
    struct stat output {};
    struct stat named {};
    return ::fstat(STDOUT_FILENO, &output) == 0 &&
           ::stat(encodeFileName(destination).constData(), &named) == 0 &&
           output.st_dev == named.st_dev && output.st_ino == named.st_ino &&
           !S_ISCHR(output.st_mode);
}

// What standard error says of a run beyond the log lines: the sources that did not go in whole,
// and how a run ended that did not simply finish.
void report(std::ostream& err, const ConversionOutcome& outcome) {
    using Kind = ConversionOutcome::Kind;
    for (const SourceProblem& problem : outcome.problems)
        printLine(err, QStringLiteral("%1 %2: %3")
                           .arg(problem.cutShort ? QStringLiteral("Nicht ganz umgewandelt:")
                                                 : QStringLiteral("Nicht umgewandelt:"),
                                problem.path, withFullStop(problem.reason)));
    if (outcome.kind == Kind::Stopped)
        printLine(err, withFullStop(outcomeSummary(outcome)));
    else if (outcome.kind == Kind::Failed || outcome.kind == Kind::Refused)
        printLine(err, withFullStop(outcome.reason));
}

} // namespace

int exitStatus(const ConversionOutcome& outcome, int stopSignal) {
    using Kind = ConversionOutcome::Kind;
    switch (outcome.kind) {
    case Kind::Finished:
        return kExitFinished;
    case Kind::FinishedWithProblems:
        return kExitWithProblems;
    case Kind::Stopped:
        return 128 + (stopSignal ? stopSignal : SIGINT);
    case Kind::None:
    case Kind::Failed:
    case Kind::Refused:
        break;
    }
    return kExitFailed;
}

int runCli(const QStringList& arguments, const ConversionLibraries& libraries, std::ostream& out,
           std::ostream& err, bool progressOnTerminal) {
    return runCli(parseCliArguments(arguments), libraries, out, err, progressOnTerminal);
}

int runCli(const CliParseResult& parsed, const ConversionLibraries& libraries, std::ostream& out,
           std::ostream& err, bool progressOnTerminal) {
    if (parsed.kind == CliParseResult::Help) {
        out << cliUsageText().toStdString() << std::flush;
        return kExitFinished;
    }
    if (parsed.kind == CliParseResult::Version) {
        out << cliVersionText().toStdString() << std::flush;
        return kExitFinished;
    }
    if (parsed.kind == CliParseResult::UsageError) {
        err << parsed.error.toStdString() << '\n' << cliUsageText().toStdString() << std::flush;
        return kExitUsage;
    }
    ConversionSettings settings;
    settings.destination = parsed.options.destination;
    settings.sources = parsed.options.sources;
    settings.sampleRate = parsed.options.sampleRate;
    settings.bitRate = parsed.options.bitRate;
    settings.internalDecoder = parsed.options.internalDecoder;
    settings.loudness = parsed.options.loudness;
    settings.loudnessTarget = parsed.options.loudnessTarget;
    settings.chapters = parsed.options.chapters;
    installSignalHandlers(!isWavDestination(settings.destination));

    std::ostream& log = writesToStandardOutput(settings.destination) ? err : out;
    ConsoleHost host(settings, log, err, parsed.options.quiet, progressOnTerminal);
    ConversionJob job(host, libraries);
    host.setJob(&job);
    try {
        applyMclTranslations(libraries.mcl);
        job.RunConversion();
    } catch (const std::exception& error) {
        // The outcome holds the message too; a failure before the run has none.
        if (job.outcome().kind == ConversionOutcome::Kind::None)
            printLine(err, withFullStop(QString::fromUtf8(error.what())));
    }
    report(err, job.outcome());
    return exitStatus(job.outcome(), stopSignal());
}
