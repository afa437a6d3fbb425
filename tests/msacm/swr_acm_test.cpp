// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "acm/ACMConvertor.h"
#include "acm/convert_buffer.h"
#include "platform/msacm/swr_acm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace {

WAVEFORMATEX format(int channels, int rate, int bits) {
    WAVEFORMATEX f{WAVE_FORMAT_PCM, std::uint16_t(channels), std::uint32_t(rate), 0, 0, 0, 0};
    f.nBlockAlign = std::uint16_t(channels * bits / 8);
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    f.wBitsPerSample = std::uint16_t(bits);
    return f;
}

// A sine at `peak` of full scale in the channels flagged in `active` (all when empty).
std::vector<std::uint8_t> sine(const WAVEFORMATEX& f, double seconds, double frequency, double peak,
                               const std::vector<bool>& active = {}) {
    const auto frames = static_cast<std::size_t>(seconds * f.nSamplesPerSec);
    const int width = f.wBitsPerSample / 8;
    const double scale = std::ldexp(1.0, f.wBitsPerSample - 1);
    std::vector<std::uint8_t> data(frames * f.nBlockAlign);
    for (std::size_t i = 0; i < frames; ++i) {
        const double v = std::sin(2 * std::numbers::pi * frequency * double(i) / f.nSamplesPerSec);
        for (int c = 0; c < f.nChannels; ++c) {
            const double s = active.empty() || active[c] ? peak * v * scale : 0.0;
            // 8-bit samples are unsigned: offset by half the scale.
            auto q = std::llround(std::clamp(s, -scale, scale - 1)) + (width == 1 ? 128 : 0);
            for (int b = 0; b < width; ++b, q >>= 8)
                data[i * f.nBlockAlign + c * width + b] = static_cast<std::uint8_t>(q);
        }
    }
    return data;
}

// Channel `c` of `data` as doubles in -1..1; without its first and last 50 ms unless `whole`, where
// the filter meets the start and the end of the signal.
std::vector<double> channel(const std::vector<std::uint8_t>& data, const WAVEFORMATEX& f, int c,
                            bool whole = false) {
    const int width = f.wBitsPerSample / 8;
    std::vector<double> out(data.size() / f.nBlockAlign);
    for (std::size_t i = 0; i < out.size(); ++i) {
        std::uint64_t v = 0;
        for (int b = 0; b < width; ++b)
            v |= std::uint64_t{data[i * f.nBlockAlign + c * width + b]} << (8 * b + 64 - 8 * width);
        const auto value =
            width == 1 ? std::int64_t(v >> 56) - 128 : std::int64_t(v) >> (64 - 8 * width);
        out[i] = double(value) / std::ldexp(1.0, f.wBitsPerSample - 1);
    }
    const std::size_t edge = whole ? 0 : f.nSamplesPerSec / 20;
    return {out.begin() + edge, out.end() - edge};
}

// Amplitude and signal-to-noise-and-distortion ratio (dB) of a sine of `frequency` Hz with an
// offset, fitted to `signal` by projection: over whole periods sin, cos and 1 are orthogonal.
std::pair<double, double> fitSine(std::vector<double> signal, int rate, int frequency) {
    const std::size_t period = rate / std::gcd(rate, frequency);
    signal.resize(signal.size() / period * period);
    const auto n = static_cast<double>(signal.size());
    const auto w = [&](std::size_t i) {
        return 2 * std::numbers::pi * frequency * double(i) / rate;
    };
    double a = 0, b = 0, offset = 0, noise = 0;
    for (std::size_t i = 0; i < signal.size(); ++i) {
        a += 2 / n * signal[i] * std::sin(w(i));
        b += 2 / n * signal[i] * std::cos(w(i));
        offset += signal[i] / n;
    }
    for (std::size_t i = 0; i < signal.size(); ++i)
        noise += std::pow(signal[i] - a * std::sin(w(i)) - b * std::cos(w(i)) - offset, 2);
    const double amplitude = std::hypot(a, b);
    return {amplitude, 10 * std::log10(amplitude * amplitude * n / 2 / std::max(noise, 1e-300))};
}

const WAVEFORMATEX kIn = format(2, 48000, 16);
const WAVEFORMATEX kOut = format(2, 44100, 16);

