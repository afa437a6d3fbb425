// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/source_level.h"

#include "pipeline/loudness_choices.h"

#include <cmath>

namespace {

// Half the last digit the log shows.
constexpr double kSmallestGain = 0.05;

} // namespace

SourceLevel chooseLevel(double loudness, double target, const TruePeakLookup& truePeak) {
    SourceLevel level;
    level.loudness = loudness;
    if (!std::isfinite(loudness))
        return level;
    level.wantedGain = target - loudness;
    // A true peak above this would rise beyond the ceiling with the wanted gain.
    const double floor = kTruePeakCeiling - level.wantedGain;
    const double peak = truePeak(floor);
    if (peak > floor) {
        level.limitedByPeak = true;
        level.truePeak = peak;
        level.gain = kTruePeakCeiling - peak;
    } else {
        level.gain = level.wantedGain;
    }
    if (std::abs(level.gain) < kSmallestGain)
        level.gain = 0;
    return level;
}

QString germanDecimal(double value) {
    // -0,04 shows as 0,0, not as -0,0.
    const double rounded = std::round(value * 10) / 10;
    return QString::number(rounded == 0 ? 0.0 : rounded, 'f', 1).replace(u'.', u',');
}

QString levelLine(const SourceLevel& level) {
    if (std::isnan(level.loudness))
        return QStringLiteral("Lautstärke konnte nicht gemessen werden - unverändert");
    if (!std::isfinite(level.loudness))
        return QStringLiteral("Lautstärke nicht messbar (zu leise oder zu kurz) - unverändert");
    const QString measured =
        QStringLiteral("Lautstärke: %1 LUFS, ").arg(germanDecimal(level.loudness));
    const QString gain = germanDecimal(std::abs(level.gain));
    if (level.limitedByPeak) {
        const QString peak = germanDecimal(level.truePeak);
        if (level.gain > 0)
            return measured + QStringLiteral("angehoben um nur %1 dB - der Spitzenpegel (%2 dBTP) "
                                             "lässt nicht mehr zu")
                                  .arg(gain, peak);
        if (level.gain < 0)
            return measured + QStringLiteral("abgesenkt um %1 dB statt %2 um %3 dB - der "
                                             "Spitzenpegel (%4 dBTP) verlangt es")
                                  .arg(gain,
                                       level.wantedGain > 0 ? QStringLiteral("angehoben")
                                                            : QStringLiteral("abgesenkt"),
                                       germanDecimal(std::abs(level.wantedGain)), peak);
        return measured +
               QStringLiteral("unverändert - der Spitzenpegel (%1 dBTP) lässt keine Anhebung zu")
                   .arg(peak);
    }
    if (level.gain > 0)
        return measured + QStringLiteral("angehoben um %1 dB").arg(gain);
    if (level.gain < 0)
        return measured + QStringLiteral("abgesenkt um %1 dB").arg(gain);
    return measured + QStringLiteral("unverändert");
}
