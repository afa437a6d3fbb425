// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Levelling loudness on the two roads: the gain of each source, chosen once its sound has been
// written, goes into the WAV destination in place, or to the stage that encodes it.
#include "common/cp1252.h"
#include "common/error_text.h"
#include "pipeline/conversion_job.h"
#include "pipeline/sample_gain.h"
#include "pipeline/source_level.h"
#include "pipeline/source_levelling.h"

bool ConversionJob::levelWrittenSource(int index, double target, SourceLevelling& levelling,
                                       int descriptor, double seconds) {
    const auto failed = [this](const QString& text) {
        host.AddProgressLine(QStringLiteral("Ausgabedatei ") + text);
        fail(QStringLiteral("Die Zieldatei konnte nicht geschrieben werden: ") + text);
        return false;
    };
    if (!levelling.finish())
        return failed(fromCp1252(libs.mcl.MclGetErrorStr()));
    if (seconds <= 0)
        return true;
    const SourceLevel level = levelling.choose(index, target);
    noteLevel(level);
    SampleGain gain(level.gain, ditherSeed(index));
    if (gain.changesNothing())
        return true;
    // The window stays alive while a long source is rewritten; a stop takes effect after it, so
    // that every source in the file has its gain.
    const int error = rewriteWithGain(descriptor, levelling.begin(), levelling.end(), gain,
                                      [this, seconds] { pump(seconds); });
    return error == 0 || failed(systemErrorText(error));
}

SampleGain ConversionJob::levelTemporary(int index, double target, SourceLevelling& levelling,
                                         double seconds) {
    if (seconds <= 0)
        return SampleGain(0, 0);
    const SourceLevel level = levelling.choose(index, target);
    noteLevel(level);
    return SampleGain(level.gain, ditherSeed(index));
}

void ConversionJob::noteLevel(const SourceLevel& level) {
    host.AddProgressLine(levelLine(level));
    result.levels.push_back(level);
}
