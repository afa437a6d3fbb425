#include "pcm_signal.h"
#include "platform/msacm/swr_acm.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <numbers>

namespace {

const WAVEFORMATEX kStageOut = pcm::format(2, 44100, 16);

struct Converted {
    std::vector<std::uint8_t> blocks; // 4096-frame blocks, as the stage converts
    std::vector<std::uint8_t> whole;  // the same signal as one block
};

Converted convertBoth(const WAVEFORMATEX& in, const WAVEFORMATEX& out,
                      const std::vector<std::uint8_t>& data, std::uint32_t blockFrames = 4096) {
    SwrAcmLibrary acm;
    TACMConvertor convertor(acm);
    std::memcpy(&convertor.ACMFormatIn.header, &in, sizeof in);
    std::memcpy(&convertor.ACMFormatOut.header, &out, sizeof out);
    Converted c;
    c.blocks = pcm::convertLikeTheStage(convertor, data, blockFrames);
    c.whole = pcm::convertLikeTheStage(convertor, data, 0);
    EXPECT_EQ(acm.openStreams(), 0u);
    return c;
}

std::int64_t expectedFrames(std::size_t inFrames, int inRate, int outRate) {
    return (static_cast<std::int64_t>(inFrames) * outRate + inRate - 1) / inRate;
}

// Drops the edges, where the filter meets the start and the end of the signal.
std::vector<double> middle(const std::vector<double>& s, int rate) {
    const std::size_t edge = std::min<std::size_t>(rate / 20, s.size() / 4);
    return {s.begin() + static_cast<std::ptrdiff_t>(edge),
            s.end() - static_cast<std::ptrdiff_t>(edge)};
}

double largestDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b,
                         const WAVEFORMATEX& f) {
    double largest = a.size() == b.size() ? 0 : 1e9;
    for (int c = 0; c < f.nChannels && a.size() == b.size(); ++c) {
        const auto x = pcm::channel(a, f, c), y = pcm::channel(b, f, c);
        for (std::size_t i = 0; i < x.size(); ++i)
            largest = std::max(largest, std::abs(x[i] - y[i]));
    }
    return largest * 32768; // in 16-bit steps
}

// A 1 kHz sine to 44100 Hz stereo 16-bit, as the stage converts every source.
struct StageCase {
    int rate;
    int channels;
    int bits;
};

class StageSoundTest : public ::testing::TestWithParam<StageCase> {};

