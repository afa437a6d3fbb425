// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "codec/mp3/parallel_stream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

namespace {

// Frames an encoder is fed past its overlap: LAME completes a frame once it has one more frame
// and 224 samples of input, and hands the frame's header out once later main data has passed it.
constexpr std::int64_t LookAheadFrames = 2;
// Frames an encoder that has to go on is fed at a time: a few, as a take-over usually comes
// within the overlap or soon after, and enough that the workers' calls into LAME stay long.
constexpr std::int64_t ExtensionFrames = 4;
// Input is kept, and fed to an encoder, in cells of about this many frames: short, so that a
// worker's slice is a fraction of a millisecond's wait for the caller, long enough that the
// bookkeeping per cell costs nothing beside LAME's work.
constexpr std::int64_t CellFrames = 8;
// The longest warm-up worth a second encoder: at 8 kbit/s and 16 to 24 kHz warmUpFrames gives
// more than this, and encoding the pre-rolls would eat what the threads gain.
constexpr unsigned MaxWarmUpFrames = 96;
// A fresh encoder is warm once it has had seven tenths of the time LAME needs to fill its
// reservoir, saving a tenth of the mean frame per frame, and this many frames at least; both
// measured at every output rate (bench/seams).
constexpr double WarmReservoirShare = 0.7;
constexpr double ReservoirSavedPerFrame = 0.1;
constexpr unsigned MinWarmUpFrames = 16;
// The reach of main_data_begin in bits (511 and 255 bytes, ISO 11172-3 and 13818-3) less the
// byte LAME keeps back: the largest reservoir it fills.
constexpr double Mpeg1ReservoirBits = 4088;
constexpr double Mpeg2ReservoirBits = 2040;
// Chunks are this many times the warm-up at least, so that it costs little.
constexpr std::int64_t ChunksPerWarmUp = 8;
// Chunk lengths chosen from the thread count stay within these: shorter ones spend too much on
// warm-ups, longer ones make the last chunk, which no other encoder shares, a long serial tail.
constexpr std::int64_t MinChunkFrames = 96;
constexpr std::int64_t MaxChunkFrames = 768;
// Input that may wait for encoding, across all chunks in flight, when the chunk length is chosen.
constexpr std::int64_t BacklogBudgetBytes = std::int64_t{24} << 20;
// One call takes at most this many frames' worth of samples.
constexpr std::uint32_t CallFrames = 8;
// Frames the packer may hold back, and the flush's last frames, with room to spare.
constexpr std::int64_t HeldFrames = 48;
// The longest grid step (stepFrames) cut into chunks: 44.1 kHz input resampled to 32 or 48 kHz
// needs 5 frames; a longer step would make warm-ups and chunks too coarse.
constexpr std::int64_t MaxStepFrames = 5;

// The fewest frames after which an encoder started afresh is on the grid of one that ran from
// the start: its frames begin at a whole input sample, with LAME's resampler in the same phase.
std::int64_t stepFrames(std::int64_t frameSize, std::int64_t inputRate, std::int64_t outputRate) {
    return outputRate / std::gcd(outputRate, frameSize * inputRate);
}

// After how many frames LAME's padding sequence starts over. From its first frame on, LAME
// subtracts frac = (144000 or 72000 bytes · kbit/s) mod rate from a lag that starts at frac,
// and pads a frame, adding the rate back, when the lag goes below 0: frame i is padded when
// ceil(i·frac / rate) grows, which repeats after rate / gcd(frac, rate) frames.
std::int64_t paddingPeriod(const ChunkEncoder& encoder) {
    const std::int64_t rate = encoder.outputRate();
    const std::int64_t frac =
        std::int64_t(encoder.mpeg1() ? 144000 : 72000) * encoder.bitRate() % rate;
    return frac == 0 ? 1 : rate / std::gcd(frac, rate);
}

std::int64_t roundUp(std::int64_t value, std::int64_t step) {
    return (value + step - 1) / step * step;
}

} // namespace

struct ParallelStream::Encoder {
    unsigned chunk = 0;
    std::int64_t fed = 0;        // input sample frames handed to LAME, from the stream's start
    std::int64_t target = 0;     // fed up to here, then the encoder waits
    std::int64_t frontFrame = 0; // stream frame number of frames.front()
    std::int64_t keepFrom = 0;   // frames before this one are the pre-roll
    std::deque<Layer3Frame> frames;
    std::unique_ptr<ChunkEncoder> lame; // used only by the worker that has the encoder busy
    bool busy = false;
    bool flushWanted = false;
    bool flushed = false;
};

