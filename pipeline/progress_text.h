// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QElapsedTimer>
#include <QString>

struct ConversionOutcome;
struct ConversionProgress;

// How far a run is, for people: the share done and the time it will still take, estimated
// from the time it has taken so far.
struct ProgressFigures {
    int percent = -1;             // 0..100; negative while no total is known
    double elapsedSeconds = 0;    // since the run began
    double remainingSeconds = -1; // negative while there is nothing to estimate from
};

ProgressFigures progressFigures(const ConversionProgress& progress, double elapsedSeconds);
// "42 % - 1:23 min vergangen, noch 2:13 min"; without a total only the time taken.
QString progressText(const ProgressFigures& figures);
// One line on how a run ended, e.g. "Fertig: 5 Quelldateien, 1:02:33 h".
QString outcomeSummary(const ConversionOutcome& outcome);

// When a run's progress is drawn again. It is reported after every block, hundreds of times a
// second; a few redraws a second will do.
class RedrawThrottle {
public:
    static constexpr qint64 kPeriodMilliseconds = 250;

    // A run begins: time counts from now, and the next report is drawn.
    void start();
    // Milliseconds since start() when a report now is to be drawn (the first after start(),
    // then one per period), and it then counts as drawn; -1 when it is not.
    qint64 redrawDue();
    // Milliseconds since start(); 0 before the first.
    qint64 elapsed() const;

private:
    QElapsedTimer clock;
    qint64 lastDrawn = -1;
};
