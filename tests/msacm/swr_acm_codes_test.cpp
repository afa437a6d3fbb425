#include "pcm_signal.h"
#include "platform/msacm/swr_acm.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const WAVEFORMATEX kStereo44 = pcm::format(2, 44100, 16);

// The open's result for a pair of formats: what can be converted, what cannot, what is nonsense.
struct OpenCase {
    const char* name;
    WAVEFORMATEX source;
    WAVEFORMATEX destination;
    MMRESULT expected;
};

WAVEFORMATEX with(WAVEFORMATEX f, void (*change)(WAVEFORMATEX&)) {
    change(f);
    return f;
}

class OpenFormatTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenFormatTest, AnswersWithTheExpectedCode) {
    const OpenCase& c = GetParam();
    SwrAcmLibrary acm;
    HACMSTREAM stream = reinterpret_cast<HACMSTREAM>(std::uintptr_t{1});
    EXPECT_EQ(acm.acmStreamOpen(&stream, nullptr, &c.source, &c.destination, nullptr, 0, 0,
                                ACM_STREAMOPENF_NONREALTIME),
              c.expected);
    EXPECT_EQ(stream != nullptr, c.expected == MMSYSERR_NOERROR);
    EXPECT_EQ(acm.openStreams(), c.expected == MMSYSERR_NOERROR ? 1u : 0u);
    // A query answers the same without opening anything.
    EXPECT_EQ(acm.acmStreamOpen(nullptr, nullptr, &c.source, &c.destination, nullptr, 0, 0,
                                ACM_STREAMOPENF_QUERY),
              c.expected);
    EXPECT_EQ(acm.openStreams(), c.expected == MMSYSERR_NOERROR ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, OpenFormatTest,
    ::testing::Values(
        OpenCase{"wavtowav_defaults", pcm::format(1, 22050, 8), pcm::format(2, 22050, 16), 0},
        OpenCase{"stage_48k", pcm::format(2, 48000, 16), kStereo44, 0},
        OpenCase{"lowest_rate", pcm::format(1, 8000, 8), kStereo44, 0},
        OpenCase{"highest_rate", pcm::format(8, 192000, 32), kStereo44, 0},
        OpenCase{"24_bit_both", pcm::format(6, 96000, 24), pcm::format(2, 44100, 24), 0},
        OpenCase{"to_mono", pcm::format(2, 44100, 16), pcm::format(1, 22050, 8), 0},
        OpenCase{"same_channels", pcm::format(6, 48000, 16), pcm::format(6, 44100, 16), 0},
        OpenCase{"pcm_cbsize_ignored",
                 with(pcm::format(1, 22050, 8), [](WAVEFORMATEX& f) { f.cbSize = 129; }), kStereo44,
                 0},
        OpenCase{"average_rate_ignored",
                 with(pcm::format(2, 48000, 16), [](WAVEFORMATEX& f) { f.nAvgBytesPerSec = 1; }),
                 kStereo44, 0},
        OpenCase{"source_not_pcm",
                 with(pcm::format(2, 48000, 16), [](WAVEFORMATEX& f) { f.wFormatTag = 2; }),
                 kStereo44, ACMERR_NOTPOSSIBLE},
        OpenCase{"destination_keeps_non_pcm_tag",
                 with(pcm::format(2, 48000, 16), [](WAVEFORMATEX& f) { f.wFormatTag = 0x55; }),
                 with(kStereo44, [](WAVEFORMATEX& f) { f.wFormatTag = 0x55; }), ACMERR_NOTPOSSIBLE},
        OpenCase{"zero_format_from_a_file_without_fmt", WAVEFORMATEX{},
                 with(kStereo44, [](WAVEFORMATEX& f) { f.wFormatTag = 0; }), ACMERR_NOTPOSSIBLE},
        OpenCase{"no_channels",
                 with(pcm::format(2, 48000, 16), [](WAVEFORMATEX& f) { f.nChannels = 0; }),
                 kStereo44, MMSYSERR_INVALPARAM},
        OpenCase{"rate_zero",
                 with(pcm::format(2, 48000, 16), [](WAVEFORMATEX& f) { f.nSamplesPerSec = 0; }),
                 kStereo44, MMSYSERR_INVALPARAM},
        OpenCase{"align_mismatch",
                 with(pcm::format(2, 48000, 16), [](WAVEFORMATEX& f) { f.nBlockAlign = 2; }),
                 kStereo44, MMSYSERR_INVALPARAM},
        OpenCase{"destination_align_mismatch", pcm::format(2, 48000, 16),
                 with(kStereo44, [](WAVEFORMATEX& f) { f.nBlockAlign = 6; }), MMSYSERR_INVALPARAM},
        OpenCase{"no_bits",
                 with(pcm::format(2, 48000, 16), [](WAVEFORMATEX& f) { f.wBitsPerSample = 0; }),
                 kStereo44, MMSYSERR_INVALPARAM},
        OpenCase{"twelve_bits", pcm::format(1, 48000, 16),
                 with(pcm::format(1, 48000, 16), [](WAVEFORMATEX& f) { f.wBitsPerSample = 12; }),
                 ACMERR_NOTPOSSIBLE},
        OpenCase{"rate_below_range", pcm::format(1, 7999, 16), kStereo44, ACMERR_NOTPOSSIBLE},
        OpenCase{"rate_above_range", pcm::format(1, 192001, 16), kStereo44, ACMERR_NOTPOSSIBLE},
        OpenCase{"nine_channels", pcm::format(9, 48000, 16), kStereo44, ACMERR_NOTPOSSIBLE},
        OpenCase{"upmix_to_surround", pcm::format(2, 48000, 16), pcm::format(6, 48000, 16),
                 ACMERR_NOTPOSSIBLE}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct OpenArguments : ::testing::Test {
    SwrAcmLibrary acm;
    WAVEFORMATEX in = pcm::format(2, 48000, 16);
    HACMSTREAM stream = nullptr;
};

TEST_F(OpenArguments, RefusesWhatItCannotHonour) {
    int filterStandIn = 0;
    auto* filter = reinterpret_cast<WAVEFILTER*>(&filterStandIn);
    EXPECT_EQ(acm.acmStreamOpen(nullptr, nullptr, &in, &kStereo44, nullptr, 0, 0, 0),
              MMSYSERR_INVALPARAM);
    EXPECT_EQ(acm.acmStreamOpen(&stream, nullptr, nullptr, &kStereo44, nullptr, 0, 0, 0),
              MMSYSERR_INVALPARAM);
    EXPECT_EQ(acm.acmStreamOpen(&stream, nullptr, &in, &kStereo44, nullptr, 0, 0, 0x8),
              MMSYSERR_INVALFLAG);
    EXPECT_EQ(acm.acmStreamOpen(&stream, &filterStandIn, &in, &kStereo44, nullptr, 0, 0, 0),
              MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acm.acmStreamOpen(&stream, nullptr, &in, &kStereo44, filter, 0, 0, 0),
              ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(
        acm.acmStreamOpen(&stream, nullptr, &in, &kStereo44, nullptr, 0, 0, ACM_STREAMOPENF_ASYNC),
        ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(acm.acmStreamOpen(&stream, nullptr, &in, &kStereo44, nullptr, 1, 0, 0),
              ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(acm.openStreams(), 0u);
    EXPECT_EQ(acm.acmStreamOpen(&stream, nullptr, &in, &kStereo44, nullptr, 0, 0, 0), 0u);
    EXPECT_EQ(acm.openStreams(), 1u);
}

// A stream with one prepared header over buffers of the stage's size.
struct PreparedStream : ::testing::Test {
    SwrAcmLibrary acm;
    WAVEFORMATEX in = pcm::format(2, 48000, 16);
    HACMSTREAM stream = nullptr;
    DWORD outSize = 0;
    std::vector<std::uint8_t> src = std::vector<std::uint8_t>(16384);
    std::vector<std::uint8_t> dst;
    ACMSTREAMHEADER header{};

    void SetUp() override {
        ASSERT_EQ(acm.acmStreamOpen(&stream, nullptr, &in, &kStereo44, nullptr, 0, 0, 4), 0u);
        ASSERT_EQ(acm.acmStreamSize(stream, 16384, &outSize, ACM_STREAMSIZEF_SOURCE), 0u);
        dst.resize(outSize);
        header.cbStruct = sizeof header;
        header.pbSrc = src.data();
        header.cbSrcLength = 16384;
        header.pbDst = dst.data();
        header.cbDstLength = outSize;
    }
    MMRESULT prepare() { return acm.acmStreamPrepareHeader(stream, &header, 0); }
    MMRESULT convert(DWORD flags = 0) { return acm.acmStreamConvert(stream, &header, flags); }
    MMRESULT unprepare() { return acm.acmStreamUnprepareHeader(stream, &header, 0); }
};

TEST_F(PreparedStream, SizeCoversOneBlockAtTheNewRate) {
    // 4096 frames at 48000 Hz become 3763.2 frames at 44100 Hz; the rest is the held delay.
    EXPECT_GE(outSize, 3764u * 4);
    EXPECT_LT(outSize, 3764u * 4 + 400);
    EXPECT_EQ(outSize % 4, 0u);
    DWORD back = 0;
    ASSERT_EQ(acm.acmStreamSize(stream, outSize, &back, ACM_STREAMSIZEF_DESTINATION), 0u);
    EXPECT_LE(back, 16384u);
    EXPECT_GT(back, 16000u);
    DWORD again = 0;
    ASSERT_EQ(acm.acmStreamSize(stream, back, &again, ACM_STREAMSIZEF_SOURCE), 0u);
    EXPECT_LE(again, outSize);

    EXPECT_EQ(acm.acmStreamSize(stream, 16384, nullptr, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acm.acmStreamSize(stream, 16384, &again, 2), MMSYSERR_INVALFLAG);
    EXPECT_EQ(acm.acmStreamSize(stream, 4, &again, ACM_STREAMSIZEF_DESTINATION),
              ACMERR_NOTPOSSIBLE);
}

TEST_F(PreparedStream, ConversionNeedsAPreparedHeader) {
    EXPECT_EQ(convert(), ACMERR_UNPREPARED);
    EXPECT_EQ(unprepare(), ACMERR_UNPREPARED);
    ASSERT_EQ(prepare(), 0u);
    EXPECT_TRUE(header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
    EXPECT_FALSE(header.fdwStatus & ACMSTREAMHEADER_STATUSF_DONE);
    EXPECT_EQ(convert(ACM_STREAMCONVERTF_START), 0u);
    EXPECT_TRUE(header.fdwStatus & ACMSTREAMHEADER_STATUSF_DONE);
    ASSERT_EQ(unprepare(), 0u);
    EXPECT_FALSE(header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
    EXPECT_EQ(convert(), ACMERR_UNPREPARED);
    EXPECT_EQ(unprepare(), ACMERR_UNPREPARED);
}

TEST_F(PreparedStream, UnpreparingNeedsThePreparedLengths) {
    ASSERT_EQ(prepare(), 0u);
    header.cbSrcLength = 100; // as the stage leaves it after a short last block
    EXPECT_EQ(convert(ACM_STREAMCONVERTF_END), 0u);
    EXPECT_EQ(unprepare(), MMSYSERR_INVALPARAM);
    EXPECT_TRUE(header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
    header.cbSrcLength = 16384;
    header.cbDstLength -= 4;
    EXPECT_EQ(unprepare(), MMSYSERR_INVALPARAM);
    header.cbDstLength += 4;
    EXPECT_EQ(unprepare(), 0u);
}

TEST_F(PreparedStream, HeaderChecks) {
    header.cbStruct = sizeof header - 1;
    EXPECT_EQ(prepare(), MMSYSERR_INVALPARAM);
    header.cbStruct = sizeof header;
    EXPECT_EQ(acm.acmStreamPrepareHeader(stream, &header, 1), MMSYSERR_INVALFLAG);
    EXPECT_EQ(acm.acmStreamPrepareHeader(stream, nullptr, 0), MMSYSERR_INVALPARAM);
    ASSERT_EQ(prepare(), 0u);
    EXPECT_EQ(convert(0x1), MMSYSERR_INVALFLAG);
    header.cbSrcLength = 16388; // more than it was prepared with
    EXPECT_EQ(convert(), MMSYSERR_INVALPARAM);
    header.cbSrcLength = 16384;
    std::vector<std::uint8_t> other(16384);
    header.pbSrc = other.data();
    EXPECT_EQ(convert(), MMSYSERR_INVALPARAM);
    header.pbSrc = src.data();
    EXPECT_EQ(acm.acmStreamUnprepareHeader(stream, &header, 2), MMSYSERR_INVALFLAG);
    EXPECT_EQ(acm.acmStreamReset(stream, 1), MMSYSERR_INVALFLAG);
    EXPECT_EQ(acm.acmStreamClose(stream, 1), MMSYSERR_INVALFLAG);
    EXPECT_EQ(convert(), 0u);
}

TEST_F(PreparedStream, AHeaderBelongsToTheStreamItWasPreparedOn) {
    ASSERT_EQ(prepare(), 0u);
    HACMSTREAM second = nullptr;
    ASSERT_EQ(acm.acmStreamOpen(&second, nullptr, &in, &kStereo44, nullptr, 0, 0, 0), 0u);
    EXPECT_EQ(acm.acmStreamConvert(second, &header, 0), ACMERR_UNPREPARED);
    EXPECT_EQ(acm.acmStreamUnprepareHeader(second, &header, 0), ACMERR_UNPREPARED);
    EXPECT_EQ(acm.openStreams(), 2u);
    EXPECT_EQ(acm.acmStreamClose(second, 0), 0u);
    EXPECT_EQ(acm.openStreams(), 1u);
}

TEST_F(PreparedStream, UnknownAndClosedHandlesAreInvalid) {
    ASSERT_EQ(prepare(), 0u);
    DWORD size = 0;
    // Never opened: the library must not look behind these.
    for (HACMSTREAM bogus : {HACMSTREAM{}, reinterpret_cast<HACMSTREAM>(std::uintptr_t{0x10}),
                             reinterpret_cast<HACMSTREAM>(&header)}) {
        EXPECT_EQ(acm.acmStreamSize(bogus, 16384, &size, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(acm.acmStreamPrepareHeader(bogus, &header, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(acm.acmStreamConvert(bogus, &header, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(acm.acmStreamUnprepareHeader(bogus, &header, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(acm.acmStreamReset(bogus, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(acm.acmStreamClose(bogus, 0), MMSYSERR_INVALHANDLE);
    }
    ASSERT_EQ(unprepare(), 0u);
    ASSERT_EQ(acm.acmStreamClose(stream, 0), 0u);
    EXPECT_EQ(acm.acmStreamClose(stream, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acm.acmStreamSize(stream, 16384, &size, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(prepare(), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(convert(), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acm.openStreams(), 0u);
}

TEST_F(PreparedStream, TakesOnlyWholeFramesAndReportsWhatItMade) {
    src = pcm::sine(in, 16384.0 / 4 / 48000, 1000, 0.5);
    header.pbSrc = src.data();
    ASSERT_EQ(prepare(), 0u);
    header.cbSrcLength = 4099; // 1024 frames and three bytes
    header.cbSrcLengthUsed = 4099;
    ASSERT_EQ(convert(ACM_STREAMCONVERTF_START), 0u);
    EXPECT_EQ(header.cbSrcLengthUsed, 4096u);
    EXPECT_EQ(header.cbDstLengthUsed % 4, 0u);
    EXPECT_GT(header.cbDstLengthUsed, 900u * 4);
    EXPECT_LE(header.cbDstLengthUsed, 941u * 4);

    header.cbSrcLength = 3; // not one frame
    ASSERT_EQ(convert(), 0u);
    EXPECT_EQ(header.cbSrcLengthUsed, 0u);
    EXPECT_EQ(header.cbDstLengthUsed, 0u);
}

TEST_F(PreparedStream, ASmallDestinationTakesLessSource) {
    src = pcm::sine(in, 16384.0 / 4 / 48000, 1000, 0.5);
    header.pbSrc = src.data();
    ASSERT_EQ(prepare(), 0u);
    header.cbDstLength = 400; // 100 frames
    ASSERT_EQ(convert(ACM_STREAMCONVERTF_START), 0u);
    EXPECT_LT(header.cbSrcLengthUsed, 16384u);
    EXPECT_GT(header.cbSrcLengthUsed, 0u);
    EXPECT_LE(header.cbDstLengthUsed, 400u);
    header.cbDstLength = outSize;
}

TEST_F(PreparedStream, StartAndResetBeginAfresh) {
    src = pcm::sine(in, 16384.0 / 4 / 48000, 1000, 0.5);
    header.pbSrc = src.data();
    ASSERT_EQ(prepare(), 0u);
    ASSERT_EQ(convert(ACM_STREAMCONVERTF_START), 0u);
    const std::vector<std::uint8_t> first(dst.begin(), dst.begin() + header.cbDstLengthUsed);
    ASSERT_EQ(convert(), 0u);
    const std::vector<std::uint8_t> second(dst.begin(), dst.begin() + header.cbDstLengthUsed);
    EXPECT_NE(first, second); // the stream went on

    ASSERT_EQ(convert(ACM_STREAMCONVERTF_START), 0u);
    EXPECT_EQ(std::vector<std::uint8_t>(dst.begin(), dst.begin() + header.cbDstLengthUsed), first);
    ASSERT_EQ(convert(), 0u);
    ASSERT_EQ(acm.acmStreamReset(stream, 0), 0u);
    ASSERT_EQ(convert(), 0u);
    EXPECT_EQ(std::vector<std::uint8_t>(dst.begin(), dst.begin() + header.cbDstLengthUsed), first);
}

TEST_F(PreparedStream, EndDrainsTheHeldFrames) {
    src = pcm::sine(in, 16384.0 / 4 / 48000, 1000, 0.5);
    header.pbSrc = src.data();
    ASSERT_EQ(prepare(), 0u);
    ASSERT_EQ(convert(ACM_STREAMCONVERTF_START), 0u);
    const DWORD held = header.cbDstLengthUsed;
    ASSERT_EQ(convert(ACM_STREAMCONVERTF_END | ACM_STREAMCONVERTF_START), 0u);
    // 4096 frames at 48000 Hz make 3763.2, rounded up, at 44100 Hz.
    EXPECT_EQ(header.cbDstLengthUsed, 3764u * 4);
    EXPECT_LT(held, header.cbDstLengthUsed);
    EXPECT_LE(header.cbDstLengthUsed, outSize);
}

} // namespace
