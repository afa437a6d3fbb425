// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "platform/mcl/sound_block.h"
#include "platform/mcl/wav_cues.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class StretchConverter;

// Writes one 16-bit PCM WAV file at a time, laid out as FFmpeg's WAV muxer does with
// "-rf64 auto": the RIFF header, a JUNK chunk holding room for a ds64 chunk, "fmt " and "data"
// (80 bytes before the sound). A file that grows beyond what 32-bit RIFF sizes can count is
// closed as an RF64 file (EBU Tech 3306): the JUNK chunk becomes ds64 with the 64-bit sizes.
//
// The first non-empty block fixes the file's rate and channel count; blocks of another format
// are converted to it, each stretch of them joined without a step (see StretchConverter).
//
// A destination that cannot seek (a FIFO, a pipe) gets its header with the first block, once
// the format is known, stating its sizes as unknown (0xFFFFFFFF) as streamed WAV does; when the
// whole file is still in hand at the close, it gets its sizes after all.
//
// Cue points given for a file follow its sound, in a "cue " chunk and a "LIST" chunk of type
// "adtl" with their labels, counted in the RIFF (or RF64) size.
class WavWriter {
public:
    // The largest RIFF size (the file's size less 8) that a plain WAV file states.
    static constexpr std::uint64_t kRiffLimit = 0xFFFFFFFF;

    // `riffLimit`: beyond it the file becomes RF64; a smaller one gives a small file that form.
    explicit WavWriter(std::uint64_t riffLimit = kRiffLimit);
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates (or empties) the file. False when it cannot be created.
    bool open(const std::string& fileName);
    // Writes into an open file from its start, through a copy of `descriptor` that close()
    // closes. False when it cannot be copied.
    bool attach(int descriptor);
    bool isOpen() const { return fd >= 0; }
    // False when the block cannot be written.
    bool write(const SoundBlock& block);
    // Where the next block's sound will begin, in frames of the file's format; sound still
    // waiting for its conversion counts as written. 0 before the first block.
    std::int64_t position() const;
    // Marks `frame` with a cue point named `label`, written when the file is closed. False, and
    // nothing marked, when the file cannot state its sizes (it cannot seek) or the frame is
    // beyond what a cue point counts (32 bits).
    bool addCue(std::int64_t frame, const std::string& label);
    // Completes the header and closes the file; a file without sound is an empty 44100 Hz
    // stereo WAV. False when something could not be written.
    bool close();

    // Sees every frame that goes into the file, in the file's format; empty for none.
    using Tap = std::function<void(const std::int16_t* samples, std::int64_t frames, int rate,
                                   int channels)>;
    void setTap(Tap tap) { soundTap = std::move(tap); }
    // Writes out what was given so far, a stretch of another format completed; the file offset
    // at which the next sound begins, or -1 when something could not be written.
    std::int64_t flush();

private:
    void begin();
    bool appendConverted(const SoundBlock& block);
    bool append(const std::int16_t* samples, std::size_t count);
    bool finishStretch();
    bool flushBuffer();
    bool writeAll(const char* data, std::size_t size);

    std::uint64_t riffLimit;
    int fd = -1;
    bool seekable = false;
    bool failed = false;
    // Whether the header is under way (first in the buffer, or written), and whether anything
    // has gone out to the file yet.
    bool headerStarted = false;
    bool flushed = false;
    int rate = 0;
    int channels = 0;
    std::uint64_t dataBytes = 0;
    std::vector<char> buffer;
    // Converts the current stretch of blocks of another format; kept while that format goes on.
    std::unique_ptr<StretchConverter> stretch;
    std::vector<std::int16_t> converted;
    Tap soundTap;
    std::vector<WavCue> cues;
};
