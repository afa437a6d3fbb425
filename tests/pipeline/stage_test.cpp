// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
// The WAV-to-MP3 stage against a scripted conversion manager and encoder: its blocks and flags,
// its progress line, the bytes it re-reads, and the state it leaves on every way out.
#include "acm/ACMConvertor.h"
#include "common/exception.h"
#include "fakes/fake_acm.h"
#include "fakes/fake_host.h"
#include "fakes/fake_lame.h"
#include "pipeline/encoder_stream.h"
#include "pipeline/output_file.h"
#include "pipeline/wav_to_mp3.h"
#include "wav_builder.h"

#include <QTemporaryDir>

#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

constexpr DWORD START = ACM_STREAMCONVERTF_START;
constexpr DWORD END = ACM_STREAMCONVERTF_END;
constexpr std::uint32_t kBlock = 16384; // 4096 frames of 16-bit stereo

FakeAcm::Conversion producing(DWORD bytes, MMRESULT result = MMSYSERR_NOERROR) {
    FakeAcm::Conversion c;
    c.dstUsed = bytes;
    c.result = result;
    return c;
}

FakeAcm::Conversion taking(DWORD bytes) {
    FakeAcm::Conversion c;
    c.srcUsed = bytes;
    return c;
}

class StageTest : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(destination.create(dir.filePath(QStringLiteral("out.mp3"))));
        ASSERT_TRUE(stream.InitEncoderStream(44100, 128));
        lame.calls.clear();
    }

    void stage(const WavSpec& spec) {
        ASSERT_TRUE(writeWav(wavPath, spec));
        last = EncodeWavToMp3(context, wavPath);
    }
    // The stage has left everything as it found it.
    void expectIdle() {
        EXPECT_FALSE(wavtowav.Active());
        if (!acm.callsStartingWith("acmStreamPrepareHeader").empty()) {
            EXPECT_THAT(acm.callsStartingWith("acmStreamClose"),
                        ElementsAre("acmStreamClose(h,0)"));
        }
    }

    QTemporaryDir dir;
    QString wavPath = dir.filePath(QStringLiteral("temp0.wav"));
    FakeAcm acm;
    FakeLame lame;
    TACMConvertor wavtowav{acm};
    FakeHost host;
    OutputFile destination;
    EncoderStream stream{lame, destination};
    std::vector<double> pumpedSeconds;
    StageContext context{host, wavtowav, stream, [this](double seconds) {
                             pumpedSeconds.push_back(seconds);
                             host.processEvents();
                         }};
    StageResult last;
};

TEST_F(StageTest, BlocksCarryStartMiddleAndEndFlags) {
    struct Case {
        std::uint32_t bytes;
        std::vector<DWORD> flags;
        std::vector<DWORD> lengths;
    };
    const Case cases[] = {
        {1000, {END}, {1000}}, // shorter than one block
        {kBlock * 5 / 2, {START, 0, END}, {kBlock, kBlock, kBlock / 2}},
        // An exact multiple: the block that leaves nothing behind drains the resampler.
        {kBlock, {END}, {kBlock}},
        {kBlock * 2, {START, END}, {kBlock, kBlock}},
        {kBlock * 3, {START, 0, END}, {kBlock, kBlock, kBlock}},
        {0, {}, {}},
    };
    for (const Case& c : cases) {
        acm = FakeAcm{};
        stage({.dataBytes = c.bytes});
        EXPECT_THAT(acm.convertFlags, ElementsAreArray(c.flags)) << c.bytes;
        std::vector<DWORD> lengths;
        for (const auto& h : acm.convertHeaders)
            lengths.push_back(h.cbSrcLength);
        EXPECT_THAT(lengths, ElementsAreArray(c.lengths)) << c.bytes;
        // The stream is reset and closed with the lengths it was prepared with, data or none.
        EXPECT_THAT(acm.callsStartingWith("acmStreamReset"), ElementsAre("acmStreamReset(h,0)"));
        EXPECT_EQ(acm.callsStartingWith("acmStreamUnprepareHeader").back(),
                  acm.callsStartingWith("acmStreamPrepareHeader")
                      .back()
                      .replace(0, 22, "acmStreamUnprepareHeader"));
        expectIdle();
    }
}

