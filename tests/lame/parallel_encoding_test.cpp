// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "codec/mp3/layer3_splitter.h"
#include "fakes/fake_lame.h"
#include "pipeline/encoder_stream.h"
#include "pipeline/output_file.h"
#include "platform/lame/mp3lame_library.h"
#include "support/media.h"
#include "support/sound_check.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <lame/lame.h>

#include <algorithm>
#include <atomic>

namespace {

constexpr int Rate = 44100;
const ChunkLayout ShortChunks{24, 16, 2}; // a seam every 0.63 s at 44100 Hz

using soundcheck::music;

// The record the program's stream hands the encoder.
BE_CONFIG config(std::uint32_t rate, std::uint32_t bitRate) {
    FakeLame fake;
    OutputFile file;
    EncoderStream(fake, file).InitEncoderStream(rate, bitRate);
    return *fake.config;
}

struct Encoded {
    std::vector<std::uint8_t> mp3;
    std::optional<ParallelStats> stats;
};

// Through the stream calls, a frame's worth of samples at a time, as the program makes them.
Encoded encode(Mp3LameLibrary& lame, const BE_CONFIG& cfg, const std::vector<std::int16_t>& pcm) {
    Encoded e;
    HBE_STREAM stream = 0;
    std::uint32_t samples = 0, size = 0, bytes = 0;
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lame.beInitStream(&cfg, &samples, &size, &stream));
    std::vector<std::uint8_t> out(size);
    for (std::size_t at = 0; at < pcm.size(); at += samples) {
        const auto count = std::uint32_t(std::min<std::size_t>(samples, pcm.size() - at));
        EXPECT_EQ(BE_ERR_SUCCESSFUL,
                  lame.beEncodeChunk(stream, count, pcm.data() + at, out.data(), &bytes));
        e.mp3.insert(e.mp3.end(), out.begin(), out.begin() + bytes);
    }
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lame.beDeinitStream(stream, out.data(), &bytes));
    e.mp3.insert(e.mp3.end(), out.begin(), out.begin() + bytes);
    e.stats = lame.parallelStats(stream);
    EXPECT_EQ(BE_ERR_SUCCESSFUL, lame.beCloseStream(stream));
    return e;
}

// Frame headers in stream order, the padding bit aside, which each encoder sets by its own
// count. The splitter refuses main data the stream cannot have.
std::vector<std::uint32_t> headers(const std::vector<std::uint8_t>& mp3) {
    Layer3Splitter splitter;
    std::vector<Layer3Frame> frames;
    EXPECT_TRUE(splitter.push(mp3.data(), mp3.size(), frames));
    EXPECT_TRUE(splitter.drained());
    std::vector<std::uint32_t> list;
    for (const Layer3Frame& f : frames)
        list.push_back(
            (std::uint32_t(f.head[0]) << 24 | f.head[1] << 16 | f.head[2] << 8 | f.head[3]) &
            ~0x200u);
    return list;
}

// One thread, or settings at which fresh encoders would take too long to warm up.
TEST(ParallelEncoding, OneEncoderWritesThePlainLibrarysBytes) {
    const struct {
        unsigned threads;
        std::uint32_t rate, bitRate;
    } cases[] = {{1, 44100, 128}, {1, 22050, 64}, {2, 22050, 8}};
    for (const auto& [threads, rate, bitRate] : cases) {
        const auto pcm = music(3, 1 << 20);
        Mp3LameLibrary ours(threads);
        const Encoded e = encode(ours, config(rate, bitRate), pcm);
        EXPECT_FALSE(e.stats);

        lame_global_flags* gf = lame_init();
        lame_set_in_samplerate(gf, Rate);
        lame_set_out_samplerate(gf, int(rate));
        lame_set_num_channels(gf, 2);
        lame_set_mode(gf, STEREO);
        lame_set_brate(gf, int(bitRate));
        lame_set_quality(gf, 2);
        lame_set_copyright(gf, 1);
        lame_set_original(gf, 1);
        lame_set_bWriteVbrTag(gf, 0);
        lame_set_write_id3tag_automatic(gf, 0);
        ASSERT_GE(lame_init_params(gf), 0);
        std::vector<std::uint8_t> plain(pcm.size() * 2 + 7200);
        int size =
            lame_encode_buffer_interleaved(gf, const_cast<short*>(pcm.data()), int(pcm.size() / 2),
                                           plain.data(), int(plain.size()));
        size += lame_encode_flush(gf, plain.data() + size, int(plain.size()) - size);
        lame_close(gf);
        plain.resize(std::size_t(size));
        EXPECT_EQ(plain, e.mp3) << rate;
    }
}

