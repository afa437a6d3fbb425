// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/progress_band.h"

#include "common/duration_text.h"
#include "pipeline/conversion_outcome.h"
#include "pipeline/progress_text.h"

#include <QLabel>
#include <QProgressBar>

namespace {

QString progressLine(const ConversionProgress& progress, double elapsedSeconds) {
    QString line = QStringLiteral("Quelldatei %1 von %2 - ")
                       .arg(progress.source + 1)
                       .arg(progress.sourceCount);
    // The MP3 road decodes each source before any of it is encoded.
    if (progress.decoding) {
        line += QStringLiteral("wird dekodiert: %1").arg(durationText(progress.decodedSeconds));
        if (progress.sourceSeconds > 0)
            line += QStringLiteral(" von %1").arg(durationText(progress.sourceSeconds));
        line += QStringLiteral(" - ");
    }
    return line + progressText(progressFigures(progress, elapsedSeconds));
}

} // namespace

ProgressBand::ProgressBand(QWidget* parent)
    : QWidget(parent), bar(new QProgressBar(this)), text(new QLabel(this)) {
    bar->setObjectName(QStringLiteral("progressBar"));
    text->setObjectName(QStringLiteral("progressText"));
    bar->setGeometry(0, 3, 681, 17);
    bar->setRange(0, 100);
    bar->setTextVisible(true);
    // Two lines of the window's font: a stop's note and the progress, or a long reason.
    text->setGeometry(0, 22, 681, 28);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    hide();
}

void ProgressBand::runStarted() {
    redraw.start();
    note.clear();
    closing = false;
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->show();
    showNow(QStringLiteral("Umwandlung läuft..."));
}

void ProgressBand::showProgress(const ConversionProgress& progress) {
    const qint64 now = redraw.redrawDue();
    if (now < 0)
        return;
    // Without any length to go by, the bar can only say that something happens.
    if (progress.totalSeconds <= 0)
        bar->setRange(0, 0);
    else {
        bar->setRange(0, 100);
        bar->setValue(progressFigures(progress, 0).percent);
    }
    // A window about to close has said so; the bar goes on counting.
    if (closing)
        return;
    const QString line = progressLine(progress, now / 1000.0);
    text->setText(note.isEmpty() ? line : note + QStringLiteral("\n") + line);
}

void ProgressBand::showStopping(bool afterSource, bool closingWindow) {
    closing = closingWindow;
    note = afterSource ? QStringLiteral("Wird nach dieser Quelldatei angehalten ...")
                       : QStringLiteral("Wird angehalten ...");
    if (closing)
        showNow(note + QStringLiteral(" Danach schließt sich das Fenster; nochmals Schließen "
                                      "bricht sofort ab, die Zieldatei bleibt dann, wie sie war."));
    else
        showNow(note);
}

void ProgressBand::showAborting() {
    closing = true;
    showNow(QStringLiteral("Wird sofort abgebrochen ..."));
}

void ProgressBand::runEnded(const ConversionOutcome& outcome) {
    bar->setRange(0, 100);
    if (outcome.kind == ConversionOutcome::Kind::Finished ||
        outcome.kind == ConversionOutcome::Kind::FinishedWithProblems)
        bar->setValue(100);
    bar->setVisible(outcome.kind != ConversionOutcome::Kind::Refused);
    note.clear();
    showNow(outcomeSummary(outcome));
}

void ProgressBand::showRefusal(const QString& reason) {
    note.clear();
    // Nothing ran: the last run's bar would tell of another run.
    bar->hide();
    showNow(QStringLiteral("Nicht begonnen: ") + reason);
}

double ProgressBand::secondsSinceStart() const {
    return redraw.elapsed() / 1000.0;
}

void ProgressBand::showNow(const QString& shown) {
    text->setText(shown);
    show();
    // Pressed inside a run, which pumps messages only between blocks: drawn before the next.
    repaint();
}
