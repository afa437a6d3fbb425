// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QString>

#include <cstdint>

// One source's part of the destination, in sample frames on the destination's time line.
struct Chapter {
    QString title;
    std::int64_t start = 0; // its first frame
    std::int64_t end = 0;   // the frame after its last
};

// The title of a source's chapter: its file name without folder and extension, shown the way a
// log line shows names (control characters escaped), with bytes that are no UTF-8 read as
// Latin-1.
QString chapterTitle(const QString& sourcePath);

// Frame `frame` of a sound at `rate` frames per second, in milliseconds rounded to the nearest.
// Every time of a run is converted from its frame count, so that rounding never adds up.
std::uint32_t chapterMilliseconds(std::int64_t frame, int rate);
