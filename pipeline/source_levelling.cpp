// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/source_levelling.h"

#include "common/error_text.h"
#include "common/exception.h"
#include "pipeline/sample_gain.h"
#include "pipeline/source_level.h"
#include "pipeline/true_peak.h"

#include <QScopeGuard>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

// Rewritten a piece at a time: large enough to be quick, small enough to pump often. Even, so
// that every piece holds whole samples.
constexpr std::int64_t kRewritePiece = 1 << 20;

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

// Scales the piece at `at` of the sound that begins at `begin` in place. 0, or the system's
// error number.
int rewritePiece(int fd, std::int64_t begin, std::int64_t at, std::int64_t end,
                 const SampleGain& gain, std::vector<std::int16_t>& piece) {
    const auto size = static_cast<std::size_t>(std::min(end - at, kRewritePiece));
    piece.resize(size / 2);
    char* bytes = reinterpret_cast<char*>(piece.data());
    if (!readAt(fd, at, bytes, size))
        return errno;
    gain.from(static_cast<std::uint64_t>(at - begin) / 2).apply(piece.data(), piece.size());
    if (!writeAt(fd, at, bytes, size))
        return errno;
#ifdef __linux__
    // Sends the piece on its way to the disk at once, so that the flush before the file takes
    // the destination's name has less left to do. Advice only: a failure shows in that flush.
    ::sync_file_range(fd, at, static_cast<off_t>(size), SYNC_FILE_RANGE_WRITE);
#endif
    return 0;
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

int rewriteWithGain(int descriptor, std::int64_t begin, std::int64_t end, const SampleGain& gain,
                    const std::function<void()>& between) {
    // This thread and a helper take the pieces in turn, each scaling with the dither of the
    // piece's own place, so that the bytes are the same whoever takes which.
    std::atomic<std::int64_t> next{begin};
    std::atomic<int> failure{0};
    const auto fail = [&failure](int error) {
        int none = 0;
        failure.compare_exchange_strong(none, error);
    };
    // Scales the next piece not yet taken; false when none is left or one failed.
    const auto takePiece = [&](std::vector<std::int16_t>& piece) {
        if (failure.load() != 0)
            return false;
        const std::int64_t at = next.fetch_add(kRewritePiece);
        if (at >= end)
            return false;
        if (const int error = rewritePiece(descriptor, begin, at, end, gain, piece)) {
            fail(error);
            return false;
        }
        return true;
    };
    const auto work = [&](std::vector<std::int16_t>& piece,
                          const std::function<void()>& afterPiece) {
        while (takePiece(piece))
            if (afterPiece)
                afterPiece();
    };
    // The first piece is this thread's, before the helper starts: however quickly the helper
    // takes the rest, the window is pumped at least once.
    std::vector<std::int16_t> piece;
    if (!takePiece(piece))
        return failure.load();
    if (between)
        between();
    std::thread helper;
    try {
        // Nothing may leave the helper: the first error ends both threads' work.
        helper = std::thread([&] {
            try {
                std::vector<std::int16_t> helperPiece;
                work(helperPiece, nullptr);
            } catch (const std::bad_alloc&) {
                fail(ENOMEM);
            } catch (...) {
                fail(EIO);
            }
        });
    } catch (const std::system_error&) {
        // Without a helper this thread takes every piece.
    }
    // The helper ends before this function, also when `between` throws.
    const auto joinHelper = qScopeGuard([&] {
        next.store(end);
        if (helper.joinable())
            helper.join();
    });
    work(piece, between);
    return failure.load();
}
