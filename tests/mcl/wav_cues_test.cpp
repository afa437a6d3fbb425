// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "mcl_test.h"

#include <QFileInfo>

#include <unistd.h>

namespace {

// Three sources, the second of another rate and channel count (converted as it goes in), into a
// plain WAV file and an RF64 one: each cue point lies on its source's first frame, the labels
// (of odd and even length) follow, both after the data chunk and within the RIFF size, and the
// file up to them is the one written without marks.
TEST_F(MclTest, CuePointsFollowTheSoundAtEachSourcesFirstFrame) {
    const std::pair<Fixture, std::string> sources[] = {
        {Fixture::PcmAvi, "eins"}, {Fixture::Mp3Avi, "zwei ä"}, {Fixture::AacMp4, "drei-3"}};
    for (const std::uint64_t limit : {WavWriter::kRiffLimit, std::uint64_t{100000}}) {
        FfmpegMcl lib(limit);
        QByteArray written[2];
        std::vector<std::pair<std::uint32_t, std::string>> marks;
        for (const bool mark : {false, true}) {
            const MclHandle output = lib.MclCreate(), sound = lib.MclSndCreate();
            lib.MclAudioSetFileName(output, file("marked.wav").c_str());
            for (const auto& [source, label] : sources) {
                const std::int64_t start = lib.MclAudioPosition(output);
                const MclHandle input = lib.MclReadOpen(path(source).c_str(), 0, 0, 0);
                for (std::int64_t at = 0, read = 0; read == 0; at += 100000) {
                    read = lib.MclReadSound(input, at, 100000, sound);
                    lib.MclWriteSound(output, sound);
                }
                lib.MclReadClose(input);
                if (mark) {
                    marks.emplace_back(std::uint32_t(start), label);
                    EXPECT_EQ(lib.MclAudioAddCue(output, start, label.c_str()), 0);
                }
            }
            EXPECT_EQ(lib.MclWriteClose(output), 0);
            written[mark] = readFile(file("marked.wav"));
        }
        const media::WavChunks wav =
            media::readWavChunks(QString::fromStdString(file("marked.wav")));
        EXPECT_EQ(written[1].left(4), limit == WavWriter::kRiffLimit ? "RIFF" : "RF64");
        EXPECT_EQ(wav.riffSize, quint64(written[1].size() - 8));
        EXPECT_EQ(wav.ids,
                  (std::vector<std::string>{limit == WavWriter::kRiffLimit ? "JUNK" : "ds64",
                                            "fmt ", "data", "cue ", "LIST"}));
        EXPECT_EQ(wav.cues, marks);
        // The last source went in unconverted: its cue point lies its own length before the end.
        const auto aac = readAll(path(Fixture::AacMp4)).pcm.frames();
        EXPECT_EQ(wav.cues.back().first, (written[0].size() - 80) / 4 - aac);
        EXPECT_EQ(written[1].mid(80, written[0].size() - 80), written[0].mid(80));
    }
    // Chunks after the sound of a file that cannot seek would be read as sound, as it states
    // no sizes; a cue point counts 32 bits of frames.
    int ends[2] = {-1, -1};
    ASSERT_EQ(::pipe(ends), 0);
    const MclHandle piped = mcl.MclCreate(), output = mcl.MclCreate();
    mcl.MclAudioSetFileHandle(piped, ends[1]);
    mcl.MclAudioSetFileName(output, file("cues.wav").c_str());
    EXPECT_NE(mcl.MclAudioAddCue(piped, 0, "x"), 0);
    EXPECT_NE(mcl.MclAudioAddCue(output, 0x100000000, "x"), 0);
    EXPECT_EQ(mcl.MclAudioAddCue(output, 0xFFFFFFFF, "x"), 0);
    mcl.MclFree(piped);
    ::close(ends[0]);
    ::close(ends[1]);
}

} // namespace
