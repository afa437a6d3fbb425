#pragma once

#include "pipeline/conversion_host.h"
#include "support/qt_print.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>

// A window for the conversion: keeps the log and the button states, and lets a test act
// inside the message pump as a user clicking would.
class FakeHost : public ConversionHost {
public:
    ConversionSettings settings{
        QString(), {}, QStringLiteral("44100"), QStringLiteral("128"), true};
    QStringList log;
    QStringList boxes;
    bool stop = false;
    bool busy = false;
    int busyChanges = 0;
    int pumps = 0;
    TACMConvertor* convertor = nullptr;
    // Runs inside processEvents with the number of that pump, counting from 1.
    std::function<void(int pump)> onPump;

    ConversionSettings conversionSettings() const override { return settings; }
    void AddProgressLine(const QString& line) override { log.append(line); }
    void TrimProgressLog() override {
        while (log.size() >= 11)
            log.removeFirst();
    }
    void processEvents() override {
        ++pumps;
        if (onPump)
            onPump(pumps);
    }
    bool stopRequested() const override { return stop; }
    void setStopRequested(bool requested) override { stop = requested; }
    void setButtonsBusy(bool isBusy) override {
        busy = isBusy;
        ++busyChanges;
    }
    void showErrorMessage(const QString& text) override { boxes.append(text); }
    TACMConvertor& wavtowav() override {
        if (!convertor)
            throw std::logic_error("no convertor given to the fake window");
        return *convertor;
    }
};
