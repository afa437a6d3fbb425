// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "mcl_test.h"

#include "pipeline/wav_header.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <future>
#include <numbers>
#include <optional>
#include <sys/stat.h>

namespace {

QByteArray le(auto v) {
    QByteArray b(sizeof v, 0);
    qToLittleEndian(v, b.data());
    return b;
}

// The header FFmpeg's WAV muxer writes with "-rf64 auto" for 16-bit PCM; without `dataBytes` the
// sizes of a stream whose end was not known.
QByteArray header(quint32 rate, quint16 channels, std::optional<quint32> dataBytes) {
    return "RIFF" + le(dataBytes ? 72 + *dataBytes : 0xFFFFFFFFu) + "WAVEJUNK" + le(28u) +
           QByteArray(28, 0) + "fmt " + le(16u) + le(quint16(1)) + le(channels) + le(rate) +
           le(rate * channels * 2) + le(quint16(channels * 2)) + le(quint16(16)) + "data" +
           le(dataBytes.value_or(0xFFFFFFFFu));
}

void expectWav(const std::string& path, quint32 rate, quint16 channels) {
    const QByteArray b = readFile(path);
    EXPECT_EQ(b.left(80), header(rate, channels, quint32(b.size() - 80))) << path;
}

// The conversion job's WAV road: every source in 100000-frame blocks into one file (at most
// `frames` of each).
void convert(FfmpegMcl& mcl, const std::vector<std::string>& sources, const std::string& out,
             std::int64_t frames = INT64_MAX) {
    const MclHandle output = mcl.MclCreate(), sound = mcl.MclSndCreate();
    mcl.MclAudioSetFileName(output, out.c_str());
    for (const std::string& source : sources) {
        const MclHandle input = mcl.MclReadOpen(source.c_str(), 0, 0, 0);
        for (std::int64_t at = 0, read = 0; read == 0 && at < frames; at += 100000) {
            const auto count =
                static_cast<std::int32_t>(std::min<std::int64_t>(frames - at, 100000));
            read = mcl.MclReadSound(input, at, count, sound);
            EXPECT_EQ(mcl.MclWriteSound(output, sound), 0);
        }
        mcl.MclReadClose(input);
    }
    mcl.MclSndFree(sound);
    EXPECT_EQ(mcl.MclWriteClose(output), 0);
    mcl.MclFree(output);
}

// The first block fixes the format; later sources are converted to it, losing nothing of the
// converted stretch (the resampler is flushed at the change) and without clicks.
TEST_F(MclTest, WavSourcesOfOtherFormatsJoinConvertedToTheFirst) {
    for (const auto& [first, second, rate, channels, secondTone] :
         {std::tuple{Fixture::AacMp4, Fixture::Mp3Avi, 48000, 2, 1000.0},
          {Fixture::Mp3Avi, Fixture::AacMp4, 44100, 1, 440.0}}) {
        SCOPED_TRACE(rate);
        const media::Pcm a = readAll(path(first)).pcm, b = readAll(path(second)).pcm;
        convert(mcl, {path(first), path(second), path(first)}, file("joined.wav"));
        expectWav(file("joined.wav"), rate, channels);
        const media::Pcm wav = media::readWav(QString::fromStdString(file("joined.wav")));
        EXPECT_NEAR(double(wav.frames() - 2 * a.frames()), double(b.frames()) * rate / b.rate, 2.0);
        const auto middle = media::channel(wav, channels - 1, a.frames() + rate / 2, rate * 2);
        EXPECT_NEAR(media::dominantFrequency(middle, rate), secondTone, 1.0);
        EXPECT_LT(media::largestStep(middle), 0.1);
        EXPECT_TRUE(std::equal(a.samples.begin(), a.samples.end(), wav.samples.begin()));
        EXPECT_TRUE(std::equal(a.samples.rbegin(), a.samples.rend(), wav.samples.rbegin()));
    }
}

// Naming the file creates (or empties) it at once; a closed handle takes the next name, and
// freeing completes a file still open. Without blocks a file holds the default header.
TEST_F(MclTest, WavFileIsCreatedAtOnceEmptiedAndTheHandleTakesTheNextName) {
    const std::string reserved = file("Ausgabe für Jürgen.wav"), next = file("zweite.wav");
    QFile f(QString::fromStdString(reserved));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(QByteArray(5000, 'x')) == 5000);
    f.close();
    const MclHandle output = mcl.MclCreate();
    EXPECT_EQ(mcl.MclAudioSetFileName(output, reserved.c_str()), 0);
    EXPECT_LT(QFileInfo(f).size(), 5000);
    EXPECT_EQ(mcl.MclWriteClose(output), 0);
    EXPECT_EQ(mcl.MclAudioSetFileName(output, next.c_str()), 0);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(next)));
    EXPECT_EQ(mcl.MclFree(output), 0);
    EXPECT_EQ(readFile(reserved), header(44100, 2, 0u));
    EXPECT_EQ(readFile(next), header(44100, 2, 0u));
}

