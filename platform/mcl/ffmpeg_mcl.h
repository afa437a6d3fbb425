// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "platform/mcl/mcl_library.h"
#include "platform/mcl/mcl_texts.h"
#include "platform/mcl/sound_block.h"
#include "platform/mcl/wav_writer.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

class SourceReader;

// The codec library on FFmpeg: sources are demuxed and decoded by libavformat and libavcodec,
// converted by libswresample, and written as WAV files of our own.
//
// MPEG audio decoders: the internal one (the default) is FFmpeg's floating-point decoder
// (mp1float, mp2float, mp3float), the one FFmpeg itself picks, so the default output matches
// what the ffmpeg tool decodes; the other one is FFmpeg's fixed-point decoder (mp1, mp2, mp3).
class FfmpegMcl final : public MclLibrary {
public:
    // `riffLimit`: the largest RIFF size a WAV file states before it becomes an RF64 file; a
    // smaller one gives a small file that form.
    explicit FfmpegMcl(std::uint64_t riffLimit = WavWriter::kRiffLimit);
    ~FfmpegMcl() override;

    int MclTranslate(const char* text, const char* replacement) override;
    int MclMpegInternalDecoder(int internal) override;
    MclHandle MclCreate() override;
    int MclAudioSetFileName(MclHandle output, const char* fileName) override;
    int MclAudioSetFileHandle(MclHandle output, int descriptor) override;
    int MclAudioSetTap(MclHandle output, MclSoundTap tap, void* context) override;
    std::int64_t MclWriteFlush(MclHandle output) override;
    MclHandle MclSndCreate() override;
    MclHandle MclReadOpen(const char* path, int flags1, int flags2, int flags3) override;
    const char* MclGetErrorStr() override;
    MclError MclGetError() override { return state; }
    double MclSourceSeconds(const char* path) override;
    int MclReadSound(MclHandle input, std::int64_t position, std::int32_t count,
                     MclHandle sound) override;
    double MclSndSeconds(MclHandle sound) override;
    int MclWriteSound(MclHandle output, MclHandle sound) override;
    std::int64_t MclAudioPosition(MclHandle output) override;
    int MclAudioAddCue(MclHandle output, std::int64_t frame, const char* label) override;
    int MclReadClose(MclHandle input) override;
    int MclWriteClose(MclHandle output) override;
    int MclSndFree(MclHandle sound) override;
    int MclFree(MclHandle output) override;
    int MclAbort(MclHandle handle) override;

    // For diagnostics: the decoder an open input uses (empty for any other handle),
    // and the contents of a sound handle (null for any other handle).
    std::string decoderName(MclHandle input) const;
    const SoundBlock* soundBlock(MclHandle sound) const;

private:
    struct Input {
        std::unique_ptr<SourceReader> reader; // null when the open failed
        bool aborted = false;
    };

    MclHandle newHandle();
    int succeed();
    int fail(MclError error);

    std::uint64_t riffLimit;
    bool floatMpeg = true;
    MclHandle lastHandle = 0;
    std::map<MclHandle, Input> inputs;
    std::map<MclHandle, std::unique_ptr<WavWriter>> outputs;
    std::map<MclHandle, SoundBlock> sounds;
    MclTexts texts;
    MclError state = MclError::Ok;
    std::string errorText;
};
