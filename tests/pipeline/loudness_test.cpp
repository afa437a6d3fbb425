// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Measuring loudness and true peak, choosing the gain, and giving it to samples and files.
#include "pipeline/ebur128_ptr.h"
#include "pipeline/loudness_meter.h"
#include "pipeline/sample_gain.h"
#include "pipeline/source_level.h"
#include "pipeline/source_levelling.h"
#include "pipeline/true_peak.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <thread>
#include <unistd.h>

namespace {

// Interleaved 16-bit frames of a sine in every channel, `dbfs` its peak.
std::vector<std::int16_t> sine(double frequency, double dbfs, double seconds, int rate,
                               int channels, double phase = 0) {
    const auto frames = static_cast<std::size_t>(seconds * rate);
    const double amplitude = 32768 * std::pow(10.0, dbfs / 20);
    std::vector<std::int16_t> samples;
    for (std::size_t i = 0; i < frames; ++i) {
        const double value =
            amplitude * std::sin(2 * std::numbers::pi * frequency * i / rate + phase);
        for (int c = 0; c < channels; ++c)
            samples.push_back(
                static_cast<std::int16_t>(std::lround(std::clamp(value, -32768.0, 32767.0))));
    }
    return samples;
}

LoudnessMeasurement measure(const std::vector<std::int16_t>& samples, int rate, int channels,
                            std::size_t piece = 100000, bool monoTwice = false) {
    LoudnessMeter meter(monoTwice);
    const std::size_t frames = samples.size() / channels;
    for (std::size_t at = 0; at < frames; at += piece) {
        const std::size_t count = std::min(piece, frames - at);
        meter.add(samples.data() + at * channels, static_cast<std::int64_t>(count), rate, channels);
    }
    return meter.finish();
}

FrameReader readerOf(const std::vector<std::int16_t>& samples, int channels) {
    return [&samples, channels](std::int64_t first, std::int64_t count,
                                std::vector<std::int16_t>& out) {
        out.assign(samples.begin() + first * channels,
                   samples.begin() + (first + count) * channels);
        return true;
    };
}

double fullTruePeak(const std::vector<std::int16_t>& samples, int rate, int channels) {
    const Ebur128Ptr state(ebur128_init(channels, rate, EBUR128_MODE_TRUE_PEAK));
    ebur128_add_frames_short(state.get(), samples.data(), samples.size() / channels);
    double peak = 0;
    for (int c = 0; c < channels; ++c) {
        double value = 0;
        ebur128_true_peak(state.get(), c, &value);
        peak = std::max(peak, value);
    }
    return peak;
}

TEST(LoudnessMeter, ReadsTheEbuReferenceSineAsMinus23Lufs) {
    // EBU Tech 3341, case 1: 1 kHz at -23 dBFS in both channels is -23.0 LUFS.
    const auto samples = sine(1000, -23, 20, 48000, 2);
    const LoudnessMeasurement measured = measure(samples, 48000, 2);
    EXPECT_FALSE(measured.failed);
    EXPECT_NEAR(measured.loudness, -23.0, 0.1);
    EXPECT_EQ(measured.frames, 20 * 48000);
}

TEST(LoudnessMeter, GivesTheSameResultHoweverTheSoundIsHandedOver) {
    std::mt19937 noise(7);
    std::normal_distribution<double> level(0, 3000);
    std::vector<std::int16_t> samples(44100 * 2 * 6);
    for (auto& s : samples)
        s = static_cast<std::int16_t>(std::clamp(level(noise), -32768.0, 32767.0));
    const LoudnessMeasurement whole = measure(samples, 44100, 2, 1 << 30);
    for (const std::size_t piece : {1, 333, 4096, 100000}) {
        const LoudnessMeasurement pieces = measure(samples, 44100, 2, piece);
        EXPECT_EQ(pieces.loudness, whole.loudness) << piece;
        EXPECT_EQ(pieces.windowPeaks, whole.windowPeaks) << piece;
    }
}

TEST(LoudnessMeter, StretchesMeasuredApartAddUpToTheWholeInOrder) {
    // Three stretches and a bit, each at another level, so that each worker's share differs.
    std::mt19937 noise(3);
    const std::int64_t frames = 3 * kStretchFrames + 1500;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double sigma = std::array{300.0, 4000.0, 1200.0, 9000.0}[i / 2 / kStretchFrames];
        samples[i] = static_cast<std::int16_t>(
            std::clamp(std::normal_distribution<double>(0, sigma)(noise), -32768.0, 32767.0));
    }
    const Ebur128Ptr whole(ebur128_init(2, 44100, EBUR128_MODE_I));
    ebur128_add_frames_short(whole.get(), samples.data(), static_cast<std::size_t>(frames));
    double reference = 0;
    ebur128_loudness_global(whole.get(), &reference);
    std::vector<std::uint16_t> peaks;
    for (std::size_t at = 0; at < samples.size(); at += 2 * kPeakWindow) {
        int peak = 0;
        for (std::size_t i = at; i < std::min(samples.size(), at + 2 * kPeakWindow); ++i)
            peak = std::max(peak, std::abs(int{samples[i]}));
        peaks.push_back(static_cast<std::uint16_t>(peak));
    }

