// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "codec/mp3/layer3_frame.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

// Joins Layer III frames, whichever encoder made them, into one valid stream. Every frame keeps
// its header (padding bit included), side information and payload size; its main data goes as
// early as the format allows: right after the previous frame's main data, but no further back
// than main_data_begin reaches, and main_data_begin is set to match. The bytes between one
// frame's main data and the next are ancillary and left zero.
class MainDataPacker {
public:
    // Without `reservoir`, every frame's main data starts at its own payload, as in a stream
    // LAME writes with its reservoir off: main_data_begin is 0 throughout.
    explicit MainDataPacker(bool reservoir = true) : useReservoir(reservoir) {}

    // The most main data a frame appended next may place before its own payload: what the
    // frames so far have left free, up to the reach of main_data_begin.
    int reservoir() const;
    // Whether `frame`, the first of another encoder's frames, may follow the frames so far: its
    // main data reaches back no further than the room left (then neither does any later frame
    // of that encoder, as in its own stream), and its first window meets the last one here.
    bool fits(const Layer3Frame& frame) const;
    // Appends `frame`; false, with nothing appended, when its main data would not end within its
    // own payload, or when it is no Layer III frame without CRC of the first frame's format.
    bool append(const Layer3Frame& frame);
    // Moves the bytes no later frame can change to the end of `out`; with `everything`, all
    // bytes held, for the end of the stream.
    void take(std::vector<std::uint8_t>& out, bool everything = false);
    // The header and side information of the last frame appended; empty before the first.
    const std::vector<std::uint8_t>& lastHead() const { return last; }

private:
    struct Placed {
        std::size_t offset; // of the header in `held`
        std::int64_t payloadStart;
        int payloadLength;
    };

    std::int64_t nextMainStart() const;

    bool useReservoir;
    std::vector<std::uint8_t> held; // frames not handed out yet
    std::deque<Placed> frames;
    std::int64_t payloadEnd = 0; // payload bytes of all frames so far
    std::int64_t mainEnd = 0;    // where the last frame's main data ends, in payload bytes
    std::optional<Mp3FrameHeader> format;
    int headLength = 0;
    std::vector<std::uint8_t> last;
};
