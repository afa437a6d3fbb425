// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Encodes ten minutes of 44.1 kHz stereo PCM through the program's encoder stream and through a
// plain libmp3lame loop with the same settings, side by side, and prints the ratio of their
// times. The program's way may cost at most 5 % more.
//
//   bench_lame [--minutes N] [--reps N] [--out DIR] [--write-pcm FILE]

#include "pipeline/encoder_stream.h"
#include "pipeline/output_file.h"
#include "platform/lame/mp3lame_library.h"
#include "support/sound_check.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

// The transcoding stage hands the encoder 4096 sample frames per block.
constexpr std::size_t BlockFrames = 4096;

double cpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double wallSeconds() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The program's way: the stream as the conversion job opens it, fed block by block.
void encodeThroughStream(const std::vector<std::int16_t>& pcm, const QString& path) {
    Mp3LameLibrary lame;
    OutputFile file;
    if (!file.create(path))
        throw std::runtime_error("cannot create " + path.toStdString());
    EncoderStream stream(lame, file);
    if (!stream.InitEncoderStream(44100, 128))
        throw std::runtime_error("the encoder stream did not open");
    for (std::size_t at = 0; at < pcm.size(); at += BlockFrames * 2) {
        const std::size_t samples = std::min(BlockFrames * 2, pcm.size() - at);
        stream.EncodeChunk(pcm.data() + at, std::uint32_t(samples * 2));
    }
    stream.FinishEncoderStream();
    file.close();
}

void quiet(const char*, va_list) {}

// LAME's own way: its API with the same settings, one call per block, written with stdio.
void encodeWithLame(const std::vector<std::int16_t>& pcm, const QString& path) {
    lame_global_flags* gf = lame_init();
    lame_set_errorf(gf, quiet);
    lame_set_debugf(gf, quiet);
    lame_set_msgf(gf, quiet);
    lame_set_in_samplerate(gf, 44100);
    lame_set_num_channels(gf, 2);
    lame_set_out_samplerate(gf, 44100);
    lame_set_mode(gf, STEREO);
    lame_set_VBR(gf, vbr_off);
    lame_set_brate(gf, 128);
    lame_set_quality(gf, 2);
    lame_set_copyright(gf, 1);
    lame_set_original(gf, 1);
    lame_set_error_protection(gf, 0);
    lame_set_bWriteVbrTag(gf, 0);
    lame_set_write_id3tag_automatic(gf, 0);
    if (lame_init_params(gf) < 0)
        throw std::runtime_error("lame_init_params failed");
    std::FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        throw std::runtime_error("cannot create " + path.toStdString());
    std::vector<unsigned char> mp3(BlockFrames * 5 / 4 + 7200);
    for (std::size_t at = 0; at < pcm.size(); at += BlockFrames * 2) {
        const std::size_t samples = std::min(BlockFrames * 2, pcm.size() - at);
        const int bytes = lame_encode_buffer_interleaved(
            gf, const_cast<short*>(pcm.data() + at), int(samples / 2), mp3.data(), int(mp3.size()));
        if (bytes < 0)
            throw std::runtime_error("lame_encode_buffer_interleaved failed");
        std::fwrite(mp3.data(), 1, std::size_t(bytes), out);
    }
    const int bytes = lame_encode_flush(gf, mp3.data(), int(mp3.size()));
    if (bytes > 0)
        std::fwrite(mp3.data(), 1, std::size_t(bytes), out);
    std::fclose(out);
    lame_close(gf);
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Timing {
    double cpu = 1e300;
    double wall = 1e300;
};

template <class F> void measure(Timing& best, F&& run) {
    const double cpu0 = cpuSeconds(), wall0 = wallSeconds();
    run();
    best.cpu = std::min(best.cpu, cpuSeconds() - cpu0);
    best.wall = std::min(best.wall, wallSeconds() - wall0);
}

} // namespace

int main(int argc, char** argv) {
    double minutes = 10;
    int reps = 3;
    QString dir = "/tmp";
    QString pcmFile;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--minutes")
            minutes = std::atof(argv[i + 1]);
        else if (option == "--reps")
            reps = std::max(1, std::atoi(argv[i + 1]));
        else if (option == "--out")
            dir = QString::fromLocal8Bit(argv[i + 1]);
        else if (option == "--write-pcm")
            pcmFile = QString::fromLocal8Bit(argv[i + 1]);
    }

    std::printf("making %.1f minutes of 44.1 kHz stereo PCM...\n", minutes);
    const auto pcm = soundcheck::music(minutes * 60); // something like music
    if (!pcmFile.isEmpty()) {
        QFile f(pcmFile);
        if (!f.open(QIODevice::WriteOnly) ||
            f.write(reinterpret_cast<const char*>(pcm.data()), qint64(pcm.size() * 2)) !=
                qint64(pcm.size() * 2)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(pcmFile));
            return 2;
        }
    }

    const QString streamPath = dir + "/bench_lame_stream.mp3";
    const QString lamePath = dir + "/bench_lame_direct.mp3";
    Timing program, direct;
    // Alternating order, so neither side profits from a warmer machine.
    for (int rep = 0; rep < reps; ++rep) {
        if (rep % 2 == 0) {
            measure(program, [&] { encodeThroughStream(pcm, streamPath); });
            measure(direct, [&] { encodeWithLame(pcm, lamePath); });
        } else {
            measure(direct, [&] { encodeWithLame(pcm, lamePath); });
            measure(program, [&] { encodeThroughStream(pcm, streamPath); });
        }
        std::printf("repetition %d: EncodeChunk best %.2f s CPU, libmp3lame best %.2f s CPU\n",
                    rep + 1, program.cpu, direct.cpu);
        std::fflush(stdout);
    }

    // Same settings and the same input must give the same bytes; otherwise the two sides did
    // not do the same work.
    const QByteArray a = contents(streamPath), b = contents(lamePath);
    const bool same = !a.isEmpty() && a == b;
    QFile::remove(streamPath);
    QFile::remove(lamePath);

    const double ratio = program.cpu / direct.cpu;
    std::printf("MP3 bytes: %lld (EncodeChunk) and %lld (libmp3lame), %s\n", (long long)a.size(),
                (long long)b.size(), same ? "identical" : "DIFFERENT");
    std::printf("EncodeChunk:  %.2f s CPU, %.2f s wall (best of %d)\n", program.cpu, program.wall,
                reps);
    std::printf("libmp3lame:   %.2f s CPU, %.2f s wall (best of %d)\n", direct.cpu, direct.wall,
                reps);
    std::printf("ratio (CPU):  %.3f (limit 1.05)\n", ratio);
    std::printf("ratio (wall): %.3f\n", program.wall / direct.wall);
    return same && ratio <= 1.05 ? 0 : 1;
}
