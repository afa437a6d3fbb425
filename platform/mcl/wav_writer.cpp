// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "platform/mcl/wav_writer.h"

#include "common/file_names.h"
#include "platform/mcl/ffmpeg_log.h"
#include "platform/mcl/stretch_converter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static_assert(std::endian::native == std::endian::little, "samples are written as they lie");

namespace {

// Small blocks are gathered up to this size; a block as large as the job's goes out in the call
// that brings it, so that a full disk shows in that call's result.
constexpr std::size_t kGather = 1 << 16;
constexpr std::size_t kHeaderSize = 80;
constexpr std::uint32_t kReservedBytes = 28; // ds64 without a table
constexpr std::uint32_t kUnknown = 0xFFFFFFFF;
constexpr int kEmptyRate = 44100;
constexpr int kEmptyChannels = 2;

enum class Form { Riff, Rf64, Streamed };

// `trailing`: the bytes that follow the sound (cue chunks and the data chunk's pad byte).
std::array<char, kHeaderSize> makeHeader(Form form, int rate, int channels, std::uint64_t dataBytes,
                                         std::uint64_t trailing = 0) {
    std::array<char, kHeaderSize> h{};
    std::size_t at = 0;
    auto text = [&](const char* four) {
        std::memcpy(h.data() + at, four, 4);
        at += 4;
    };
    auto number = [&](std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            h[at++] = static_cast<char>(value >> (8 * i) & 0xFF);
    };
    const auto blockAlign = static_cast<std::uint32_t>(channels * 2);
    const std::uint64_t riffSize = kHeaderSize - 8 + dataBytes + trailing;
    text(form == Form::Rf64 ? "RF64" : "RIFF");
    number(form == Form::Riff ? riffSize : kUnknown, 4);
    text("WAVE");
    text(form == Form::Rf64 ? "ds64" : "JUNK");
    number(kReservedBytes, 4);
    if (form == Form::Rf64) {
        number(riffSize, 8);
        number(dataBytes, 8);
        number(dataBytes / blockAlign, 8); // sample frames
        number(0, 4);                      // no table of other chunk sizes
    } else {
        at += kReservedBytes;
    }
    text("fmt ");
    number(16, 4);
    number(1, 2); // PCM
    number(static_cast<std::uint32_t>(channels), 2);
    number(static_cast<std::uint32_t>(rate), 4);
    number(static_cast<std::uint32_t>(rate) * blockAlign, 4);
    number(blockAlign, 2);
    number(16, 2);
    text("data");
    number(form == Form::Riff ? dataBytes : kUnknown, 4);
    return h;
}

} // namespace

// A 32-bit RIFF size field cannot state more than kRiffLimit.
WavWriter::WavWriter(std::uint64_t limit) : riffLimit(std::min(limit, kRiffLimit)) {}

WavWriter::~WavWriter() {
    close();
}

bool WavWriter::open(const std::string& fileName) {
    close();
    fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        qCDebug(lcMcl) << "cannot create" << visibleName(decodeFileName(fileName.c_str()))
                       << std::strerror(errno);
        return false;
    }
    begin();
    return true;
}

bool WavWriter::attach(int descriptor) {
    close();
    fd = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        qCDebug(lcMcl) << "cannot take descriptor" << descriptor << std::strerror(errno);
        return false;
    }
    begin();
    return true;
}

void WavWriter::begin() {
    struct stat status {};
    seekable = ::fstat(fd, &status) == 0 && (S_ISREG(status.st_mode) || S_ISBLK(status.st_mode));
    failed = headerStarted = flushed = false;
    rate = channels = 0;
    dataBytes = 0;
    stretch.reset();
    cues.clear();
    buffer.clear();
    buffer.reserve(2 * kGather);
}

