// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "platform/msacm/msacm.h"

#include <cstdint>

class QIODevice;

// What the WAV header reader finds in a file.
struct WavHeaderInfo {
    WAVEFORMATEX Format;     // copied from the "fmt " chunk
    std::int64_t DataOffset; // position of the first byte of the "data" body
    std::int64_t DataSize;   // the "data" body size as the file states it (an RF64 file in ds64)
};

// Checks that `file` (positioned at its start) is a RIFF/WAVE file, or its RF64 form (EBU Tech
// 3306, sizes beyond 4 GiB in a ds64 chunk), and finds its format and sample data. True when a
// "data" chunk was found. Raises EInOutError "Read beyond end of file" for a file shorter than 12
// bytes. Leaves the position at 0 whenever the leading tags matched.
bool ReadWavHeader(QIODevice& file, WavHeaderInfo& info);
