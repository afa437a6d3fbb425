// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "acm/ACMConvertor.h"
#include "pipeline/chapters.h"
#include "pipeline/conversion_host.h"
#include "pipeline/conversion_outcome.h"
#include "platform/mcl/mcl_library.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class AcmLibrary;
class DestinationFile;
class EncoderStream;
class LameLibrary;
class SampleGain;
class SourceLevelling;
class OutputFile;
class TempFile;
struct StageResult;

// The platform libraries one conversion drives.
struct ConversionLibraries {
    MclLibrary& mcl;
    LameLibrary& lame;
    AcmLibrary& acm;
};

// Turns the listed sources into the one destination file, on the calling thread, pumping the
// host's messages at fixed points. It owns what a run needs: the format convertor, the busy
// state and the stop request; the host gives the settings and observes. Every run ends with an
// outcome(); an error deep in the pipeline also leaves RunConversion as an exception, after the
// outcome has been recorded and everything released.
class ConversionJob {
public:
    ConversionJob(ConversionHost& host, ConversionLibraries libraries);
    ~ConversionJob();
    ConversionJob(const ConversionJob&) = delete;
    ConversionJob& operator=(const ConversionJob&) = delete;

    // Runs one whole conversion; does nothing when a conversion is already running.
    void RunConversion();
    // Asks the codec library to abort its work.
    void CancelConversion();
    // What the stop button does: the run ends after its current block (WAV) or source (MP3).
    void requestStop();

    bool running() const { return active; }
    bool stopRequested() const { return StopRequested; }
    // How the last run ended.
    const ConversionOutcome& outcome() const { return result; }

    // The format convertor the transcoding stage works with.
    TACMConvertor wavtowav;

private:
    struct SourceOpen {
        MclHandle input = 0;
        MclError error = MclError::Ok;
        QString text; // the library's text for the open, as logged
    };
    struct SourceRead {
        std::int64_t position = 0;
        int readResult = 0;
        int writeResult = 0;
        MclError readError = MclError::Ok;
        QString writeErrorText; // the library's text when the write failed
        double seconds = 0;     // of sound written
    };

    void convert(const ConversionSettings& settings);
    void convertToWav(const ConversionSettings& settings, DestinationFile& destination);
    void convertToMp3(const ConversionSettings& settings, DestinationFile& destination);
    void encodeSources(const ConversionSettings& settings, EncoderStream& stream);
    SourceOpen openSource(const QString& path);
    // Reads the open source block by block into the output's file, pumping messages after each
    // block. Only with `stopEndsSource` does a stop end the source early.
    SourceRead copySource(MclHandle input, MclHandle output, MclHandle sound, bool stopEndsSource);
    // Notes how one source went: whole, cut short, or not read at all.
    void noteSource(int index, const QString& path, const SourceOpen& open, const SourceRead& read,
                    double seconds);
    void noteLostBlocks(int index, const QString& path, std::uint32_t blocks);
    // A source that went nowhere for `reason`, and counts as not read.
    void noteSkipped(int index, const QString& path, const QString& reason);
    // Encodes a source's temporary file, with `gain` when given; nothing when its format cannot
    // be converted.
    std::optional<StageResult> encodeTemporary(TempFile& temp, EncoderStream& stream,
                                               SampleGain* gain = nullptr);
    // Levelling loudness: the source just written into the WAV destination gets its gain, in
    // the file; false when the destination could not take it (the run has failed then).
    bool levelWrittenSource(int index, double target, SourceLevelling& levelling, int descriptor,
                            double seconds);
    // The gain for the source just decoded into its temporary file.
    SampleGain levelTemporary(int index, double target, SourceLevelling& levelling, double seconds);
    void noteLevel(const SourceLevel& level);
    // Says, in the log, that the rate of the file just refused cannot be converted.
    QString unconvertibleRate();
    // Settles the outcome of a run that got to its end; false when it failed after all.
    bool classify();
    void commit(DestinationFile& destination);
    void fail(const QString& reason);
    // `decodedSeconds` not negative: the MP3 road is decoding the current source this far.
    void pump(double currentSeconds, double decodedSeconds = -1);
    void checkAbort();
    void estimateLengths(const QStringList& sources);

    // Chapter marks (job_chapters.cpp). WAV: a cue point where a source that put sound into
    // the file began. MP3: room for the tag before the first frame, a chapter for each source
    // that went into the encoder, and the tag written into that room at the end; false when
    // that fails, and the run with it.
    void markWavChapter(MclHandle output, std::int64_t start, const QString& source);
    void reserveChapterTag(const QStringList& sources, OutputFile& output);
    void noteChapter(const QString& source, std::uint64_t start, std::uint64_t end);
    bool writeChapterTag(DestinationFile& destination);

    ConversionHost& host;
    ConversionLibraries libs;
    bool StopRequested = false;
    bool active = false;
    bool mp3Road = false;
    bool decodingWhole = false; // the MP3 road decodes a source that must go in whole
    ConversionOutcome result;

    // Progress of the running conversion.
    std::vector<double> lengths; // per source: estimated, then measured once converted
    bool lengthsKnown = false;   // the containers told at least one length
    int current = 0;
    double doneBefore = 0; // seconds of the sources before the current one

    // Chapters of the running MP3 conversion, in frames at the encoder's input rate.
    std::vector<Chapter> chapters;
    bool chapterTagReserved = false;
};

// True when the destination's extension is ".wav" in any letter case.
bool isWavDestination(const QString& destination);
// True when `destination` names the same file as one of `sources`, links resolved.
bool destinationIsSource(const QString& destination, const QStringList& sources);