// Small and large files, mono and stereo, are what FFmpeg writes for the same sound: below the
// RIFF limit a plain WAV file with room for ds64, above it an RF64 file (the limit stands for
// the 4 GiB a RIFF size can count). The stage's header reader finds the sound of either.
TEST_F(MclTest, WavFilesAreTheBytesFfmpegWritesAndPassTheRiffLimitAsRf64) {
    const quint64 riffOfAll = 72 + 144000 * 4; // the whole of the PCM AVI
    const struct {
        Fixture source;
        std::int32_t frames;
        quint64 riffLimit;
        const char* rf64;
    } cases[] = {
        {Fixture::PcmAvi, 1000, WavWriter::kRiffLimit, "auto"}, // never leaves the buffer early
        {Fixture::PcmAvi, 144000, riffOfAll, "auto"},
        {Fixture::PcmAvi, 144000, riffOfAll - 1, "always"},
        {Fixture::Mp3Avi, 144000, WavWriter::kRiffLimit, "auto"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << path(c.source) << " " << c.frames << " " << c.rf64);
        FfmpegMcl limited(c.riffLimit);
        const std::string ours = file("ours.wav"), theirs = file("theirs.wav"), raw = file("raw");
        convert(limited, {path(c.source)}, ours, c.frames);
        const media::Pcm pcm = media::readWav(QString::fromStdString(ours));
        ASSERT_GT(pcm.frames(), 0u);
        ASSERT_TRUE(writeFile(QString::fromStdString(raw),
                              QByteArray(reinterpret_cast<const char*>(pcm.samples.data()),
                                         qsizetype(pcm.samples.size() * 2))));
        ASSERT_TRUE(media::runFfmpeg(QStringList{
            "-f", "s16le", "-ar", QString::number(pcm.rate), "-ac", QString::number(pcm.channels),
            "-i", QString::fromStdString(raw), "-rf64", c.rf64, "-fflags", "+bitexact", "-flags",
            "+bitexact", "-c:a", "pcm_s16le", QString::fromStdString(theirs)}));
        EXPECT_EQ(readFile(ours), readFile(theirs));

        QFile wav(QString::fromStdString(ours));
        ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
        WavHeaderInfo info{};
        EXPECT_TRUE(ReadWavHeader(wav, info));
        EXPECT_EQ(std::pair(info.DataOffset, info.DataSize),
                  std::pair(std::int64_t{80}, std::int64_t(pcm.samples.size() * 2)));
    }
}

