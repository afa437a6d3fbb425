// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "codec/mp3/layer3_splitter.h"

#include <algorithm>

bool Layer3Splitter::push(const std::uint8_t* data, std::size_t size,
                          std::vector<Layer3Frame>& frames) {
    if (broken)
        return false;
    bytes.insert(bytes.end(), data, data + size);
    for (bool progress = true; progress;) {
        progress = false;
        if (!step(frames, progress)) {
            broken = true;
            return false;
        }
    }
    dropOldBytes();
    return true;
}

bool Layer3Splitter::drained() const {
    return !broken && !waiting && nextHeader == base + std::int64_t(bytes.size());
}

// One frame's header or one frame's main data, when its bytes are there.
bool Layer3Splitter::step(std::vector<Layer3Frame>& frames, bool& progress) {
    const std::int64_t end = base + std::int64_t(bytes.size());
    if (!waiting) {
        if (end < nextHeader + 4)
            return true;
        const std::uint8_t* at = bytes.data() + (nextHeader - base);
        const auto header = parseMp3FrameHeader(at, 4);
        if (!header || header->layer != 3 || header->crc)
            return false;
        if (!format) {
            format = header;
            headLength = 4 + header->sideInfoLength;
        } else if (header->version != format->version || header->sampleRate != format->sampleRate ||
                   header->channels() != format->channels()) {
            return false;
        }
        if (header->frameLength < headLength)
            return false;
        if (end < nextHeader + headLength)
            return true;
        current.head.assign(at, at + headLength);
        current.frameLength = header->frameLength;
        recent.push_back({nextHeader, payloadEnd, header->frameLength - headLength});
        payloadEnd += header->frameLength - headLength;
        nextHeader += header->frameLength;
        waiting = true;
    }

    const Placed& frame = recent.back();
    const std::uint8_t* side = current.head.data() + 4;
    const std::int64_t start = frame.payloadStart - layer3::mainDataBegin(*format, side);
    const int length = layer3::mainDataLength(*format, side);
    if (start < recent.front().payloadStart ||
        start + length > frame.payloadStart + frame.payloadLength)
        return false;
    if (length > 0 && streamOffset(start + length - 1) >= end)
        return true;

    current.mainData.resize(std::size_t(length));
    std::size_t copied = 0;
    for (const Placed& p : recent) {
        const std::int64_t from = std::max(start + std::int64_t(copied), p.payloadStart);
        const std::int64_t to = std::min(start + length, p.payloadStart + p.payloadLength);
        if (from >= to)
            continue;
        const auto* source =
            bytes.data() + (p.offset + headLength + (from - p.payloadStart) - base);
        std::copy(source, source + (to - from), current.mainData.begin() + std::ptrdiff_t(copied));
        copied += std::size_t(to - from);
    }
    frames.push_back(std::move(current));
    current = Layer3Frame();
    waiting = false;
    progress = true;

    // The next frame's main data starts no further back than this.
    const std::int64_t reach = payloadEnd - layer3::maxMainDataBegin(*format);
    while (recent.size() > 1 && recent.front().payloadStart + recent.front().payloadLength <= reach)
        recent.pop_front();
    return true;
}

std::int64_t Layer3Splitter::streamOffset(std::int64_t payloadPosition) const {
    for (const Placed& p : recent) {
        if (payloadPosition < p.payloadStart + p.payloadLength)
            return p.offset + headLength + (payloadPosition - p.payloadStart);
    }
    return nextHeader;
}

void Layer3Splitter::dropOldBytes() {
    const std::int64_t keep = recent.empty() ? nextHeader : recent.front().offset;
    const std::int64_t dead = std::min<std::int64_t>(keep - base, std::int64_t(bytes.size()));
    // Erasing from the front moves what is left, so only once it is a good part of the buffer.
    if (dead > 0 && dead * 2 >= std::int64_t(bytes.size())) {
        bytes.erase(bytes.begin(), bytes.begin() + dead);
        base += dead;
    }
}
