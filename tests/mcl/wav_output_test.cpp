#include "mcl_test.h"

#include <QFile>
#include <QFileInfo>

namespace {

QByteArray bytesOf(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The canonical header of a 16-bit PCM WAV file.
QByteArray header(int rate, int channels, quint32 dataBytes) {
    QByteArray h;
    const auto put = [&](quint32 v, int size) {
        for (int i = 0; i < size; ++i)
            h.append(char(v >> 8 * i));
    };
    h.append("RIFF");
    put(36 + dataBytes, 4);
    h.append("WAVEfmt ");
    put(16, 4), put(1, 2), put(channels, 2), put(rate, 4), put(rate * channels * 2, 4);
    put(channels * 2, 2), put(16, 2);
    h.append("data");
    put(dataBytes, 4);
    return h;
}

void expectWav(const std::string& path, int rate, int channels) {
    const QByteArray b = bytesOf(path);
    EXPECT_EQ(b.left(44), header(rate, channels, quint32(b.size() - 44))) << path;
}

class WavOutputTest : public MclTest {
protected:
    // The conversion job's WAV road: every source in 100000-frame blocks into one file.
    void convert(const std::vector<std::string>& sources, const std::string& out) {
        const MclHandle output = mcl.MclCreate(), sound = mcl.MclSndCreate();
        mcl.MclAudioSetFileName(output, out.c_str());
        for (const std::string& source : sources) {
            const MclHandle input = mcl.MclReadOpen(source.c_str(), 0, 0, 0);
            int read = 0;
            for (std::int64_t at = 0; read == 0; at += 100000) {
                read = mcl.MclReadSound(input, at, 100000, sound);
                EXPECT_EQ(mcl.MclWriteSound(output, sound), 0);
            }
            mcl.MclReadClose(input);
        }
        mcl.MclSndFree(sound);
        EXPECT_EQ(mcl.MclWriteClose(output), 0);
        mcl.MclFree(output);
    }
};

TEST_F(WavOutputTest, FirstBlockFixesTheFormatAndNoBlockGivesAnEmptyFile) {
    convert({}, file("none.wav"));
    EXPECT_EQ(bytesOf(file("none.wav")), header(44100, 2, 0));
    for (Fixture f : {Fixture::AacMp4, Fixture::Mp3Avi}) {
        const media::Pcm source = readAll(path(f)).pcm;
        convert({path(f)}, file("single.wav"));
        expectWav(file("single.wav"), source.rate, source.channels);
        EXPECT_EQ(media::readWav(QString::fromStdString(file("single.wav"))).samples,
                  source.samples);
    }
}

TEST_F(WavOutputTest, SourcesOfOtherFormatsJoinConvertedToTheFirst) {
    struct Case {
        Fixture first, second;
        int rate, channels;
        double secondTone;
    } const cases[] = {{Fixture::AacMp4, Fixture::Mp3Avi, 48000, 2, 1000},
                       {Fixture::Mp3Avi, Fixture::AacMp4, 44100, 1, 440}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        const media::Pcm first = readAll(path(c.first)).pcm, second = readAll(path(c.second)).pcm;
        convert({path(c.first), path(c.second), path(c.first)}, file("joined.wav"));
        expectWav(file("joined.wav"), c.rate, c.channels);
        const media::Pcm wav = media::readWav(QString::fromStdString(file("joined.wav")));
        // Nothing of the converted stretch is lost: the resampler is flushed at the change.
        EXPECT_NEAR(double(wav.frames() - 2 * first.frames()),
                    double(second.frames()) * c.rate / second.rate, 2.0);
        const auto middle =
            media::channel(wav, c.channels - 1, first.frames() + c.rate / 2, c.rate * 2);
        EXPECT_NEAR(media::dominantFrequency(middle, c.rate), c.secondTone, 1.0);
        EXPECT_LT(media::largestStep(middle), 0.1) << "the resampler runs on across blocks";
        EXPECT_TRUE(std::equal(first.samples.rbegin(), first.samples.rend(), wav.samples.rbegin()));
    }
}

TEST_F(WavOutputTest, FileIsCreatedAtOnceEmptiedAndTheHandleTakesTheNextName) {
    const std::string reserved = file("Ausgabe für Jürgen.wav"), next = file("zweite.wav");
    QFile f(QString::fromStdString(reserved));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(QByteArray(5000, 'x')) == 5000);
    f.close();
    const MclHandle output = mcl.MclCreate();
    EXPECT_EQ(mcl.MclAudioSetFileName(output, reserved.c_str()), 0);
    EXPECT_STREQ(mcl.MclGetErrorStr(), "OK");
    EXPECT_LT(QFileInfo(f).size(), 5000);
    EXPECT_EQ(mcl.MclWriteClose(output), 0);
    EXPECT_EQ(mcl.MclAudioSetFileName(output, next.c_str()), 0);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(next)));
    EXPECT_EQ(mcl.MclFree(output), 0) << "freeing completes the open file";
    EXPECT_EQ(bytesOf(reserved), header(44100, 2, 0));
    EXPECT_EQ(bytesOf(next), header(44100, 2, 0));
}

TEST_F(WavOutputTest, WritesThatWouldPassTheSizeLimitAreRefusedAndTheFileStaysValid) {
    FfmpegMcl limited(100000); // stands for the 4 GiB a RIFF size can count
    translateToGerman(limited);
    const MclHandle output = limited.MclCreate(), sound = limited.MclSndCreate();
    limited.MclAudioSetFileName(output, file("limited.wav").c_str());
    const MclHandle input = limited.MclReadOpen(path(Fixture::PcmAvi).c_str(), 0, 0, 0);
    std::vector<int> refused;
    for (int block = 0; block < 4; ++block) {
        limited.MclReadSound(input, block * 10000, 10000, sound); // 40000 bytes each
        refused.push_back(limited.MclWriteSound(output, sound) != 0);
    }
    EXPECT_EQ(refused, (std::vector<int>{0, 0, 1, 1}));
    EXPECT_EQ(limited.MclGetErrorStr(), cp1252("Fehler beim Schreiben der Zieldatei"));
    EXPECT_EQ(limited.MclWriteClose(output), 0);
    EXPECT_EQ(bytesOf(file("limited.wav")).size(), 44 + 80000);
    expectWav(file("limited.wav"), 48000, 2);
}

TEST_F(WavOutputTest, FullDiskFailsTheWriteOrTheClose) {
    if (!QFileInfo::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    translateToGerman(mcl);
    // A job-sized block is written at once; a small one waits in the buffer until the close.
    for (const auto& [frames, writeResult] : {std::pair{100000, -1}, std::pair{10, 0}}) {
        SCOPED_TRACE(frames);
        const MclHandle output = mcl.MclCreate(), sound = mcl.MclSndCreate();
        EXPECT_EQ(mcl.MclAudioSetFileName(output, "/dev/full"), 0);
        mcl.MclReadSound(mcl.MclReadOpen(path(Fixture::PcmAvi).c_str(), 0, 0, 0), 0, frames, sound);
        EXPECT_EQ(mcl.MclWriteSound(output, sound), writeResult);
        EXPECT_NE(mcl.MclWriteClose(output), 0);
        EXPECT_EQ(mcl.MclGetErrorStr(), cp1252("Fehler beim Schreiben der Zieldatei"));
    }
}

} // namespace
