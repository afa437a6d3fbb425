// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "codec/mp3/mp3_frame_header.h"

#include <cstdint>
#include <vector>

// A Layer III frame taken apart for repacking: its header and side information as the encoder
// wrote them, and its main data (the scale factors and Huffman-coded samples of its granules),
// which in a stream may start in the payload of earlier frames. Frames without CRC only: a
// changed main_data_begin would break their check word.
struct Layer3Frame {
    std::vector<std::uint8_t> head; // header, then side information
    std::vector<std::uint8_t> mainData;
    int frameLength = 0; // bytes in the stream, header included

    int payloadLength() const { return frameLength - static_cast<int>(head.size()); }
};

// Fields of the side information, which starts right after the 4 header bytes.
namespace layer3 {

// How far back main_data_begin reaches: 511 bytes for MPEG-1, 255 for MPEG-2 and 2.5.
int maxMainDataBegin(const Mp3FrameHeader& header);
// Bytes before this frame's payload at which its main data starts.
int mainDataBegin(const Mp3FrameHeader& header, const std::uint8_t* sideInfo);
void setMainDataBegin(const Mp3FrameHeader& header, std::uint8_t* sideInfo, int value);
// Bytes of main data: the granules' part2_3_length bits, rounded up to whole bytes. What
// follows them up to the next frame's main data is ancillary.
int mainDataLength(const Mp3FrameHeader& header, const std::uint8_t* sideInfo);
// True when, in every channel, the last granule of the frame `before` ends with the window
// shape (long or short) that the first granule of `after` starts with, so that the decoder's
// overlap-add of the two cancels its aliasing as within one encoder's stream.
bool windowsJoin(const std::vector<std::uint8_t>& before, const std::vector<std::uint8_t>& after);

} // namespace layer3
