// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "acm/ACMConvertor.h"

#include <cstdint>
#include <cstring>

// Converts bytes held in memory block by block on an active convertor, as the transcoding stage
// converts a file: each block's output goes to `sink(bytes, length)`, untaken bytes begin the next
// block, and the stream is reset at the end. A failed block raises EACMConvertor.
template <typename Sink>
void convertBuffer(TACMConvertor& convertor, const std::uint8_t* data, std::size_t size,
                   Sink&& sink) {
    std::size_t position = 0;
    while (position < size) {
        const std::size_t left = size - position;
        const bool last = left <= convertor.InputBufferSize();
        const auto length = static_cast<std::uint32_t>(last ? left : convertor.InputBufferSize());
        std::memcpy(convertor.InputBuffer.get(), data + position, length);
        const AcmBlockResult block = convertor.ConvertBlock(length, last);
        convertor.CheckAcmResult(QStringLiteral("acmStreamConvert:"), block.result);
        position += block.taken;
        sink(convertor.OutputBuffer.get(), block.produced);
    }
    convertor.FinishConversion();
}