ParallelStream::ParallelStream(const BE_CONFIG& config_, std::unique_ptr<ChunkEncoder> first,
                               unsigned threads, const ChunkLayout& layout, Opener open_,
                               Scheduler schedule_)
    : config(config_), open(std::move(open_)), schedule(std::move(schedule_)),
      channels(first->channels()), frameSize(first->frameSize()), inputRate(first->inputRate()),
      outputRate(first->outputRate()), packer(!config.bNoRes) {
    threads = std::max(threads, 1u);
    const std::int64_t step = stepFrames(frameSize, inputRate, outputRate);
    const std::int64_t frameBytes = inputAt(1) * channels * 2;
    std::int64_t chunk = layout.chunkFrames;
    if (chunk == 0)
        chunk = std::clamp<std::int64_t>(BacklogBudgetBytes / frameBytes / threads, MinChunkFrames,
                                         MaxChunkFrames);
    const unsigned preroll = layout.prerollFrames ? layout.prerollFrames : warmUpFrames(*first);
    prerollFrames = roundUp(preroll, step);
    if (layout.chunkFrames == 0)
        chunk = std::max(chunk, ChunksPerWarmUp * prerollFrames);
    chunkFrames = roundUp(std::max(chunk, prerollFrames + 1), step);
    // A multiple of the step too, so every start stays on the resampler's grid.
    alignFrames = std::lcm(step, paddingPeriod(*first));
    overlapFrames = layout.overlapFrames;
    const std::int64_t cellFrames = roundUp(CellFrames, step);
    cellSamples = inputAt(cellFrames);
    // Encoders run in the earliest chunks first: while one chunk is joined, the others in flight
    // need their input. Many threads get more chunks in flight only as far as the budget goes.
    const auto inFlight = std::int64_t(std::min<std::int64_t>(
        threads, std::max<std::int64_t>(2, BacklogBudgetBytes / (chunkFrames * frameBytes))));
    const std::int64_t backlogFrames = inFlight * chunkFrames + prerollFrames + alignFrames +
                                       overlapFrames + LookAheadFrames + cellFrames;
    backlogLimit = inputAt(backlogFrames);
    // Every frame joined in one call has its input in the backlog, or came with the call.
    const std::int64_t frameLimit = backlogFrames + CallFrames * inputRate / outputRate + 1;
    outputLimit =
        std::max(lameWorstCaseBytes(std::uint32_t(frameSize)),
                 std::uint32_t((frameLimit + HeldFrames) * std::int64_t(first->frameBytesLimit())));

    auto encoder = std::make_shared<Encoder>();
    encoder->target = inputAt(chunkStart(1) + overlapFrames + LookAheadFrames);
    encoder->lame = std::move(first);
    encoders.emplace(0u, encoder);
    current = encoder;
    statistics.chunkFrames = unsigned(chunkFrames);
    statistics.prerollFrames = unsigned(prerollFrames);

    try {
        for (std::int64_t i = 0; i < inFlight; ++i)
            workers.emplace_back([this] { work(); });
    } catch (...) {
        {
            const std::lock_guard lock(mutex);
            stopping = true;
        }
        workWanted.notify_all();
        for (std::thread& worker : workers)
            worker.join();
        throw;
    }
}

ParallelStream::~ParallelStream() {
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    workWanted.notify_all();
    for (std::thread& worker : workers)
        worker.join();
}

bool ParallelStream::suits(const BE_CONFIG& config, const ChunkEncoder& encoder) {
    if (config.bEnableVBR || config.bCRC || config.bWriteVBRHeader || config.bStrictIso ||
        encoder.frameSize() <= 0 || encoder.inputRate() <= 0 || encoder.outputRate() <= 0 ||
        encoder.bitRate() <= 0)
        return false;
    return stepFrames(encoder.frameSize(), encoder.inputRate(), encoder.outputRate()) <=
               MaxStepFrames &&
           warmUpFrames(encoder) <= MaxWarmUpFrames;
}

// The slowest part of an encoder's state is its bit reservoir: LAME saves a tenth of the mean
// frame towards it while it is not full. At 8 kbit/s and 16 to 24 kHz it fills too slowly.
unsigned ParallelStream::warmUpFrames(const ChunkEncoder& encoder) {
    const double reservoirBits = encoder.mpeg1() ? Mpeg1ReservoirBits : Mpeg2ReservoirBits;
    const double meanBits = 8.0 * (encoder.frameBytesLimit() - 1 - encoder.headBytes());
    if (meanBits <= 0)
        return MaxWarmUpFrames + 1;
    return std::max(MinWarmUpFrames, unsigned(std::ceil(WarmReservoirShare * reservoirBits /
                                                        (ReservoirSavedPerFrame * meanBits))));
}

