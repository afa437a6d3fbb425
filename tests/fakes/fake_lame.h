// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "platform/lame/lame_enc.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// An MP3 encoder that records every call as text and answers from settings a test can change:
// the sizes it reports, the bytes each call produces and which call fails. Output bytes are
// numbered across the stream (0, 1, 2, ... modulo 256), so a test can check what was written.
class FakeLame : public LameLibrary {
public:
    std::vector<std::string> calls;
    std::optional<BE_CONFIG> config;    // the record of the last beInitStream
    std::vector<std::int16_t> received; // every sample handed to beEncodeChunk, in order

    BE_ERR initResult = BE_ERR_SUCCESSFUL;
    std::uint32_t samplesPerChunk = 2304;
    std::uint32_t bufferSize = 8640;
    HBE_STREAM handle = 7;
    // Bytes produced by an encoding call, from the number of samples it was given.
    std::function<std::uint32_t(std::uint32_t samples)> encodeBytes = [](std::uint32_t samples) {
        return samples / 8;
    };
    int failEncodeCall = 0; // 1-based number of the beEncodeChunk call that fails; 0: none
    BE_ERR encodeError = BE_ERR_INVALID_FORMAT_PARAMETERS;
    std::string errorText; // what beErrorText tells
    BE_ERR deinitResult = BE_ERR_SUCCESSFUL;
    std::uint32_t flushBytes = 100;
    BE_ERR closeResult = BE_ERR_SUCCESSFUL;

    std::string joined() const {
        std::string text;
        for (const auto& call : calls)
            text += (text.empty() ? "" : " ") + call;
        return text;
    }

    BE_ERR beInitStream(const BE_CONFIG* cfg, std::uint32_t* samples, std::uint32_t* size,
                        HBE_STREAM* stream) override {
        calls.push_back("beInitStream(" + std::to_string(cfg->dwReSampleRate) + "," +
                        std::to_string(cfg->dwBitrate) + ")");
        config = *cfg;
        if (initResult != BE_ERR_SUCCESSFUL)
            return initResult;
        *samples = samplesPerChunk;
        *size = bufferSize;
        *stream = handle;
        return BE_ERR_SUCCESSFUL;
    }

    BE_ERR beEncodeChunk(HBE_STREAM stream, std::uint32_t samples, const std::int16_t* pcm,
                         std::uint8_t* output, std::uint32_t* outputBytes) override {
        calls.push_back("beEncodeChunk(" + std::to_string(stream) + "," + std::to_string(samples) +
                        ")");
        if (++encodeCalls == failEncodeCall)
            return encodeError;
        if (samples)
            received.insert(received.end(), pcm, pcm + samples);
        *outputBytes = encodeBytes(samples);
        produce(output, *outputBytes);
        return BE_ERR_SUCCESSFUL;
    }

    BE_ERR beDeinitStream(HBE_STREAM stream, std::uint8_t* output,
                          std::uint32_t* outputBytes) override {
        calls.push_back("beDeinitStream(" + std::to_string(stream) + ")");
        if (deinitResult != BE_ERR_SUCCESSFUL)
            return deinitResult;
        *outputBytes = flushBytes;
        produce(output, flushBytes);
        return BE_ERR_SUCCESSFUL;
    }

    BE_ERR beCloseStream(HBE_STREAM stream) override {
        calls.push_back("beCloseStream(" + std::to_string(stream) + ")");
        return closeResult;
    }

    std::string beErrorText(HBE_STREAM) const override { return errorText; }

    // The bytes the stream has produced so far, as a correct destination holds them.
    std::vector<std::uint8_t> produced() const {
        std::vector<std::uint8_t> bytes(producedCount);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(i);
        return bytes;
    }

private:
    void produce(std::uint8_t* output, std::uint32_t count) {
        // Fills the whole buffer size it reported, so a caller's buffer that is smaller shows
        // under AddressSanitizer; a count beyond it is only claimed, as a faulty encoder might.
        for (std::uint32_t i = 0; i < count && i < bufferSize; ++i)
            output[i] = static_cast<std::uint8_t>(producedCount++);
    }

    int encodeCalls = 0;
    std::size_t producedCount = 0;
};
