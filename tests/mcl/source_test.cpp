#include "mcl_fixtures.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace mcltest;

namespace {

class SourceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { fixtures = new Fixtures; }
    static void TearDownTestSuite() {
        delete fixtures;
        fixtures = nullptr;
    }
    static std::string path(Fixture f) { return fixtures->path(f); }

    static Fixtures* fixtures;
    FfmpegMcl mcl;
};

Fixtures* SourceTest::fixtures = nullptr;

int largestDifference(const media::Pcm& a, const media::Pcm& b) {
    int largest = 0;
    for (std::size_t i = 0; i < std::min(a.samples.size(), b.samples.size()); ++i)
        largest = std::max(largest, std::abs(a.samples[i] - b.samples[i]));
    return largest;
}

TEST_F(SourceTest, EachFormatDeliversItsLengthRateAndTone) {
    struct Case {
        const char* name;
        Fixture fixture;
        int rate;
        int channels;
        double frequency; // 0: several tones (see the downmix test)
        std::int64_t tolerance;
    };
    const Case cases[] = {
        {"AAC in MP4", Fixture::AacMp4, 48000, 2, 440, 1024},
        // AVI stores no priming, so the encoder's delay stays in, as with the ffmpeg tool.
        {"MP3 in AVI", Fixture::Mp3Avi, 44100, 1, 1000, 2 * 1152},
        {"MP2 in MPEG-PS", Fixture::Mp2Mpg, 48000, 2, 700, 1152},
        {"5.1 AC3 in VOB", Fixture::Ac3Vob, 48000, 2, 0, 1536},
        {"PCM in AVI", Fixture::PcmAvi, 48000, 2, 550, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded d = readAll(mcl, path(c.fixture));
        EXPECT_EQ(d.pcm.rate, c.rate);
        EXPECT_EQ(d.pcm.channels, c.channels);
        const auto frames = static_cast<std::int64_t>(d.pcm.frames());
        EXPECT_LE(std::abs(frames - kSeconds * c.rate), c.tolerance) << frames;
        // 100000-frame blocks: one full block that goes on, then the shorter last one.
        EXPECT_EQ(d.codes, (std::vector<int>{0, d.codes.back()}));
        EXPECT_NE(d.codes.back(), 0);
        EXPECT_EQ(d.frames.front(), 100000);

        const media::Pcm reference = media::decode(QString::fromStdString(path(c.fixture)));
        EXPECT_EQ(d.pcm.frames(), reference.frames());
        EXPECT_LE(largestDifference(d.pcm, reference), 1);
        if (c.frequency > 0) {
            const auto middle = media::channel(d.pcm, c.channels - 1, c.rate / 2, c.rate * 2);
            EXPECT_NEAR(media::dominantFrequency(middle, c.rate), c.frequency, 1.0);
        }
    }
}

TEST_F(SourceTest, LastReadSaysTheSourceEndsEvenOnAnExactMultiple) {
    struct Case {
        int count;
        std::vector<int> codes; // 1 stands for any non-zero code
        std::vector<std::int64_t> frames;
    };
    const Case cases[] = {
        {48000, {0, 0, 1}, {48000, 48000, 48000}},
        {144000, {1}, {144000}},
        {72000, {0, 1}, {72000, 72000}},
        {100000, {0, 1}, {100000, 44000}},
        {200000, {1}, {144000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        Decoded d = readAll(mcl, path(Fixture::PcmAvi), c.count);
        for (int& code : d.codes)
            code = code != 0;
        EXPECT_EQ(d.codes, c.codes);
        EXPECT_EQ(d.frames, c.frames);
    }
}

TEST_F(SourceTest, ReadsFromAnyPositionExactly) {
    for (Fixture fixture : {Fixture::AacMp4, Fixture::Mp3Avi, Fixture::PcmAvi}) {
        const Decoded whole = readAll(mcl, path(fixture));
        const auto total = static_cast<std::int64_t>(whole.pcm.frames());
        const MclHandle sound = mcl.MclSndCreate();
        const MclHandle input = mcl.MclReadOpen(path(fixture).c_str(), 0, 0, 0);
        // Forward, backward, the same again, across the end, beyond the end.
        const std::pair<std::int64_t, int> reads[] = {
            {50000, 1000}, {10, 500}, {10, 500}, {0, 3000}, {total - 700, 5000}, {total + 5, 10}};
        for (const auto& [position, count] : reads) {
            SCOPED_TRACE(testing::Message() << "frame " << position << " of " << total);
            const int code = mcl.MclReadSound(input, position, count, sound);
            const SoundBlock& block = *mcl.soundBlock(sound);
            const std::int64_t expected = std::clamp<std::int64_t>(total - position, 0, count);
            EXPECT_EQ(code != 0, position + count >= total);
            ASSERT_EQ(block.frames(), expected);
            const auto first = whole.pcm.samples.begin() + position * whole.pcm.channels;
            EXPECT_TRUE(std::equal(block.samples.begin(), block.samples.end(), first));
        }
        mcl.MclReadClose(input);
        mcl.MclSndFree(sound);
    }
}

TEST_F(SourceTest, SurroundIsMixedToStereoWithCentreAndSurroundsAtMinus3dB) {
    const Decoded d = readAll(mcl, path(Fixture::Ac3Vob));
    ASSERT_EQ(d.pcm.channels, 2);
    struct Side {
        int channel;
        double front, centre, surround; // its own tones
        double otherFront, otherSurround;
    };
    for (const Side& s : {Side{0, 300, 700, 900, 500, 1100}, Side{1, 500, 700, 1100, 300, 900}}) {
        SCOPED_TRACE(s.channel);
        const auto signal = media::channel(d.pcm, s.channel, 24000, 96000);
        const auto db = [&](double f) { return 20 * std::log10(toneLevel(signal, 48000, f)); };
        // Sines of 1/8 full scale; the mix is scaled by 1 / (1 + 2 * 0.707) so nothing clips.
        EXPECT_NEAR(db(s.front), 20 * std::log10(0.125 / (1 + std::sqrt(2.0))), 1.0);
        EXPECT_NEAR(db(s.centre) - db(s.front), -3.0, 0.5);
        EXPECT_NEAR(db(s.surround) - db(s.front), -3.0, 0.5);
        EXPECT_LT(db(s.otherFront) - db(s.front), -40);
        EXPECT_LT(db(s.otherSurround) - db(s.front), -40);
        EXPECT_LT(db(60) - db(s.front), -40) << "the LFE stays out";
    }
}

TEST_F(SourceTest, MpegDecoderFollowsTheChoiceForSourcesOpenedAfterwards) {
    const std::string mp3 = path(Fixture::Mp3Avi);
    const std::string mp2 = path(Fixture::Mp2Mpg);
    const MclHandle byDefault = mcl.MclReadOpen(mp3.c_str(), 0, 0, 0);
    EXPECT_EQ(mcl.decoderName(byDefault), "mp3float");

    mcl.MclMpegInternalDecoder(0);
    const MclHandle fixed3 = mcl.MclReadOpen(mp3.c_str(), 0, 0, 0);
    const MclHandle fixed2 = mcl.MclReadOpen(mp2.c_str(), 0, 0, 0);
    const MclHandle aac = mcl.MclReadOpen(path(Fixture::AacMp4).c_str(), 0, 0, 0);
    EXPECT_EQ(mcl.decoderName(fixed3), "mp3");
    EXPECT_EQ(mcl.decoderName(fixed2), "mp2");
    EXPECT_EQ(mcl.decoderName(aac), "aac");
    EXPECT_EQ(mcl.decoderName(byDefault), "mp3float") << "an open source keeps its decoder";
    const Decoded fixedMp3 = readAll(mcl, mp3);

    mcl.MclMpegInternalDecoder(-1); // all bits set, as the window passes true
    const MclHandle float2 = mcl.MclReadOpen(mp2.c_str(), 0, 0, 0);
    EXPECT_EQ(mcl.decoderName(float2), "mp2float");
    const Decoded floatMp3 = readAll(mcl, mp3);

    // Both decode the same sound; they differ only in rounding.
    EXPECT_EQ(fixedMp3.pcm.frames(), floatMp3.pcm.frames());
    EXPECT_LE(largestDifference(fixedMp3.pcm, floatMp3.pcm), 8);
    EXPECT_NEAR(media::dominantFrequency(media::channel(fixedMp3.pcm, 0, 22050, 88200), 44100),
                1000, 1.0);
}

TEST_F(SourceTest, UnusableSourcesFailToOpenAndTheirReadsFail) {
    translateToGerman(mcl);
    const std::pair<const char*, std::string> cases[] = {
        {"missing", fixtures->file("missing.avi")},
        {"zero bytes", path(Fixture::Empty)},
        {"text named .avi", path(Fixture::TextAvi)},
        {"video without sound", path(Fixture::NoAudio)},
        {"a folder", fixtures->file("")},
        {"empty name", ""},
    };
    const MclHandle sound = mcl.MclSndCreate();
    for (const auto& [name, file] : cases) {
        SCOPED_TRACE(name);
        const MclHandle input = mcl.MclReadOpen(file.c_str(), 0, 0, 0);
        EXPECT_NE(input, 0u);
        EXPECT_EQ(mcl.MclGetErrorStr(), cp1252("Ungültige Quelldatei"));
        EXPECT_NE(mcl.MclReadSound(input, 0, 100000, sound), 0);
        EXPECT_EQ(mcl.soundBlock(sound)->frames(), 0);
        EXPECT_EQ(mcl.MclReadClose(input), 0);
        EXPECT_EQ(mcl.MclReadClose(input), -1) << "a stale handle is refused, harmlessly";
    }
}

TEST_F(SourceTest, TruncatedFileDeliversWhatIsThereThenEnds) {
    const Decoded d = readAll(mcl, path(Fixture::TruncatedMp4), 20000);
    EXPECT_NE(d.codes.back(), 0);
    EXPECT_GT(d.pcm.frames(), 144000u * 3 / 10);
    EXPECT_LT(d.pcm.frames(), 144000u);
    EXPECT_EQ(std::count(d.codes.begin(), d.codes.end(), 0), int(d.codes.size()) - 1);
}

TEST_F(SourceTest, FileNamesAreUtf8) {
    const std::string copy = fixtures->file("Grüße aus Köln.mp4");
    ASSERT_TRUE(
        QFile::copy(QString::fromStdString(path(Fixture::AacMp4)), QString::fromStdString(copy)));
    EXPECT_EQ(readAll(mcl, copy).pcm.frames(), readAll(mcl, path(Fixture::AacMp4)).pcm.frames());
    EXPECT_STREQ(mcl.MclGetErrorStr(), "OK");
}

TEST_F(SourceTest, ReadFailsWhenTheSourceCannotBeReadAgain) {
    translateToGerman(mcl);
    const std::string copy = fixtures->file("vanishing.avi");
    ASSERT_TRUE(
        QFile::copy(QString::fromStdString(path(Fixture::PcmAvi)), QString::fromStdString(copy)));
    const MclHandle sound = mcl.MclSndCreate();
    const MclHandle input = mcl.MclReadOpen(copy.c_str(), 0, 0, 0);
    EXPECT_EQ(mcl.MclReadSound(input, 0, 1000, sound), 0);
    EXPECT_EQ(mcl.MclReadSound(input, 1000, 1000, sound), 0) << "the open file reads on";
    ASSERT_TRUE(QFile::remove(QString::fromStdString(copy)));
    EXPECT_NE(mcl.MclReadSound(input, 0, 1000, sound), 0) << "going back opens it again";
    EXPECT_EQ(mcl.MclGetErrorStr(), cp1252("Fehler beim Lesen der Quelldatei"));
    mcl.MclReadClose(input);
    mcl.MclSndFree(sound);
}

TEST_F(SourceTest, AbortWithTheNullHandleStopsOpenInputsOnly) {
    translateToGerman(mcl);
    const MclHandle sound = mcl.MclSndCreate();
    const MclHandle first = mcl.MclReadOpen(path(Fixture::PcmAvi).c_str(), 0, 0, 0);
    const MclHandle second = mcl.MclReadOpen(path(Fixture::AacMp4).c_str(), 0, 0, 0);
    EXPECT_EQ(mcl.MclReadSound(first, 0, 1000, sound), 0);
    mcl.MclAbort(0);
    for (MclHandle input : {first, second}) {
        EXPECT_NE(mcl.MclReadSound(input, 1000, 1000, sound), 0);
        EXPECT_EQ(mcl.MclGetErrorStr(), cp1252("Konvertierung abgebrochen"));
        EXPECT_EQ(mcl.soundBlock(sound)->frames(), 0);
    }
    const MclHandle later = mcl.MclReadOpen(path(Fixture::PcmAvi).c_str(), 0, 0, 0);
    EXPECT_EQ(mcl.MclReadSound(later, 0, 1000, sound), 0);
    EXPECT_EQ(mcl.MclGetErrorStr(), std::string("OK"));
    for (MclHandle input : {first, second, later})
        mcl.MclReadClose(input);
    mcl.MclSndFree(sound);
}

} // namespace