std::uint32_t ParallelStream::samplesLimit() const {
    return CallFrames * std::uint32_t(frameSize) * std::uint32_t(channels);
}

std::int64_t ParallelStream::inputAt(std::int64_t frame) const {
    return (frame * frameSize * inputRate + outputRate - 1) / outputRate;
}

// The frame a chunk's encoder starts on: the last frame where one encoder's padding sequence
// starts over at or before a pre-roll ahead of the chunk's multiple of chunkFrames.
std::int64_t ParallelStream::firstFrame(unsigned chunk) const {
    if (chunk == 0)
        return 0;
    return (std::int64_t(chunk) * chunkFrames - prerollFrames) / alignFrames * alignFrames;
}

// Where chunk k begins in the joined stream. Chunks at least as long as the alignment begin
// exactly one pre-roll after their encoder's start, so that no encoder warms up longer than it
// must; they then lie within alignFrames below the multiples of chunkFrames. Shorter chunks,
// which only a given layout has, keep to the multiples and warm up longer.
std::int64_t ParallelStream::chunkStart(unsigned chunk) const {
    if (chunk == 0)
        return 0;
    if (chunkFrames < alignFrames)
        return std::int64_t(chunk) * chunkFrames;
    return firstFrame(chunk) + prerollFrames;
}

// The chunk the frame belongs to.
unsigned ParallelStream::chunkAt(std::int64_t frame) const {
    auto chunk = unsigned((frame + alignFrames) / chunkFrames);
    while (chunk > 0 && chunkStart(chunk) > frame)
        --chunk;
    return chunk;
}

void ParallelStream::fail(BE_ERR result, std::string text) {
    if (failure != BE_ERR_SUCCESSFUL)
        return;
    failure = result;
    failureReason = std::move(text);
}

std::string ParallelStream::failureText() const {
    const std::lock_guard lock(mutex);
    return failureReason;
}

BE_ERR ParallelStream::encode(std::uint32_t samples, const std::int16_t* pcm, std::uint8_t* output,
                              std::uint32_t* outputBytes) {
    std::unique_lock lock(mutex);
    *outputBytes = 0;
    try {
        return encodeLocked(lock, samples, pcm, output, outputBytes);
    } catch (const std::bad_alloc&) {
        fail(BE_ERR_NO_MEMORY);
        return failure;
    }
}

BE_ERR ParallelStream::encodeLocked(std::unique_lock<std::mutex>& lock, std::uint32_t samples,
                                    const std::int16_t* pcm, std::uint8_t* output,
                                    std::uint32_t* outputBytes) {
    if (failure != BE_ERR_SUCCESSFUL)
        return failure;
    if (ended || samples > samplesLimit())
        return BE_ERR_INVALID_FORMAT_PARAMETERS;

    const std::int64_t frames = samples / std::uint32_t(channels);
    for (std::int64_t copied = 0; copied < frames;) {
        const std::int64_t cell = received / cellSamples;
        if (cells.empty())
            firstCell = cell;
        while (cell - firstCell >= std::int64_t(cells.size()))
            cells.push_back(std::make_shared<Cell>(std::size_t(cellSamples * channels)));
        const std::int64_t within = received % cellSamples;
        const std::int64_t count = std::min(frames - copied, cellSamples - within);
        std::memcpy(cells[std::size_t(cell - firstCell)]->data() + within * channels,
                    pcm + copied * channels, std::size_t(count * channels) * sizeof(std::int16_t));
        copied += count;
        received += count;
    }
    addEncoders();
    workWanted.notify_all();

    join();
    // Too much input waiting: wait for the workers, whose cells are short, so this is brief.
    while (failure == BE_ERR_SUCCESSFUL && received - inputAt(nextFrame) > backlogLimit &&
           anyWork()) {
        progress.wait(lock);
        join();
    }
    releaseInput();
    if (failure != BE_ERR_SUCCESSFUL)
        return failure;
    return handOut(output, outputBytes, false);
}

BE_ERR ParallelStream::finish(std::uint8_t* output, std::uint32_t* outputBytes) {
    std::unique_lock lock(mutex);
    *outputBytes = 0;
    try {
        return finishLocked(lock, output, outputBytes);
    } catch (const std::bad_alloc&) {
        fail(BE_ERR_NO_MEMORY);
        return failure;
    }
}

