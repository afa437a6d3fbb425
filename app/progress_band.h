// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QElapsedTimer>
#include <QWidget>

class QLabel;
class QProgressBar;
struct ConversionOutcome;
struct ConversionProgress;

// The band under the progress log: while a run goes on, how far it is and how long it will
// still take; afterwards, how it ended. Hidden until the first run begins.
class ProgressBand : public QWidget {
    Q_OBJECT
public:
    explicit ProgressBand(QWidget* parent = nullptr);

    void runStarted();
    void showProgress(const ConversionProgress& progress);
    void runEnded(const ConversionOutcome& outcome);

    QProgressBar* bar;
    QLabel* text;

private:
    QElapsedTimer sinceStart;
    qint64 lastShown = -1;
};
