// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QString>

#include <optional>

struct ConversionOutcome;

// A desktop notification at the end of a run.
struct RunNotice {
    QString title;
    QString body; // what the band says
};

// Runs that take longer than this are left to run in the background.
inline constexpr double kNoticeAfterSeconds = 10;

// The notice for a run's end: only a run that took longer than kNoticeAfterSeconds and ended
// while the window was not active has one; a refused start has none.
std::optional<RunNotice> runEndNotice(const ConversionOutcome& outcome, double seconds,
                                      bool windowActive);
