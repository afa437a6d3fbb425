// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "pipeline/progress_text.h"

#include <QWidget>

class QLabel;
class QProgressBar;
struct ConversionOutcome;
struct ConversionProgress;

// The band under the progress log: while a run goes on, how far it is and how long it will
// still take, and what a stop or a close will do; afterwards, how it ended; for a start that was
// refused, why. Hidden until the first start. Whatever a press changes is drawn at once.
class ProgressBand : public QWidget {
    Q_OBJECT
public:
    explicit ProgressBand(QWidget* parent = nullptr);

    void runStarted();
    void showProgress(const ConversionProgress& progress);
    // A stop was taken: it ends the run after the current block, or after the current source
    // (`afterSource`); `closing`: then the window closes.
    void showStopping(bool afterSource, bool closing);
    // A second close ends the run at once.
    void showAborting();
    void runEnded(const ConversionOutcome& outcome);
    // A start that began nothing, with the reason as the log gives it.
    void showRefusal(const QString& reason);

    // Seconds since the last run began.
    double secondsSinceStart() const;

    QProgressBar* bar;
    QLabel* text;

private:
    void showNow(const QString& shown);

    RedrawThrottle redraw;
    QString note; // what a stop or a close will do, shown before the progress
    bool closing = false;
};
