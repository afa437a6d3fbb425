// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/wav_header.h"

#include "common/exception.h"

#include <QIODevice>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

// The format record is copied byte for byte, as the file lays it out.
static_assert(std::endian::native == std::endian::little);

namespace {

std::uint32_t le32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
           std::uint32_t(b[3]) << 24;
}

std::uint64_t le64(const char* p) {
    return std::uint64_t(le32(p)) | std::uint64_t(le32(p + 4)) << 32;
}

// An RF64 file states 0xFFFFFFFF for a size that ds64 holds.
constexpr std::uint32_t kSizeInDs64 = 0xFFFFFFFF;

bool readExactly(QIODevice& file, char* into, qint64 size) {
    return file.read(into, size) == size;
}

// Moves to `target` when that lies inside the file. A target at or past the end means that
// nothing follows, so the walk is over; not seeking there spares QBuffer's warning.
bool moveTo(QIODevice& file, qint64 target) {
    return target < file.size() && file.seek(target);
}

} // namespace

bool ReadWavHeader(QIODevice& file, WavHeaderInfo& info) {
    char riff[8];
    char wave[4];
    if (!readExactly(file, riff, sizeof riff) || !readExactly(file, wave, sizeof wave))
        throw EInOutError("Read beyond end of file");
    const bool rf64 = std::memcmp(riff, "RF64", 4) == 0;
    if ((!rf64 && std::memcmp(riff, "RIFF", 4) != 0) || std::memcmp(wave, "WAVE", 4) != 0)
        return false;

    bool foundData = false;
    // The data size ds64 states, when an RF64 file has one.
    std::uint64_t ds64Data = kSizeInDs64;
    while (!file.atEnd()) {
        char header[8];
        if (!readExactly(file, header, sizeof header))
            break;
        std::uint64_t size = le32(header + 4);
        const qint64 body = file.pos();

        if (rf64 && std::memcmp(header, "ds64", 4) == 0) {
            // The RIFF size, the data size and the sample count lead the body.
            char sizes[24];
            if (size >= sizeof sizes && readExactly(file, sizes, sizeof sizes))
                ds64Data = le64(sizes + 8);
        } else if (std::memcmp(header, "fmt ", 4) == 0) {
            // Only the format header is kept, so only it is read; a body that the file does not
            // hold in full is not taken at all.
            if (body + qint64(size) > file.size())
                break;
            const auto kept =
                static_cast<qint64>(std::min<std::uint64_t>(size, sizeof info.Format));
            char format[sizeof info.Format];
            if (!readExactly(file, format, kept))
                break;
            std::memcpy(&info.Format, format, static_cast<std::size_t>(kept));
        } else if (std::memcmp(header, "data", 4) == 0) {
            if (rf64 && size == kSizeInDs64)
                size = ds64Data;
            info.DataOffset = body;
            info.DataSize = static_cast<std::int64_t>(
                std::min<std::uint64_t>(size, std::numeric_limits<std::int64_t>::max()));
            foundData = true;
        }
        // RIFF pads a body of odd size to an even length. A body that reaches past the end
        // leaves nothing to walk to (and its size no room to overflow in).
        const auto rest = static_cast<std::uint64_t>(std::max<qint64>(file.size() - body, 0));
        if (size >= rest || !moveTo(file, body + qint64(size) + qint64(size & 1)))
            break;
    }
    file.seek(0);
    return foundData;
}
