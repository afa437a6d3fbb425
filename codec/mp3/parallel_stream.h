// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "codec/mp3/be_config.h"
#include "codec/mp3/chunk_encoder.h"
#include "codec/mp3/main_data_packer.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// How a parallel stream cuts its input, counted in frames of the output.
struct ChunkLayout {
    unsigned chunkFrames = 0;   // each encoder's share; 0 chooses it from the thread count
    unsigned prerollFrames = 0; // encoded before the chunk and dropped, to warm the encoder up;
                                // 0 chooses it from the bit rate (warmUpFrames)
    unsigned overlapFrames = 2; // encoded past the chunk at first, where the next may take over
};

// What a parallel stream has done so far.
struct ParallelStats {
    std::uint64_t framesEncoded = 0; // by all encoders, dropped frames included
    std::uint64_t framesWritten = 0;
    std::vector<std::int64_t> switches; // frames at which the next encoder took over
    unsigned chunkFrames = 0;
    unsigned prerollFrames = 0;
};

// One MP3 stream encoded by several LAME encoders on worker threads. The input is cut into
// chunks on the frame grid of a single encoder; each chunk's encoder starts some frames early,
// so that its filter bank and psychoacoustic model are warm at the seam, and the frames are
// joined in order with their main data repacked (MainDataPacker). The next encoder takes over
// at the first frame where its main data fits the reservoir the joined stream offers and its
// window shapes meet the previous frame's; until then the previous encoder goes on.
//
// Every encoder starts on a frame where one encoder's padding sequence starts over, so its
// frames have one encoder's headers and lengths, padding bit included; only main data moves.
//
// Deterministic: where chunks start and end, which encoder takes over at which frame and how
// main data is packed depend on sample positions and encoded bytes only. A take-over at frame
// n waits for the next encoder's frame n (or its flush without it); at the end every encoder
// still of use is fed to the end and flushed, and the join decides as it does mid-stream. LAME's
// frames depend on where its input ends, never on how it was split into calls.
//
// The calls come from one thread. encode() hands out every frame joined so far whose bytes no
// later frame can change, and waits for the workers while too much input waits: the output lags
// the input by at most the backlog (one chunk per encoder in flight, at most one per worker,
// plus a pre-roll and a few frames), the frames the packer holds (under a frame and a
// reservoir) and one call. finish() hands out the rest.
class ParallelStream {
public:
    // Makes the encoders of the later chunks, on the worker threads; nothing when LAME refuses.
    using Opener = std::function<std::unique_ptr<ChunkEncoder>(const BE_CONFIG&)>;
    // Called by a worker, without any lock, before each slice of work on the encoder of a chunk;
    // may delay the worker. The bytes never depend on it.
    using Scheduler = std::function<void(unsigned chunk)>;

    // `first` is an encoder LAME accepted `config` for; it encodes the first chunk.
    ParallelStream(const BE_CONFIG& config, std::unique_ptr<ChunkEncoder> first, unsigned threads,
                   const ChunkLayout& layout, Opener open, Scheduler schedule = {});
    // Stops the workers; queued work is dropped.
    ~ParallelStream();
    ParallelStream(const ParallelStream&) = delete;
    ParallelStream& operator=(const ParallelStream&) = delete;

    // Whether a stream of these settings can be cut: constant bit rate, no CRC, no Xing/Info
    // frame, no strict ISO reservoir (LAME's limit on it there depends on a frame buffer size
    // it does not tell), rates at which encoders started afresh stay on one encoder's frame
    // grid, and a bit rate at which they warm up soon enough (warmUpFrames).
    static bool suits(const BE_CONFIG& config, const ChunkEncoder& encoder);
    // Frames a fresh encoder needs before it encodes as one that ran from the start would.
    static unsigned warmUpFrames(const ChunkEncoder& encoder);

    // The most bytes one call hands out, the last (finish) included.
    std::uint32_t bufferSize() const { return outputLimit; }
    // The most samples (both channels counted) one call of encode() takes.
    std::uint32_t samplesLimit() const;

    BE_ERR encode(std::uint32_t samples, const std::int16_t* pcm, std::uint8_t* output,
                  std::uint32_t* outputBytes);
    // Ends the input and hands out every byte still to come.
    BE_ERR finish(std::uint8_t* output, std::uint32_t* outputBytes);

    ParallelStats stats() const;
    // Why a worker failed, where the result code cannot tell; empty otherwise.
    std::string failureText() const;

private:
    struct Encoder;
    using Cell = std::vector<std::int16_t>;

    BE_ERR encodeLocked(std::unique_lock<std::mutex>& lock, std::uint32_t samples,
                        const std::int16_t* pcm, std::uint8_t* output, std::uint32_t* outputBytes);
    BE_ERR finishLocked(std::unique_lock<std::mutex>& lock, std::uint8_t* output,
                        std::uint32_t* outputBytes);
    std::int64_t inputAt(std::int64_t frame) const;
    std::int64_t firstFrame(unsigned chunk) const;
    std::int64_t chunkStart(unsigned chunk) const;
    unsigned chunkAt(std::int64_t frame) const;
    void fail(BE_ERR result, std::string text = {});
    void addEncoders();
    void work();
    std::shared_ptr<Encoder> runnable(std::int64_t& end, bool& flush) const;
    bool anyWork() const;
    void keep(Encoder& encoder, std::vector<Layer3Frame>& made, std::int64_t end, bool flush);
    void join();
    void extend(Encoder& encoder);
    void releaseInput();
    BE_ERR handOut(std::uint8_t* output, std::uint32_t* outputBytes, bool everything);

    const BE_CONFIG config;
    const Opener open;
    const Scheduler schedule;
    const int channels;
    const int frameSize;
    const std::int64_t inputRate;
    const std::int64_t outputRate;
    std::int64_t chunkFrames = 0;
    std::int64_t prerollFrames = 0; // the least; more where a chunk's start is aligned
    std::int64_t alignFrames = 1;   // every encoder starts on a multiple of this
    std::int64_t overlapFrames = 0;
    std::int64_t cellSamples = 0;  // input is kept and fed in cells of this many sample frames
    std::int64_t backlogLimit = 0; // sample frames that may wait for encoding
    std::uint32_t outputLimit = 0;

    mutable std::mutex mutex;
    std::condition_variable workWanted;
    std::condition_variable progress;
    std::vector<std::thread> workers;

    // Guarded by `mutex`.
    std::deque<std::shared_ptr<Cell>> cells;
    std::int64_t firstCell = 0;
    std::int64_t received = 0; // sample frames
    bool ended = false;
    std::map<unsigned, std::shared_ptr<Encoder>> encoders; // by chunk
    unsigned nextChunk = 1;
    std::shared_ptr<Encoder> current;
    std::int64_t nextFrame = 0; // to be written
    MainDataPacker packer;
    std::vector<std::uint8_t> ready;
    bool done = false;
    bool stopping = false;
    int busyWorkers = 0;
    BE_ERR failure = BE_ERR_SUCCESSFUL;
    std::string failureReason;
    ParallelStats statistics;
};
