// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/encoder_stream.h"

#include "common/exception.h"
#include "pipeline/output_file.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

const char* const EncodeFailed = "Fehler beim MP3 Codieren";
const char* const FlushFailed = "Echec à la sortie";
const char* const NoMemory = "Nicht genug Arbeitsspeicher für den MP3-Encoder.";

} // namespace

EncoderStream::EncoderStream(LameLibrary& lame_, OutputFile& destination_)
    : lame(lame_), destination(destination_) {}

EncoderStream::~EncoderStream() {
    // A run left by an error: the stream is dropped without its last frames.
    try {
        closeStream();
    } catch (...) {
    }
}

bool EncoderStream::InitEncoderStream(std::uint32_t sampleRate, std::uint32_t bitRate) {
    BE_CONFIG config;
    std::memset(&config, 0, sizeof config);
    config.dwConfig = BE_CONFIG_LAME;
    config.dwStructVersion = 1;
    config.dwStructSize = sizeof(BE_CONFIG);
    config.dwSampleRate = 44100;
    config.dwReSampleRate = sampleRate;
    config.nMode = BE_MP3_MODE_STEREO;
    config.dwBitrate = bitRate;
    config.dwMaxBitrate = bitRate;
    config.nPreset = 2;
    config.dwMpegVersion = MPEG1;
    config.dwPsyModel = 0;
    config.dwEmphasis = 0;
    config.bPrivate = 0;
    config.bCRC = 0;
    config.bCopyright = -1;
    config.bOriginal = -1;
    config.bWriteVBRHeader = 0;
    config.bEnableVBR = 0;
    config.nVBRQuality = 0;

    HBE_STREAM handle = 0;
    std::uint32_t samples = 0;
    std::uint32_t bufferSize = 0;
    initFailure = lame.beInitStream(&config, &samples, &bufferSize, &handle);
    if (initFailure != BE_ERR_SUCCESSFUL)
        return false;
    EncoderHandle = handle;
    SamplesPerChunk = samples;
    Mp3BufferSize = bufferSize;
    open = true;
    // Blocks are handed over in pieces of whole stereo frames, so a stream that cannot take
    // one frame per call, or gives no room for its output, is of no use.
    if (SamplesPerChunk < 2 || Mp3BufferSize == 0) {
        closeStream();
        return false;
    }
    Mp3Buffer = std::make_unique<std::uint8_t[]>(Mp3BufferSize);
    return true;
}

void EncoderStream::EncodeChunk(const void* samples, std::uint32_t byteCount) {
    if (!open)
        throw Exception(EncodeFailed);
    const auto* pcm = static_cast<const std::int16_t*>(samples);
    std::uint32_t remaining = byteCount / 2;
    // Mp3BufferSize holds the output of at most SamplesPerChunk samples, so larger blocks go
    // in pieces; every piece's bytes are written before the next call reuses the buffer.
    const std::uint32_t piece = SamplesPerChunk & ~1u;
    do {
        const std::uint32_t count = std::min(remaining, piece);
        std::uint32_t produced = 0;
        const BE_ERR result =
            lame.beEncodeChunk(EncoderHandle, count, pcm, Mp3Buffer.get(), &produced);
        if (result != BE_ERR_SUCCESSFUL || produced > Mp3BufferSize)
            failStream(EncodeFailed, result);
        writeOutput(produced);
        pcm += count;
        remaining -= count;
    } while (remaining > 0);
    framesHanded += byteCount / 4;
}

void EncoderStream::FinishEncoderStream() {
    if (open) {
        std::uint32_t produced = 0;
        const BE_ERR result = lame.beDeinitStream(EncoderHandle, Mp3Buffer.get(), &produced);
        if (result != BE_ERR_SUCCESSFUL || produced > Mp3BufferSize) {
            Mp3Buffer.reset();
            failStream(FlushFailed, result);
        }
        writeOutput(produced);
        closeStream();
    }
    Mp3Buffer.reset();
}

void EncoderStream::closeStream() {
    if (!open)
        return;
    open = false;
    lame.beCloseStream(EncoderHandle);
}

// Closes the stream and raises `message`, followed by the reason the encoder gives.
void EncoderStream::failStream(const char* message, BE_ERR result) {
    std::string text = message;
    const std::string reason =
        result == BE_ERR_NO_MEMORY ? std::string(NoMemory) : lame.beErrorText(EncoderHandle);
    if (!reason.empty())
        text += ": " + reason;
    closeStream();
    throw Exception(text);
}

void EncoderStream::writeOutput(std::uint32_t bytes) {
    if (bytes == 0)
        return;
    try {
        destination.write(Mp3Buffer.get(), bytes);
    } catch (...) {
        // No call may follow a failed write; the stream is closed rather than left dangling.
        closeStream();
        throw;
    }
    if (!firstWritten) {
        firstWritten = true;
        const auto header = parseMp3FrameHeader(Mp3Buffer.get(), bytes);
        if (header && onFirstFrame)
            onFirstFrame(*header);
    }
}
