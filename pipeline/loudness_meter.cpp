// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/loudness_meter.h"

#include <algorithm>
#include <system_error>

namespace {

// Unmeasured sound the decoding thread may run ahead by, in samples (about 2 MiB): a few of the
// job's blocks.
constexpr std::size_t kMostQueued = 1 << 20;

} // namespace

LoudnessMeter::LoudnessMeter(bool monoOnBothSides) : monoTwice(monoOnBothSides) {
    // Without a thread the caller measures as it adds: slower, but the same result.
    try {
        worker = std::thread([this] { work(); });
    } catch (const std::system_error&) {
    }
}

LoudnessMeter::~LoudnessMeter() {
    stopWorker(true);
}

void LoudnessMeter::tap(void* meter, const std::int16_t* samples, std::int64_t frames, int rate,
                        int channels) {
    static_cast<LoudnessMeter*>(meter)->add(samples, frames, rate, channels);
}

void LoudnessMeter::add(const std::int16_t* samples, std::int64_t frames, int rate, int channels) {
    if (frames <= 0 || channels <= 0 || finished)
        return;
    const auto count = static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels);
    Block block;
    block.rate = rate;
    block.channels = channels;
    if (!worker.joinable()) {
        block.samples.assign(samples, samples + count);
        measure(block);
        return;
    }
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return queuedSamples < kMostQueued || queue.empty(); });
        if (!spare.empty()) {
            block.samples = std::move(spare.back());
            spare.pop_back();
        }
    }
    block.samples.assign(samples, samples + count);
    {
        const std::lock_guard lock(mutex);
        queuedSamples += count;
        queue.push_back(std::move(block));
    }
    changed.notify_all();
}

LoudnessMeasurement LoudnessMeter::finish() {
    stopWorker(false);
    if (finished)
        return result;
    finished = true;
    if (windowFill > 0)
        result.windowPeaks.push_back(static_cast<std::uint16_t>(windowPeak));
    if (!result.failed && state) {
        double loudness = 0;
        if (ebur128_loudness_global(state.get(), &loudness) == EBUR128_SUCCESS)
            result.loudness = loudness;
        else
            result.failed = true;
    }
    state.reset();
    return result;
}

void LoudnessMeter::stopWorker(bool abandon) {
    if (!worker.joinable())
        return;
    {
        const std::lock_guard lock(mutex);
        ending = true;
        abandoned = abandoned || abandon;
    }
    changed.notify_all();
    worker.join();
}

void LoudnessMeter::work() {
    for (;;) {
        Block block;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [this] { return !queue.empty() || ending; });
            if (queue.empty() || abandoned)
                return;
            block = std::move(queue.front());
            queue.pop_front();
        }
        // Exceptions must not leave the thread; a block that cannot be measured fails the whole.
        try {
            measure(block);
        } catch (const std::exception&) {
            result.failed = true;
        }
        {
            const std::lock_guard lock(mutex);
            queuedSamples -= block.samples.size();
            spare.push_back(std::move(block.samples));
        }
        changed.notify_all();
    }
}

void LoudnessMeter::measure(const Block& block) {
    if (result.failed)
        return;
    if (!state) {
        if (block.rate <= 0 || block.channels > 2) {
            result.failed = true;
            return;
        }
        state.reset(ebur128_init(static_cast<unsigned>(block.channels),
                                 static_cast<unsigned long>(block.rate), EBUR128_MODE_I));
        if (!state || (block.channels == 1 && monoTwice &&
                       ebur128_set_channel(state.get(), 0, EBUR128_DUAL_MONO) != EBUR128_SUCCESS)) {
            result.failed = true;
            return;
        }
        result.rate = block.rate;
        result.channels = block.channels;
    } else if (block.rate != result.rate || block.channels != result.channels) {
        result.failed = true;
        return;
    }
    const auto frames = static_cast<std::int64_t>(block.samples.size()) / block.channels;
    if (ebur128_add_frames_short(state.get(), block.samples.data(),
                                 static_cast<std::size_t>(frames)) != EBUR128_SUCCESS) {
        result.failed = true;
        return;
    }
    notePeaks(block.samples.data(), frames, block.channels);
    result.frames += frames;
}

void LoudnessMeter::notePeaks(const std::int16_t* samples, std::int64_t frames, int channels) {
    while (frames > 0) {
        const std::int64_t take = std::min(frames, kPeakWindow - windowFill);
        const std::int64_t count = take * channels;
        // Highest and lowest apart, in runs of a fixed length, so that the compiler compares
        // many samples at once.
        std::int16_t highest = 0;
        std::int16_t lowest = 0;
        constexpr std::int64_t kRun = 32;
        std::int64_t i = 0;
        for (; i + kRun <= count; i += kRun) {
            for (std::int64_t k = 0; k < kRun; ++k) {
                highest = std::max(highest, samples[i + k]);
                lowest = std::min(lowest, samples[i + k]);
            }
        }
        for (; i < count; ++i) {
            highest = std::max(highest, samples[i]);
            lowest = std::min(lowest, samples[i]);
        }
        windowPeak = std::max({windowPeak, int{highest}, -int{lowest}});
        windowFill += take;
        samples += count;
        frames -= take;
        if (windowFill == kPeakWindow) {
            result.windowPeaks.push_back(static_cast<std::uint16_t>(windowPeak));
            windowFill = 0;
            windowPeak = 0;
        }
    }
}
