// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "pipeline/loudness_choices.h"
#include "pipeline/mp3_choices.h"

#include <QString>
#include <QStringList>

struct ConversionOutcome;
struct ConversionProgress;

// The progress log keeps this many of its newest lines wherever it is trimmed.
inline constexpr int kProgressLogCap = 10;

// What a run converts, read from the window (or the command line) when it starts.
struct ConversionSettings {
    QString destination;                 // never empty when a job runs
    QStringList sources;                 // full paths, in list order
    int sampleRate = kDefaultSampleRate; // MP3 output rate in Hz
    int bitRate = kDefaultBitRate;       // MP3 bit rate in kbit/s
    bool internalDecoder = true;
    // Brings every source to the same loudness (EBU R 128), toward this target in LUFS.
    bool loudness = false;
    double loudnessTarget = kDefaultLoudnessTarget;
    // A chapter for each source: ID3v2 chapter frames (MP3), cue points with labels (WAV).
    bool chapters = false;
};

// Whoever runs conversions: the main window or the command-line tool. It gives the settings and
// observes the run; the job owns everything the run needs.
class ConversionHost {
public:
    virtual ~ConversionHost() = default;

    virtual ConversionSettings conversionSettings() const = 0;

    // Appends one line to the progress log; nothing else.
    virtual void AddProgressLine(const QString& line) = 0;
    // Removes the oldest lines while more than kProgressLogCap are held.
    virtual void TrimProgressLog() = 0;
    // Handles the window messages that are waiting, then returns.
    virtual void processEvents() = 0;
    // A modal error box without a caption of ours.
    virtual void showErrorMessage(const QString& text) = 0;

    // A run begins (true) or has ended (false); outcome() of the job is final by then.
    virtual void runStateChanged(bool running) { (void)running; }
    // Called right before every message pump of a run.
    virtual void progressChanged(const ConversionProgress& progress) { (void)progress; }
    // A stop that arrived outside the message pump (a signal), looked at where the job decides
    // whether to go on with the next source.
    virtual bool stopPending() { return false; }
    // Non-empty: the run must end at once as failed, for this reason (German). Looked at after
    // every block.
    virtual QString abortReason() { return {}; }
    // The running job took a stop request. It takes effect after the current block, or, with
    // `afterSource` (the MP3 road), once the current source is in the destination.
    virtual void stopAccepted(bool afterSource) { (void)afterSource; }
};
