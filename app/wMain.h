#pragma once

#include "pipeline/conversion_host.h"
#include "pipeline/conversion_job.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;
class AcmLibrary;
class TACMConvertor;
class TFilenameEdit;

// The main window: the source list, the destination, the MP3 settings, start and stop, and the
// progress log. The conversion reaches it through ConversionHost.
class TMainForm : public QWidget, public ConversionHost {
    Q_OBJECT
public:
    TMainForm(ConversionLibraries libraries, AcmLibrary& acm, QWidget* parent = nullptr);
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
    bool StopRequested = false;

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
    bool stopRequested() const override { return StopRequested; }
    void setStopRequested(bool requested) override { StopRequested = requested; }
    void setButtonsBusy(bool busy) override;
    void showErrorMessage(const QString& text) override;
    TACMConvertor& wavtowav() override { return *wavtowavConvertor; }

    bool conversionRunning() const { return job.running(); }

protected:
    // Closing during a conversion stops it; the window closes when the job has ended, so the
    // destination is left complete.
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void connectHandlers();

    ConversionLibraries libs;
    // The window's format convertor, named "wavtowav"; the conversion reaches it by wavtowav().
    TACMConvertor* wavtowavConvertor;
    ConversionJob job;
    bool closeWhenIdle = false;
};

// The program's one main window.
extern TMainForm* MainForm;
