// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "platform/mcl/source_reader.h"

#include <algorithm>

std::unique_ptr<SourceReader> SourceReader::open(const std::string& path, bool floatMpeg,
                                                 bool* interrupted) {
    auto decoder = AudioDecoder::open(path, floatMpeg, interrupted);
    if (!decoder)
        return nullptr;
    return std::unique_ptr<SourceReader>(new SourceReader(std::move(decoder), path, floatMpeg));
}

SourceReader::SourceReader(std::unique_ptr<AudioDecoder> audio, std::string file, bool mpegFloat)
    : decoder(std::move(audio)), path(std::move(file)), floatMpeg(mpegFloat),
      channels(decoder->channels()) {}

SourceReader::Status SourceReader::read(std::int64_t position, std::int32_t count,
                                        SoundBlock& sound) {
    sound.rate = decoder->rate();
    sound.channels = channels;
    sound.samples.clear();
    if (position < next && !rewind())
        return Status::Failed;
    while (next < position) {
        if (pendingFrames() == 0) {
            if (state != AudioDecoder::Result::More)
                break;
            decodeMore();
            continue;
        }
        const std::int64_t drop = std::min(pendingFrames(), position - next);
        head += static_cast<std::size_t>(drop * channels);
        next += drop;
    }
    // One frame beyond the block tells whether the source goes on after it.
    while (pendingFrames() <= count && state == AudioDecoder::Result::More)
        decodeMore();

    const std::int64_t frames =
        next < position ? 0 : std::min<std::int64_t>(pendingFrames(), count);
    const auto first = pending.begin() + static_cast<std::ptrdiff_t>(head);
    sound.samples.assign(first, first + static_cast<std::ptrdiff_t>(frames * channels));
    head += static_cast<std::size_t>(frames * channels);
    next += frames;
    if (pendingFrames() > 0)
        return Status::More;
    return state == AudioDecoder::Result::Failed ? Status::Failed : Status::End;
}

std::int64_t SourceReader::pendingFrames() const {
    return static_cast<std::int64_t>(pending.size() - head) / channels;
}

void SourceReader::decodeMore() {
    if (head > 0 && head >= pending.size() / 2) {
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(head));
        head = 0;
    }
    state = decoder->decode(pending);
}

// Decoding again from the start gives exactly the frame numbers of the first pass, whatever
// priming and padding the container declares; only a read behind the last one needs it.
bool SourceReader::rewind() {
    if (!decoder->regularFile())
        return false;
    auto fresh = AudioDecoder::open(path, floatMpeg);
    if (!fresh || fresh->rate() != decoder->rate() || fresh->channels() != channels)
        return false;
    decoder = std::move(fresh);
    pending.clear();
    head = 0;
    next = 0;
    state = AudioDecoder::Result::More;
    return true;
}
