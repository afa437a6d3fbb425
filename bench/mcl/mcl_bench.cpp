// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Decodes one source into a WAV file through FfmpegMcl the way the conversion job does, and
// prints the time it took. Usage: mcl_bench SOURCE OUTPUT.wav

#include "platform/mcl/ffmpeg_mcl.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string_view>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE OUTPUT.wav\n", argv[0]);
        return 2;
    }
    constexpr std::int32_t kBlock = 100000;
    const auto start = std::chrono::steady_clock::now();

    FfmpegMcl mcl;
    mcl.MclMpegInternalDecoder(-1);
    const MclHandle output = mcl.MclCreate();
    mcl.MclAudioSetFileName(output, argv[2]);
    const MclHandle sound = mcl.MclSndCreate();
    const MclHandle input = mcl.MclReadOpen(argv[1], 0, 0, 0);
    if (std::string_view(mcl.MclGetErrorStr()) != "OK") {
        std::fprintf(stderr, "%s: %s\n", argv[1], mcl.MclGetErrorStr());
        return 1;
    }
    std::int64_t position = 0;
    int read = 0;
    int write = 0;
    do {
        read = mcl.MclReadSound(input, position, kBlock, sound);
        write = mcl.MclWriteSound(output, sound);
        if (read == 0)
            position += kBlock;
    } while (read == 0 && write == 0);
    mcl.MclReadClose(input);
    mcl.MclSndFree(sound);
    const int closed = mcl.MclWriteClose(output);
    mcl.MclFree(output);

    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%.3f\n", took.count());
    return write == 0 && closed == 0 ? 0 : 1;
}
