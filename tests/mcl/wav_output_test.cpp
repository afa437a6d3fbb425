#include "mcl_fixtures.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace mcltest;

namespace {

QByteArray fileBytes(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

quint32 le(const QByteArray& b, int at, int size) {
    quint32 v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = v << 8 | uchar(b[at + i]);
    return v;
}

// Checks the canonical 44-byte header against the file's size and the given format.
void expectHeader(const std::string& path, int rate, int channels) {
    const QByteArray b = fileBytes(path);
    ASSERT_GE(b.size(), 44);
    EXPECT_EQ(b.left(4), "RIFF");
    EXPECT_EQ(le(b, 4, 4), quint32(b.size() - 8));
    EXPECT_EQ(b.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(le(b, 16, 4), 16u);
    EXPECT_EQ(le(b, 20, 2), 1u);
    EXPECT_EQ(le(b, 22, 2), quint32(channels));
    EXPECT_EQ(le(b, 24, 4), quint32(rate));
    EXPECT_EQ(le(b, 28, 4), quint32(rate * channels * 2));
    EXPECT_EQ(le(b, 32, 2), quint32(channels * 2));
    EXPECT_EQ(le(b, 34, 2), 16u);
    EXPECT_EQ(b.mid(36, 4), "data");
    EXPECT_EQ(le(b, 40, 4), quint32(b.size() - 44));
}

class WavOutputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { fixtures = new Fixtures; }
    static void TearDownTestSuite() {
        delete fixtures;
        fixtures = nullptr;
    }
    static std::string path(Fixture f) { return fixtures->path(f); }

    // The conversion job's WAV road: every source in 100000-frame blocks into one file.
    std::vector<int> convert(const std::vector<std::string>& sources, const std::string& out,
                             int count = 100000) {
        std::vector<int> writes;
        const MclHandle output = mcl.MclCreate();
        mcl.MclAudioSetFileName(output, out.c_str());
        const MclHandle sound = mcl.MclSndCreate();
        for (const std::string& source : sources) {
            const MclHandle input = mcl.MclReadOpen(source.c_str(), 0, 0, 0);
            std::int64_t position = 0;
            int read = 0;
            do {
                read = mcl.MclReadSound(input, position, count, sound);
                writes.push_back(mcl.MclWriteSound(output, sound));
                position += read == 0 ? count : 0;
            } while (read == 0 && writes.back() == 0);
            mcl.MclReadClose(input);
        }
        mcl.MclSndFree(sound);
        mcl.MclWriteClose(output);
        mcl.MclFree(output);
        return writes;
    }

    static Fixtures* fixtures;
    FfmpegMcl mcl;
};

Fixtures* WavOutputTest::fixtures = nullptr;

TEST_F(WavOutputTest, FileWithoutSoundIsAnEmptyWav) {
    const std::string out = fixtures->file("empty.wav");
    convert({}, out);
    EXPECT_EQ(fileBytes(out).size(), 44);
    expectHeader(out, 44100, 2);
}

TEST_F(WavOutputTest, FirstBlockFixesTheFormatAndTheSamplesGoInUnchanged) {
    for (Fixture f : {Fixture::AacMp4, Fixture::Mp3Avi, Fixture::Ac3Vob}) {
        const std::string out = fixtures->file("single.wav");
        const Decoded source = readAll(mcl, path(f));
        EXPECT_EQ(convert({path(f)}, out), (std::vector<int>{0, 0}));
        expectHeader(out, source.pcm.rate, source.pcm.channels);
        EXPECT_EQ(media::readWav(QString::fromStdString(out)).samples, source.pcm.samples);
    }
}

TEST_F(WavOutputTest, SourcesOfOtherFormatsJoinConvertedToTheFirst) {
    struct Case {
        Fixture first, second;
        int rate, channels;
        double secondTone;
    };
    const Case cases[] = {{Fixture::AacMp4, Fixture::Mp3Avi, 48000, 2, 1000},
                          {Fixture::Mp3Avi, Fixture::AacMp4, 44100, 1, 440}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        const std::string out = fixtures->file("joined.wav");
        const Decoded first = readAll(mcl, path(c.first));
        const Decoded second = readAll(mcl, path(c.second));
        convert({path(c.first), path(c.second), path(c.first)}, out);
        expectHeader(out, c.rate, c.channels);

        const media::Pcm wav = media::readWav(QString::fromStdString(out));
        // Nothing of the converted stretch is lost: the resampler is flushed at the change.
        const double converted = double(second.pcm.frames()) * c.rate / second.pcm.rate;
        EXPECT_NEAR(double(wav.frames()), 2.0 * first.pcm.frames() + converted, 2.0);
        const auto middle =
            media::channel(wav, c.channels - 1, first.pcm.frames() + c.rate / 2, c.rate * 2);
        EXPECT_NEAR(media::dominantFrequency(middle, c.rate), c.secondTone, 1.0);
        EXPECT_LT(media::largestStep(middle), 0.1) << "no clicks inside the converted stretch";
        // The third part is the first source again, unchanged.
        const auto tail = std::vector<std::int16_t>(wav.samples.end() - first.pcm.samples.size(),
                                                    wav.samples.end());
        EXPECT_EQ(tail, first.pcm.samples);
    }
}

TEST_F(WavOutputTest, FileIsCreatedAtOnceTruncatedAndTheHandleTakesTheNextName) {
    const std::string reserved = fixtures->file("Ausgabe für Jürgen.wav");
    QFile file(QString::fromStdString(reserved));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(5000, 'x'));
    file.close();
    const std::string next = fixtures->file("zweite.wav");

    const MclHandle output = mcl.MclCreate();
    EXPECT_EQ(mcl.MclAudioSetFileName(output, reserved.c_str()), 0);
    EXPECT_STREQ(mcl.MclGetErrorStr(), "OK");
    EXPECT_LT(QFileInfo(QString::fromStdString(reserved)).size(), 5000);
    EXPECT_EQ(mcl.MclWriteClose(output), 0);
    EXPECT_EQ(mcl.MclAudioSetFileName(output, next.c_str()), 0);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(next)));
    EXPECT_EQ(mcl.MclWriteClose(output), 0);
    EXPECT_EQ(mcl.MclFree(output), 0);
    expectHeader(reserved, 44100, 2);
    expectHeader(next, 44100, 2);
}

