// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// Cue points of the codec library's WAV writer: where they land, how they are laid out after
// the sound, and that the sound stays what it was.
#include "mcl_test.h"

#include <QFileInfo>

#include <unistd.h>

namespace {

struct Marked {
    std::vector<std::int64_t> starts; // the writer's position before each source
};

// The job's WAV road with chapter marks: a cue point where each source began.
Marked convertMarked(FfmpegMcl& mcl, const std::vector<std::pair<Fixture, std::string>>& sources,
                     const std::string& out, bool mark) {
    Marked marked;
    const MclHandle output = mcl.MclCreate(), sound = mcl.MclSndCreate();
    EXPECT_EQ(mcl.MclAudioSetFileName(output, out.c_str()), 0);
    for (const auto& [source, label] : sources) {
        const std::int64_t start = mcl.MclAudioPosition(output);
        marked.starts.push_back(start);
        const MclHandle input = mcl.MclReadOpen(MclTest::path(source).c_str(), 0, 0, 0);
        for (std::int64_t at = 0, read = 0; read == 0; at += 100000) {
            read = mcl.MclReadSound(input, at, 100000, sound);
            EXPECT_EQ(mcl.MclWriteSound(output, sound), 0);
        }
        mcl.MclReadClose(input);
        if (mark) {
            EXPECT_EQ(mcl.MclAudioAddCue(output, start, label.c_str()), 0);
        }
    }
    mcl.MclSndFree(sound);
    EXPECT_EQ(mcl.MclWriteClose(output), 0);
    mcl.MclFree(output);
    return marked;
}

// Three sources, the second of another rate and channel count (converted as it goes in), as a
// plain WAV file and as an RF64 one: each cue point lies on its source's first frame, the labels
// (of odd and even length) follow in LIST/adtl, both after the data chunk and within the stated
// size, and the sound is the bytes written without them.
TEST_F(MclTest, CuePointsFollowTheSoundAtEachSourcesFirstFrame) {
    const std::vector<std::pair<Fixture, std::string>> sources{
        {Fixture::PcmAvi, "eins"}, {Fixture::Mp3Avi, "zwei ä"}, {Fixture::AacMp4, "drei-3"}};
    for (const auto& [limit, form] :
         {std::pair{WavWriter::kRiffLimit, "RIFF"}, std::pair{std::uint64_t{100000}, "RF64"}}) {
        SCOPED_TRACE(form);
        FfmpegMcl limited(limit);
        const std::string plain = file("plain.wav"), marked = file("marked.wav");
        convertMarked(limited, sources, plain, false);
        const Marked run = convertMarked(limited, sources, marked, true);

        const media::WavLayout layout = media::readWavLayout(QString::fromStdString(marked));
        EXPECT_EQ(layout.form, form);
        EXPECT_EQ(layout.riffSize, quint64(QFileInfo(QString::fromStdString(marked)).size() - 8));
        ASSERT_GE(layout.chunks.size(), 3u);
        const auto last = layout.chunks.end();
        EXPECT_EQ((std::vector<std::string>{last[-3].id, last[-2].id, last[-1].id}),
                  (std::vector<std::string>{"data", "cue ", "LIST"}));
        EXPECT_TRUE(layout.cuesConsistent);
        ASSERT_EQ(layout.cues.size(), 3u);
        const media::Pcm aac = readAll(path(Fixture::AacMp4)).pcm;
        const media::Pcm wav = media::readWav(QString::fromStdString(marked));
        EXPECT_EQ(run.starts, (std::vector<std::int64_t>{
                                  0, 144000, std::int64_t(wav.frames() - aac.frames())}));
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(layout.cues[i].frame, run.starts[i]);
            EXPECT_EQ(layout.cues[i].label, sources[i].second);
        }
        const QByteArray without = readFile(plain), with = readFile(marked);
        EXPECT_EQ(with.mid(80, without.size() - 80), without.mid(80));
        EXPECT_EQ(layout.dataSize, quint64(without.size() - 80));
    }
}

// Marks are refused where they could not be written: a file that cannot seek states no sizes,
// so chunks after its sound would be read as sound; a cue point counts 32 bits of frames.
TEST_F(MclTest, CuePointsAreRefusedWhereTheFileCannotCarryThem) {
    int ends[2] = {-1, -1};
    ASSERT_EQ(::pipe(ends), 0);
    const MclHandle piped = mcl.MclCreate(), output = mcl.MclCreate();
    EXPECT_EQ(mcl.MclAudioSetFileHandle(piped, ends[1]), 0);
    EXPECT_EQ(mcl.MclAudioSetFileName(output, file("cues.wav").c_str()), 0);
    const struct {
        MclHandle output;
        std::int64_t frame;
        int result;
    } cases[] = {{piped, 0, -1},          {output, -1, -1}, {output, 0x100000000, -1},
                 {output, 0xFFFFFFFF, 0}, {999, 0, -1},     {output, 0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(mcl.MclAudioAddCue(c.output, c.frame, "x"), c.result)
            << c.output << " " << c.frame;
    EXPECT_EQ(mcl.MclAudioPosition(999), -1);
    EXPECT_EQ(mcl.MclFree(piped), 0);
    EXPECT_EQ(mcl.MclFree(output), 0);
    ::close(ends[0]);
    ::close(ends[1]);
    const media::WavLayout layout = media::readWavLayout(QString::fromStdString(file("cues.wav")));
    ASSERT_EQ(layout.cues.size(), 2u);
    EXPECT_EQ(layout.cues[0].frame, 0xFFFFFFFFu);
    EXPECT_EQ(layout.cues[1].frame, 0u);
}

} // namespace