    for (const std::size_t piece : {std::size_t{4096}, std::size_t{1} << 30}) {
        const LoudnessMeasurement measured = measure(samples, 44100, 2, piece);
        EXPECT_NEAR(measured.loudness, reference, 0.02) << piece;
        EXPECT_EQ(measured.windowPeaks, peaks) << piece;
        EXPECT_EQ(measured.frames, frames);
    }
}

TEST(LoudnessMeter, CountsMonoTwiceWhenItIsHeardOnBothSides) {
    const auto samples = sine(1000, -23, 5, 48000, 1);
    EXPECT_NEAR(measure(samples, 48000, 1).loudness, -26.0, 0.1);
    EXPECT_NEAR(measure(samples, 48000, 1, 100000, true).loudness, -23.0, 0.1);
}

TEST(LoudnessMeter, SilenceAndSoundTooShortForAGatingBlockCannotBeMeasured) {
    EXPECT_EQ(measure(sine(1000, -23, 0.3, 48000, 2), 48000, 2).loudness, -HUGE_VAL);
    EXPECT_EQ(measure(std::vector<std::int16_t>(48000 * 2 * 3), 48000, 2).loudness, -HUGE_VAL);
    const LoudnessMeasurement nothing = LoudnessMeter().finish();
    EXPECT_EQ(nothing.loudness, -HUGE_VAL);
    EXPECT_EQ(nothing.frames, 0);
}

TEST(LoudnessMeter, FailsOnSoundThatChangesItsFormat) {
    LoudnessMeter meter;
    const auto stereo = sine(1000, -23, 1, 48000, 2);
    meter.add(stereo.data(), 48000, 48000, 2);
    meter.add(stereo.data(), 48000, 44100, 2);
    EXPECT_TRUE(meter.finish().failed);
}

TEST(TruePeak, OversamplingRisesNoMoreThanTheLimitItIsGiven) {
    // The worst case for each rate the library oversamples: signs alternating about the middle.
    for (const int rate : {44100, 48000, 96000}) {
        const double rise = oversamplingRise(rate);
        EXPECT_GT(rise, 1.5) << rate;
        EXPECT_LT(rise, 2.6) << rate;
    }
}

TEST(TruePeak, FindsWhatOversamplingAllOfTheSoundFinds) {
    struct Case {
        const char* what;
        std::vector<std::int16_t> samples;
    };
    // A quiet sine with one burst at a quarter of the rate, 45 degrees off its samples: the
    // peaks between the samples are 3 dB above them.
    auto burst = sine(997, -30, 4, 48000, 2);
    const auto over = sine(12000, -6, 0.02, 48000, 2, std::numbers::pi / 4);
    std::copy(over.begin(), over.end(), burst.begin() + 2 * 100000);
    std::mt19937 noise(3);
    std::uniform_int_distribution<int> any(-20000, 20000);
    std::vector<std::int16_t> loud(48000 * 2 * 2);
    for (auto& s : loud)
        s = static_cast<std::int16_t>(any(noise));
    const Case cases[] = {{"burst", burst}, {"noise", loud}, {"sine", sine(1000, -1, 3, 48000, 2)}};
    for (const Case& c : cases) {
        const LoudnessMeasurement measured = measure(c.samples, 48000, 2);
        const double expected = fullTruePeak(c.samples, 48000, 2);
        // Asked from just below it, the search must find it exactly; from above, not at all.
        EXPECT_DOUBLE_EQ(truePeakAbove(measured, expected * 0.99, readerOf(c.samples, 2)), expected)
            << c.what;
        EXPECT_LE(truePeakAbove(measured, expected * 1.01, readerOf(c.samples, 2)), expected * 1.01)
            << c.what;
    }
    // The burst's peaks lie between its samples.
    const double samplePeak = *std::max_element(burst.begin(), burst.end()) / 32768.0;
    EXPECT_GT(20 * std::log10(fullTruePeak(burst, 48000, 2) / samplePeak), 2.5);
}

