// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

// Target loudness of the levelling in LUFS: the ReplayGain 2.0 reference level by default, and
// the range the command line accepts.
inline constexpr double kDefaultLoudnessTarget = -18;
inline constexpr double kLowestLoudnessTarget = -30;
inline constexpr double kHighestLoudnessTarget = -10;
// No source's true peak may rise above this (dBTP) by its gain.
inline constexpr double kTruePeakCeiling = -1;
