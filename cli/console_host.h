// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "pipeline/conversion_host.h"
#include "pipeline/progress_text.h"

#include <QStringList>

#include <iosfwd>

class ConversionJob;

// The window's part in a conversion, on a console: log lines go to standard output as they are
// added, boxes to standard error, and stop signals act as the stop button.
class ConsoleHost final : public ConversionHost {
public:
    // `quiet`: no log lines on `out`. `progressLine`: `err` is a terminal, where one line shows
    // how far the run is, redrawn in place.
    ConsoleHost(ConversionSettings settings, std::ostream& out, std::ostream& err,
                bool quiet = false, bool progressLine = false);

    // The job a stop signal stops.
    void setJob(ConversionJob* conversion) { job = conversion; }
    const QStringList& log() const { return lines; }

    ConversionSettings conversionSettings() const override { return settings; }
    void AddProgressLine(const QString& line) override;
    void TrimProgressLog() override;
    void processEvents() override;
    void showErrorMessage(const QString& text) override;
    bool stopPending() override;
    QString abortReason() override;
    void runStateChanged(bool running) override;
    void progressChanged(const ConversionProgress& progress) override;

private:
    void clearProgressLine();

    ConversionSettings settings;
    std::ostream& out;
    std::ostream& err;
    ConversionJob* job = nullptr;
    QStringList lines;
    QString outputFailure;
    bool quiet;
    bool showProgress;
    bool progressShown = false;
    RedrawThrottle redraw;
};
