// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/progress_text.h"

#include "common/duration_text.h"
#include "pipeline/conversion_outcome.h"

#include <algorithm>
#include <cmath>

namespace {

// Below this share the time taken says too little about the time still to come.
constexpr double kLeastShareForEstimate = 0.01;

QString sources(int count) {
    return count == 1 ? QStringLiteral("1 Quelldatei")
                      : QStringLiteral("%1 Quelldateien").arg(count);
}

} // namespace

ProgressFigures progressFigures(const ConversionProgress& progress, double elapsedSeconds) {
    ProgressFigures figures;
    figures.elapsedSeconds = elapsedSeconds;
    if (progress.totalSeconds <= 0)
        return figures;
    const double share = std::clamp(progress.doneSeconds / progress.totalSeconds, 0.0, 1.0);
    figures.percent = static_cast<int>(std::floor(share * 100));
    if (share >= kLeastShareForEstimate)
        figures.remainingSeconds = elapsedSeconds * (1 - share) / share;
    return figures;
}

QString progressText(const ProgressFigures& figures) {
    QString text = QStringLiteral("%1 vergangen").arg(durationText(figures.elapsedSeconds));
    if (figures.percent >= 0)
        text = QStringLiteral("%1 % - ").arg(figures.percent) + text;
    if (figures.remainingSeconds >= 0)
        text += QStringLiteral(", noch %1").arg(durationText(figures.remainingSeconds));
    return text;
}

QString outcomeSummary(const ConversionOutcome& outcome) {
    using Kind = ConversionOutcome::Kind;
    switch (outcome.kind) {
    case Kind::None:
        return {};
    case Kind::Finished:
        return QStringLiteral("Fertig: %1, %2")
            .arg(sources(outcome.sourceCount), durationText(outcome.seconds));
    case Kind::FinishedWithProblems: {
        const int missing = outcome.sourceCount - outcome.sourcesConverted;
        const int cut = static_cast<int>(outcome.problems.size()) - missing;
        QString text = QStringLiteral("%1 von %2 umgewandelt")
                           .arg(outcome.sourcesConverted)
                           .arg(sources(outcome.sourceCount));
        if (missing > 0)
            text += missing == 1
                        ? QStringLiteral(" - 1 konnte nicht gelesen werden")
                        : QStringLiteral(" - %1 konnten nicht gelesen werden").arg(missing);
        if (cut > 0)
            text += cut == 1 ? QStringLiteral(" - 1 ist unvollständig")
                             : QStringLiteral(" - %1 sind unvollständig").arg(cut);
        return text + QStringLiteral(", %1").arg(durationText(outcome.seconds));
    }
    case Kind::Stopped:
        if (!outcome.reason.isEmpty())
            return outcome.reason;
        return QStringLiteral("Angehalten: die Zieldatei enthält %1")
            .arg(durationText(outcome.seconds));
    case Kind::Failed:
        return QStringLiteral("Fehlgeschlagen: ") + outcome.reason;
    case Kind::Refused:
        return QStringLiteral("Nicht begonnen: ") + outcome.reason;
    }
    return {};
}

void RedrawThrottle::start() {
    clock.start();
    lastDrawn = -1;
}

qint64 RedrawThrottle::redrawDue() {
    const qint64 now = elapsed();
    if (lastDrawn >= 0 && now - lastDrawn < kPeriodMilliseconds)
        return -1;
    lastDrawn = now;
    return now;
}

qint64 RedrawThrottle::elapsed() const {
    return clock.isValid() ? clock.elapsed() : 0;
}