// The header waits for the first block, which fixes the format (here not the empty file's
// 44100 Hz stereo); a stream that has gone out before its end states its sizes as unknown, as
// FFmpeg and sox read them; one still in hand at the close gets them after all.
TEST_F(MclTest, WavToAFifoStatesItsFormatAndSizesAsFarAsKnown) {
    const struct {
        Fixture source;
        std::int32_t frames;
        quint32 rate;
        quint16 channels;
        bool sized;
    } cases[] = {{Fixture::PcmAvi, 144000, 48000, 2, false},
                 {Fixture::Mp3Avi, 1000, 44100, 1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(path(c.source));
        const std::string fifo = file("destination.wav");
        QFile::remove(QString::fromStdString(fifo));
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        auto reading = std::async(std::launch::async, [&] {
            QFile f(QString::fromStdString(fifo));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        });
        convert(mcl, {path(c.source)}, fifo, c.frames);
        const QByteArray stream = reading.get();
        const auto data = quint32(stream.size() - 80);
        EXPECT_EQ(stream.left(80),
                  header(c.rate, c.channels, c.sized ? std::optional(data) : std::nullopt));
        const QString copy = QString::fromStdString(file("streamed.wav"));
        ASSERT_TRUE(writeFile(copy, stream));
        EXPECT_EQ(media::decode(copy).samples, media::readWav(copy).samples);
        EXPECT_EQ(media::readWav(copy).frames(), std::size_t(c.frames));
    }
}

// A 440 Hz tone cut into sources of 48, 44.1, 32 and 48 kHz joins as one tone: no second
// difference at a join is larger than the tone's own (about 54 at half scale), where a
// resampler started and flushed cold bends the sound by ten times that.
TEST_F(MclTest, WavSourcesOfOtherRatesJoinWithoutAStep) {
    std::vector<std::string> sources;
    for (const int rate : {48000, 44100, 32000, 48000}) {
        sources.push_back(file(("tone" + std::to_string(sources.size()) + ".wav").c_str()));
        ASSERT_TRUE(media::runFfmpeg(
            {"-f", "lavfi", "-i", QStringLiteral("aevalsrc=0.5*sin(2*PI*440*t):s=%1:d=1").arg(rate),
             "-c:a", "pcm_s16le", QString::fromStdString(sources.back())}));
    }
    convert(mcl, sources, file("tones.wav"));
    const media::Pcm wav = media::readWav(QString::fromStdString(file("tones.wav")));
    ASSERT_EQ(wav.frames(), 4u * 48000);
    const auto atJoin = [](std::size_t i) {
        return std::ranges::any_of(std::array{48000, 96000, 144000},
                                   [&](int join) { return std::abs(int(i) - join) < 200; });
    };
    double own = 0, joins = 0;
    for (std::size_t i = 1; i + 1 < wav.frames(); ++i) {
        const double d2 = std::abs(wav.samples[i + 1] - 2.0 * wav.samples[i] + wav.samples[i - 1]);
        (atJoin(i) ? joins : own) = std::max(atJoin(i) ? joins : own, d2);
    }
    EXPECT_NEAR(own, 0.5 * 32768 * std::pow(2 * std::numbers::pi * 440 / 48000, 2), 8.0);
    EXPECT_LE(joins, own);
}

// A job-sized block is written at once; a small one waits in the buffer until the close.
TEST_F(MclTest, WavFullDiskFailsTheWriteOrTheClose) {
    if (!QFileInfo::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    for (const auto& [frames, writeResult] : {std::pair{100000, -1}, {10, 0}}) {
        const MclHandle output = mcl.MclCreate(), sound = mcl.MclSndCreate();
        EXPECT_EQ(mcl.MclAudioSetFileName(output, "/dev/full"), 0);
        mcl.MclReadSound(mcl.MclReadOpen(path(Fixture::PcmAvi).c_str(), 0, 0, 0), 0, frames, sound);
        EXPECT_EQ(mcl.MclWriteSound(output, sound), writeResult) << frames;
        EXPECT_NE(mcl.MclWriteClose(output), 0);
        EXPECT_STREQ(mcl.MclGetErrorStr(), "Error writing output file");
    }
}

} // namespace
