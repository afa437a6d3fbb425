#pragma once

#include "acm/ACMConvertor.h"

#include <cstdint>
#include <cstring>

// The transcoding stage's loop over an active convertor, shared by the benchmark and the tests:
// blocks of InputBufferSize, the start flag on the first, the end flag on the last (a block
// shorter than the buffer), untaken bytes read again; then the stream is reset. Each block's
// output goes to `sink(bytes, length)`.
template <typename Sink>
void convertLikeTheStage(TACMConvertor& convertor, const std::uint8_t* data, std::size_t size,
                         Sink&& sink) {
    AcmLibrary& acm = convertor.library();
    ACMSTREAMHEADER& header = convertor.StreamHeader;
    auto remaining = static_cast<std::int64_t>(size);
    std::size_t position = 0;
    bool first = true;
    while (remaining > 0) {
        std::uint32_t length = convertor.InputBufferSize();
        bool last = false;
        if (remaining < length) {
            length = static_cast<std::uint32_t>(remaining);
            last = true;
        }
        std::memcpy(convertor.InputBuffer.get(), data + position, length);
        position += length;
        remaining -= length;
        header.cbSrcLength = header.cbSrcLengthUsed = length;
        const DWORD flags = last ? ACM_STREAMCONVERTF_END : first ? ACM_STREAMCONVERTF_START : 0;
        convertor.CheckAcmResult("acmStreamConvert:",
                                 acm.acmStreamConvert(convertor.StreamHandle, &header, flags));
        if (header.cbSrcLengthUsed != length && header.cbSrcLengthUsed != 0) {
            position -= length - header.cbSrcLengthUsed;
            remaining += length - header.cbSrcLengthUsed;
        }
        sink(convertor.OutputBuffer.get(), header.cbDstLengthUsed);
        first = false;
    }
    header.cbSrcLength = convertor.InputBufferSize();
    convertor.CheckAcmResult("acmStreamReset", acm.acmStreamReset(convertor.StreamHandle, 0));
}