BE_ERR ParallelStream::finishLocked(std::unique_lock<std::mutex>& lock, std::uint8_t* output,
                                    std::uint32_t* outputBytes) {
    if (failure != BE_ERR_SUCCESSFUL)
        return failure;
    if (ended)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    ended = true;

    // Every encoder still of use whose input was to reach the end is fed to it and flushed; the
    // others end where they were to end and go on only as the join extends them, as mid-stream.
    for (auto& [chunk, encoder] : encoders) {
        if (encoder->target >= received) {
            encoder->target = received;
            encoder->flushWanted = true;
        }
    }
    workWanted.notify_all();

    for (;;) {
        join();
        if (done || failure != BE_ERR_SUCCESSFUL)
            break;
        if (!anyWork()) { // nothing left that could complete the stream
            fail(BE_ERR_INVALID_FORMAT);
            break;
        }
        progress.wait(lock);
    }
    if (failure != BE_ERR_SUCCESSFUL)
        return failure;
    return handOut(output, outputBytes, true);
}

ParallelStats ParallelStream::stats() const {
    const std::lock_guard lock(mutex);
    return statistics;
}

void ParallelStream::addEncoders() {
    while (!ended) {
        const std::int64_t first = firstFrame(nextChunk);
        const std::int64_t start = inputAt(first);
        if (received < start)
            return;
        auto encoder = std::make_shared<Encoder>();
        encoder->chunk = nextChunk;
        encoder->fed = start;
        encoder->target = inputAt(chunkStart(nextChunk + 1) + overlapFrames + LookAheadFrames);
        encoder->frontFrame = first;
        encoder->keepFrom = chunkStart(nextChunk);
        encoders.emplace(nextChunk++, std::move(encoder));
    }
}

// The encoder the next worker should feed, the earliest chunk first, so that the joining goes
// on; its input up to `end`, or its flush. The input is fed cell by cell, up to the target, and
// only once all of it has arrived: where LAME's input is cut never depends on timing.
std::shared_ptr<ParallelStream::Encoder> ParallelStream::runnable(std::int64_t& end,
                                                                  bool& flush) const {
    for (const auto& [chunk, encoder] : encoders) {
        if (encoder->busy || encoder->flushed)
            continue;
        std::int64_t stop =
            std::min(encoder->target, (encoder->fed / cellSamples + 1) * cellSamples);
        if (ended)
            stop = std::min(stop, received);
        if (encoder->fed < stop && stop <= received) {
            end = stop;
            flush = false;
            return encoder;
        }
        if (ended && encoder->flushWanted && encoder->fed >= received) {
            end = encoder->fed;
            flush = true;
            return encoder;
        }
    }
    return nullptr;
}

bool ParallelStream::anyWork() const {
    std::int64_t end = 0;
    bool flush = false;
    return busyWorkers > 0 || runnable(end, flush);
}

void ParallelStream::work() {
    std::unique_lock lock(mutex);
    while (!stopping) {
        std::int64_t end = 0;
        bool flush = false;
        std::shared_ptr<Encoder> encoder =
            failure == BE_ERR_SUCCESSFUL ? runnable(end, flush) : nullptr;
        if (!encoder) {
            workWanted.wait(lock);
            continue;
        }
        encoder->busy = true;
        ++busyWorkers;
        const std::int64_t from = encoder->fed;
        std::shared_ptr<Cell> cell;
        if (!flush)
            cell = cells[std::size_t(from / cellSamples - firstCell)];
        lock.unlock();

        std::vector<Layer3Frame> made;
        BE_ERR result = BE_ERR_SUCCESSFUL;
        std::string reason;
        // Whatever a slice throws fails the stream, with its reason, instead of the program.
        try {
            if (schedule)
                schedule(encoder->chunk);
            if (!encoder->lame)
                encoder->lame = open(config);
            if (!encoder->lame)
                result = BE_ERR_INVALID_FORMAT_PARAMETERS;
            else if (!(flush ? encoder->lame->flush(made)
                             : encoder->lame->encode(cell->data() + (from % cellSamples) * channels,
                                                     std::uint32_t(end - from), made)))
                result = BE_ERR_INVALID_FORMAT;
        } catch (const std::bad_alloc&) {
            result = BE_ERR_NO_MEMORY;
        } catch (const std::exception& error) {
            result = BE_ERR_INVALID_FORMAT;
            reason = error.what();
        } catch (...) {
            result = BE_ERR_INVALID_FORMAT;
        }

        lock.lock();
        encoder->busy = false;
        --busyWorkers;
        try {
            if (result == BE_ERR_SUCCESSFUL)
                keep(*encoder, made, end, flush);
        } catch (const std::bad_alloc&) {
            result = BE_ERR_NO_MEMORY;
        }
        if (result != BE_ERR_SUCCESSFUL)
            fail(result, std::move(reason));
        progress.notify_all();
        workWanted.notify_one(); // the encoder let go may be another worker's next
    }
}