TEST_F(StageTest, ConvertorIsSetUpFromTheFilesFormat) {
    stage({.channels = 1, .rate = 48000, .bits = 8, .dataBytes = 100});
    EXPECT_EQ(FakeAcm::format(&acm.openedSource), "1/1/48000/48000/1/8/0");
    EXPECT_EQ(FakeAcm::format(&acm.openedDestination), "1/2/44100/176400/4/16/0");
    EXPECT_EQ(wavtowav.InputBufferSize(), 4096u);
    EXPECT_THAT(acm.callsStartingWith("acmStreamSize"), ElementsAre("acmStreamSize(h,4096,0)"));

    acm = FakeAcm{};
    stage({.channels = 2, .rate = 48000, .bits = 16, .dataBytes = 100});
    EXPECT_EQ(wavtowav.InputBufferSize(), kBlock);
}

TEST_F(StageTest, ConvertedBytesGoToTheEncoderAndTheDestination) {
    acm.script = {producing(400), producing(600)};
    stage({.dataBytes = kBlock + 10});
    EXPECT_THAT(lame.calls, ElementsAre("beEncodeChunk(7,200)", "beEncodeChunk(7,300)"));
    stream.FinishEncoderStream();
    destination.close();
    QFile out(dir.filePath(QStringLiteral("out.mp3")));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    const QByteArray bytes = out.readAll();
    const auto expected = lame.produced();
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), expected);
}

TEST_F(StageTest, EveryTenthBlockLogsTheBytesReadAndEveryBlockPumps) {
    for (int i = 0; i < 12; ++i)
        host.AddProgressLine(QStringLiteral("older %1").arg(i));
    std::vector<QString> newestAtPump;
    host.onPump = [&](int) { newestAtPump.push_back(host.log.back()); };
    stage({.dataBytes = kBlock * 11});
    EXPECT_EQ(host.log.back(), "163840 Samples konvertiert...");
    EXPECT_LE(host.log.size(), 11);
    // Eleven blocks pump after each; the tenth also pumps right after its line.
    EXPECT_EQ(host.pumps, 12);
    EXPECT_EQ(host.log.filter(QStringLiteral("Samples konvertiert")).size(), 1);
}

TEST_F(StageTest, FailedConversionIsCountedAndEncodesNothing) {
    acm.script = {producing(400), producing(800, MMSYSERR_INVALPARAM), producing(600)};
    stage({.dataBytes = kBlock * 3});
    EXPECT_EQ(acm.convertFlags.size(), 3u);
    EXPECT_THAT(lame.calls, ElementsAre("beEncodeChunk(7,200)", "beEncodeChunk(7,300)"));
    EXPECT_EQ(last.lostBlocks, 1u);
    EXPECT_TRUE(host.boxes.isEmpty());
    expectIdle();
}

TEST_F(StageTest, ReportsTheSecondsThatWentIn) {
    stage({.channels = 2, .rate = 44100, .bits = 16, .dataBytes = kBlock * 11});
    ASSERT_FALSE(pumpedSeconds.empty());
    EXPECT_TRUE(std::is_sorted(pumpedSeconds.begin(), pumpedSeconds.end()));
    EXPECT_DOUBLE_EQ(last.seconds, kBlock * 11 / 176400.0);
    EXPECT_DOUBLE_EQ(pumpedSeconds.back(), last.seconds);
}

TEST_F(StageTest, AFileCutShortUnderTheStageIsAnError) {
    ASSERT_TRUE(writeWav(wavPath, {.dataBytes = kBlock * 20}));
    host.onPump = [&](int pump) {
        if (pump == 1)
            QFile::resize(wavPath, 44 + kBlock * 3 + 100);
    };
    EXPECT_THROW(
        {
            try {
                EncodeWavToMp3(context, wavPath);
            } catch (const EInOutError& e) {
                EXPECT_STREQ(e.what(), "Read beyond end of file");
                throw;
            }
        },
        EInOutError);
    expectIdle();
}

