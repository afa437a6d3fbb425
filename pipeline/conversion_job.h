#pragma once

#include "platform/mcl/mcl_library.h"

#include <QString>
#include <QStringList>

class ConversionHost;
class LameLibrary;
struct ConversionSettings;

// The platform libraries one conversion drives.
struct ConversionLibraries {
    MclLibrary& mcl;
    LameLibrary& lame;
};

// Turns the listed sources into the one destination file, on the calling thread, pumping the
// host's messages at fixed points. Errors deep in the pipeline leave RunConversion as exceptions.
class ConversionJob {
public:
    ConversionJob(ConversionHost& host, ConversionLibraries libraries);

    // Runs one whole conversion; does nothing when a conversion is already running.
    void RunConversion();
    // Asks the codec library to abort its work.
    void CancelConversion();
    bool running() const { return active; }

private:
    void convertToWav(const ConversionSettings& settings);
    void convertToMp3(const ConversionSettings& settings);
    MclHandle openSource(const QString& path);
    // Reads the open source block by block into the output's file.
    void copySource(MclHandle input, MclHandle output, MclHandle sound, bool pumpMessages);

    ConversionHost& host;
    ConversionLibraries libs;
    bool active = false;
};

// True when the destination's extension is ".wav" in any letter case.
bool isWavDestination(const QString& destination);
// True when `destination` names the same file as one of `sources`, links resolved.
bool destinationIsSource(const QString& destination, const QStringList& sources);
