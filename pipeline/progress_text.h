// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

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