TEST_F(StageTest, BytesTheConversionLeftAreReadAgainAndCountedAgain) {
    std::vector<int> firstByte;
    acm.onConvert = [&](const ACMSTREAMHEADER& h) { firstByte.push_back(h.pbSrc[0]); };
    acm.script = {taking(kBlock - 1000)};
    stage({.dataBytes = kBlock * 2});
    std::vector<DWORD> lengths;
    for (const auto& h : acm.convertHeaders)
        lengths.push_back(h.cbSrcLength);
    EXPECT_THAT(lengths, ElementsAre(kBlock, kBlock, 1000u));
    EXPECT_THAT(acm.convertFlags, ElementsAre(START, 0u, END));
    // Byte i of the data holds i % 251: the second block starts where the first stopped taking.
    EXPECT_THAT(firstByte,
                ElementsAre(0, int((kBlock - 1000) % 251), int((2 * kBlock - 1000) % 251)));
}

TEST_F(StageTest, StatedSizeBeyondTheFileIsCutToTheFile) {
    stage({.dataBytes = 5000, .statedSize = 100000});
    EXPECT_THAT(acm.convertFlags, ElementsAre(END));
    EXPECT_EQ(acm.convertHeaders.at(0).cbSrcLength, 5000u);

    // A stated size of 2^31 or more is a size, not a negative number.
    acm = FakeAcm{};
    stage({.dataBytes = 4000, .statedSize = 0x80000010});
    EXPECT_EQ(acm.convertHeaders.at(0).cbSrcLength, 4000u);
}

TEST_F(StageTest, FileThatIsNoWaveShowsTheBoxAndEncodesNothing) {
    QFile file(wavPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("RIFF\x10\0\0\0AVI LIST\0\0\0\0", 20);
    file.close();
    EXPECT_FALSE(EncodeWavToMp3(context, wavPath).validWav);
    EXPECT_THAT(host.boxes, ElementsAre("Keine gültige WAV-Datei!!!!"));
    EXPECT_TRUE(acm.calls.empty());
    EXPECT_TRUE(lame.calls.empty());
    expectIdle();
}

TEST_F(StageTest, MissingFileReturnsQuietly) {
    EXPECT_FALSE(EncodeWavToMp3(context, dir.filePath(QStringLiteral("none.wav"))).validWav);
    EXPECT_TRUE(host.boxes.isEmpty());
    EXPECT_TRUE(acm.calls.empty());
    expectIdle();
}

TEST_F(StageTest, EveryErrorLeavesTheStageIdle) {
    struct Case {
        const char* name;
        std::function<void(StageTest&)> arrange;
        std::uint32_t bytes;
        std::string message;
    };
    const Case cases[] = {
        {"encoder fails", [](StageTest& t) { t.lame.failEncodeCall = 1; }, kBlock * 2,
         "Fehler beim MP3 Codieren"},
        {"reset fails",
         [](StageTest& t) { t.acm.failWith("acmStreamReset", MMSYSERR_INVALHANDLE); }, 100,
         "acmStreamReset The specified handle is invalid."},
        {"format refused",
         [](StageTest& t) { t.acm.failWith("acmStreamOpen", ACMERR_NOTPOSSIBLE); }, 100,
         "acmStreamOpen: The requested operation cannot be performed."},
        {"file too short", [](StageTest&) {}, 0, "Read beyond end of file"},
    };
    for (const Case& c : cases) {
        acm = FakeAcm{};
        lame = FakeLame{};
        ASSERT_TRUE(destination.create(dir.filePath(QStringLiteral("out.mp3"))));
        EncoderStream fresh{lame, destination};
        ASSERT_TRUE(fresh.InitEncoderStream(44100, 128));
        c.arrange(*this);
        if (c.bytes)
            ASSERT_TRUE(writeWav(wavPath, {.dataBytes = c.bytes}));
        else
            ASSERT_TRUE(QFile(wavPath).open(QIODevice::WriteOnly)); // empty file
        StageContext freshContext{host, wavtowav, fresh, [](double) {}};
        try {
            EncodeWavToMp3(freshContext, wavPath);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const std::exception& e) {
            EXPECT_EQ(e.what(), c.message) << c.name;
        }
        expectIdle();
        // Closing a stream unprepares the header with the lengths it was prepared with.
        for (const auto& call : acm.callsStartingWith("acmStreamUnprepareHeader"))
            EXPECT_THAT(call, ::testing::HasSubstr("," + std::to_string(kBlock) + ",")) << c.name;
    }
}

} // namespace
