// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Encodes music-like sound with clicks and drum hits right at the chunk seams through the
// program's encoder stream, on one thread and on several, decodes both with the ffmpeg command
// and measures them against the encoder's input: decoded length, delay, overall SNR and the SNR
// of every 1-second window. The several-thread stream passes when its length and delay equal
// one thread's, its SNR is within 0.1 dB, and no window is more than 1 dB below one thread's
// worst window.
//
//   bench_seams [--threads N] [--rate HZ] [--bitrate KBPS] [--seconds S] [--chunk FRAMES]
//               [--preroll FRAMES] [--overlap FRAMES] [--out DIR]

#include "codec/mp3/mp3_frame_header.h"
#include "pipeline/encoder_stream.h"
#include "pipeline/output_file.h"
#include "platform/lame/mp3lame_library.h"
#include "support/sound_check.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int Rate = soundcheck::kRate;
constexpr std::size_t BlockFrames = 4096; // what the transcoding stage hands over

struct Options {
    unsigned threads = 2;
    std::uint32_t rate = 44100;
    std::uint32_t bitRate = 128;
    double seconds = 60;
    ChunkLayout layout{96, 0, 2};
    QString out;
};

bool writeWav(const QString& path, const std::vector<std::int16_t>& pcm) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const auto data = std::uint32_t(pcm.size() * 2);
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f.putChar(char(v >> (8 * i) & 0xFF));
    };
    auto u16 = [&](std::uint16_t v) {
        f.putChar(char(v & 0xFF));
        f.putChar(char(v >> 8));
    };
    f.write("RIFF", 4);
    u32(36 + data);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(Rate);
    u32(Rate * 4);
    u16(4);
    u16(16);
    f.write("data", 4);
    u32(data);
    return f.write(reinterpret_cast<const char*>(pcm.data()), data) == data;
}

// The library, and what its stream had done when it was closed.
class Watched : public LameLibrary {
public:
    Watched(unsigned threads, const ChunkLayout& layout) : lame(threads, layout) {}
    BE_ERR beInitStream(const BE_CONFIG* config, std::uint32_t* samples, std::uint32_t* size,
                        HBE_STREAM* stream) override {
        return lame.beInitStream(config, samples, size, stream);
    }
    BE_ERR beEncodeChunk(HBE_STREAM stream, std::uint32_t samples, const std::int16_t* pcm,
                         std::uint8_t* output, std::uint32_t* bytes) override {
        return lame.beEncodeChunk(stream, samples, pcm, output, bytes);
    }
    BE_ERR beDeinitStream(HBE_STREAM stream, std::uint8_t* output, std::uint32_t* bytes) override {
        return lame.beDeinitStream(stream, output, bytes);
    }
    BE_ERR beCloseStream(HBE_STREAM stream) override {
        stats = lame.parallelStats(stream);
        return lame.beCloseStream(stream);
    }

    Mp3LameLibrary lame;
    std::optional<ParallelStats> stats;
};

// Through the program's stream, fed block by block as the transcoding stage does.
std::optional<ParallelStats> encode(const Options& o, unsigned threads,
                                    const std::vector<std::int16_t>& pcm, const QString& path) {
    Watched lame(threads, o.layout);
    OutputFile file;
    if (!file.create(path))
        throw std::runtime_error("cannot create " + path.toStdString());
    {
        EncoderStream stream(lame, file);
        if (!stream.InitEncoderStream(o.rate, o.bitRate))
            throw std::runtime_error("the encoder stream did not open");
        for (std::size_t at = 0; at < pcm.size(); at += BlockFrames * 2) {
            const std::size_t samples = std::min(BlockFrames * 2, pcm.size() - at);
            stream.EncodeChunk(pcm.data() + at, std::uint32_t(samples * 2));
        }
        stream.FinishEncoderStream();
    }
    file.close();
    return lame.stats;
}

std::vector<std::int16_t> decode(const QString& path) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-nostdin", "-v", "error", "-i", path, "-ar", QString::number(Rate),
                            "-ac", "2", "-f", "s16le", "-"});
    if (!ffmpeg.waitForFinished(600000) || ffmpeg.exitCode() != 0)
        throw std::runtime_error("ffmpeg could not decode " + path.toStdString());
    const QByteArray bytes = ffmpeg.readAllStandardOutput();
    std::vector<std::int16_t> pcm(std::size_t(bytes.size()) / 2);
    std::memcpy(pcm.data(), bytes.constData(), pcm.size() * 2);
    return pcm;
}

