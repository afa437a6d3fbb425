#include "mcl_test.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <span>

namespace {

int largestDifference(const media::Pcm& a, const media::Pcm& b) {
    int largest = 0;
    for (std::size_t i = 0; i < std::min(a.samples.size(), b.samples.size()); ++i)
        largest = std::max(largest, std::abs(a.samples[i] - b.samples[i]));
    return largest;
}

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

// Read in the job's blocks: one full block that goes on, then the last, which says it ends.
TEST_F(MclTest, EachFormatDeliversWhatTheFfmpegToolDecodes) {
    const struct {
        Fixture fixture;
        int rate, channels;
        double tone; // 0: several (see the downmix test)
        std::int64_t tolerance;
    } cases[] = {
        {Fixture::AacMp4, 48000, 2, 440, 1024},
        // AVI stores no priming, so the encoder's delay stays in, as with the ffmpeg tool.
        {Fixture::Mp3Avi, 44100, 1, 1000, 2 * 1152},
        {Fixture::Mp2Mpg, 48000, 2, 700, 1152},
        {Fixture::Ac3Vob, 48000, 2, 0, 1536},
        {Fixture::PcmAvi, 48000, 2, 550, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(path(c.fixture));
        const Decoded d = readAll(path(c.fixture));
        EXPECT_EQ(std::pair(d.pcm.rate, d.pcm.channels), std::pair(c.rate, c.channels));
        EXPECT_LE(std::abs(std::int64_t(d.pcm.frames()) - 3 * c.rate), c.tolerance);
        ASSERT_EQ(d.codes.size(), 2u);
        EXPECT_TRUE(d.codes[0] == 0 && d.codes[1] != 0 && d.frames[0] == 100000);
        const media::Pcm reference = media::decode(QString::fromStdString(path(c.fixture)));
        EXPECT_EQ(d.pcm.frames(), reference.frames());
        EXPECT_LE(largestDifference(d.pcm, reference), 1);
        if (c.tone > 0) {
            const auto middle = media::channel(d.pcm, c.channels - 1, c.rate / 2, c.rate * 2);
            EXPECT_NEAR(media::dominantFrequency(middle, c.rate), c.tone, 1.0);
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
        for (const auto& [position, count] : {std::pair<std::int64_t, int>{50000, 1000},
                                              {10, 500},
                                              {10, 500},
                                              {0, 3000},
                                              {total - 700, 5000},
                                              {total + 5, 10}}) {
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

TEST_F(MclTest, MpegDecoderChoiceHoldsForSourcesOpenedAfterwards) {
    const std::string mp3 = path(Fixture::Mp3Avi), mp2 = path(Fixture::Mp2Mpg);
    const MclHandle byDefault = mcl.MclReadOpen(mp3.c_str(), 0, 0, 0);
    mcl.MclMpegInternalDecoder(0);
    const MclHandle fixed3 = mcl.MclReadOpen(mp3.c_str(), 0, 0, 0);
    const MclHandle fixed2 = mcl.MclReadOpen(mp2.c_str(), 0, 0, 0);
    const MclHandle aac = mcl.MclReadOpen(path(Fixture::AacMp4).c_str(), 0, 0, 0);
    mcl.MclMpegInternalDecoder(-1); // all bits set, as the window passes true
    const MclHandle float2 = mcl.MclReadOpen(mp2.c_str(), 0, 0, 0);
    EXPECT_EQ(mcl.decoderName(byDefault), "mp3float");
    EXPECT_EQ(mcl.decoderName(fixed3), "mp3");
    EXPECT_EQ(mcl.decoderName(fixed2), "mp2");
    EXPECT_EQ(mcl.decoderName(aac), "aac");
    EXPECT_EQ(mcl.decoderName(float2), "mp2float");
    EXPECT_FALSE(readAll(mp3).pcm.samples.empty()); // the fixed-point decoder delivers sound
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
    for (int channel : {0, 1}) {
        EXPECT_NEAR(media::dominantFrequency(media::channel(pcm, channel, 24000, 48000), 48000),
                    700, 1.0);
        EXPECT_NEAR(media::dominantFrequency(media::channel(pcm, channel, 120000, 48000), 48000),
                    1000, 1.0);
    }
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
