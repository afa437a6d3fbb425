#include "mcl_test.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace {

// The canonical header of a 16-bit PCM WAV file.
QByteArray header(quint32 rate, quint16 channels, quint32 dataBytes) {
    const auto le = [](auto v) {
        QByteArray b(sizeof v, 0);
        qToLittleEndian(v, b.data());
        return b;
    };
    return "RIFF" + le(36 + dataBytes) + "WAVEfmt " + le(16u) + le(quint16(1)) + le(channels) +
           le(rate) + le(rate * channels * 2) + le(quint16(channels * 2)) + le(quint16(16)) +
           "data" + le(dataBytes);
}

void expectWav(const std::string& path, quint32 rate, quint16 channels) {
    const QByteArray b = readFile(path);
    EXPECT_EQ(b.left(44), header(rate, channels, quint32(b.size() - 44))) << path;
}

// The conversion job's WAV road: every source in 100000-frame blocks into one file.
void convert(FfmpegMcl& mcl, const std::vector<std::string>& sources, const std::string& out) {
    const MclHandle output = mcl.MclCreate(), sound = mcl.MclSndCreate();
    mcl.MclAudioSetFileName(output, out.c_str());
    for (const std::string& source : sources) {
        const MclHandle input = mcl.MclReadOpen(source.c_str(), 0, 0, 0);
        for (std::int64_t at = 0, read = 0; read == 0; at += 100000) {
            read = mcl.MclReadSound(input, at, 100000, sound);
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
    EXPECT_EQ(readFile(reserved), header(44100, 2, 0));
    EXPECT_EQ(readFile(next), header(44100, 2, 0));
}

TEST_F(MclTest, WavWritesThatWouldPassTheSizeLimitAreRefusedAndTheFileStaysValid) {
    FfmpegMcl limited(100000); // stands for the 4 GiB a RIFF size can count
    const MclHandle output = limited.MclCreate(), sound = limited.MclSndCreate();
    limited.MclAudioSetFileName(output, file("limited.wav").c_str());
    const MclHandle input = limited.MclReadOpen(path(Fixture::PcmAvi).c_str(), 0, 0, 0);
    std::vector<int> refused;
    for (int block = 0; block < 4; ++block) {
        limited.MclReadSound(input, block * 10000, 10000, sound); // 40000 bytes each
        refused.push_back(limited.MclWriteSound(output, sound) != 0);
    }
    EXPECT_EQ(refused, (std::vector<int>{0, 0, 1, 1}));
    EXPECT_STREQ(limited.MclGetErrorStr(), "Error writing output file");
    EXPECT_EQ(limited.MclWriteClose(output), 0);
    EXPECT_EQ(readFile(file("limited.wav")).size(), 44 + 80000);
    expectWav(file("limited.wav"), 48000, 2);
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
