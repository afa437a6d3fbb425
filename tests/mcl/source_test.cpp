// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "mcl_test.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <span>

namespace {

// Level in dB of the component at `frequency` (Hann-windowed DFT bin).
double toneDb(const std::vector<double>& signal, int rate, double frequency) {
    std::complex<double> sum;
    double weight = 0;
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / (signal.size() - 1));
        sum += signal[i] * hann * std::polar(1.0, -2 * std::numbers::pi * frequency * i / rate);
        weight += hann;
    }
    return 20 * std::log10(2 * std::abs(sum) / weight);
}

// Read in the job's blocks: one full block that goes on, then the last, which says it ends;
// rate, channels and samples as the ffmpeg tool decodes them (5.1 mixed to stereo).
TEST_F(MclTest, EachFormatDeliversWhatTheFfmpegToolDecodes) {
    for (const auto& [fixture, tone] : {std::pair{Fixture::AacMp4, 440},
                                        {Fixture::Mp3Avi, 1000},
                                        {Fixture::Mp2Mpg, 700},
                                        {Fixture::Ac3Vob, 0},
                                        {Fixture::PcmAvi, 550}}) {
        SCOPED_TRACE(path(fixture));
        const Decoded d = readAll(path(fixture));
        const media::Pcm reference = media::decode(QString::fromStdString(path(fixture)));
        EXPECT_EQ(std::tuple(d.pcm.rate, d.pcm.channels, d.pcm.frames()),
                  std::tuple(reference.rate, reference.channels, reference.frames()));
        EXPECT_TRUE(std::ranges::equal(d.pcm.samples, reference.samples,
                                       [](int a, int b) { return std::abs(a - b) <= 1; }));
        EXPECT_EQ(d.codes.size(), 2u);
        EXPECT_TRUE(d.codes[0] == 0 && d.codes.back() != 0 && d.frames[0] == 100000);
        if (tone > 0) {
            const auto middle =
                media::channel(d.pcm, d.pcm.channels - 1, d.pcm.rate / 2, d.pcm.rate * 2);
            EXPECT_NEAR(media::dominantFrequency(middle, d.pcm.rate), tone, 1.0);
        }
    }
}

TEST_F(MclTest, LastReadSaysTheSourceEndsEvenOnAnExactMultiple) {
    const struct {
        int count;
        std::vector<int> ends; // per read: 1 for a non-zero code
        std::vector<std::int64_t> frames;
    } cases[] = {
        {48000, {0, 0, 1}, {48000, 48000, 48000}},
        {144000, {1}, {144000}},
        {100000, {0, 1}, {100000, 44000}},
        {200000, {1}, {144000}},
    };
    for (const auto& c : cases) {
        Decoded d = readAll(path(Fixture::PcmAvi), c.count);
        std::ranges::transform(d.codes, d.codes.begin(), [](int code) { return code != 0; });
        EXPECT_EQ(d.codes, c.ends) << c.count;
        EXPECT_EQ(d.frames, c.frames) << c.count;
    }
}

TEST_F(MclTest, ReadsFromAnyPositionExactly) {
    for (Fixture fixture : {Fixture::AacMp4, Fixture::Mp3Avi, Fixture::PcmAvi}) {
        const media::Pcm whole = readAll(path(fixture)).pcm;
        const auto total = std::int64_t(whole.frames());
        const MclHandle sound = mcl.MclSndCreate();
        const MclHandle input = mcl.MclReadOpen(path(fixture).c_str(), 0, 0, 0);
        // Forward, backward, the same again, across the end, beyond the end.
        const std::pair<std::int64_t, int> reads[] = {
            {50000, 1000}, {10, 500}, {10, 500}, {0, 3000}, {total - 700, 5000}, {total + 5, 10}};
        for (const auto& [position, count] : reads) {
            SCOPED_TRACE(testing::Message() << path(fixture) << " from " << position);
            EXPECT_EQ(mcl.MclReadSound(input, position, count, sound) != 0,
                      position + count >= total);
            const SoundBlock& block = *mcl.soundBlock(sound);
            ASSERT_EQ(block.frames(), std::clamp<std::int64_t>(total - position, 0, count));
            EXPECT_TRUE(std::ranges::equal(
                block.samples,
                std::span(whole.samples).subspan(position * whole.channels, block.samples.size())));
        }
    }
}

