// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "pipeline/conversion_host.h"
#include "pipeline/conversion_job.h"

#include <QStringList>
#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;
class DesktopBus;
class ProgressBand;
class TACMConvertor;
class TFilenameEdit;

// The main window: the source list, the destination, the MP3 settings, start and stop, and the
// progress log. The conversion reaches it through ConversionHost.
class TMainForm : public QWidget, public ConversionHost {
    Q_OBJECT
public:
    explicit TMainForm(ConversionLibraries libraries, QWidget* parent = nullptr);
    ~TMainForm() override;

    QListWidget* lstProgress;
    QLabel* Label1;
    QTreeWidget* ListView1;
    QPushButton* AddBtn;
    QPushButton* DeleteBtn;
    QLabel* Label2;
    TFilenameEdit* FilenameEdit1;
    QPushButton* btnStart;
    QPushButton* btnStop;
    QLabel* Label6;
    QComboBox* mp3format;
    QLabel* Label5;
    QLabel* Label7;
    QComboBox* BitRate;
    QLabel* Label8;
    QPushButton* ZielBtn;
    QCheckBox* InternCheck;
    QCheckBox* LoudnessCheck;
    QCheckBox* ChaptersCheck;
    // Beyond the original layout: the run's progress, in the free band under the log.
    ProgressBand* progressBand;

    void btnStartClick();
    void btnStopClick();
    void AddBtnClick();
    void DeleteBtnClick();
    // Appends one entry per path to the source list, the path as its caption.
    void appendSources(const QStringList& paths);
    void FormCreate();
    void ZielBtnClick();

    // ConversionHost
    ConversionSettings conversionSettings() const override;
    void AddProgressLine(const QString& line) override;
    void TrimProgressLog() override;
    void processEvents() override;
    void showErrorMessage(const QString& text) override;
    void runStateChanged(bool running) override;
    void progressChanged(const ConversionProgress& progress) override;
    QString abortReason() override;
    void stopAccepted(bool afterSource) override;

    bool conversionRunning() const { return job.running(); }
    bool StopRequested() const { return job.stopRequested(); }
    // The format convertor the conversion works with.
    TACMConvertor& wavtowav() { return job.wavtowav; }

protected:
    // Closing during a conversion stops it; the window closes when the job has ended, so the
    // destination is left complete. Closing again ends the run at once: it fails, and the
    // destination stays as it was.
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void connectHandlers();
    // A start that begins nothing: its lines go to the log, their gist to the band.
    void refuseStart(const QStringList& lines);
    // Notes which list entry each source of the starting run is, and clears the last run's marks.
    void tagSources();
    // Marks the entries whose sources did not go in whole, with the reason as their tooltip.
    void markProblemSources(const ConversionOutcome& outcome);

    ConversionLibraries libs;
    ConversionJob job;
    // Notifications and the task-bar entry's progress, where the desktop has a session bus.
    std::unique_ptr<DesktopBus> desktop;
    bool closeWhenIdle = false;
    bool abortNow = false;
    // The buttons' states before a run, given back when it ends.
    bool startWasEnabled = true;
    bool stopWasEnabled = true;
    quint64 currentRunTag = 0;
};

// The program's one main window.
extern TMainForm* MainForm;
