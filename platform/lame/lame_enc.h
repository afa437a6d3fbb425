// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "codec/mp3/be_config.h"

#include <cstdint>
#include <string>

// The MP3 encoder's stream interface: a stream initialised from a configuration record,
// chunk encoding of interleaved 16-bit samples, flush, close. Results are 0 for success. The
// conversion reaches the encoder through this class only.

using HBE_STREAM = std::uintptr_t;

class LameLibrary {
public:
    virtual ~LameLibrary() = default;

    // On success: the 16-bit samples per call it expects (both channels counted), and an output
    // size that no call of that many samples can exceed.
    virtual BE_ERR beInitStream(const BE_CONFIG* config, std::uint32_t* samples,
                                std::uint32_t* bufferSize, HBE_STREAM* stream) = 0;
    virtual BE_ERR beEncodeChunk(HBE_STREAM stream, std::uint32_t samples, const std::int16_t* pcm,
                                 std::uint8_t* output, std::uint32_t* outputBytes) = 0;
    virtual BE_ERR beDeinitStream(HBE_STREAM stream, std::uint8_t* output,
                                  std::uint32_t* outputBytes) = 0;
    virtual BE_ERR beCloseStream(HBE_STREAM stream) = 0;
    // Why the last failed call on `stream` failed, where a result code cannot tell; empty
    // when there is nothing to add.
    virtual std::string beErrorText(HBE_STREAM /*stream*/) const { return {}; }
};
