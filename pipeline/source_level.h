// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "pipeline/conversion_outcome.h"

#include <QString>

#include <functional>

// The true peak (dBTP) of a source where it rises above `floorDb`, or a value at most
// `floorDb` when it does not.
using TruePeakLookup = std::function<double(double floorDb)>;

// The gain that brings a source of `loudness` LUFS to `target`, lowered so far that its true
// peak stays at or below the ceiling; 0 for a source that cannot be measured. Gains too small
// to show in the log (below 0.05 dB) are 0.
SourceLevel chooseLevel(double loudness, double target, const TruePeakLookup& truePeak);

// The log line for a source: "Lautstärke: -27,4 LUFS, angehoben um 9,4 dB".
QString levelLine(const SourceLevel& level);

// A number with one decimal, as German writes it ("-27,4").
QString germanDecimal(double value);
