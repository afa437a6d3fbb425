#include "cli/console_host.h"

#include "acm/ACMConvertor.h"
#include "cli/stop_signals.h"

#include <QCoreApplication>

#include <ostream>

ConsoleHost::ConsoleHost(ConversionSettings conversion, AcmLibrary& acm, std::ostream& output,
                         std::ostream& errors)
    : settings(std::move(conversion)), out(output), err(errors),
      convertor(std::make_unique<TACMConvertor>(acm)) {
    loadWavToWavDescription(*convertor);
}

ConsoleHost::~ConsoleHost() = default;

void ConsoleHost::AddProgressLine(const QString& line) {
    lines << line;
    if (line == kCompletionLine)
        sawCompletion = true;
    out << line.toStdString() << '\n' << std::flush;
}

void ConsoleHost::TrimProgressLog() {
    while (lines.size() >= 11)
        lines.removeFirst();
}

void ConsoleHost::processEvents() {
    QCoreApplication::processEvents();
    if (takeStopSignal() && stopAction)
        stopAction();
}

void ConsoleHost::showErrorMessage(const QString& text) {
    err << text.toStdString() << '\n' << std::flush;
}
