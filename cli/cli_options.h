// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "common/available_cores.h"
#include "pipeline/loudness_choices.h"
#include "pipeline/mp3_choices.h"

#include <QString>
#include <QStringList>

// What the command line asks for: the window's settings, given as options.
struct CliOptions {
    QString destination;
    QStringList sources;
    int sampleRate = kDefaultSampleRate;
    int bitRate = kDefaultBitRate;
    bool internalDecoder = true;
    bool loudness = false; // every source brought to loudnessTarget (LUFS)
    double loudnessTarget = kDefaultLoudnessTarget;
    bool chapters = false;               // a chapter mark for each source
    bool quiet = false;                  // no log lines on standard output
    unsigned threads = availableCores(); // MP3 encoder threads
};

struct CliParseResult {
    enum Kind { Run, Help, Version, UsageError } kind = UsageError;
    CliOptions options;
    QString error; // German, for a usage error
};

// Reads the arguments that follow the program name.
CliParseResult parseCliArguments(const QStringList& arguments);

QString cliUsageText();
// "tavimo-cli 1.0", and what the MP3 road runs on.
QString cliVersionText();