WAVEFORMATEX with(WAVEFORMATEX f, void (*change)(WAVEFORMATEX&)) {
    change(f);
    return f;
}

TEST(SwrAcmOpen, AnswersEachPairOfFormatsWithItsCodeAlsoToAQuery) {
    struct Row {
        WAVEFORMATEX source, destination;
        MMRESULT expected;
    };
    const Row table[] = {
        {format(1, 22050, 8), format(2, 22050, 16), 0},
        {format(8, 192000, 32), format(1, 8000, 24), 0},
        {format(6, 48000, 16), format(6, 44100, 16), 0},
        {with(kIn, [](WAVEFORMATEX& f) { f.cbSize = 129; }), kOut, 0},
        {with(kIn, [](WAVEFORMATEX& f) { f.wFormatTag = 2; }), kOut, ACMERR_NOTPOSSIBLE},
        {kIn, with(kOut, [](WAVEFORMATEX& f) { f.wFormatTag = 0x55; }), ACMERR_NOTPOSSIBLE},
        {WAVEFORMATEX{}, kOut, ACMERR_NOTPOSSIBLE}, // a file without a format chunk
        {with(kIn, [](WAVEFORMATEX& f) { f.nChannels = 0; }), kOut, MMSYSERR_INVALPARAM},
        {with(kIn, [](WAVEFORMATEX& f) { f.nSamplesPerSec = 0; }), kOut, MMSYSERR_INVALPARAM},
        {kIn, with(kOut, [](WAVEFORMATEX& f) { f.nBlockAlign = 6; }), MMSYSERR_INVALPARAM},
        {kIn, with(kOut, [](WAVEFORMATEX& f) { f.wBitsPerSample = 12; }), ACMERR_NOTPOSSIBLE},
        {format(2, 7350, 16), kOut, 0},
        {format(1, 5512, 16), kOut, 0},
        {format(2, 384000, 32), kOut, 0},
        {format(1, 1000, 16), format(1, 768000, 24), 0},
        {format(1, 999, 16), kOut, ACMERR_NOTPOSSIBLE},
        {kIn, format(1, 768001, 16), ACMERR_NOTPOSSIBLE},
        {format(9, 48000, 16), kOut, ACMERR_NOTPOSSIBLE},
        {kIn, format(6, 48000, 16), ACMERR_NOTPOSSIBLE}}; // no upmix beyond two
    for (const Row& r : table) {
        SCOPED_TRACE(&r - table);
        SwrAcmLibrary acm;
        HACMSTREAM stream = nullptr;
        EXPECT_EQ(acm.acmStreamOpen(nullptr, nullptr, &r.source, &r.destination, nullptr, 0, 0,
                                    ACM_STREAMOPENF_QUERY),
                  r.expected);
        EXPECT_EQ(acm.openStreams(), 0u);
        EXPECT_EQ(acm.acmStreamOpen(&stream, nullptr, &r.source, &r.destination, nullptr, 0, 0, 4),
                  r.expected);
        EXPECT_EQ(acm.openStreams(), r.expected ? 0u : 1u);
    }
}

// A stream with one header over buffers of the stage's size: 4096 frames of a 1 kHz sine.
struct PreparedStream : ::testing::Test {
    SwrAcmLibrary acm;
    HACMSTREAM stream = nullptr;
    DWORD outSize = 0;
    std::vector<std::uint8_t> src = sine(kIn, 4096.0 / 48000, 1000, 0.5);
    std::vector<std::uint8_t> dst;
    ACMSTREAMHEADER header{};

    void SetUp() override {
        ASSERT_EQ(acm.acmStreamOpen(&stream, nullptr, &kIn, &kOut, nullptr, 0, 0, 4), 0u);
        ASSERT_EQ(acm.acmStreamSize(stream, 16384, &outSize, ACM_STREAMSIZEF_SOURCE), 0u);
        dst.resize(outSize);
        header = {sizeof header, 0, 0, src.data(), 16384, 0, 0, dst.data(), outSize, 0, 0, {}};
    }
    MMRESULT prepare() { return acm.acmStreamPrepareHeader(stream, &header, 0); }
    MMRESULT convert(DWORD flags = 0) { return acm.acmStreamConvert(stream, &header, flags); }
    MMRESULT unprepare() { return acm.acmStreamUnprepareHeader(stream, &header, 0); }
    std::vector<std::uint8_t> output() const {
        return {dst.begin(), dst.begin() + header.cbDstLengthUsed};
    }
};

