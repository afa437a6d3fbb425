// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "pipeline/conversion_host.h"
#include "pipeline/conversion_outcome.h"
#include "support/qt_print.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// A window for the conversion: keeps the log, the boxes and what the run told it, and lets a
// test act inside the message pump as a user clicking would.
class FakeHost : public ConversionHost {
public:
    ConversionSettings settings;
    QStringList log;
    QStringList boxes;
    int pumps = 0;
    std::vector<bool> runStates;              // every runStateChanged, in order
    std::vector<ConversionProgress> progress; // every report, in order
    bool pendingStop = false;                 // what stopPending() answers
    QString abort;                            // what abortReason() answers
    // Runs inside processEvents with the number of that pump, counting from 1.
    std::function<void(int pump)> onPump;

    ConversionSettings conversionSettings() const override { return settings; }
    void AddProgressLine(const QString& line) override { log.append(line); }
    void TrimProgressLog() override {
        while (log.size() > kProgressLogCap)
            log.removeFirst();
    }
    void processEvents() override {
        ++pumps;
        if (onPump)
            onPump(pumps);
    }
    void showErrorMessage(const QString& text) override { boxes.append(text); }
    void runStateChanged(bool isRunning) override { runStates.push_back(isRunning); }
    void progressChanged(const ConversionProgress& report) override { progress.push_back(report); }
    bool stopPending() override { return pendingStop; }
    QString abortReason() override { return abort; }
};
