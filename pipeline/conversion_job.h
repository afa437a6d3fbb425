#pragma once

class ConversionHost;
class MclLibrary;
class LameLibrary;

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
    void convertToWav(const class ConversionSettings& settings);
    void convertToMp3(const class ConversionSettings& settings);

    ConversionHost& host;
    ConversionLibraries libs;
    bool active = false;
};
