// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <cstdint>

// The codec library: opens media files, decodes their sound and writes WAV files.
// The calls keep the library's C shape (32-bit handles, 8-bit strings, 0 for success), so the
// conversion job reads as a sequence of library calls. The job reaches the library through
// this interface only, so that any implementation can stand in for FFmpeg's.
//
// Strings: texts are Windows-1252; file names are in the platform's 8-bit encoding (UTF-8).
// Handles: 0 is the null handle. A failed MclReadOpen still returns a handle whose reads fail,
// so callers need not test it; closing or freeing any handle, null or stale, is harmless.
using MclHandle = std::uint32_t;

// Sees sound as a writer puts it into its file: `frames` interleaved 16-bit frames in the file's
// rate and channel count.
using MclSoundTap = void (*)(void* context, const std::int16_t* samples, std::int64_t frames,
                             int rate, int channels);

// The library's error states, as MclGetError reports them. Each has one English text
// (MclGetErrorStr), which the program may translate.
enum class MclError {
    Ok = 0,
    Aborted,
    InvalidInput,
    ReadFailed,
    InvalidOutput,
    WriteFailed,
    NoOutputHandle,
    NoSoundHandle,
    Unknown,
};

class MclLibrary {
public:
    virtual ~MclLibrary() = default;

    // From now on the library produces `replacement` wherever it would produce `text`.
    virtual int MclTranslate(const char* text, const char* replacement) = 0;
    // Non-zero: the internal MPEG audio decoder for sources opened afterwards; 0: the other one.
    virtual int MclMpegInternalDecoder(int internal) = 0;

    // Writer: a WAV file writer that can be given one file name after another.
    virtual MclHandle MclCreate() = 0;
    // Creates the file at once; a name that cannot be created shows in the error state.
    virtual int MclAudioSetFileName(MclHandle output, const char* fileName) = 0;
    // As MclAudioSetFileName, but the following writes go into a file the caller has created
    // and keeps open: the writer works on its own copy of `descriptor`, from the file's start,
    // and never looks the file up by name. A negative descriptor shows as an invalid output.
    virtual int MclAudioSetFileHandle(MclHandle output, int descriptor) = 0;
    // From now on every frame the writer puts into its file is also handed to `tap`, in order and
    // in the file's format, also the frames a close completes. A null `tap` removes it; otherwise
    // it stays across files. 0 on success.
    virtual int MclAudioSetTap(MclHandle output, MclSoundTap tap, void* context) {
        (void)output;
        (void)tap;
        (void)context;
        return -1;
    }
    // Puts everything the writer was given into its file, a stretch of another format completed
    // as a close would, and returns the file offset at which the next sound will begin; negative
    // when that fails. Between two such offsets the file holds that sound as 16-bit PCM frames.
    virtual std::int64_t MclWriteFlush(MclHandle output) {
        (void)output;
        return -1;
    }
    // Sound: one block of decoded sound, filled by a read and taken by a write.
    virtual MclHandle MclSndCreate() = 0;

    // Opens a source and picks its best audio stream. The three flags are always 0. The path is
    // a local file's name, whatever it looks like ("concat:x.mpg" is that file). A source that
    // can keep a read waiting (a FIFO) gives up once the source interrupt is raised
    // (source_interrupt.h), its open or read then failing with MclError::Aborted.
    virtual MclHandle MclReadOpen(const char* path, int flags1, int flags2, int flags3) = 0;
    // The text of the last error state ("OK" after success); valid until the next call.
    virtual const char* MclGetErrorStr() = 0;
    // The last error state itself: what the program decides by, never by the text.
    virtual MclError MclGetError() = 0;
    // The length of a source's sound in seconds, as far as its container tells without decoding
    // (estimated from its size and bit rate where it does not); negative when unknown. Only
    // regular files are looked at, so a pipe is never read ahead of the conversion.
    virtual double MclSourceSeconds(const char* path) {
        (void)path;
        return -1;
    }

    // Delivers `count` sample frames from frame `position` into `sound` as interleaved 16-bit PCM
    // at the source's rate and channel count (mono or stereo). 0: the whole block was delivered
    // and the source goes on; non-zero: the source ended (the last, shorter block is in `sound`)
    // or failed.
    virtual int MclReadSound(MclHandle input, std::int64_t position, std::int32_t count,
                             MclHandle sound) = 0;
    // The length in seconds of the sound a sound handle holds (0 for an empty or unknown one).
    virtual double MclSndSeconds(MclHandle sound) {
        (void)sound;
        return 0;
    }
    // Appends the block in `sound` to the writer's file. 0 on success.
    virtual int MclWriteSound(MclHandle output, MclHandle sound) = 0;
    // Where the next block's sound begins in the writer's file, in sample frames of the file's
    // format (sound still being converted counts as written); 0 before the first block, -1 for
    // a handle that is no writer.
    virtual std::int64_t MclAudioPosition(MclHandle output) = 0;
    // Marks frame `frame` of the writer's file as a cue point named `label` (UTF-8): when the
    // file is closed, a "cue " chunk and a "LIST" chunk of type "adtl" with the names follow its
    // sound. Non-zero, and nothing marked, when the file cannot seek (its sizes could not be
    // stated) or the frame is beyond what 32 bits count.
    virtual int MclAudioAddCue(MclHandle output, std::int64_t frame, const char* label) = 0;

    virtual int MclReadClose(MclHandle input) = 0;
    // Completes and closes the writer's file: afterwards it is a complete WAV file (RF64 beyond
    // 4 GiB).
    virtual int MclWriteClose(MclHandle output) = 0;
    virtual int MclSndFree(MclHandle sound) = 0;
    virtual int MclFree(MclHandle output) = 0;
    // The null handle aborts every open input: its next read fails. Later inputs are unaffected.
    virtual int MclAbort(MclHandle handle) = 0;
};
