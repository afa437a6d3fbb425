#pragma once

#include "pipeline/conversion_host.h"

#include <QStringList>

#include <functional>
#include <iosfwd>
#include <memory>

class AcmLibrary;

// The window's part in a conversion, on a console: log lines go to standard output as they are
// added, boxes to standard error, and a stop signal presses the stop button.
class ConsoleHost final : public ConversionHost {
public:
    ConsoleHost(ConversionSettings settings, AcmLibrary& acm, std::ostream& out, std::ostream& err);
    ~ConsoleHost() override;

    // What pressing the stop button does; run when a stop signal was noted.
    void setStopAction(std::function<void()> action) { stopAction = std::move(action); }
    // Whether the completion line was added.
    bool completed() const { return sawCompletion; }
    const QStringList& log() const { return lines; }

    ConversionSettings conversionSettings() const override { return settings; }
    void AddProgressLine(const QString& line) override;
    void TrimProgressLog() override;
    void processEvents() override;
    bool stopRequested() const override { return stop; }
    void setStopRequested(bool requested) override { stop = requested; }
    void setButtonsBusy(bool) override {}
    void showErrorMessage(const QString& text) override;
    TACMConvertor& wavtowav() override { return *convertor; }

private:
    ConversionSettings settings;
    std::ostream& out;
    std::ostream& err;
    std::unique_ptr<TACMConvertor> convertor;
    std::function<void()> stopAction;
    QStringList lines;
    bool stop = false;
    bool sawCompletion = false;
};

// The line that ends a conversion that ran to its end.
inline const QString kCompletionLine = QStringLiteral("Konvertierung beendet...");
