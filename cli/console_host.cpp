// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "cli/console_host.h"

#include "cli/stop_signals.h"
#include "common/file_names.h"
#include "pipeline/conversion_job.h"
#include "pipeline/progress_text.h"

#include <QCoreApplication>

#include <ostream>

namespace {

// Back to the start of the terminal's line, and that line erased.
constexpr char kEraseLine[] = "\r\033[K";

} // namespace

ConsoleHost::ConsoleHost(ConversionSettings conversion, std::ostream& output, std::ostream& errors,
                         bool quietLog, bool progressLine)
    : settings(std::move(conversion)), out(output), err(errors), quiet(quietLog),
      showProgress(progressLine) {}

void ConsoleHost::AddProgressLine(const QString& line) {
    lines << line;
    if (quiet)
        return;
    // A log line on the same terminal must not land behind the progress line.
    clearProgressLine();
    // Names in a line are shown, never obeyed by the terminal.
    out << visibleName(line).toStdString() << '\n' << std::flush;
    // Whoever reads the log has gone (a closed pipe): a run nobody can follow is ended.
    if (!out && outputFailure.isEmpty())
        outputFailure =
            QStringLiteral("Die Protokollzeilen lassen sich nicht mehr ausgeben (die "
                           "Standardausgabe ist geschlossen); die Umwandlung wurde abgebrochen");
}

void ConsoleHost::TrimProgressLog() {
    while (lines.size() > kProgressLogCap)
        lines.removeFirst();
}

void ConsoleHost::processEvents() {
    QCoreApplication::processEvents();
    if (stopPending())
        job->requestStop();
}

void ConsoleHost::showErrorMessage(const QString& text) {
    err << visibleName(text).toStdString() << '\n' << std::flush;
}

bool ConsoleHost::stopPending() {
    return job && !job->stopRequested() && stopSignal() != 0;
}

QString ConsoleHost::abortReason() {
    return outputFailure;
}

void ConsoleHost::runStateChanged(bool running) {
    if (running)
        redraw.start();
    else
        clearProgressLine();
}

void ConsoleHost::progressChanged(const ConversionProgress& progress) {
    if (!showProgress)
        return;
    const qint64 now = redraw.redrawDue();
    if (now < 0)
        return;
    const QString text = progressText(progressFigures(progress, now / 1000.0));
    err << kEraseLine << text.toStdString() << std::flush;
    progressShown = true;
}

void ConsoleHost::clearProgressLine() {
    if (!progressShown)
        return;
    err << kEraseLine << std::flush;
    progressShown = false;
}
