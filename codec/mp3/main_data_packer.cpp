// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "codec/mp3/main_data_packer.h"

#include <algorithm>
#include <limits>

int MainDataPacker::reservoir() const {
    return format ? static_cast<int>(payloadEnd - nextMainStart()) : 0;
}

std::int64_t MainDataPacker::nextMainStart() const {
    return std::max(mainEnd, payloadEnd - (useReservoir ? layer3::maxMainDataBegin(*format) : 0));
}

bool MainDataPacker::fits(const Layer3Frame& frame) const {
    const auto header = parseMp3FrameHeader(frame.head.data(), frame.head.size());
    if (!header || frame.head.size() < std::size_t(4 + header->sideInfoLength) ||
        reservoir() < layer3::mainDataBegin(*header, frame.head.data() + 4))
        return false;
    return last.empty() || layer3::windowsJoin(last, frame.head);
}

bool MainDataPacker::append(const Layer3Frame& frame) {
    const auto header = parseMp3FrameHeader(frame.head.data(), frame.head.size());
    if (!header || header->layer != 3 || header->crc ||
        frame.head.size() != std::size_t(4 + header->sideInfoLength) ||
        frame.frameLength != header->frameLength)
        return false;
    if (format && (header->version != format->version || header->sampleRate != format->sampleRate ||
                   header->channels() != format->channels()))
        return false;
    if (!format) {
        format = header;
        headLength = 4 + header->sideInfoLength;
    }

    const std::int64_t start = nextMainStart();
    const int payloadLength = frame.payloadLength();
    const auto length = std::int64_t(frame.mainData.size());
    if (start + length > payloadEnd + payloadLength)
        return false;

    const std::size_t offset = held.size();
    held.insert(held.end(), frame.head.begin(), frame.head.end());
    layer3::setMainDataBegin(*format, held.data() + offset + 4, int(payloadEnd - start));
    held.resize(held.size() + std::size_t(payloadLength), 0);
    frames.push_back({offset, payloadEnd, payloadLength});

    // The main data may run over the payloads of several frames, around their headers.
    std::int64_t copied = 0;
    for (const Placed& p : frames) {
        const std::int64_t from = std::max(start + copied, p.payloadStart);
        const std::int64_t to = std::min(start + length, p.payloadStart + p.payloadLength);
        if (from >= to)
            continue;
        std::copy_n(frame.mainData.begin() + copied, to - from,
                    held.begin() + std::ptrdiff_t(p.offset + std::size_t(headLength) +
                                                  std::size_t(from - p.payloadStart)));
        copied += to - from;
    }
    mainEnd = start + length;
    payloadEnd += payloadLength;
    last = frame.head;
    return true;
}

void MainDataPacker::take(std::vector<std::uint8_t>& out, bool everything) {
    if (frames.empty())
        return;
    const std::int64_t settled =
        everything ? std::numeric_limits<std::int64_t>::max() : nextMainStart();
    std::size_t count = 0;
    while (count < frames.size() &&
           frames[count].payloadStart + frames[count].payloadLength <= settled)
        ++count;
    if (count == 0)
        return;
    const std::size_t bytes = count == frames.size() ? held.size() : frames[count].offset;
    out.insert(out.end(), held.begin(), held.begin() + std::ptrdiff_t(bytes));
    held.erase(held.begin(), held.begin() + std::ptrdiff_t(bytes));
    frames.erase(frames.begin(), frames.begin() + std::ptrdiff_t(count));
    for (Placed& p : frames)
        p.offset -= bytes;
}
