// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/loudness_meter.h"

#include <algorithm>
#include <system_error>

namespace {

// Unmeasured sound the decoding thread may run ahead by, in samples (4 MiB): two stretches of
// stereo, so that while it waits, each worker has sound to measure.
constexpr std::size_t kMostQueued = 1 << 21;
// Sound is handed to a worker in blocks of this many samples (256 KiB), not a decoder's frame
// (a few KiB) at a time: each hand-over takes the lock and wakes whoever waits, and each block
// is a buffer of its own.
constexpr std::size_t kBlockSamples = 1 << 17;

} // namespace

LoudnessMeter::LoudnessMeter(bool monoOnBothSides) : monoTwice(monoOnBothSides) {
    // Without threads the caller measures as it adds: slower, but the same result.
    try {
        for (Lane& lane : lanes)
            workers.emplace_back([this, &lane] { work(lane); });
    } catch (const std::system_error&) {
        stopWorkers(true);
        workers.clear();
        ending = false;
        abandoned = false;
    }
}

LoudnessMeter::~LoudnessMeter() {
    stopWorkers(true);
}

void LoudnessMeter::tap(void* meter, const std::int16_t* samples, std::int64_t frames, int rate,
                        int channels) {
    static_cast<LoudnessMeter*>(meter)->add(samples, frames, rate, channels);
}

void LoudnessMeter::add(const std::int16_t* samples, std::int64_t frames, int rate_,
                        int channels_) {
    if (frames <= 0 || channels_ <= 0 || finished || wrongFormat)
        return;
    if (added == 0) {
        rate = rate_;
        channels = channels_;
        if (rate <= 0 || channels > 2) {
            wrongFormat = true;
            return;
        }
    } else if (rate_ != rate || channels_ != channels) {
        wrongFormat = true;
        return;
    }

    // Cut where a stretch ends, the next one going to the next worker, and where a block is full.
    const auto blockFrames = static_cast<std::int64_t>(kBlockSamples) / channels;
    while (frames > 0) {
        const std::int64_t stretch = added / kStretchFrames;
        const std::int64_t stretchEnd = (stretch + 1) * kStretchFrames;
        std::int64_t take = std::min(frames, stretchEnd - added);
        if (workers.empty()) {
            Block block;
            block.stretch = stretch;
            block.samples.assign(samples, samples + take * channels);
            measure(lanes[stretch % kWorkers], block);
        } else {
            if (pending.samples.empty())
                startPending(stretch);
            const auto held = static_cast<std::int64_t>(pending.samples.size()) / channels;
            take = std::min(take, blockFrames - held);
            pending.samples.insert(pending.samples.end(), samples, samples + take * channels);
            if (held + take == blockFrames || added + take == stretchEnd)
                sendPending();
        }
        added += take;
        samples += take * channels;
        frames -= take;
    }
}

void LoudnessMeter::startPending(std::int64_t stretch) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] {
        return queuedSamples < kMostQueued ||
               std::all_of(std::begin(lanes), std::end(lanes),
                           [](const Lane& l) { return l.queue.empty(); });
    });
    if (!spare.empty()) {
        pending.samples = std::move(spare.back());
        spare.pop_back();
    }
    lock.unlock();
    pending.samples.clear();
    pending.samples.reserve(kBlockSamples);
    pending.stretch = stretch;
}

void LoudnessMeter::sendPending() {
    if (pending.samples.empty())
        return;
    {
        const std::lock_guard lock(mutex);
        queuedSamples += pending.samples.size();
        lanes[pending.stretch % kWorkers].queue.push_back(std::move(pending));
    }
    pending = Block();
    changed.notify_all();
}