// What a worker's slice made, the pre-roll dropped.
void ParallelStream::keep(Encoder& encoder, std::vector<Layer3Frame>& made, std::int64_t end,
                          bool flush) {
    encoder.fed = end;
    encoder.flushed = encoder.flushed || flush;
    statistics.framesEncoded += made.size();
    for (Layer3Frame& frame : made) {
        if (encoder.frames.empty() && encoder.frontFrame < encoder.keepFrom)
            ++encoder.frontFrame;
        else
            encoder.frames.push_back(std::move(frame));
    }
}

// Writes frames in order for as long as the encoders have them.
//
// A take-over never leaves a later frame's main data without room. Encoder k starts where one
// encoder's padding sequence starts over, so its frames have the joined stream's payload
// lengths. Count payload bytes from the take-over frame s: P_n is where frame n's payload
// starts, R the reach of main_data_begin (511 or 255 bytes, 0 with the reservoir off), len_n the
// main data. In the encoder's own stream frame n's main data starts at E_n, with
// E_n >= E_(n-1) + len_(n-1) and E_n >= P_n - R, and ends by P_(n+1). The packer puts it at
// J_n = max(J_(n-1) + len_(n-1), P_n - R). fits() gives J_s <= E_s; max() grows with its
// arguments, so J_n <= E_n for every later n, and J_n + len_n <= E_n + len_n <= P_(n+1).
void ParallelStream::join() {
    while (failure == BE_ERR_SUCCESSFUL && !done) {
        Encoder& now = *current;
        const unsigned chunk = chunkAt(nextFrame);
        std::shared_ptr<Encoder> next;
        if (chunk > now.chunk) {
            // Encoders whose whole chunk the current one has covered are of no more use.
            encoders.erase(encoders.upper_bound(now.chunk), encoders.lower_bound(chunk));
            if (const auto it = encoders.find(chunk); it != encoders.end())
                next = it->second;
        }
        if (next) {
            while (!next->frames.empty() && next->frontFrame < nextFrame) {
                next->frames.pop_front();
                ++next->frontFrame;
            }
            if (next->frames.empty()) {
                if (!next->flushed)
                    return; // the switch is decided on this frame, so wait for it
            } else if (packer.fits(next->frames.front())) {
                encoders.erase(now.chunk);
                current = next;
                statistics.switches.push_back(nextFrame);
                continue;
            }
        }
        if (now.frames.empty()) {
            if (now.flushed) {
                done = true;
                packer.take(ready, true);
            } else if (!now.busy && now.fed >= now.target) {
                extend(now);
            }
            return;
        }
        if (now.frontFrame != nextFrame || !packer.append(now.frames.front())) {
            fail(BE_ERR_INVALID_FORMAT);
            return;
        }
        now.frames.pop_front();
        ++now.frontFrame;
        ++nextFrame;
        ++statistics.framesWritten;
        packer.take(ready);
    }
}

// The current encoder has written all it was fed and the next cannot take over yet: it goes on
// over more of the input, or, at the end of the input, flushes.
void ParallelStream::extend(Encoder& encoder) {
    if (ended && encoder.target >= received) {
        encoder.flushWanted = true;
    } else {
        encoder.target += inputAt(ExtensionFrames);
        if (ended)
            encoder.target = std::min(encoder.target, received);
    }
    workWanted.notify_all();
}

void ParallelStream::releaseInput() {
    std::int64_t needed = ended ? received : inputAt(firstFrame(nextChunk));
    for (const auto& [chunk, encoder] : encoders)
        needed = std::min(needed, encoder->fed);
    while (!cells.empty() && (firstCell + 1) * cellSamples <= needed) {
        cells.pop_front();
        ++firstCell;
    }
}

BE_ERR ParallelStream::handOut(std::uint8_t* output, std::uint32_t* outputBytes, bool everything) {
    if (everything && ready.size() > outputLimit)
        return BE_ERR_BUFFER_TOO_SMALL;
    const std::size_t bytes = std::min<std::size_t>(ready.size(), outputLimit);
    std::copy_n(ready.begin(), bytes, output);
    ready.erase(ready.begin(), ready.begin() + std::ptrdiff_t(bytes));
    *outputBytes = std::uint32_t(bytes);
    return BE_ERR_SUCCESSFUL;
}
