// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Media fixtures, made at test time with the ffmpeg command, and ways to judge sound by content.
namespace media {

// What a tool wrote, and whether it exited with 0.
struct ToolRun {
    bool exitedZero = false;
    QByteArray out;
    QByteArray err;
};
// Runs `program` (looked up in PATH unless it has a slash) with `args` to its end, without
// input.
ToolRun runTool(const QString& program, const QStringList& args);

// Runs ffmpeg with `args` (after "-v error -y"); fails the current test and returns false when
// it does not exit 0.
bool runFfmpeg(const QStringList& args);

// A video file of `seconds` with a sine of `frequency` Hz as its sound track:
// audioArgs are ffmpeg's output options for the sound (codec, rate, channels), for example
// {"-c:a", "aac", "-ar", "48000", "-ac", "2"}. Returns false on failure.
bool makeVideoWithSine(const QString& path, double frequency, double seconds,
                       const QStringList& audioArgs, const QStringList& containerArgs = {});

// Decoded sound of any media file, as interleaved 16-bit samples at its own rate, through ffmpeg.
struct Pcm {
    int rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;
    std::size_t frames() const { return channels ? samples.size() / channels : 0; }
};
Pcm decode(const QString& path, int rate = 0, int channels = 0);

// Reads a 16-bit PCM WAV file (RIFF or RF64) directly, walking its chunks; a data size stated
// as unknown (0xFFFFFFFF without ds64) reaches to the end of the file.
Pcm readWav(const QString& path);

// What the chunks of a RIFF or RF64 file say: their ids in order, the RIFF size (from ds64 in
// an RF64 file), and the cue points with their LIST/adtl labels as (frame, label), in cue order.
struct WavChunks {
    std::vector<std::string> ids;
    std::uint64_t riffSize = 0;
    std::vector<std::pair<std::uint32_t, std::string>> cues;
};
WavChunks readWavChunks(const QString& path);

// One channel of frames [first, first + count) as floats in -1..1.
std::vector<double> channel(const Pcm& pcm, int channel, std::size_t first = 0,
                            std::size_t count = SIZE_MAX);

// The frequency of the strongest component, to a fraction of a hertz (windowed DFT peak search).
double dominantFrequency(const std::vector<double>& signal, int rate);

// Integrated loudness (LUFS) and true peak (dBTP) of the sound in [from, to) seconds of a media
// file (to < 0: its end), as ffmpeg's own EBU R 128 filter measures them.
struct Loudness {
    double integrated = 0;
    double truePeak = 0;
};
Loudness measureLoudness(const QString& path, double from = 0, double to = -1);

// RMS level of the signal in dBFS.
double rmsDb(const std::vector<double>& signal);

// The largest absolute difference between neighbouring samples; a click shows as a jump.
double largestStep(const std::vector<double>& signal);

} // namespace media
