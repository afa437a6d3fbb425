#pragma once

#include <QString>
#include <QStringList>

class TACMConvertor;

// What the conversion reads from the window when it starts.
struct ConversionSettings {
    QString destination;    // never empty when a job runs
    QStringList sources;    // full paths, in list order
    QString sampleRateText; // MP3 output rate in Hz, as the rate box shows it
    QString bitRateText;    // MP3 bit rate in kbit/s, as the bit-rate box shows it
    bool internalDecoder = true;
};

// The part of the window the conversion works with: the log, the buttons, the stop flag, the
// message pump, the format convertor. The main window and the command-line tool provide it.
class ConversionHost {
public:
    virtual ~ConversionHost() = default;

    virtual ConversionSettings conversionSettings() const = 0;

    // Appends one line to the progress log; nothing else.
    virtual void AddProgressLine(const QString& line) = 0;
    // Removes the oldest lines while 11 or more are held.
    virtual void TrimProgressLog() = 0;
    // Handles the window messages that are waiting, then returns.
    virtual void processEvents() = 0;

    virtual bool stopRequested() const = 0;
    virtual void setStopRequested(bool requested) = 0;

    // Busy: start disabled, stop enabled. Idle: start enabled, stop disabled.
    virtual void setButtonsBusy(bool busy) = 0;
    // A modal error box without a caption of ours.
    virtual void showErrorMessage(const QString& text) = 0;

    virtual TACMConvertor& wavtowav() = 0;
};