TEST_P(StageSoundTest, KeepsFrequencyLevelAndContinuity) {
    const StageCase& c = GetParam();
    const WAVEFORMATEX in = pcm::format(c.channels, c.rate, c.bits);
    const double peak = 0.5;
    const auto data = pcm::sine(in, 2.3, 1000, peak);
    const Converted out = convertBoth(in, kStageOut, data);

    const std::size_t inFrames = data.size() / in.nBlockAlign;
    const auto frames = static_cast<std::int64_t>(out.blocks.size() / 4);
    EXPECT_NEAR(frames, expectedFrames(inFrames, c.rate, 44100), 2);
    // Block boundaries leave no trace: the blocks give what one whole conversion gives.
    EXPECT_LE(largestDifference(out.blocks, out.whole, kStageOut), 1.0);

    const double quantisation = c.bits == 8 ? 1.0 / 128 : 1.0 / 32768;
    for (int ch = 0; ch < 2; ++ch) {
        const auto signal = middle(pcm::channel(out.blocks, kStageOut, ch), 44100);
        EXPECT_NEAR(media::dominantFrequency(signal, 44100), 1000.0, 0.5) << "channel " << ch;
        const pcm::SineFit fit = pcm::fitSine(signal, 44100, 1000);
        EXPECT_NEAR(pcm::db(fit.amplitude / peak), 0.0, 0.05) << "channel " << ch;
        EXPECT_GT(fit.sinadDb, c.bits == 8 ? 40.0 : 85.0) << "channel " << ch;
        // No click or gap: no step larger than the sine's own steepest one plus noise (the
        // signal's own cut ends ring and are left out).
        const double steepest = 2 * std::numbers::pi * 1000 / 44100 * peak;
        EXPECT_LT(media::largestStep(signal), steepest * 1.05 + 4 * quantisation)
            << "channel " << ch;
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, StageSoundTest,
                         ::testing::Values(StageCase{48000, 2, 16}, StageCase{48000, 1, 16},
                                           StageCase{48000, 2, 8}, StageCase{32000, 2, 16},
                                           StageCase{32000, 1, 8}, StageCase{22050, 1, 8},
                                           StageCase{22050, 2, 16}, StageCase{8000, 1, 16},
                                           StageCase{8000, 2, 8}, StageCase{44100, 2, 16}),
                         [](const auto& testCase) {
                             return std::to_string(testCase.param.rate) + "_" +
                                    std::to_string(testCase.param.channels) + "ch_" +
                                    std::to_string(testCase.param.bits) + "bit";
                         });

TEST(SoundQuality, SinadOf48To44100AtMinusOneDb) {
    const WAVEFORMATEX in = pcm::format(2, 48000, 16);
    const double peak = std::pow(10.0, -1.0 / 20);
    const Converted out = convertBoth(in, kStageOut, pcm::sine(in, 3, 1000, peak));
    for (int ch = 0; ch < 2; ++ch) {
        const auto signal = middle(pcm::channel(out.blocks, kStageOut, ch), 44100);
        const pcm::SineFit fit = pcm::fitSine(signal, 44100, 1000);
        std::cout << "SINAD 48000 -> 44100 Hz, 1 kHz at -1 dBFS, channel " << ch << ": "
                  << fit.sinadDb << " dB\n";
        EXPECT_GE(fit.sinadDb, 90.0);
    }
}

TEST(SoundQuality, PassbandIsFlatTo18kHz) {
    const WAVEFORMATEX in = pcm::format(1, 48000, 16);
    const double peak = 0.5;
    double worst = 0;
    for (double frequency : {50.0, 1000.0, 5000.0, 10000.0, 14000.0, 16000.0, 17000.0, 18000.0}) {
        const Converted out = convertBoth(in, kStageOut, pcm::sine(in, 1, frequency, peak));
        const auto signal = middle(pcm::channel(out.blocks, kStageOut, 0), 44100);
        const double change = pcm::db(pcm::fitSine(signal, 44100, frequency).amplitude / peak);
        worst = std::max(worst, std::abs(change));
        EXPECT_NEAR(change, 0.0, 0.1) << frequency << " Hz";
    }
    std::cout << "largest level change up to 18 kHz: " << worst << " dB\n";
}

// Sample widths beyond 16 bits, in and out.
struct WidthCase {
    int inBits;
    int outBits;
};

class WidthTest : public ::testing::TestWithParam<WidthCase> {};

TEST_P(WidthTest, KeepsLevelAndPrecision) {
    const WidthCase& c = GetParam();
    const WAVEFORMATEX in = pcm::format(2, 48000, c.inBits);
    const WAVEFORMATEX out = pcm::format(2, 44100, c.outBits);
    const double peak = 0.7;
    const Converted converted = convertBoth(in, out, pcm::sine(in, 1, 1000, peak));
    EXPECT_EQ(converted.blocks, converted.whole);
    for (int ch = 0; ch < 2; ++ch) {
        const auto signal = middle(pcm::channel(converted.blocks, out, ch), 44100);
        const pcm::SineFit fit = pcm::fitSine(signal, 44100, 1000);
        EXPECT_NEAR(pcm::db(fit.amplitude / peak), 0.0, 0.01);
        // Wider samples on both sides leave only the resampler's own error.
        EXPECT_GT(fit.sinadDb, c.outBits == 8                    ? 40.0
                               : c.outBits > 16 && c.inBits > 16 ? 100.0
                                                                 : 85.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, WidthTest,
                         ::testing::Values(WidthCase{24, 16}, WidthCase{32, 16}, WidthCase{16, 24},
                                           WidthCase{24, 24}, WidthCase{32, 32}, WidthCase{16, 8}),
                         [](const auto& testCase) {
                             return std::to_string(testCase.param.inBits) + "_to_" +
                                    std::to_string(testCase.param.outBits);
                         });

// A tone in one channel of a wider source: its level on each side of the result.
struct MixCase {
    int channels;
    int toneIn;
    int outChannels;
    double leftGain; // relative to the tone; 0 for silence
    double rightGain;
};

class DownmixTest : public ::testing::TestWithParam<MixCase> {};

TEST_P(DownmixTest, PlacesEachChannelAtItsLevel) {
    const MixCase& c = GetParam();
    const WAVEFORMATEX in = pcm::format(c.channels, 48000, 16);
    const WAVEFORMATEX out = pcm::format(c.outChannels, 44100, 16);
    std::vector<bool> active(c.channels, false);
    active[c.toneIn] = true;
    const double peak = 0.5;
    const Converted converted = convertBoth(in, out, pcm::sine(in, 0.5, 1000, peak, active));
    EXPECT_EQ(converted.blocks, converted.whole);
    const double gains[2] = {c.leftGain, c.rightGain};
    for (int ch = 0; ch < c.outChannels; ++ch) {
        const auto signal = middle(pcm::channel(converted.blocks, out, ch), 44100);
        const double amplitude = pcm::fitSine(signal, 44100, 1000).amplitude;
        EXPECT_NEAR(amplitude / peak, gains[ch], 0.002) << "output channel " << ch;
    }
}

constexpr double kHalf = std::numbers::sqrt2 / 2;
constexpr double kFive = 1 + 2 * kHalf;  // a side of 5.1: front, centre, surround
constexpr double kSeven = 1 + 3 * kHalf; // a side of 7.1: front, centre, two surrounds
constexpr double kQuad = 1 + kHalf;

INSTANTIATE_TEST_SUITE_P(
    Layouts, DownmixTest,
    ::testing::Values(MixCase{1, 0, 2, 1.0, 1.0}, MixCase{2, 0, 1, 0.5, 0},
                      MixCase{2, 1, 1, 0.5, 0}, MixCase{2, 1, 2, 0, 1.0},
                      MixCase{3, 2, 2, kHalf / kQuad, kHalf / kQuad},
                      MixCase{4, 2, 2, kHalf / kQuad, 0}, MixCase{4, 3, 2, 0, kHalf / kQuad},
                      MixCase{6, 0, 2, 1 / kFive, 0}, MixCase{6, 1, 2, 0, 1 / kFive},
                      MixCase{6, 2, 2, kHalf / kFive, kHalf / kFive}, MixCase{6, 3, 2, 0, 0},
                      MixCase{6, 4, 2, kHalf / kFive, 0}, MixCase{6, 5, 2, 0, kHalf / kFive},
                      MixCase{6, 2, 1, kHalf / kFive, 0}, MixCase{8, 0, 2, 1 / kSeven, 0},
                      MixCase{8, 7, 2, 0, kHalf / kSeven}));

TEST(Downmix, FullScaleInEveryChannelDoesNotClip) {
    const WAVEFORMATEX in = pcm::format(8, 48000, 16);
    const Converted converted = convertBoth(in, kStageOut, pcm::sine(in, 0.5, 1000, 0.999));
    for (int ch = 0; ch < 2; ++ch) {
        const auto signal = pcm::channel(converted.blocks, kStageOut, ch);
        const double top = *std::max_element(signal.begin(), signal.end());
        EXPECT_LT(top, 32767.0 / 32768);
    }
}

// Any pair of rates, cut into blocks of any size: the blocks are the whole, and the end leaves
// the length the ratio gives. The destination buffer is what the size query gave, so a size
// that fell short would show as lost frames.
struct RateCase {
    int inRate;
    int outRate;
    std::uint32_t blockFrames;
};

class RatePairTest : public ::testing::TestWithParam<RateCase> {};

TEST_P(RatePairTest, BlocksEqualTheWholeAndTheLengthFollowsTheRatio) {
    const RateCase& c = GetParam();
    const WAVEFORMATEX in = pcm::format(1, c.inRate, 16);
    const WAVEFORMATEX out = pcm::format(1, c.outRate, 16);
    const auto data = pcm::sine(in, 0.37, 440, 0.5);
    const Converted converted = convertBoth(in, out, data, c.blockFrames);
    EXPECT_EQ(converted.blocks, converted.whole);
    EXPECT_EQ(static_cast<std::int64_t>(converted.blocks.size() / 2),
              expectedFrames(data.size() / 2, c.inRate, c.outRate));
}

INSTANTIATE_TEST_SUITE_P(
    Rates, RatePairTest,
    ::testing::Values(RateCase{48000, 44100, 4096}, RateCase{44100, 48000, 4096},
                      RateCase{8000, 192000, 4096}, RateCase{192000, 8000, 4096},
                      RateCase{11025, 44100, 100}, RateCase{96000, 44100, 7},
                      RateCase{22050, 44100, 4095}, RateCase{32000, 44100, 4096},
                      RateCase{44100, 44100, 1000}, RateCase{12000, 11025, 333},
                      RateCase{8000, 44100, 7}, RateCase{176400, 48000, 4096}),
    [](const auto& testCase) {
        return std::to_string(testCase.param.inRate) + "_" +
               std::to_string(testCase.param.outRate) + "_" +
               std::to_string(testCase.param.blockFrames);
    });

} // namespace
