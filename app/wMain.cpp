// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "app/wMain.h"

#include "acm/ACMConvertor.h"
#include "app/AddPagesFUnit.h"
#include "app/FilenameEdit.h"
#include "app/accessible_texts.h"
#include "app/desktop_bus.h"
#include "app/destination_name.h"
#include "app/error_box.h"
#include "app/progress_band.h"
#include "app/run_notice.h"
#include "app/startup.h"
#include "app/window_font.h"
#include "common/file_names.h"
#include "pipeline/mcl_translations.h"
#include "pipeline/progress_text.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTreeWidget>

TMainForm* MainForm = nullptr;

// The images live in the static library, which the linker would otherwise leave out.
static void initResources() {
    Q_INIT_RESOURCE(tavimo);
}

TMainForm::TMainForm(ConversionLibraries libraries, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      libs(libraries), job(*this, libraries),
      desktop(std::make_unique<DesktopBus>(kDesktopFileName)) {
    initResources();
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Quorrel Tavimo 1.0"));
    setFont(windowFont());
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFixedSize(712, 516);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    createControls();
    describeControls(*this);
    connectHandlers();
    FormCreate();
}

TMainForm::~TMainForm() = default;

void TMainForm::connectHandlers() {
    const auto bind = [this](QPushButton* button, void (TMainForm::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { runHandler(this, [this, handler] { (this->*handler)(); }); });
    };
    bind(btnStart, &TMainForm::btnStartClick);
    bind(btnStop, &TMainForm::btnStopClick);
    bind(AddBtn, &TMainForm::AddBtnClick);
    bind(DeleteBtn, &TMainForm::DeleteBtnClick);
    bind(ZielBtn, &TMainForm::ZielBtnClick);
    // The delete button is the window's first button of the cancel kind, so Escape presses it.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, DeleteBtn, &QPushButton::click);
}

void TMainForm::FormCreate() {
    mp3format->setCurrentIndex(1);
    BitRate->setCurrentIndex(11);
    applyMclTranslations(libs.mcl);
}

void TMainForm::btnStartClick() {
    // A start pressed while a conversion pumps messages would nest a second one inside it.
    if (job.running())
        return;
    if (FilenameEdit1->FileName().isEmpty())
        return refuseStart({QStringLiteral("Sie müssen einen Zieldateinamen auswählen!"),
                            QStringLiteral("Klicken Sie auf den kleinen Button neben dem"),
                            QStringLiteral("Eingabefeld für die Zieldatei.")});
    // Only the first word of an unquoted name with blanks is read: that would write another
    // file than the one the user typed, perhaps one of the user's.
    if (destinationWordsDropped(FilenameEdit1->text()))
        return refuseStart(
            {QStringLiteral("Der Zieldateiname enthält Leerzeichen: bitte setzen Sie"),
             QStringLiteral("ihn in doppelte Anführungszeichen, zum Beispiel:"),
             QStringLiteral("\"%1\"").arg(visibleName(FilenameEdit1->text().trimmed()))});
    struct CloseWhenDone {
        TMainForm& form;
        ~CloseWhenDone() {
            if (form.closeWhenIdle) {
                form.closeWhenIdle = false;
                form.close();
            }
        }
    } closeWhenDone{*this};
    abortNow = false;
    try {
        job.RunConversion();
    } catch (const std::exception&) {
        // Ended at once by a second close: the user asked for it, and the window goes.
        if (!abortNow)
            throw;
    }
}

void TMainForm::refuseStart(const QStringList& lines) {
    for (const QString& line : lines)
        AddProgressLine(line);
    progressBand->showRefusal(lines.join(u' '));
}

void TMainForm::btnStopClick() {
    job.requestStop();
}

void TMainForm::ZielBtnClick() {
    if (const std::optional<QString> chosen = FilenameEdit1->executeDialog())
        FilenameEdit1->setFileName(*chosen);
}

ConversionSettings TMainForm::conversionSettings() const {
    ConversionSettings settings;
    settings.destination = FilenameEdit1->FileName();
    for (int i = 0; i < ListView1->topLevelItemCount(); ++i)
        settings.sources << ListView1->topLevelItem(i)->text(0);
    settings.sampleRate = mp3format->currentText().toInt();
    settings.bitRate = BitRate->currentText().toInt();
    settings.internalDecoder = InternCheck->isChecked();
    settings.loudness = LoudnessCheck->isChecked();
    settings.chapters = ChaptersCheck->isChecked();
    return settings;
}

void TMainForm::AddProgressLine(const QString& line) {
    lstProgress->addItem(line);
}

void TMainForm::TrimProgressLog() {
    while (lstProgress->count() > kProgressLogCap)
        delete lstProgress->takeItem(0);
}

void TMainForm::processEvents() {
    QCoreApplication::processEvents();
}

void TMainForm::runStateChanged(bool running) {
    // Stop stays usable for the whole run, on both roads; start cannot nest a second run.
    if (running) {
        startWasEnabled = btnStart->isEnabled();
        stopWasEnabled = btnStop->isEnabled();
        btnStart->setEnabled(false);
        btnStop->setEnabled(true);
        tagSources();
        progressBand->runStarted();
        desktop->showProgress(0);
    } else {
        btnStart->setEnabled(startWasEnabled);
        btnStop->setEnabled(stopWasEnabled);
        markProblemSources(job.outcome());
        progressBand->runEnded(job.outcome());
        desktop->hideProgress();
        if (const auto notice =
                runEndNotice(job.outcome(), progressBand->secondsSinceStart(), isActiveWindow()))
            desktop->notify(notice->title, notice->body);
    }
}

void TMainForm::progressChanged(const ConversionProgress& progress) {
    progressBand->showProgress(progress);
    if (progress.totalSeconds > 0)
        desktop->showProgress(progressFigures(progress, 0).percent);
}

QString TMainForm::abortReason() {
    if (!abortNow)
        return {};
    return QStringLiteral("Die Umwandlung wurde sofort abgebrochen; die Zieldatei bleibt, wie "
                          "sie war.");
}

void TMainForm::stopAccepted(bool afterSource) {
    progressBand->showStopping(afterSource, closeWhenIdle);
}

void TMainForm::showErrorMessage(const QString& text) {
    showErrorBox(this, QString(), text);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!job.running()) {
        event->accept();
        return;
    }
    event->ignore();
    if (closeWhenIdle) {
        abortNow = true;
        progressBand->showAborting();
        return;
    }
    closeWhenIdle = true;
    runHandler(this, [this] { btnStopClick(); });
}
