// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "codec/mp3/layer3_frame.h"

namespace layer3 {
namespace {

unsigned readBits(const std::uint8_t* data, int position, int count) {
    unsigned value = 0;
    for (int i = position; i < position + count; ++i)
        value = value << 1 | (data[i >> 3] >> (7 - (i & 7)) & 1u);
    return value;
}

bool mpeg1(const Mp3FrameHeader& h) {
    return h.version == Mp3FrameHeader::Version::Mpeg1;
}

// Where the per-granule, per-channel records sit (ISO 11172-3 2.4.1.7, ISO 13818-3 2.4.1.7).
struct Layout {
    int granules;
    int channels;
    int firstRecord;  // bit offset of granule 0, channel 0
    int recordBits;   // one granule and channel
    int switchOffset; // window_switching_flag within a record
};

Layout layout(const Mp3FrameHeader& h) {
    const int channels = h.channels();
    if (mpeg1(h)) // main_data_begin 9, private bits 5 or 3, scfsi 4 per channel
        return {2, channels, 9 + (channels == 1 ? 5 : 3) + 4 * channels, 59, 33};
    // main_data_begin 8, private bits 1 or 2; a 9-bit scalefac_compress
    return {1, channels, 8 + (channels == 1 ? 1 : 2), 63, 38};
}

struct Edges {
    bool longStart;
    bool longEnd;
};

Edges windowEdges(const std::uint8_t* sideInfo, const Layout& l, int granule, int channel) {
    const int record = l.firstRecord + (granule * l.channels + channel) * l.recordBits;
    if (!readBits(sideInfo, record + l.switchOffset, 1))
        return {true, true};
    // block_type 1 starts long and ends short, 2 is short throughout, 3 starts short and ends
    // long; 0 is not allowed with window switching and is taken as long.
    const unsigned type = readBits(sideInfo, record + l.switchOffset + 1, 2);
    return {type == 0 || type == 1, type == 0 || type == 3};
}

} // namespace

int maxMainDataBegin(const Mp3FrameHeader& header) {
    return mpeg1(header) ? 511 : 255;
}

int mainDataBegin(const Mp3FrameHeader& header, const std::uint8_t* sideInfo) {
    return static_cast<int>(readBits(sideInfo, 0, mpeg1(header) ? 9 : 8));
}

void setMainDataBegin(const Mp3FrameHeader& header, std::uint8_t* sideInfo, int value) {
    if (mpeg1(header)) {
        sideInfo[0] = static_cast<std::uint8_t>(value >> 1);
        sideInfo[1] = static_cast<std::uint8_t>((sideInfo[1] & 0x7F) | (value & 1) << 7);
    } else {
        sideInfo[0] = static_cast<std::uint8_t>(value);
    }
}

int mainDataLength(const Mp3FrameHeader& header, const std::uint8_t* sideInfo) {
    const Layout l = layout(header);
    unsigned bits = 0;
    for (int record = 0; record < l.granules * l.channels; ++record)
        bits += readBits(sideInfo, l.firstRecord + record * l.recordBits, 12);
    return static_cast<int>((bits + 7) / 8);
}

bool windowsJoin(const std::vector<std::uint8_t>& before, const std::vector<std::uint8_t>& after) {
    const auto a = parseMp3FrameHeader(before.data(), before.size());
    const auto b = parseMp3FrameHeader(after.data(), after.size());
    if (!a || !b || a->channels() != b->channels() || a->version != b->version ||
        before.size() < std::size_t(4 + a->sideInfoLength) ||
        after.size() < std::size_t(4 + b->sideInfoLength))
        return false;
    const Layout la = layout(*a), lb = layout(*b);
    for (int channel = 0; channel < la.channels; ++channel) {
        const Edges end = windowEdges(before.data() + 4, la, la.granules - 1, channel);
        const Edges start = windowEdges(after.data() + 4, lb, 0, channel);
        if (end.longEnd != start.longStart)
            return false;
    }
    return true;
}

} // namespace layer3
