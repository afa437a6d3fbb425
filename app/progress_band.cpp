// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/progress_band.h"

#include "pipeline/conversion_outcome.h"
#include "pipeline/progress_text.h"

#include <QLabel>
#include <QProgressBar>

namespace {

constexpr qint64 kRedrawMilliseconds = 250;

} // namespace

ProgressBand::ProgressBand(QWidget* parent)
    : QWidget(parent), bar(new QProgressBar(this)), text(new QLabel(this)) {
    bar->setObjectName(QStringLiteral("progressBar"));
    text->setObjectName(QStringLiteral("progressText"));
    bar->setGeometry(0, 4, 681, 17);
    bar->setRange(0, 100);
    bar->setTextVisible(true);
    text->setGeometry(0, 26, 681, 17);
    hide();
}

void ProgressBand::runStarted() {
    sinceStart.start();
    lastShown = -1;
    bar->setRange(0, 100);
    bar->setValue(0);
    text->setText(QStringLiteral("Umwandlung läuft..."));
    show();
}

void ProgressBand::showProgress(const ConversionProgress& progress) {
    // Reported after every block, hundreds of times a second: a few redraws a second will do.
    const qint64 now = sinceStart.elapsed();
    if (lastShown >= 0 && now - lastShown < kRedrawMilliseconds)
        return;
    lastShown = now;
    const ProgressFigures figures = progressFigures(progress, now / 1000.0);
    // Without any length to go by, the bar can only say that something happens.
    if (progress.totalSeconds <= 0)
        bar->setRange(0, 0);
    else {
        bar->setRange(0, 100);
        bar->setValue(figures.percent);
    }
    text->setText(QStringLiteral("Quelldatei %1 von %2 - %3")
                      .arg(progress.source + 1)
                      .arg(progress.sourceCount)
                      .arg(progressText(figures)));
}

void ProgressBand::runEnded(const ConversionOutcome& outcome) {
    bar->setRange(0, 100);
    if (outcome.kind == ConversionOutcome::Kind::Finished ||
        outcome.kind == ConversionOutcome::Kind::FinishedWithProblems)
        bar->setValue(100);
    text->setText(outcomeSummary(outcome));
}