TEST(TruePeak, ReadsOnlyWhereThePeakCanBe) {
    // One loud second in a minute of quiet sound.
    auto samples = sine(1000, -40, 60, 48000, 2);
    const auto loud = sine(1000, -3, 1, 48000, 2);
    std::copy(loud.begin(), loud.end(), samples.begin() + 2 * 48000 * 30);
    const LoudnessMeasurement measured = measure(samples, 48000, 2);
    std::int64_t framesRead = 0;
    const FrameReader read = [&](std::int64_t first, std::int64_t count,
                                 std::vector<std::int16_t>& out) {
        framesRead += count;
        return readerOf(samples, 2)(first, count, out);
    };
    EXPECT_NEAR(20 * std::log10(truePeakAbove(measured, std::pow(10, -10.0 / 20), read)), -3.0,
                0.1);
    EXPECT_LT(framesRead, 2 * 48000);
    const FrameReader failing = [](std::int64_t, std::int64_t, std::vector<std::int16_t>&) {
        return false;
    };
    EXPECT_LT(truePeakAbove(measured, 0.1, failing), 0);
}

TEST(SourceLevel, TakesTheGainTowardTheTargetAsFarAsThePeakAllows) {
    struct Case {
        double loudness;
        double target;
        double peak; // dBTP
        double gain;
        bool limited;
        const char* line;
    };
    const Case cases[] = {
        {-27.4, -18, -20, 9.4, false, "Lautstärke: -27,4 LUFS, angehoben um 9,4 dB"},
        {-12.0, -18, -2, -6.0, false, "Lautstärke: -12,0 LUFS, abgesenkt um 6,0 dB"},
        {-18.02, -18, -5, 0, false, "Lautstärke: -18,0 LUFS, unverändert"},
        {-30.2, -18, -5.1, 4.1, true,
         "Lautstärke: -30,2 LUFS, angehoben um nur 4,1 dB - der Spitzenpegel (-5,1 dBTP) lässt "
         "nicht mehr zu"},
        {-17.5, -18, 0.4, -1.4, true,
         "Lautstärke: -17,5 LUFS, abgesenkt um 1,4 dB statt abgesenkt um 0,5 dB - der "
         "Spitzenpegel (0,4 dBTP) verlangt es"},
        {-20.0, -18, 0.5, -1.5, true,
         "Lautstärke: -20,0 LUFS, abgesenkt um 1,5 dB statt angehoben um 2,0 dB - der "
         "Spitzenpegel (0,5 dBTP) verlangt es"},
        {-25.0, -18, -1.0, 0, true,
         "Lautstärke: -25,0 LUFS, unverändert - der Spitzenpegel (-1,0 dBTP) lässt keine "
         "Anhebung zu"},
        {-40.0, -23, -24.0, 17.0, false, "Lautstärke: -40,0 LUFS, angehoben um 17,0 dB"},
        {-HUGE_VAL, -18, -3, 0, false,
         "Lautstärke nicht messbar (zu leise oder zu kurz) - unverändert"},
        {std::nan(""), -18, -3, 0, false, "Lautstärke konnte nicht gemessen werden - unverändert"},
    };
    for (const Case& c : cases) {
        const SourceLevel level = chooseLevel(c.loudness, c.target, [&](double floor) {
            return c.peak > floor ? c.peak : floor - 3;
        });
        EXPECT_NEAR(level.gain, c.gain, 1e-9) << c.line;
        EXPECT_EQ(level.limitedByPeak, c.limited) << c.line;
        if (c.limited) {
            EXPECT_LE(c.peak + level.gain, -1 + 1e-9) << c.line;
        }
        EXPECT_EQ(levelLine(level).toStdString(), c.line);
    }
}

