// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QString>

#include <limits>
#include <vector>

// A source that did not go into the destination whole.
struct SourceProblem {
    int index = 0;  // its row in the run's source list
    QString path;   // as listed
    QString reason; // German, for the user
    // Part of it went in: it was cut short by a read error or lost blocks on the way.
    bool cutShort = false;
};

// How loud a source was and the gain it got, when the run levels loudness.
struct SourceLevel {
    int index = 0; // its row in the run's source list
    // Integrated loudness in LUFS; -infinity when too short or silent to measure, NaN when it
    // could not be measured at all. Either way the source keeps its level.
    double loudness = -std::numeric_limits<double>::infinity();
    double gain = 0;       // dB given to the source
    double wantedGain = 0; // dB the target asked for
    // The true peak limited the gain below what the target asked for; it is then `truePeak`
    // (dBTP), and the gain brings it to the ceiling.
    bool limitedByPeak = false;
    double truePeak = std::numeric_limits<double>::quiet_NaN();
};

// How a run ended. Hosts decide what they show or return by this alone, never by log lines.
struct ConversionOutcome {
    enum class Kind {
        None,                 // no run yet
        Finished,             // every source went in whole
        FinishedWithProblems, // some sources could not be read or were cut short
        Stopped,              // the user stopped it; the destination is complete up to there
        Failed,               // the destination was not written; an existing one is untouched
        Refused,              // nothing began
    };

    Kind kind = Kind::None;
    // Failed, Refused: why, in German. Stopped: set only when the stop came before any sound,
    // so that nothing was written.
    QString reason;
    int sourceCount = 0;                 // sources in the run's list
    int sourcesConverted = 0;            // sources whose sound went in, whole or in part
    std::vector<SourceProblem> problems; // in list order
    double seconds = 0;                  // length of the sound written to the destination
    std::vector<SourceLevel> levels;     // levelling only: one per source that gave sound
};

// How far a running conversion is, reported each time the job pumps messages.
struct ConversionProgress {
    int source = 0;          // index of the source being converted
    int sourceCount = 0;     // sources in the run
    double doneSeconds = 0;  // sound that has gone all the way into the destination
    double totalSeconds = 0; // of all sources, partly estimated; 0 when nothing is known
    // MP3 road: the source is being decoded, none of it has reached the destination yet.
    bool decoding = false;
    double decodedSeconds = 0; // of the source, decoded so far
    double sourceSeconds = 0;  // its length, partly estimated; 0 when nothing is known
};
