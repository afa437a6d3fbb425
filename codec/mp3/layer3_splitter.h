// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "codec/mp3/layer3_frame.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

// Takes one encoder's byte stream apart into frames, as the bytes arrive. An encoder hands out
// its bytes as far as it has written them; that may end before a frame's header when the
// frame's main data lies in earlier payloads. A frame is complete once its header, its side
// information and all of its main data have arrived.
class Layer3Splitter {
public:
    // Appends encoder output and moves the frames it completes to the end of `frames`. False,
    // from then on, when the bytes are no Layer III stream without CRC of one format whose main
    // data lies within the stream and within each frame's reach.
    bool push(const std::uint8_t* data, std::size_t size, std::vector<Layer3Frame>& frames);
    // True when every byte received belongs to a frame handed out.
    bool drained() const;

private:
    struct Placed {
        std::int64_t offset;       // of the header in the stream
        std::int64_t payloadStart; // payload bytes of all frames before
        int payloadLength;
    };

    bool step(std::vector<Layer3Frame>& frames, bool& progress);
    std::int64_t streamOffset(std::int64_t payloadPosition) const;
    void dropOldBytes();

    std::vector<std::uint8_t> bytes; // the stream from `base` on
    std::int64_t base = 0;
    std::int64_t nextHeader = 0;
    std::int64_t payloadEnd = 0;
    std::deque<Placed> recent; // frames later main data may still reach into
    std::optional<Mp3FrameHeader> format;
    int headLength = 0;
    bool waiting = false; // the last frame in `recent` still lacks main data
    Layer3Frame current;
    bool broken = false;
};
