// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "codec/mp3/mp3_frame_header.h"
#include "platform/lame/lame_enc.h"

#include <cstdint>
#include <functional>
#include <memory>

class OutputFile;

// The MP3 encoder stream of one run: all sources go through it, so the destination is one
// continuous MP3 stream. Bytes produced are appended to the destination file.
class EncoderStream {
public:
    EncoderStream(LameLibrary& lame, OutputFile& destination);
    ~EncoderStream();
    EncoderStream(const EncoderStream&) = delete;
    EncoderStream& operator=(const EncoderStream&) = delete;

    // Opens the stream for 44100 Hz 16-bit stereo input; false when the encoder refuses.
    bool InitEncoderStream(std::uint32_t sampleRate, std::uint32_t bitRate);
    // After InitEncoderStream failed: whether for lack of memory rather than the settings.
    bool initLackedMemory() const { return initFailure == BE_ERR_NO_MEMORY; }
    // Encodes `byteCount` bytes of interleaved 16-bit stereo PCM (an odd byte is dropped).
    // Raises "Fehler beim MP3 Codieren", with the encoder's reason where it gives one, when the
    // encoder fails, EInOutError when writing does.
    void EncodeChunk(const void* samples, std::uint32_t byteCount);
    // Flushes, appends the last bytes, closes the stream and releases the buffer.
    // Raises "Echec à la sortie" when the flush fails.
    void FinishEncoderStream();

    // Stereo frames of PCM handed to the encoder so far: the stream's length at its input rate.
    std::uint64_t framesEncoded() const { return framesHanded; }

    // Told the header of the stream's first frame when it is written: the bit rate and sample
    // rate the encoder really uses.
    std::function<void(const Mp3FrameHeader&)> onFirstFrame;

    HBE_STREAM EncoderHandle = 0;
    std::uint32_t SamplesPerChunk = 0;
    std::uint32_t Mp3BufferSize = 0;
    std::unique_ptr<std::uint8_t[]> Mp3Buffer;

private:
    void closeStream();
    [[noreturn]] void failStream(const char* message, BE_ERR result);
    void writeOutput(std::uint32_t bytes);

    LameLibrary& lame;
    OutputFile& destination;
    bool open = false;
    BE_ERR initFailure = BE_ERR_SUCCESSFUL;
    bool firstWritten = false;
    std::uint64_t framesHanded = 0;
};