// Frame header words, padding bit included.
std::vector<std::uint32_t> headers(const QString& path) {
    QFile f(path);
    std::vector<std::uint32_t> list;
    if (!f.open(QIODevice::ReadOnly))
        return list;
    const QByteArray mp3 = f.readAll();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(mp3.constData());
    for (qsizetype at = 0; at + 4 <= mp3.size();) {
        const auto h = parseMp3FrameHeader(bytes + at, std::size_t(mp3.size() - at));
        if (!h)
            break;
        list.push_back(std::uint32_t(bytes[at]) << 24 | std::uint32_t(bytes[at + 1]) << 16 |
                       std::uint32_t(bytes[at + 2]) << 8 | bytes[at + 3]);
        at += h->frameLength;
    }
    return list;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const char* value = argv[i + 1];
        if (option == "--threads")
            o.threads = unsigned(std::max(2, std::atoi(value)));
        else if (option == "--rate")
            o.rate = std::uint32_t(std::atoi(value));
        else if (option == "--bitrate")
            o.bitRate = std::uint32_t(std::atoi(value));
        else if (option == "--seconds")
            o.seconds = std::atof(value);
        else if (option == "--chunk")
            o.layout.chunkFrames = unsigned(std::atoi(value));
        else if (option == "--preroll")
            o.layout.prerollFrames = unsigned(std::atoi(value));
        else if (option == "--overlap")
            o.layout.overlapFrames = unsigned(std::atoi(value));
        else if (option == "--out")
            o.out = QString::fromLocal8Bit(value);
    }
    QTemporaryDir temporary;
    const QString dir = o.out.isEmpty() ? temporary.path() : o.out;
    const QString one = dir + "/one.mp3", many = dir + "/many.mp3";

    try {
        // A trial stream tells where the seams fall: the chunk length in frames, and so in input
        // samples (1152 per frame at 48, 44.1 and 32 kHz, 576 at the lower rates, resampled).
        Options probe = o;
        probe.seconds = 0.1;
        const auto trial = encode(probe, o.threads, std::vector<std::int16_t>(8820), many);
        if (!trial) {
            std::printf("%u Hz: this rate is encoded on one thread; nothing to compare\n", o.rate);
            return 0;
        }
        const int frameSize = o.rate >= 32000 ? 1152 : 576;
        const auto grid = std::int64_t(trial->chunkFrames) * frameSize * Rate / o.rate;
        const auto pcm = soundcheck::music(o.seconds, grid);
        writeWav(dir + "/input.wav", pcm);

        encode(o, 1, pcm, one);
        const auto stats = encode(o, o.threads, pcm, many);
        const auto a = decode(one), b = decode(many);
        // The delay over the first ten seconds; the SNR over every second.
        const int delayA = soundcheck::delayOf(pcm, a, 4000, 0, 10 * Rate);
        const int delayB = soundcheck::delayOf(pcm, b, 4000, 0, 10 * Rate);
        const auto qa = soundcheck::measure(pcm, a, delayA, Rate);
        const auto qb = soundcheck::measure(pcm, b, delayB, Rate);
        const double worstA = *std::min_element(qa.windows.begin(), qa.windows.end());
        const double worstB = *std::min_element(qb.windows.begin(), qb.windows.end());
        double largestDrop = -1e9;
        for (std::size_t w = 0; w < qa.windows.size() && w < qb.windows.size(); ++w)
            largestDrop = std::max(largestDrop, qa.windows[w] - qb.windows[w]);
        const auto ha = headers(one), hb = headers(many);

        std::map<std::int64_t, int> late; // frames between chunk start and switch
        for (const std::int64_t at : stats->switches)
            ++late[at % trial->chunkFrames];
        std::printf("%u Hz %u kbit/s, %.0f s, %u threads, chunks of %u frames, pre-roll %u, "
                    "overlap %u\n",
                    o.rate, o.bitRate, o.seconds, o.threads, trial->chunkFrames,
                    stats->prerollFrames, o.layout.overlapFrames);
        std::printf("seams: %zu; frames after the chunk start at the switch:",
                    stats->switches.size());
        for (const auto& [frames, count] : late)
            std::printf(" %lld×%d", (long long)frames, count);
        std::printf("\nframes encoded %llu for %llu written (%.1f %% extra)\n",
                    (unsigned long long)stats->framesEncoded,
                    (unsigned long long)stats->framesWritten,
                    100.0 * (double(stats->framesEncoded) / double(stats->framesWritten) - 1));
        std::printf("frames: %zu and %zu, headers %s\n", ha.size(), hb.size(),
                    ha == hb ? "equal" : "DIFFERENT");
        std::printf("decoded length: %zu and %zu samples; delay %d and %d samples\n", a.size() / 2,
                    b.size() / 2, delayA, delayB);
        std::printf("SNR: one thread %.3f dB, %u threads %.3f dB (difference %.3f dB, limit 0.1)\n",
                    qa.snr, o.threads, qb.snr, qa.snr - qb.snr);
        std::printf("worst 1-s window: one thread %.2f dB, %u threads %.2f dB (limit %.2f); "
                    "largest drop of one window %.2f dB\n",
                    worstA, o.threads, worstB, worstA - 1, largestDrop);
        const bool pass = a.size() == b.size() && delayA == delayB && ha == hb &&
                          qa.snr - qb.snr <= 0.1 && worstB >= worstA - 1;
        std::printf("%s\n", pass ? "PASS" : "FAIL");
        return pass ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
}