LoudnessMeasurement LoudnessMeter::finish() {
    if (!finished)
        sendPending();
    stopWorkers(false);
    if (finished)
        return result;
    finished = true;
    result.rate = rate;
    result.channels = channels;
    result.frames = added;
    result.failed = wrongFormat;

    std::vector<std::pair<std::int64_t, std::vector<std::uint16_t>>> stretches;
    std::vector<ebur128_state*> states;
    for (Lane& lane : lanes) {
        result.failed = result.failed || lane.failed;
        // Only the stretch the sound ends in can end within a window.
        if (lane.windowFill > 0)
            lane.peaks.back().second.push_back(static_cast<std::uint16_t>(lane.windowPeak));
        for (auto& stretch : lane.peaks)
            stretches.push_back(std::move(stretch));
        if (lane.state)
            states.push_back(lane.state.get());
    }
    std::sort(stretches.begin(), stretches.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& stretch : stretches)
        result.windowPeaks.insert(result.windowPeaks.end(), stretch.second.begin(),
                                  stretch.second.end());

    if (!result.failed && !states.empty()) {
        double loudness = 0;
        if (ebur128_loudness_global_multiple(states.data(), states.size(), &loudness) ==
            EBUR128_SUCCESS)
            result.loudness = loudness;
        else
            result.failed = true;
    }
    for (Lane& lane : lanes)
        lane.state.reset();
    return result;
}

void LoudnessMeter::stopWorkers(bool abandon) {
    {
        const std::lock_guard lock(mutex);
        ending = true;
        abandoned = abandoned || abandon;
    }
    changed.notify_all();
    for (std::thread& worker : workers) {
        if (worker.joinable())
            worker.join();
    }
}

void LoudnessMeter::work(Lane& lane) {
    for (;;) {
        Block block;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return !lane.queue.empty() || ending; });
            if (lane.queue.empty() || abandoned)
                return;
            block = std::move(lane.queue.front());
            lane.queue.pop_front();
        }
        // Exceptions must not leave the thread; a block that cannot be measured fails the whole.
        try {
            measure(lane, block);
        } catch (const std::exception&) {
            lane.failed = true;
        }
        {
            const std::lock_guard lock(mutex);
            queuedSamples -= block.samples.size();
            spare.push_back(std::move(block.samples));
        }
        changed.notify_all();
    }
}

void LoudnessMeter::measure(Lane& lane, const Block& block) {
    if (lane.failed)
        return;
    if (!lane.state) {
        lane.state.reset(ebur128_init(static_cast<unsigned>(channels),
                                      static_cast<unsigned long>(rate), EBUR128_MODE_I));
        if (!lane.state ||
            (channels == 1 && monoTwice &&
             ebur128_set_channel(lane.state.get(), 0, EBUR128_DUAL_MONO) != EBUR128_SUCCESS)) {
            lane.failed = true;
            return;
        }
    }
    const auto frames = static_cast<std::int64_t>(block.samples.size()) / channels;
    if (ebur128_add_frames_short(lane.state.get(), block.samples.data(),
                                 static_cast<std::size_t>(frames)) != EBUR128_SUCCESS) {
        lane.failed = true;
        return;
    }
    if (lane.peaks.empty() || lane.peaks.back().first != block.stretch)
        lane.peaks.emplace_back(block.stretch, std::vector<std::uint16_t>());
    notePeaks(lane, block.samples.data(), frames);
}

void LoudnessMeter::notePeaks(Lane& lane, const std::int16_t* samples, std::int64_t frames) {
    std::vector<std::uint16_t>& peaks = lane.peaks.back().second;
    while (frames > 0) {
        const std::int64_t take = std::min(frames, kPeakWindow - lane.windowFill);
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
        lane.windowPeak = std::max({lane.windowPeak, int{highest}, -int{lowest}});
        lane.windowFill += take;
        samples += count;
        frames -= take;
        if (lane.windowFill == kPeakWindow) {
            peaks.push_back(static_cast<std::uint16_t>(lane.windowPeak));
            lane.windowFill = 0;
            lane.windowPeak = 0;
        }
    }
}
