#include "cli/console_host.h"

#include "cli/stop_signals.h"
#include "pipeline/conversion_job.h"

#include <QCoreApplication>

#include <ostream>

ConsoleHost::ConsoleHost(ConversionSettings conversion, std::ostream& output, std::ostream& errors)
    : settings(std::move(conversion)), out(output), err(errors) {}

void ConsoleHost::AddProgressLine(const QString& line) {
    lines << line;
    out << line.toStdString() << '\n' << std::flush;
    // Whoever reads the log has gone (a closed pipe): a run nobody can follow is ended.
    if (!out && outputFailure.isEmpty())
        outputFailure =
            QStringLiteral("Die Ausgabe der Protokollzeilen ist fehlgeschlagen (die "
                           "Standardausgabe ist geschlossen) - Umwandlung abgebrochen.");
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
    err << text.toStdString() << '\n' << std::flush;
}

bool ConsoleHost::stopPending() {
    return job && !job->stopRequested() && stopSignal() != 0;
}

QString ConsoleHost::abortReason() {
    if (abortSignalled())
        return QStringLiteral("Die Umwandlung wurde sofort abgebrochen; die Zieldatei bleibt, "
                              "wie sie war.");
    return outputFailure;
}
