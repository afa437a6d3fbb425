// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "codec/mp3/lame_config.h"
#include "codec/mp3/lame_gate.h"
#include "codec/mp3/layer3_splitter.h"

#include <cstdint>
#include <memory>
#include <vector>

// One libmp3lame encoder of a parallel stream. Fed the input from its start on, it hands out
// the frames it completes, taken apart for repacking.
class ChunkEncoder {
public:
    // Nothing when LAME refuses `config`; std::bad_alloc when there is no memory for a context.
    // Made, and later run, through `gate`, which must outlive the encoder.
    static std::unique_ptr<ChunkEncoder> open(const BE_CONFIG& config, LameGate& gate);

    int channels() const { return channelCount; }
    int frameSize() const;       // samples per channel in one frame, at the output rate
    int inputRate() const;       // Hz
    int outputRate() const;      // Hz
    int bitRate() const;         // kbit/s; the highest with VBR
    int frameBytesLimit() const; // the longest frame the settings allow, padding included
    int headBytes() const;       // header and side information of each frame
    bool mpeg1() const;

    // Encodes `frames` sample frames (interleaved when stereo) and appends the frames
    // completed; false when LAME fails or writes no valid stream.
    bool encode(const std::int16_t* pcm, std::uint32_t frames, std::vector<Layer3Frame>& out);
    // Encodes what LAME still holds, padded to whole frames, and appends the last frames.
    bool flush(std::vector<Layer3Frame>& out);

private:
    explicit ChunkEncoder(LameGate& gate_) : gate(gate_) {}

    LameGate& gate;
    LamePtr lame;
    int channelCount = 2;
    Layer3Splitter splitter;
    std::vector<std::uint8_t> buffer;
};