// Chunks are cut at sample positions, so the bytes depend on neither timing nor thread count.
TEST(ParallelEncoding, SeveralThreadsWriteOneThreadsFramesWhateverTheThreadCount) {
    const std::pair<std::uint32_t, std::uint32_t> settings[] = {
        {44100, 128}, {48000, 160}, {32000, 32}, {22050, 64}, {11025, 32}};
    const auto pcm = music(4, 1 << 20);
    for (const auto& [rate, bitRate] : settings) {
        SCOPED_TRACE(testing::Message() << rate << " Hz " << bitRate << " kbit/s");
        Mp3LameLibrary one(1), two(2, ShortChunks), four(4, ShortChunks);
        const BE_CONFIG cfg = config(rate, bitRate);
        const Encoded a = encode(one, cfg, pcm), b = encode(two, cfg, pcm);
        ASSERT_TRUE(b.stats);
        const auto frames = headers(a.mp3);
        EXPECT_GE(b.stats->switches.size(), frames.size() / b.stats->chunkFrames - 2);
        EXPECT_EQ(frames, headers(b.mp3));
        EXPECT_EQ(encode(four, cfg, pcm).mp3, b.mp3);
    }
}

// The sound against the encoder's input: overall and in every quarter second.
struct Quality {
    int delay = 0;
    std::size_t frames = 0;
    double snr = 0;
    std::vector<double> windows;
};

Quality measure(const std::vector<std::int16_t>& in, const std::vector<std::uint8_t>& mp3) {
    QTemporaryDir dir;
    const QString path = dir.filePath("x.mp3");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(mp3.data()), qint64(mp3.size()));
    file.close();
    const media::Pcm out = media::decode(path, Rate, 2);
    Quality q;
    q.frames = out.frames();
    q.delay = soundcheck::delayOf(in, out.samples, 2500, Rate, Rate); // over a second
    const soundcheck::Quality sound = soundcheck::measure(in, out.samples, q.delay, Rate / 4);
    q.snr = sound.snr;
    q.windows = sound.windows;
    return q;
}

TEST(ParallelEncoding, ClicksAndDrumHitsAtTheSeamsSoundAsOnOneThread) {
    const auto pcm = music(8, 24 * 1152);
    Mp3LameLibrary one(1), two(2, ShortChunks);
    const BE_CONFIG cfg = config(44100, 128);
    const Encoded b = encode(two, cfg, pcm);
    ASSERT_GE(b.stats->switches.size(), 10u);
    const Quality single = measure(pcm, encode(one, cfg, pcm).mp3), joined = measure(pcm, b.mp3);
    EXPECT_EQ(single.delay, joined.delay);
    EXPECT_EQ(single.frames, joined.frames);
    EXPECT_NEAR(single.snr, joined.snr, 0.1);
    ASSERT_EQ(single.windows.size(), joined.windows.size());
    for (std::size_t w = 0; w < single.windows.size(); ++w)
        EXPECT_GT(joined.windows[w], single.windows[w] - 1) << "window " << w;
}

TEST(ParallelEncoding, AnUnfinishedStreamClosesAndAFailedEncoderIsReported) {
    const auto pcm = music(6, 1 << 20);
    const BE_CONFIG cfg = config(44100, 128);
    {
        Mp3LameLibrary lame(2, ShortChunks);
        HBE_STREAM stream = 0;
        std::uint32_t samples = 0, size = 0, bytes = 0;
        ASSERT_EQ(BE_ERR_SUCCESSFUL, lame.beInitStream(&cfg, &samples, &size, &stream));
        std::vector<std::uint8_t> out(size);
        for (std::size_t at = 0; at + samples <= pcm.size(); at += samples)
            ASSERT_EQ(BE_ERR_SUCCESSFUL,
                      lame.beEncodeChunk(stream, samples, pcm.data() + at, out.data(), &bytes));
        EXPECT_EQ(BE_ERR_SUCCESSFUL, lame.beCloseStream(stream)); // work still queued
        EXPECT_EQ(BE_ERR_INVALID_HANDLE, lame.beCloseStream(stream));
    }

    std::atomic<int> opened = 0;
    ParallelStream stream(cfg, ChunkEncoder::open(cfg), 2, ShortChunks, [&](const BE_CONFIG& c) {
        return ++opened == 3 ? nullptr : ChunkEncoder::open(c);
    });
    std::vector<std::uint8_t> out(stream.bufferSize());
    std::vector<BE_ERR> results;
    std::uint32_t bytes = 0;
    for (std::size_t at = 0; at + 2304 <= pcm.size(); at += 2304)
        results.push_back(stream.encode(2304, pcm.data() + at, out.data(), &bytes));
    results.push_back(stream.finish(out.data(), &bytes));
    const auto failed = std::find(results.begin(), results.end(), BE_ERR_NO_MORE_HANDLES);
    ASSERT_NE(results.end(), failed);
    EXPECT_EQ(std::count(failed, results.end(), BE_ERR_NO_MORE_HANDLES), results.end() - failed);
}

} // namespace
