// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "codec/mp3/chunk_encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <climits>
#include <new>

namespace {

// Input per call to LAME, so that its worst-case output stays a small buffer.
constexpr std::uint32_t PieceFrames = 16384;

} // namespace

std::unique_ptr<ChunkEncoder> ChunkEncoder::open(const BE_CONFIG& config, LameGate& gate) {
    std::unique_ptr<ChunkEncoder> encoder(new ChunkEncoder(gate));
    const LameGate::Initialising passage(gate);
    encoder->lame.reset(lame_init());
    if (!encoder->lame) // LAME makes a context with calloc alone
        throw std::bad_alloc();
    if (!configureLame(encoder->lame.get(), config, encoder->channelCount))
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

int ChunkEncoder::bitRate() const {
    return lame_get_VBR(lame.get()) == vbr_off ? lame_get_brate(lame.get())
                                               : lame_get_VBR_max_bitrate_kbps(lame.get());
}

int ChunkEncoder::frameBytesLimit() const {
    // 144000 (MPEG-1) or 72000 (MPEG-2, 2.5) bytes per kbit/s and Hz, and the padding byte.
    const int perRate = frameSize() * 125;
    return perRate * bitRate() / outputRate() + 1;
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
    const LameGate::Encoding passage(gate);
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
    const LameGate::Encoding passage(gate);
    const int bytes = lame_encode_flush(lame.get(), buffer.data(), int(buffer.size()));
    return bytes >= 0 && splitter.push(buffer.data(), std::size_t(bytes), out) &&
           splitter.drained();
}
