// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "codec/mp3/layer3_splitter.h"
#include "fakes/fake_lame.h"
#include "pipeline/encoder_stream.h"
#include "pipeline/mp3_choices.h"
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
#include <chrono>
#include <stdexcept>
#include <thread>

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

// Each frame's header word, length and main_data_begin, in stream order. The splitter refuses
// main data the stream cannot have.
struct Frame {
    std::uint32_t header;
    int length;
    int mainDataBegin;
};

std::vector<Frame> frames(const std::vector<std::uint8_t>& mp3) {
    Layer3Splitter splitter;
    std::vector<Layer3Frame> split;
    EXPECT_TRUE(splitter.push(mp3.data(), mp3.size(), split));
    EXPECT_TRUE(splitter.drained());
    std::vector<Frame> list;
    for (const Layer3Frame& f : split)
        list.push_back(
            {std::uint32_t(f.head[0]) << 24 | f.head[1] << 16 | f.head[2] << 8 | f.head[3],
             f.frameLength,
             layer3::mainDataBegin(*parseMp3FrameHeader(f.head.data(), 4), f.head.data() + 4)});
    return list;
}

// Header words and frame lengths, no bit masked; only main data may differ from one encoder's.
std::vector<std::pair<std::uint32_t, int>> headers(const std::vector<std::uint8_t>& mp3) {
    std::vector<std::pair<std::uint32_t, int>> list;
    for (const Frame& f : frames(mp3))
        list.emplace_back(f.header, f.length);
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

// Every encoder starts where one encoder's padding sequence starts over, so the joined frames
// have one encoder's header words, padding bit included, and lengths, at every rate and bit
// rate the program offers that runs in parallel.
TEST(ParallelEncoding, SeveralThreadsWriteOneEncodersHeadersAtEveryRateAndBitRate) {
    const auto pcm = music(1.5, 1 << 20);
    int parallel = 0;
    for (const int rate : kMp3SampleRates) {
        for (const int bitRate : kMp3BitRates) {
            SCOPED_TRACE(testing::Message() << rate << " Hz " << bitRate << " kbit/s");
            Mp3LameLibrary one(1), two(2, ShortChunks);
            const BE_CONFIG cfg = config(std::uint32_t(rate), std::uint32_t(bitRate));
            const Encoded b = encode(two, cfg, pcm);
            if (!b.stats)
                continue;
            ++parallel;
            EXPECT_FALSE(b.stats->switches.empty());
            EXPECT_EQ(headers(encode(one, cfg, pcm).mp3), headers(b.mp3));
        }
    }
    // One encoder runs only at 8 kbit/s with 16 to 24 kHz.
    EXPECT_EQ(parallel, int(kMp3SampleRates.size() * kMp3BitRates.size()) - 3);
}

// Without a reservoir, every frame's main data starts in its own payload, as one encoder
// writes it; the strict ISO reservoir, whose limit LAME does not tell, runs on one encoder.
TEST(ParallelEncoding, ReservoirSettingsAreHonouredOrRunOnOneEncoder) {
    const auto pcm = music(2, 24 * 1152);
    BE_CONFIG cfg = config(44100, 128);
    cfg.bNoRes = 1;
    Mp3LameLibrary one(1), two(2, ShortChunks);
    const Encoded b = encode(two, cfg, pcm);
    ASSERT_TRUE(b.stats);
    EXPECT_FALSE(b.stats->switches.empty());
    const auto joined = frames(b.mp3);
    EXPECT_EQ(headers(encode(one, cfg, pcm).mp3), headers(b.mp3));
    EXPECT_TRUE(std::all_of(joined.begin(), joined.end(),
                            [](const Frame& f) { return f.mainDataBegin == 0; }));
    cfg.bNoRes = 0;
    cfg.bStrictIso = 1;
    EXPECT_FALSE(encode(two, cfg, pcm).stats);
}

// The stream's bytes, fed a frame at a time with `pause` between the calls.
std::vector<std::uint8_t> streamed(const BE_CONFIG& cfg, unsigned threads,
                                   const ChunkLayout& layout, const std::vector<std::int16_t>& pcm,
                                   std::chrono::microseconds pause = {},
                                   ParallelStream::Scheduler schedule = {}) {
    LameGate gate;
    ParallelStream stream(
        cfg, ChunkEncoder::open(cfg, gate), threads, layout,
        [&](const BE_CONFIG& c) { return ChunkEncoder::open(c, gate); }, std::move(schedule));
    std::vector<std::uint8_t> out(stream.bufferSize()), mp3;
    std::uint32_t bytes = 0;
    for (std::size_t at = 0; at < pcm.size(); at += 2304) {
        const auto count = std::uint32_t(std::min<std::size_t>(2304, pcm.size() - at));
        EXPECT_EQ(BE_ERR_SUCCESSFUL, stream.encode(count, pcm.data() + at, out.data(), &bytes));
        mp3.insert(mp3.end(), out.begin(), out.begin() + bytes);
        std::this_thread::sleep_for(pause);
    }
    EXPECT_EQ(BE_ERR_SUCCESSFUL, stream.finish(out.data(), &bytes));
    mp3.insert(mp3.end(), out.begin(), out.begin() + bytes);
    return mp3;
}

// Where chunks start, which encoder takes over where and how main data is packed depend on the
// samples alone: not on the thread count, the pacing of the calls or the order workers end in.
TEST(ParallelEncoding, TheBytesDependOnTheSamplesAloneNotOnTimingOrThreads) {
    using namespace std::chrono_literals;
    const BE_CONFIG cfg = config(44100, 128);
    // Earlier chunks are held back longest, so that later encoders finish first.
    const ParallelStream::Scheduler reversed = [](unsigned chunk) {
        std::this_thread::sleep_for(std::chrono::microseconds(300 * (8 - std::min(chunk, 8u))));
    };
    const auto pcm = music(4, 24 * 1152);
    const auto reference = streamed(cfg, 2, ShortChunks, pcm);
    EXPECT_EQ(frames(reference).size(), 155u);
    for (const unsigned threads : {2u, 16u})
        EXPECT_EQ(reference, streamed(cfg, threads, ShortChunks, pcm, 1ms)) << threads;
    for (unsigned threads = 1; threads <= 16; ++threads)
        EXPECT_EQ(reference, streamed(cfg, threads, ShortChunks, pcm, {}, reversed)) << threads;

    // 16 threads cut chunks of 341 frames; the input ends 3.6 frames after the first seam.
    const auto justPast = music(344.6 * 1152 / Rate, 1 << 20);
    const auto ending = streamed(cfg, 16, {}, justPast);
    EXPECT_EQ(ending, streamed(cfg, 16, {}, justPast, 3ms));
    EXPECT_EQ(ending, streamed(cfg, 16, {}, justPast, {}, reversed));
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

TEST(ParallelEncoding, AnUnfinishedStreamClosesAndAFailedWorkerFailsTheStream) {
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

    // A worker whose encoder cannot be made, or that throws, fails the stream with its reason.
    const struct {
        std::function<std::unique_ptr<ChunkEncoder>()> third;
        BE_ERR result;
        const char* reason;
    } failures[] = {
        {[] { return nullptr; }, BE_ERR_INVALID_FORMAT_PARAMETERS, ""},
        {[]() -> std::unique_ptr<ChunkEncoder> { throw std::bad_alloc(); }, BE_ERR_NO_MEMORY, ""},
        {[]() -> std::unique_ptr<ChunkEncoder> { throw std::runtime_error("kaputt"); },
         BE_ERR_INVALID_FORMAT, "kaputt"},
        {[]() -> std::unique_ptr<ChunkEncoder> { throw 7; }, BE_ERR_INVALID_FORMAT, ""},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.result);
        LameGate gate;
        std::atomic<int> opened = 0;
        ParallelStream stream(cfg, ChunkEncoder::open(cfg, gate), 2, ShortChunks,
                              [&](const BE_CONFIG& c) {
                                  return ++opened == 3 ? f.third() : ChunkEncoder::open(c, gate);
                              });
        std::vector<std::uint8_t> out(stream.bufferSize());
        std::vector<BE_ERR> results;
        std::uint32_t bytes = 0;
        for (std::size_t at = 0; at + 2304 <= pcm.size(); at += 2304)
            results.push_back(stream.encode(2304, pcm.data() + at, out.data(), &bytes));
        results.push_back(stream.finish(out.data(), &bytes));
        const auto failed = std::find(results.begin(), results.end(), f.result);
        ASSERT_NE(results.end(), failed);
        EXPECT_EQ(std::count(failed, results.end(), f.result), results.end() - failed);
        EXPECT_EQ(stream.failureText(), f.reason);
    }
}

} // namespace