TEST_F(PreparedStream, CallsNeedThePreparedHeaderAndAnOpenStream) {
    EXPECT_EQ(convert(), ACMERR_UNPREPARED);
    ASSERT_EQ(prepare(), 0u);
    HACMSTREAM second = nullptr; // a header belongs to the stream it was prepared on
    ASSERT_EQ(acm.acmStreamOpen(&second, nullptr, &kIn, &kOut, nullptr, 0, 0, 0), 0u);
    EXPECT_EQ(acm.acmStreamConvert(second, &header, 0), ACMERR_UNPREPARED);
    EXPECT_EQ(acm.acmStreamUnprepareHeader(second, &header, 0), ACMERR_UNPREPARED);

    header.cbSrcLength = 100; // as the stage leaves it after a short last block
    EXPECT_EQ(convert(ACM_STREAMCONVERTF_END), 0u);
    EXPECT_EQ(unprepare(), MMSYSERR_INVALPARAM);
    header.cbSrcLength = 16384;
    header.cbDstLength -= 4;
    EXPECT_EQ(unprepare(), MMSYSERR_INVALPARAM);
    header.cbDstLength += 4;
    EXPECT_EQ(unprepare(), 0u);
    EXPECT_EQ(convert(), ACMERR_UNPREPARED);
    EXPECT_EQ(unprepare(), ACMERR_UNPREPARED);

    ASSERT_EQ(acm.acmStreamClose(stream, 0), 0u);
    DWORD size = 0;
    // Never opened or closed: the library must not look behind these.
    for (HACMSTREAM bogus : {HACMSTREAM{}, reinterpret_cast<HACMSTREAM>(&header), stream}) {
        EXPECT_EQ(acm.acmStreamSize(bogus, 16384, &size, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(acm.acmStreamPrepareHeader(bogus, &header, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(acm.acmStreamConvert(bogus, &header, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(acm.acmStreamUnprepareHeader(bogus, &header, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(acm.acmStreamReset(bogus, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(acm.acmStreamClose(bogus, 0), MMSYSERR_INVALHANDLE);
    }
}

TEST_F(PreparedStream, TakesWholeFramesThatFitAndReportsWhatItUsedAndMade) {
    ASSERT_EQ(prepare(), 0u);
    header.cbSrcLength = 4099; // 1024 frames and three bytes
    ASSERT_EQ(convert(ACM_STREAMCONVERTF_START), 0u);
    EXPECT_EQ(header.cbSrcLengthUsed, 4096u);
    EXPECT_EQ(header.cbDstLengthUsed % 4, 0u);
    EXPECT_GT(header.cbDstLengthUsed, 900u * 4); // about 1024 * 44100 / 48000, less the delay
    EXPECT_LE(header.cbDstLengthUsed, 941u * 4);
    header.cbSrcLength = 3;
    ASSERT_EQ(convert(), 0u);
    EXPECT_EQ(header.cbSrcLengthUsed + header.cbDstLengthUsed, 0u);

    header.cbSrcLength = 16384;
    header.cbDstLength = 400; // a destination of 100 frames takes less source
    ASSERT_EQ(convert(), 0u);
    EXPECT_GT(header.cbSrcLengthUsed, 0u);
    EXPECT_LT(header.cbSrcLengthUsed, 16384u);
    EXPECT_LE(header.cbDstLengthUsed, 400u);
}

TEST_F(PreparedStream, StartAndResetBeginAfreshAndEndDrains) {
    ASSERT_EQ(prepare(), 0u);
    ASSERT_EQ(convert(ACM_STREAMCONVERTF_START), 0u);
    const std::vector<std::uint8_t> first = output();
    ASSERT_EQ(convert(), 0u);
    EXPECT_NE(output(), first); // the stream went on
    ASSERT_EQ(convert(ACM_STREAMCONVERTF_START), 0u);
    EXPECT_EQ(output(), first);
    ASSERT_EQ(acm.acmStreamReset(stream, 0), 0u);
    ASSERT_EQ(convert(), 0u);
    EXPECT_EQ(output(), first);

    ASSERT_EQ(convert(ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END), 0u);
    // 4096 frames at 48000 Hz make 3763.2, rounded up, at 44100 Hz; the size asked covers them.
    EXPECT_EQ(header.cbDstLengthUsed, 3764u * 4);
    EXPECT_LT(first.size(), header.cbDstLengthUsed);
    EXPECT_LE(header.cbDstLengthUsed, outSize);
}

// `data` through the component on the real library in blocks of `blockFrames`, as the stage
// runs it; 0 converts it as one block.
std::vector<std::uint8_t> convert(const WAVEFORMATEX& in, const WAVEFORMATEX& out,
                                  const std::vector<std::uint8_t>& data,
                                  std::uint32_t blockFrames) {
    SwrAcmLibrary acm;
    TACMConvertor convertor(acm);
    convertor.ACMFormatIn.header = in;
    convertor.ACMFormatOut.header = out;
    // One block that is also the last needs a buffer longer than the data.
    convertor.SetInputBufferSize(blockFrames ? in.nBlockAlign * blockFrames
                                             : std::uint32_t(data.size() + in.nBlockAlign));
    convertor.SetActive(true);
    std::vector<std::uint8_t> result;
    convertBuffer(convertor, data.data(), data.size(),
                  [&](const std::uint8_t* bytes, std::uint32_t length) {
                      result.insert(result.end(), bytes, bytes + length);
                  });
    convertor.SetActive(false);
    EXPECT_EQ(acm.openStreams(), 0u);
    return result;
}

// A sine (1 kHz unless given) in one channel or all keeps its level on each side of the result
// (and so its frequency: the fit is at that frequency). The blocks give exactly what one whole
// conversion gives, and after the end the length is what the ratio gives; the destination
// buffer is what the size query gave, so a size that fell short would lose frames.
TEST(Sound, KeepsTheSineAndTheLengthHowEverTheSourceIsCut) {
    constexpr double kHalf = std::numbers::sqrt2 / 2;
    constexpr double kQuad = 1 + kHalf, kFive = 1 + 2 * kHalf, kSeven = 1 + 3 * kHalf;
    struct Row {
        int inRate, inChannels, inBits, outRate, outChannels, outBits;
        std::uint32_t blockFrames;
        int frequency = 1000;
        int toneIn = -1;            // the channel with the tone; -1 for all
        double left = 1, right = 1; // level on each side, relative to the tone
    };
    // clang-format off
    const Row table[] = {
        // What the stage converts every source to: 44100 Hz stereo 16-bit.
        {48000, 2, 16, 44100, 2, 16, 4096}, {48000, 1, 16, 44100, 2, 16, 4096},
        {48000, 2, 8, 44100, 2, 16, 4096},  {32000, 2, 16, 44100, 2, 16, 4096},
        {32000, 1, 8, 44100, 2, 16, 4096},  {22050, 1, 8, 44100, 2, 16, 4096},
        {22050, 2, 16, 44100, 2, 16, 4095}, {8000, 1, 16, 44100, 2, 16, 4096},
        {8000, 2, 8, 44100, 2, 16, 7},      {44100, 2, 16, 44100, 2, 16, 1000},
        {22050, 1, 8, 22050, 2, 16, 2048}, // the main window's wavtowav
        // The passband, flat to 18 kHz.
        {48000, 2, 16, 44100, 2, 16, 4096, 50},    {48000, 2, 16, 44100, 2, 16, 4096, 10000},
        {48000, 2, 16, 44100, 2, 16, 4096, 16000}, {48000, 2, 16, 44100, 2, 16, 4096, 18000},
        // Sample widths beyond 16 bits, and down to 8.
        {48000, 2, 24, 44100, 2, 16, 4096}, {48000, 2, 32, 44100, 2, 16, 4096},
        {48000, 2, 16, 44100, 2, 24, 4096}, {48000, 2, 24, 44100, 2, 24, 4096},
        {48000, 2, 32, 44100, 2, 32, 4096}, {48000, 2, 16, 44100, 2, 8, 4096},
        // Other rate pairs and block sizes.
        {44100, 1, 16, 48000, 1, 16, 4096}, {8000, 1, 16, 192000, 1, 16, 4096},
        {192000, 1, 16, 8000, 1, 16, 4096}, {11025, 1, 16, 44100, 1, 16, 100},
        {96000, 1, 16, 44100, 1, 16, 7},    {12000, 1, 16, 11025, 1, 16, 333},
        {176400, 1, 16, 48000, 1, 16, 4096},
        // Rates sources come at beyond the usual ones: AAC's lowest, old PCM's, studio PCM's.
        {7350, 2, 16, 44100, 2, 16, 4096},  {5512, 1, 16, 44100, 2, 16, 4096},
        {384000, 2, 24, 44100, 2, 16, 4096}, {768000, 1, 16, 44100, 1, 16, 4096},
        {1000, 1, 16, 44100, 2, 16, 4096, 100},
        // Mixing down: a tone in one channel of a wider source.
        {48000, 2, 16, 44100, 1, 16, 4096, 1000, 1, 0.5},
        {48000, 2, 16, 44100, 2, 16, 4096, 1000, 1, 0, 1},
        {48000, 3, 16, 44100, 2, 16, 4096, 1000, 2, kHalf / kQuad, kHalf / kQuad},
        {48000, 4, 16, 44100, 2, 16, 4096, 1000, 3, 0, kHalf / kQuad},
        {48000, 6, 16, 44100, 2, 16, 4096, 1000, 0, 1 / kFive, 0},
        {48000, 6, 16, 44100, 2, 16, 4096, 1000, 2, kHalf / kFive, kHalf / kFive},
        {48000, 6, 16, 44100, 2, 16, 4096, 1000, 3, 0, 0},
        {48000, 6, 16, 44100, 2, 16, 4096, 1000, 5, 0, kHalf / kFive},
        {48000, 6, 16, 44100, 1, 16, 4096, 1000, 2, kHalf / kFive},
        {48000, 8, 16, 44100, 2, 16, 4096, 1000, 0, 1 / kSeven, 0},
        {48000, 8, 16, 44100, 2, 16, 4096, 1000, 7, 0, kHalf / kSeven}};
    // clang-format on
    const double peak = std::pow(10.0, -1.0 / 20); // -1 dBFS
    for (const Row& c : table) {
        SCOPED_TRACE(::testing::Message() << "row " << &c - table);
        const WAVEFORMATEX in = format(c.inChannels, c.inRate, c.inBits);
        const WAVEFORMATEX out = format(c.outChannels, c.outRate, c.outBits);
        std::vector<bool> active(c.inChannels, c.toneIn < 0);
        if (c.toneIn >= 0)
            active[c.toneIn] = true;
        const auto data = sine(in, 0.5, c.frequency, peak, active);
        const auto blocks = convert(in, out, data, c.blockFrames);
        EXPECT_EQ(blocks, convert(in, out, data, 0));
        EXPECT_EQ(std::int64_t(blocks.size() / out.nBlockAlign),
                  (std::int64_t{c.inRate / 2} * c.outRate + c.inRate - 1) / c.inRate);

        const bool coarse = c.inBits == 8 || c.outBits == 8;
        const double gains[2] = {c.left, c.right};
        for (int ch = 0; ch < c.outChannels; ++ch) {
            const auto [amplitude, sinadDb] =
                fitSine(channel(blocks, out, ch), c.outRate, c.frequency);
            // 0.1 dB in the passband; 0.05 or 0.01 dB at 1 kHz.
            const double tolerance = c.frequency != 1000 ? 0.0116 : coarse ? 0.0058 : 0.0012;
            EXPECT_NEAR(amplitude / peak, gains[ch], tolerance) << ch;
            // Wider samples on both sides leave only the resampler's own error; a quieter tone
            // keeps the same noise, so its ratio falls by its level (silence has none).
            const double sinad = coarse ? 40.0 : c.inBits > 16 && c.outBits > 16 ? 100.0 : 90.0;
            EXPECT_GT(gains[ch] > 0 ? sinadDb : 1e9, sinad + 20 * std::log10(gains[ch])) << ch;
        }
    }
}

TEST(Sound, FullScaleInEveryChannelMixesDownWithoutClipping) {
    const WAVEFORMATEX in = format(8, 48000, 16), out = format(2, 44100, 16);
    const auto loud = convert(in, out, sine(in, 0.5, 1000, 0.999), 4096);
    for (int ch = 0; ch < 2; ++ch) {
        const auto signal = channel(loud, out, ch, true);
        EXPECT_LT(*std::max_element(signal.begin(), signal.end()), 32767.0 / 32768);
    }
}

} // namespace