TEST_F(WavOutputTest, FileThatWouldPassItsLimitRefusesFurtherBlocksAndStaysValid) {
    FfmpegMcl limited(100000); // stands for the 4 GiB a RIFF size can count
    translateToGerman(limited);
    const std::string out = fixtures->file("limited.wav");
    const MclHandle output = limited.MclCreate();
    limited.MclAudioSetFileName(output, out.c_str());
    const MclHandle sound = limited.MclSndCreate();
    const MclHandle input = limited.MclReadOpen(path(Fixture::PcmAvi).c_str(), 0, 0, 0);
    std::vector<int> writes;
    for (int block = 0; block < 4; ++block) {
        limited.MclReadSound(input, block * 10000, 10000, sound); // 40000 bytes each
        writes.push_back(limited.MclWriteSound(output, sound) != 0);
    }
    EXPECT_EQ(writes, (std::vector<int>{0, 0, 1, 1}));
    EXPECT_EQ(limited.MclGetErrorStr(), cp1252("Fehler beim Schreiben der Zieldatei"));
    EXPECT_EQ(limited.MclWriteClose(output), 0);
    expectHeader(out, 48000, 2);
    EXPECT_EQ(fileBytes(out).size(), 44 + 80000);
    limited.MclReadClose(input);
    limited.MclSndFree(sound);
    limited.MclFree(output);
}

TEST_F(WavOutputTest, FullDiskFailsTheWriteOrTheClose) {
    if (!QFileInfo::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    translateToGerman(mcl);
    struct Case {
        int frames;
        int writeResult, closeResult;
    };
    for (const Case& c : {Case{100000, -1, -1}, Case{10, 0, -1}}) {
        SCOPED_TRACE(c.frames);
        const MclHandle output = mcl.MclCreate();
        EXPECT_EQ(mcl.MclAudioSetFileName(output, "/dev/full"), 0);
        const MclHandle sound = mcl.MclSndCreate();
        const MclHandle input = mcl.MclReadOpen(path(Fixture::PcmAvi).c_str(), 0, 0, 0);
        mcl.MclReadSound(input, 0, c.frames, sound);
        EXPECT_EQ(mcl.MclWriteSound(output, sound), c.writeResult);
        EXPECT_EQ(mcl.MclWriteClose(output), c.closeResult);
        EXPECT_EQ(mcl.MclGetErrorStr(), cp1252("Fehler beim Schreiben der Zieldatei"));
        mcl.MclReadClose(input);
        mcl.MclSndFree(sound);
        mcl.MclFree(output);
    }
}

} // namespace
