// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/run_notice.h"

#include "pipeline/conversion_outcome.h"
#include "pipeline/progress_text.h"

std::optional<RunNotice> runEndNotice(const ConversionOutcome& outcome, double seconds,
                                      bool windowActive) {
    if (windowActive || seconds <= kNoticeAfterSeconds)
        return std::nullopt;
    using Kind = ConversionOutcome::Kind;
    QString title;
    switch (outcome.kind) {
    case Kind::Finished:
    case Kind::FinishedWithProblems:
        title = QStringLiteral("Umwandlung beendet");
        break;
    case Kind::Stopped:
        title = QStringLiteral("Umwandlung angehalten");
        break;
    case Kind::Failed:
        title = QStringLiteral("Umwandlung fehlgeschlagen");
        break;
    case Kind::None:
    case Kind::Refused:
        return std::nullopt;
    }
    return RunNotice{title, outcomeSummary(outcome)};
}
