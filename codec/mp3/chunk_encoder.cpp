// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "codec/mp3/chunk_encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <mutex>

namespace {

// libmp3lame fills tables shared by all contexts (powers, Huffman tables) each time it
// initialises one, while other contexts read them as they encode. So a context is made only
// while no encoder of ours is encoding; one waiting to be made holds new encoding back.
class LameGate {
public:
    void enterEncoding() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return !initialising && initWaiting == 0; });
        ++encoding;
    }
    void leaveEncoding() {
        const std::lock_guard lock(mutex);
        if (--encoding == 0)
            changed.notify_all();
    }
    void enterInit() {
        std::unique_lock lock(mutex);
        ++initWaiting;
        changed.wait(lock, [&] { return !initialising && encoding == 0; });
        --initWaiting;
        initialising = true;
    }
    void leaveInit() {
        const std::lock_guard lock(mutex);
        initialising = false;
        changed.notify_all();
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    int encoding = 0;
    int initWaiting = 0;
    bool initialising = false;
};

LameGate gate;

struct Encoding {
    Encoding() { gate.enterEncoding(); }
    ~Encoding() { gate.leaveEncoding(); }
    Encoding(const Encoding&) = delete;
    Encoding& operator=(const Encoding&) = delete;
};

struct Initialising {
    Initialising() { gate.enterInit(); }
    ~Initialising() { gate.leaveInit(); }
    Initialising(const Initialising&) = delete;
    Initialising& operator=(const Initialising&) = delete;
};

// Input per call to LAME, so that its worst-case output stays a small buffer.
constexpr std::uint32_t PieceFrames = 16384;

} // namespace

std::unique_ptr<ChunkEncoder> ChunkEncoder::open(const BE_CONFIG& config) {
    std::unique_ptr<ChunkEncoder> encoder(new ChunkEncoder);
    const Initialising passage;
    encoder->lame.reset(lame_init());
    if (!encoder->lame || !configureLame(encoder->lame.get(), config, encoder->channelCount))
        return nullptr;
    encoder->buffer.resize(lameWorstCaseBytes(PieceFrames));
    return encoder;
}

int ChunkEncoder::frameSize() const {
    return lame_get_framesize(lame.get());
}

int ChunkEncoder::inputRate() const {
    return lame_get_in_samplerate(lame.get());
}

int ChunkEncoder::outputRate() const {
    return lame_get_out_samplerate(lame.get());
}

int ChunkEncoder::frameBytesLimit() const {
    // 144000 (MPEG-1) or 72000 (MPEG-2, 2.5) bytes per kbit/s and Hz, and the padding byte.
    const int perRate = frameSize() * 125;
    const int kbps = lame_get_VBR(lame.get()) == vbr_off
                         ? lame_get_brate(lame.get())
                         : lame_get_VBR_max_bitrate_kbps(lame.get());
    return perRate * kbps / outputRate() + 1;
}

int ChunkEncoder::headBytes() const {
    const bool mono = lame_get_mode(lame.get()) == MONO;
    return 4 + (mpeg1() ? (mono ? 17 : 32) : (mono ? 9 : 17));
}

bool ChunkEncoder::mpeg1() const {
    return lame_get_version(lame.get()) == 1;
}

bool ChunkEncoder::encode(const std::int16_t* pcm, std::uint32_t frames,
                          std::vector<Layer3Frame>& out) {
    const Encoding passage;
    while (frames > 0) {
        const std::uint32_t piece = std::min(frames, PieceFrames);
        // LAME does not write to its input.
        auto* in = const_cast<short*>(reinterpret_cast<const short*>(pcm));
        const int bytes = channelCount == 2
                              ? lame_encode_buffer_interleaved(lame.get(), in, int(piece),
                                                               buffer.data(), int(buffer.size()))
                              : lame_encode_buffer(lame.get(), in, in, int(piece), buffer.data(),
                                                   int(buffer.size()));
        if (bytes < 0 || !splitter.push(buffer.data(), std::size_t(bytes), out))
            return false;
        pcm += std::size_t(piece) * std::size_t(channelCount);
        frames -= piece;
    }
    return true;
}

bool ChunkEncoder::flush(std::vector<Layer3Frame>& out) {
    const Encoding passage;
    const int bytes = lame_encode_flush(lame.get(), buffer.data(), int(buffer.size()));
    return bytes >= 0 && splitter.push(buffer.data(), std::size_t(bytes), out) &&
           splitter.drained();
}
