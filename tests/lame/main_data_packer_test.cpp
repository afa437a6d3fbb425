// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "codec/mp3/layer3_splitter.h"
#include "codec/mp3/main_data_packer.h"

#include <gtest/gtest.h>

namespace {

constexpr int Payload = 381; // 417 bytes less header and side information

void setBits(std::vector<std::uint8_t>& data, int position, int count, unsigned value) {
    for (int i = 0; i < count; ++i) {
        const int bit = position + i;
        const auto mask = std::uint8_t(0x80 >> (bit & 7));
        const bool set = value >> (count - 1 - i) & 1;
        data[std::size_t(bit >> 3)] = std::uint8_t(set ? data[std::size_t(bit >> 3)] | mask
                                                       : data[std::size_t(bit >> 3)] & ~mask);
    }
}

// A frame as the program's encoder writes them (MPEG-1 layer III, 128 kbit/s, 44100 Hz, stereo,
// no padding) whose side information states `begin` as main_data_begin, `length` bytes of main
// data, and the block type of its first and last granules (0: long, 1 start, 2 short, 3 stop).
// Its main data are numbered bytes of its own.
Layer3Frame frame(int id, int begin, int length, unsigned firstType = 0, unsigned lastType = 0) {
    Layer3Frame f;
    f.frameLength = 417;
    f.head = {0xFF, 0xFB, 0x90, 0x0C};
    f.head.resize(36, 0);
    std::vector<std::uint8_t> side(32, 0);
    setBits(side, 0, 9, unsigned(begin));
    // Records of 59 bits from bit 20, granule by granule and channel by channel.
    unsigned bits = unsigned(length) * 8;
    for (int record = 0; record < 4; ++record) {
        const int at = 20 + record * 59;
        const unsigned share = std::min(bits, 4095u);
        setBits(side, at, 12, share);
        bits -= share;
        if (const unsigned type = record < 2 ? firstType : lastType; type != 0) {
            setBits(side, at + 33, 1, 1);
            setBits(side, at + 34, 2, type);
        }
    }
    std::copy(side.begin(), side.end(), f.head.begin() + 4);
    for (int i = 0; i < length; ++i)
        f.mainData.push_back(std::uint8_t(id * 31 + i));
    return f;
}

struct Reread {
    std::vector<Layer3Frame> frames;
    std::vector<int> begins;
};

// The joined stream taken apart again, fed byte by byte; the splitter refuses main data out of
// place, so this also proves the stream valid.
Reread reread(MainDataPacker& packer, std::vector<std::uint8_t>& stream) {
    packer.take(stream, true);
    Reread r;
    Layer3Splitter splitter;
    for (const std::uint8_t byte : stream)
        EXPECT_TRUE(splitter.push(&byte, 1, r.frames));
    EXPECT_TRUE(splitter.drained());
    for (const Layer3Frame& f : r.frames)
        r.begins.push_back(int(f.head[4]) << 1 | f.head[5] >> 7);
    return r;
}

void expectSameMainData(const std::vector<Layer3Frame>& written, const Reread& r) {
    ASSERT_EQ(written.size(), r.frames.size());
    for (std::size_t i = 0; i < written.size(); ++i)
        EXPECT_EQ(written[i].mainData, r.frames[i].mainData) << "frame " << i;
}

TEST(MainDataPacker, MainDataReachesBackAcrossTheSeamAroundTwoHeaders) {
    MainDataPacker packer;
    const std::vector<Layer3Frame> frames = {frame(1, 0, 100), frame(2, 0, 100), frame(3, 0, 100),
                                             // another encoder's: 300 bytes back in its stream
                                             frame(4, 300, 600), frame(5, 81, 200)};
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(packer.append(frames[std::size_t(i)]));
    EXPECT_EQ(511, packer.reservoir());
    EXPECT_TRUE(packer.fits(frames[3]));
    ASSERT_TRUE(packer.append(frames[3]));
    ASSERT_TRUE(packer.append(frames[4]));
    std::vector<std::uint8_t> stream;
    const Reread r = reread(packer, stream);
    EXPECT_EQ(5u * 417, stream.size());
    expectSameMainData(frames, r);
    // As early as allowed: right after the previous main data, or 511 bytes back at most.
    EXPECT_EQ((std::vector<int>{0, 281, 511, 511, 292}), r.begins);
}

TEST(MainDataPacker, AFullReservoirEndsWhereMainDataBeginReachesAndFramesLeaveOnce) {
    MainDataPacker packer;
    std::vector<Layer3Frame> frames;
    std::vector<std::uint8_t> stream;
    for (int i = 0; i < 20; ++i) {
        frames.push_back(frame(i, 0, 0));
        ASSERT_TRUE(packer.append(frames.back()));
        packer.take(stream);
    }
    EXPECT_EQ(511, packer.reservoir());
    // No later main data can reach more than two payloads back, so the rest has left.
    EXPECT_GE(stream.size(), 18u * 417);
    EXPECT_FALSE(packer.append(frame(20, 511, Payload + 512)));
    frames.push_back(frame(20, 511, Payload + 511));
    ASSERT_TRUE(packer.append(frames.back()));
    EXPECT_EQ(0, packer.reservoir());
    const Reread r = reread(packer, stream);
    expectSameMainData(frames, r);
    EXPECT_EQ(511, r.begins.back());
}

TEST(MainDataPacker, AnEmptyReservoirTakesOnlyFramesThatNeedNone) {
    MainDataPacker packer;
    std::vector<Layer3Frame> frames = {frame(1, 0, Payload), frame(2, 0, Payload)};
    for (const Layer3Frame& f : frames)
        ASSERT_TRUE(packer.append(f));
    EXPECT_EQ(0, packer.reservoir());
    EXPECT_FALSE(packer.fits(frame(3, 1, 10)));
    EXPECT_TRUE(packer.fits(frame(3, 0, 10)));
    EXPECT_FALSE(packer.append(frame(3, 0, Payload + 1))); // refused whole
    frames.push_back(frame(4, 0, 10));
    ASSERT_TRUE(packer.append(frames.back()));
    std::vector<std::uint8_t> stream;
    const Reread r = reread(packer, stream);
    expectSameMainData(frames, r);
    EXPECT_EQ((std::vector<int>{0, 0, 0}), r.begins);
}

TEST(MainDataPacker, ASeamThatDoesNotFitAtFirstFitsAFrameLaterAndTheRestFollows) {
    MainDataPacker packer;
    std::vector<Layer3Frame> written = {frame(1, 0, Payload - 50)};
    ASSERT_TRUE(packer.append(written[0]));
    // The next encoder's frames at the same places, valid in its own stream.
    const std::vector<Layer3Frame> next = {frame(10, 200, 300), frame(11, 200, 500),
                                           frame(12, 81, Payload + 81), frame(13, 0, Payload)};
    EXPECT_EQ(50, packer.reservoir());
    EXPECT_FALSE(packer.fits(next[0]));
    written.push_back(frame(2, 0, 231)); // the previous encoder goes on and leaves room
    ASSERT_TRUE(packer.append(written.back()));
    EXPECT_EQ(200, packer.reservoir());
    ASSERT_TRUE(packer.fits(next[1]));
    for (std::size_t i = 1; i < next.size(); ++i) {
        written.push_back(next[i]);
        ASSERT_TRUE(packer.append(next[i])) << i;
    }
    std::vector<std::uint8_t> stream;
    expectSameMainData(written, reread(packer, stream));
}

TEST(MainDataPacker, AnotherEncodersFrameFitsOnlyWhereTheWindowShapesMeet) {
    const struct {
        unsigned lastType, firstType;
        bool fits;
    } cases[] = {
        {0, 0, true},  {0, 1, true},  {1, 2, true},  {2, 2, true},  {2, 3, true},  {3, 0, true},
        {0, 2, false}, {0, 3, false}, {1, 0, false}, {2, 0, false}, {2, 1, false}, {3, 2, false},
    };
    for (const auto& c : cases) {
        MainDataPacker packer;
        ASSERT_TRUE(packer.append(frame(1, 0, 10, 0, c.lastType)));
        EXPECT_EQ(c.fits, packer.fits(frame(2, 0, 10, c.firstType, 0)))
            << c.lastType << " then " << c.firstType;
    }
}

} // namespace
