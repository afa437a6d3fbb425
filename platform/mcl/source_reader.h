// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "platform/mcl/audio_decoder.h"
#include "platform/mcl/sound_block.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Delivers a source's sound in blocks of sample frames from any position. Reading on from the
// end of the previous block is the fast path; another position is reached exactly by decoding
// and discarding (from the start again when it lies behind; a FIFO cannot go back).
class SourceReader {
public:
    enum class Status { More, End, Failed };

    // Null when the source cannot be opened (see AudioDecoder::open).
    static std::unique_ptr<SourceReader> open(const std::string& path, bool floatMpeg,
                                              bool* interrupted = nullptr);

    // Fills `sound` with up to `count` frames from frame `position`. More: all `count` frames
    // were delivered and more follow; End: the source ends with this block; Failed: decoding
    // cannot go on (the frames decoded before the failure are delivered).
    Status read(std::int64_t position, std::int32_t count, SoundBlock& sound);

    const char* decoderName() const { return decoder->decoderName(); }
    // The source interrupt ended the reading.
    bool interrupted() const { return decoder->interrupted(); }

private:
    SourceReader(std::unique_ptr<AudioDecoder> decoder, std::string path, bool floatMpeg);
    std::int64_t pendingFrames() const;
    void decodeMore();
    bool rewind();

    std::unique_ptr<AudioDecoder> decoder;
    std::string path;
    bool floatMpeg;
    int channels;
    // Decoded samples not yet delivered, from index `head`; pending[head] is frame `next`.
    std::vector<std::int16_t> pending;
    std::size_t head = 0;
    std::int64_t next = 0;
    AudioDecoder::Result state = AudioDecoder::Result::More;
};
