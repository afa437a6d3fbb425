#include "platform/mcl/wav_writer.h"

#include "platform/mcl/ffmpeg_log.h"
#include "platform/mcl/sample_converter.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

static_assert(std::endian::native == std::endian::little, "samples are written as they lie");

namespace {

// Small blocks are gathered up to this size; a block as large as the job's goes out in the call
// that brings it, so that a full disk shows in that call's result.
constexpr std::size_t kGather = 1 << 16;
constexpr std::size_t kHeaderSize = 44;
constexpr int kEmptyRate = 44100;
constexpr int kEmptyChannels = 2;

std::array<char, kHeaderSize> makeHeader(int rate, int channels, std::uint32_t dataBytes) {
    std::array<char, kHeaderSize> h{};
    std::size_t at = 0;
    auto text = [&](const char* four) {
        std::memcpy(h.data() + at, four, 4);
        at += 4;
    };
    auto number = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            h[at++] = static_cast<char>(value >> (8 * i) & 0xFF);
    };
    const auto blockAlign = static_cast<std::uint32_t>(channels * 2);
    text("RIFF");
    number(36 + dataBytes, 4);
    text("WAVE");
    text("fmt ");
    number(16, 4);
    number(1, 2); // PCM
    number(static_cast<std::uint32_t>(channels), 2);
    number(static_cast<std::uint32_t>(rate), 4);
    number(static_cast<std::uint32_t>(rate) * blockAlign, 4);
    number(blockAlign, 2);
    number(16, 2);
    text("data");
    number(dataBytes, 4);
    return h;
}

} // namespace

WavWriter::WavWriter(std::uint64_t limit) : maxDataBytes(limit) {}

WavWriter::~WavWriter() {
    close();
}

bool WavWriter::open(const std::string& fileName) {
    close();
    fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        qCDebug(lcMcl) << "cannot create" << fileName.c_str() << std::strerror(errno);
        return false;
    }
    failed = full = false;
    rate = channels = 0;
    dataBytes = 0;
    converter.reset();
    buffer.reserve(2 * kGather);
    // A provisional header, so that even an interrupted file starts like a WAV file.
    const auto header = makeHeader(kEmptyRate, kEmptyChannels, 0);
    buffer.assign(header.begin(), header.end());
    return true;
}

bool WavWriter::write(const SoundBlock& block) {
    if (!isOpen() || failed || full)
        return false;
    if (block.samples.empty())
        return true;
    if (block.rate <= 0 || block.channels < 1 || block.channels > 2)
        return false;
    if (channels == 0) {
        rate = block.rate;
        channels = block.channels;
    }
    const bool ok = block.rate == rate && block.channels == channels
                        ? flushConverter() && append(block.samples.data(), block.samples.size())
                        : appendConverted(block);
    return ok && (buffer.size() < kGather || flushBuffer());
}

bool WavWriter::appendConverted(const SoundBlock& block) {
    const ChannelLayout layout(block.channels);
    if (!converter || !converter->accepts(AV_SAMPLE_FMT_S16, layout, block.rate)) {
        if (!flushConverter())
            return false;
        converter = SampleConverter::create(AV_SAMPLE_FMT_S16, layout, block.rate, channels, rate);
        if (!converter)
            return false;
    }
    converted.clear();
    const auto* in = reinterpret_cast<const std::uint8_t*>(block.samples.data());
    if (!converter->convert(&in, static_cast<int>(block.frames()), converted))
        return false;
    return append(converted.data(), converted.size());
}

bool WavWriter::close() {
    if (!isOpen())
        return true;
    // A resampler tail beyond the size limit is dropped: the file stays valid without it.
    if (!failed && !full)
        flushConverter();
    bool ok = !failed && flushBuffer();
    const auto header =
        makeHeader(channels ? rate : kEmptyRate, channels ? channels : kEmptyChannels,
                   static_cast<std::uint32_t>(dataBytes));
    ok = ok && ::pwrite(fd, header.data(), header.size(), 0) == static_cast<ssize_t>(kHeaderSize);
    ok = ::close(fd) == 0 && ok;
    fd = -1;
    converter.reset();
    buffer.clear();
    return ok;
}

// The tail the resampler holds of a format that has ended.
bool WavWriter::flushConverter() {
    if (!converter)
        return true;
    converted.clear();
    const bool ok = converter->flush(converted);
    converter.reset();
    return ok && append(converted.data(), converted.size());
}

bool WavWriter::append(const std::int16_t* samples, std::size_t count) {
    const std::size_t bytes = count * sizeof(std::int16_t);
    if (dataBytes + bytes > maxDataBytes) {
        full = true;
        return false;
    }
    const auto* data = reinterpret_cast<const char*>(samples);
    if (bytes >= kGather) {
        if (!flushBuffer() || !writeAll(data, bytes))
            return false;
    } else {
        buffer.insert(buffer.end(), data, data + bytes);
    }
    dataBytes += bytes;
    return true;
}

bool WavWriter::flushBuffer() {
    const bool ok = writeAll(buffer.data(), buffer.size());
    buffer.clear();
    return ok;
}

bool WavWriter::writeAll(const char* data, std::size_t size) {
    while (size > 0 && !failed) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            qCDebug(lcMcl) << "write failed:" << std::strerror(errno);
            failed = true;
            break;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return !failed;
}