// Each side: its front, the centre and its surround at -3 dB, scaled by 1 / (1 + 2 × 0.707) so
// that nothing clips; the LFE and the other side are left out.
TEST_F(MclTest, SurroundIsMixedToStereo) {
    const media::Pcm pcm = readAll(path(Fixture::Ac3Vob)).pcm;
    ASSERT_EQ(pcm.channels, 2);
    for (const auto& [side, front, surround, otherFront, otherSurround] :
         {std::tuple{0, 300.0, 900.0, 500.0, 1100.0}, {1, 500.0, 1100.0, 300.0, 900.0}}) {
        const auto signal = media::channel(pcm, side, 24000, 96000);
        const double level = toneDb(signal, 48000, front);
        EXPECT_NEAR(level, 20 * std::log10(0.125 / (1 + std::sqrt(2.0))), 1.0) << side; // 1/8 FS
        for (const double tone : {700.0, surround})
            EXPECT_NEAR(toneDb(signal, 48000, tone) - level, -3.0, 0.5) << side << " " << tone;
        for (const double absent : {otherFront, otherSurround, 60.0})
            EXPECT_LT(toneDb(signal, 48000, absent) - level, -40) << side << " " << absent;
    }
}

// The choice holds for inputs opened afterwards, not for those already open, and only for MPEG.
TEST_F(MclTest, MpegDecoderChoiceHoldsForSourcesOpenedAfterwards) {
    std::vector<MclHandle> inputs;
    const auto open = [&](Fixture f) {
        inputs.push_back(mcl.MclReadOpen(path(f).c_str(), 0, 0, 0));
    };
    open(Fixture::Mp3Avi);
    mcl.MclMpegInternalDecoder(0);
    open(Fixture::Mp3Avi), open(Fixture::Mp2Mpg), open(Fixture::AacMp4);
    EXPECT_FALSE(readAll(path(Fixture::Mp3Avi)).pcm.samples.empty()) << "fixed-point sound";
    mcl.MclMpegInternalDecoder(-1); // all bits set, as the window passes true
    open(Fixture::Mp2Mpg);
    std::vector<std::string> names;
    for (const MclHandle input : inputs)
        names.push_back(mcl.decoderName(input));
    EXPECT_EQ(names, (std::vector<std::string>{"mp3float", "mp3", "mp2", "aac", "mp2float"}));
}

TEST_F(MclTest, UnusableSourcesFailToOpenAndTheirHandlesAreHarmless) {
    const MclHandle sound = mcl.MclSndCreate();
    for (const std::string& source :
         {file("missing.avi"), path(Fixture::Empty), path(Fixture::TextAvi), path(Fixture::NoAudio),
          file(""), std::string()}) {
        SCOPED_TRACE(source);
        const MclHandle input = mcl.MclReadOpen(source.c_str(), 0, 0, 0);
        EXPECT_STREQ(mcl.MclGetErrorStr(), "Invalid input file");
        EXPECT_NE(mcl.MclReadSound(input, 0, 100000, sound), 0);
        EXPECT_EQ(mcl.soundBlock(sound)->frames(), 0);
        EXPECT_EQ(mcl.MclReadClose(input), 0);
        EXPECT_NE(mcl.MclReadClose(input), 0) << "a stale handle is refused";
    }
    // A cut file delivers what it holds, then ends.
    const Decoded cut = readAll(path(Fixture::TruncatedMp4), 20000);
    EXPECT_EQ(std::ranges::count(cut.codes, 0), std::ssize(cut.codes) - 1);
    EXPECT_GT(cut.pcm.frames(), 144000u * 3 / 10);
    EXPECT_LT(cut.pcm.frames(), 144000u);
}

TEST_F(MclTest, FormatChangeWithinTheStreamIsConvertedToTheOpeningFormat) {
    const media::Pcm pcm = readAll(path(Fixture::ChangingMp2)).pcm;
    EXPECT_EQ(std::pair(pcm.rate, pcm.channels), std::pair(48000, 2));
    EXPECT_NEAR(double(pcm.frames()), 4 * 48000, 3 * 1152);
    for (int channel : {0, 1})
        for (const auto& [first, tone] : {std::pair{24000, 700.0}, {120000, 1000.0}})
            EXPECT_NEAR(media::dominantFrequency(media::channel(pcm, channel, first, 48000), 48000),
                        tone, 1.0);
}

TEST_F(MclTest, AbortWithTheNullHandleStopsTheOpenInputsOnly) {
    const MclHandle sound = mcl.MclSndCreate();
    const MclHandle first = mcl.MclReadOpen(path(Fixture::PcmAvi).c_str(), 0, 0, 0);
    const MclHandle second = mcl.MclReadOpen(path(Fixture::AacMp4).c_str(), 0, 0, 0);
    EXPECT_EQ(mcl.MclReadSound(first, 0, 1000, sound), 0);
    mcl.MclAbort(0);
    for (MclHandle input : {first, second}) {
        EXPECT_NE(mcl.MclReadSound(input, 1000, 1000, sound), 0);
        EXPECT_STREQ(mcl.MclGetErrorStr(), "Conversion aborted by user");
    }
    const MclHandle later = mcl.MclReadOpen(path(Fixture::PcmAvi).c_str(), 0, 0, 0);
    EXPECT_EQ(mcl.MclReadSound(later, 0, 1000, sound), 0);
    EXPECT_EQ(mcl.soundBlock(sound)->frames(), 1000);
}

} // namespace