TEST(SampleGain, ScalesWithDitherOfOneStepAndHoldsAtFullScale) {
    std::vector<std::int16_t> samples{0, 1000, -1000, 20000, -20000, 32767, -32768, 5};
    std::vector<std::int16_t> scaled;
    for (int round = 0; round < 200; ++round)
        scaled.insert(scaled.end(), samples.begin(), samples.end());
    const auto original = scaled;
    SampleGain(6.0206, 1).apply(scaled.data(), scaled.size());
    double drift = 0;
    for (std::size_t i = 0; i < scaled.size(); ++i) {
        const double wanted = std::clamp(original[i] * 2.0, -32768.0, 32767.0);
        EXPECT_LE(std::abs(scaled[i] - wanted), 1.0) << i;
        drift += scaled[i] - wanted;
    }
    // The dither adds nothing on average.
    EXPECT_LT(std::abs(drift / static_cast<double>(scaled.size())), 0.1);
    EXPECT_EQ(scaled[5], 32767);
    EXPECT_EQ(scaled[6], -32768);

    auto untouched = original;
    SampleGain(0, 1).apply(untouched.data(), untouched.size());
    EXPECT_EQ(untouched, original);
}

TEST(SampleGain, GivesTheSameBytesForTheSameSeedHoweverTheSoundIsDivided) {
    const auto original = sine(440, -20, 0.1, 48000, 2);
    auto whole = original;
    SampleGain(-7.3, 42).apply(whole.data(), whole.size());
    for (const std::size_t piece : {1, 3, 8, 1001}) {
        auto pieces = original;
        SampleGain gain(-7.3, 42);
        for (std::size_t at = 0; at < pieces.size(); at += piece)
            gain.apply(pieces.data() + at, std::min(piece, pieces.size() - at));
        EXPECT_EQ(pieces, whole) << piece;
    }
    // Pieces scaled apart, last first, as the file's rewrite takes them.
    auto backwards = original;
    const SampleGain gain(-7.3, 42);
    for (std::size_t at = backwards.size() - backwards.size() % 1000;; at -= 1000) {
        gain.from(at).apply(backwards.data() + at,
                            std::min<std::size_t>(1000, backwards.size() - at));
        if (at == 0)
            break;
    }
    EXPECT_EQ(backwards, whole);
    // Where the high half of the position changes, within one call and across two.
    constexpr std::uint64_t kHighChanges = std::uint64_t{1} << 32;
    std::vector<std::int16_t> across(original.begin(), original.begin() + 24);
    auto apart = across;
    gain.from(kHighChanges - 5).apply(across.data(), across.size());
    gain.from(kHighChanges - 5).apply(apart.data(), 5);
    gain.from(kHighChanges).apply(apart.data() + 5, apart.size() - 5);
    EXPECT_EQ(across, apart);

    auto other = original;
    SampleGain(-7.3, 43).apply(other.data(), other.size());
    EXPECT_NE(other, whole);
}

TEST(SampleGain, RewritesAStretchOfAFileInPiecesAsOneGainInOrderWould) {
    // Many pieces and a short last one, between bytes that must stay as they are.
    const auto sound = sine(997, -6, 30, 48000, 2);
    const auto bytes = static_cast<std::int64_t>(sound.size() * 2);
    const std::string head(44, 'H');
    const std::string tail(7, 'T');
    const std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::tmpfile(), &std::fclose);
    ASSERT_TRUE(file);
    const int fd = fileno(file.get());
    ASSERT_EQ(::write(fd, head.data(), head.size()), static_cast<ssize_t>(head.size()));
    ASSERT_EQ(::write(fd, sound.data(), bytes), bytes);
    ASSERT_EQ(::write(fd, tail.data(), tail.size()), static_cast<ssize_t>(tail.size()));

    const SampleGain gain(4.5, 7);
    std::vector<std::thread::id> pumped;
    ASSERT_EQ(rewriteWithGain(fd, 44, 44 + bytes, gain,
                              [&] { pumped.push_back(std::this_thread::get_id()); }),
              0);
    auto expected = sound;
    SampleGain(gain).apply(expected.data(), expected.size());
    std::string written(head.size() + static_cast<std::size_t>(bytes) + tail.size(), '\0');
    ASSERT_EQ(::pread(fd, written.data(), written.size(), 0), static_cast<ssize_t>(written.size()));
    EXPECT_EQ(written.substr(0, head.size()), head);
    EXPECT_EQ(written.substr(written.size() - tail.size()), tail);
    EXPECT_EQ(std::memcmp(written.data() + head.size(), expected.data(), bytes), 0);
    // The window is pumped from the calling thread only.
    EXPECT_FALSE(pumped.empty());
    EXPECT_EQ(std::count(pumped.begin(), pumped.end(), std::this_thread::get_id()),
              static_cast<std::ptrdiff_t>(pumped.size()));

    // A descriptor that cannot be read at an offset fails both threads at once.
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    EXPECT_EQ(rewriteWithGain(pipeEnds[0], 0, 64 << 20, gain, nullptr), ESPIPE);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}

} // namespace
