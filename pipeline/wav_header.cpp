#include "pipeline/wav_header.h"

#include "common/exception.h"

#include <QIODevice>

#include <algorithm>
#include <bit>
#include <cstring>

// The format record is copied byte for byte, as the file lays it out.
static_assert(std::endian::native == std::endian::little);

namespace {

std::uint32_t le32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
           std::uint32_t(b[3]) << 24;
}

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
    if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(wave, "WAVE", 4) != 0)
        return false;

    bool foundData = false;
    while (!file.atEnd()) {
        char header[8];
        if (!readExactly(file, header, sizeof header))
            break;
        const std::uint32_t size = le32(header + 4);
        const qint64 body = file.pos();
        // RIFF pads a body of odd size to an even length.
        const qint64 next = body + qint64(size) + (size & 1);

        if (std::memcmp(header, "fmt ", 4) == 0) {
            // Only the format header is kept, so only it is read; a body that the file does not
            // hold in full is not taken at all.
            if (body + qint64(size) > file.size())
                break;
            const auto kept =
                static_cast<qint64>(std::min<std::uint32_t>(size, sizeof info.Format));
            char format[sizeof info.Format];
            if (!readExactly(file, format, kept))
                break;
            std::memcpy(&info.Format, format, static_cast<std::size_t>(kept));
        } else if (std::memcmp(header, "data", 4) == 0) {
            info.DataOffset = body;
            info.DataSize = size;
            foundData = true;
        }
        if (!moveTo(file, next))
            break;
    }
    file.seek(0);
    return foundData;
}
