// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/source_levelling.h"

#include "common/error_text.h"
#include "common/exception.h"
#include "pipeline/sample_gain.h"
#include "pipeline/source_level.h"
#include "pipeline/true_peak.h"

#include <cerrno>
#include <cmath>
#include <unistd.h>

namespace {

// Rewritten a piece at a time: large enough to be quick, small enough to pump often.
constexpr std::size_t kRewritePiece = 1 << 20;

// Reads `size` bytes at `offset`; false when the file ends before or fails.
bool readAt(int fd, std::int64_t offset, char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t got = ::pread(fd, data, size, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got == 0)
                errno = EIO;
            return false;
        }
        data += got;
        offset += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool writeAt(int fd, std::int64_t offset, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t done = ::pwrite(fd, data, size, offset);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            if (done == 0)
                errno = ENOSPC;
            return false;
        }
        data += done;
        offset += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

} // namespace

SourceLevelling::SourceLevelling(MclLibrary& library, MclHandle writer, int descriptor,
                                 bool monoOnBothSides)
    : mcl(library), output(writer), fd(descriptor), meter(monoOnBothSides) {
    first = mcl.MclWriteFlush(output);
    tapped = first >= 0 && mcl.MclAudioSetTap(output, &LoudnessMeter::tap, &meter) == 0;
}

SourceLevelling::~SourceLevelling() {
    untap();
}

void SourceLevelling::untap() {
    if (tapped)
        mcl.MclAudioSetTap(output, nullptr, nullptr);
    tapped = false;
}

bool SourceLevelling::finish() {
    const bool wasTapped = tapped;
    last = wasTapped ? mcl.MclWriteFlush(output) : -1;
    untap();
    measured = meter.finish();
    if (!wasTapped || last < first)
        measured.failed = true;
    // What the writer took and what the meter saw must be the same sound.
    const std::int64_t frameBytes = measured.channels * std::int64_t{2};
    if (!measured.failed && measured.frames > 0 && last - first != measured.frames * frameBytes)
        measured.failed = true;
    return !wasTapped || last >= 0;
}

SourceLevel SourceLevelling::choose(int index, double target) {
    const double loudness = measured.failed ? std::nan("") : measured.loudness;
    int readError = 0;
    const auto read = [this, &readError](std::int64_t from, std::int64_t count,
                                         std::vector<std::int16_t>& samples) {
        samples.resize(static_cast<std::size_t>(count * measured.channels));
        if (readAt(fd, first + from * measured.channels * 2,
                   reinterpret_cast<char*>(samples.data()), samples.size() * 2))
            return true;
        readError = errno;
        return false;
    };
    SourceLevel level = chooseLevel(loudness, target, [&](double floorDb) {
        const double peak = truePeakAbove(measured, std::pow(10.0, floorDb / 20), read);
        if (peak < 0)
            throw EInOutError(
                QStringLiteral("Der Ton der Quelldatei konnte zum Messen nicht wieder gelesen "
                               "werden%1")
                    .arg(readError ? QStringLiteral(": ") + systemErrorText(readError) : QString())
                    .toStdString());
        return peak > 0 ? 20 * std::log10(peak) : -HUGE_VAL;
    });
    level.index = index;
    return level;
}

std::uint64_t ditherSeed(int index) {
    return 0x7461'7669'6D6F'0000ULL + static_cast<std::uint64_t>(index);
}

int rewriteWithGain(int descriptor, std::int64_t begin, std::int64_t end, SampleGain& gain,
                    const std::function<void()>& between) {
    std::vector<std::int16_t> piece;
    for (std::int64_t at = begin; at < end;) {
        const auto size = static_cast<std::size_t>(
            std::min<std::int64_t>(end - at, static_cast<std::int64_t>(kRewritePiece)));
        piece.resize(size / 2);
        char* bytes = reinterpret_cast<char*>(piece.data());
        if (!readAt(descriptor, at, bytes, size))
            return errno;
        gain.apply(piece.data(), piece.size());
        if (!writeAt(descriptor, at, bytes, size))
            return errno;
        at += static_cast<std::int64_t>(size);
        if (between)
            between();
    }
    return 0;
}