bool WavWriter::write(const SoundBlock& block) {
    if (!isOpen() || failed)
        return false;
    if (block.samples.empty())
        return true;
    if (block.rate <= 0 || block.channels < 1 || block.channels > 2)
        return false;
    if (!headerStarted) {
        rate = block.rate;
        channels = block.channels;
        // Sizes follow at the close where the file can seek; until then a reader of a file cut
        // short reads on to its end.
        const auto header = makeHeader(Form::Streamed, rate, channels, 0);
        buffer.assign(header.begin(), header.end());
        headerStarted = true;
    }
    const bool ok = block.rate == rate && block.channels == channels
                        ? finishStretch() && append(block.samples.data(), block.samples.size())
                        : appendConverted(block);
    return ok && (buffer.size() < kGather || flushBuffer());
}

std::int64_t WavWriter::position() const {
    if (channels == 0)
        return 0;
    const auto written =
        static_cast<std::int64_t>(dataBytes / (2 * static_cast<unsigned>(channels)));
    return written + (stretch ? stretch->framesOwed() : 0);
}

bool WavWriter::addCue(std::int64_t frame, const std::string& label) {
    if (!isOpen() || !seekable || frame < 0 || frame > 0xFFFFFFFF)
        return false;
    cues.push_back({static_cast<std::uint32_t>(frame), label});
    return true;
}

bool WavWriter::appendConverted(const SoundBlock& block) {
    if (!stretch || !stretch->accepts(block.rate, block.channels)) {
        if (!finishStretch())
            return false;
        stretch = StretchConverter::create(block.rate, block.channels, rate, channels);
        if (!stretch)
            return false;
    }
    converted.clear();
    if (!stretch->convert(block.samples.data(), block.frames(), converted))
        return false;
    return append(converted.data(), converted.size());
}

bool WavWriter::close() {
    if (!isOpen())
        return true;
    bool ok = !failed && finishStretch();
    if (!headerStarted) {
        rate = kEmptyRate;
        channels = kEmptyChannels;
        buffer.resize(kHeaderSize);
        headerStarted = true;
    }
    std::vector<char> trailing;
    if (!cues.empty()) {
        if (dataBytes & 1)
            trailing.push_back('\0');
        const std::vector<char> chunks = wavCueChunks(cues);
        trailing.insert(trailing.end(), chunks.begin(), chunks.end());
    }
    const Form form =
        kHeaderSize - 8 + dataBytes + trailing.size() > riffLimit ? Form::Rf64 : Form::Riff;
    const auto header = makeHeader(form, rate, channels, dataBytes, trailing.size());
    if (!flushed) // the whole file is still in hand, its header first
        std::memcpy(buffer.data(), header.data(), header.size());
    buffer.insert(buffer.end(), trailing.begin(), trailing.end());
    ok = ok && flushBuffer();
    if (flushed && seekable)
        ok = ok &&
             ::pwrite(fd, header.data(), header.size(), 0) == static_cast<ssize_t>(kHeaderSize);
    ok = ::close(fd) == 0 && ok;
    fd = -1;
    stretch.reset();
    cues.clear();
    buffer.clear();
    return ok;
}

std::int64_t WavWriter::flush() {
    if (!isOpen() || failed || !finishStretch() || !flushBuffer())
        return -1;
    return static_cast<std::int64_t>(kHeaderSize + dataBytes);
}

// The rest of a stretch of another format that has ended.
bool WavWriter::finishStretch() {
    if (!stretch)
        return true;
    converted.clear();
    const bool ok = stretch->finish(converted);
    stretch.reset();
    return ok && append(converted.data(), converted.size());
}

bool WavWriter::append(const std::int16_t* samples, std::size_t count) {
    const std::size_t bytes = count * sizeof(std::int16_t);
    const auto* data = reinterpret_cast<const char*>(samples);
    if (bytes >= kGather) {
        if (!flushBuffer() || !writeAll(data, bytes))
            return false;
    } else {
        buffer.insert(buffer.end(), data, data + bytes);
    }
    dataBytes += bytes;
    if (soundTap && count > 0)
        soundTap(samples, static_cast<std::int64_t>(count) / channels, rate, channels);
    return true;
}

bool WavWriter::flushBuffer() {
    if (buffer.empty())
        return !failed;
    const bool ok = writeAll(buffer.data(), buffer.size());
    buffer.clear();
    flushed = true;
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
        flushed = true;
    }
    return !failed;
}
