#include "acm/ACMConvertor.h"
#include "fakes/fake_acm.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

using ::testing::ElementsAre;

namespace {

const std::string kDefaultFormat = "1/1/22050/22050/1/8/129";
const std::string kHeaderSize = std::to_string(sizeof(ACMSTREAMHEADER));

std::string openCall(DWORD flags) {
    return "acmStreamOpen(null," + kDefaultFormat + "," + kDefaultFormat + ",null,0,0," +
           std::to_string(flags) + ")";
}
const std::string kSize = "acmStreamSize(h,2048,0)";
const std::string kPrepare = "acmStreamPrepareHeader(h," + kHeaderSize + ",2048,8192,0)";
const std::string kUnprepare = "acmStreamUnprepareHeader(h," + kHeaderSize + ",2048,8192,0)";
const std::string kClose = "acmStreamClose(h,0)";

// The message EACMConvertor carries when `action` raises it; empty when nothing is raised.
template <typename Action> std::string messageOf(Action action) {
    try {
        action();
    } catch (const EACMConvertor& error) {
        return error.what();
    }
    return {};
}

class ConvertorTest : public ::testing::Test {
protected:
    FakeAcm acm;
    TACMConvertor convertor{acm};
};

TEST_F(ConvertorTest, FreshComponentHasTheDefaultsAndIsInactive) {
    EXPECT_FALSE(convertor.Active());
    EXPECT_EQ(convertor.InputBufferSize(), 2048u);
    EXPECT_FALSE(convertor.UseRealTime());
    EXPECT_EQ(convertor.StreamHandle, nullptr);
    for (const AudioFormatRecord* record : {&convertor.ACMFormatIn, &convertor.ACMFormatOut}) {
        EXPECT_EQ(FakeAcm::format(&record->header), kDefaultFormat);
        for (std::uint8_t byte : record->extra)
            EXPECT_EQ(byte, 0);
    }
    convertor.SetActive(false);
    EXPECT_TRUE(acm.calls.empty());
}

TEST_F(ConvertorTest, ActivationOpensSizesAndPreparesOnce) {
    convertor.SetActive(true);
    convertor.SetActive(true);
    EXPECT_TRUE(convertor.Active());
    EXPECT_THAT(acm.calls, ElementsAre(openCall(ACM_STREAMOPENF_NONREALTIME), kSize, kPrepare));
    EXPECT_EQ(convertor.StreamHandle, FakeAcm::handle());
}

TEST_F(ConvertorTest, RealTimeOpensWithoutFlags) {
    convertor.SetUseRealTime(true);
    convertor.SetActive(true);
    EXPECT_THAT(acm.callsStartingWith("acmStreamOpen"), ElementsAre(openCall(0)));
}

TEST_F(ConvertorTest, PreparedHeaderPointsAtTheBuffers) {
    for (DWORD i = 0; i < 10; ++i)
        convertor.StreamHeader.dwReservedDriver[i] = 0xA0 + i;
    convertor.StreamHeader.fdwStatus = 0xFF;
    convertor.StreamHeader.dwUser = 7;
    convertor.StreamHeader.cbDstLengthUsed = 9;
    convertor.SetActive(true);

    const ACMSTREAMHEADER& h = acm.preparedHeader;
    EXPECT_EQ(h.cbStruct, sizeof(ACMSTREAMHEADER));
    EXPECT_EQ(h.fdwStatus, 0u);
    EXPECT_EQ(h.dwUser, 0u);
    EXPECT_EQ(h.pbSrc, convertor.InputBuffer.get());
    EXPECT_EQ(h.cbSrcLength, 2048u);
    EXPECT_EQ(h.cbSrcLengthUsed, 0u);
    EXPECT_EQ(h.dwSrcUser, 0u);
    EXPECT_EQ(h.pbDst, convertor.OutputBuffer.get());
    EXPECT_EQ(h.cbDstLength, 8192u);
    EXPECT_EQ(h.cbDstLengthUsed, 0u);
    EXPECT_EQ(h.dwDstUser, 0u);
    for (DWORD i = 0; i < 10; ++i)
        EXPECT_EQ(h.dwReservedDriver[i], 0xA0 + i) << "reserved word " << i;
}

TEST_F(ConvertorTest, BuffersHaveTheRequestedAndTheReportedSize) {
    acm.reportedSize = 5003;
    convertor.SetActive(true);
    EXPECT_EQ(convertor.OutputBufferSize, 5003u);
    // The sanitizer build catches a buffer shorter than its stated size here.
    std::memset(convertor.InputBuffer.get(), 1, 2048);
    std::memset(convertor.OutputBuffer.get(), 2, 5003);
    EXPECT_EQ(convertor.InputBuffer[2047], 1);
    EXPECT_EQ(convertor.OutputBuffer[5002], 2);
}

TEST_F(ConvertorTest, DeactivationUnpreparesClosesAndReleases) {
    convertor.SetActive(true);
    acm.calls.clear();
    convertor.SetActive(false);
    convertor.SetActive(false);
    EXPECT_FALSE(convertor.Active());
    EXPECT_THAT(acm.calls, ElementsAre(kUnprepare, kClose));
    EXPECT_EQ(convertor.InputBuffer, nullptr);
    EXPECT_EQ(convertor.OutputBuffer, nullptr);
}

// A failing call of activation: its message, the calls made, and that nothing stays behind.
struct OpenFailure {
    const char* call;
    MMRESULT code;
    const char* message;
    std::vector<std::string> calls;
};

class OpenFailureTest : public ::testing::TestWithParam<OpenFailure> {};

TEST_P(OpenFailureTest, LeavesTheComponentInactiveAndTheStreamClosed) {
    const OpenFailure& f = GetParam();
    FakeAcm acm;
    TACMConvertor convertor(acm);
    acm.failWith(f.call, f.code);
    EXPECT_EQ(messageOf([&] { convertor.SetActive(true); }), f.message);
    EXPECT_FALSE(convertor.Active());
    EXPECT_EQ(acm.calls, f.calls);
    EXPECT_EQ(convertor.InputBuffer, nullptr);
    EXPECT_EQ(convertor.OutputBuffer, nullptr);

    // Nothing is half open: once the fault is gone the next activation starts from the top.
    acm.failures.clear();
    acm.calls.clear();
    convertor.SetActive(true);
    EXPECT_THAT(acm.calls, ElementsAre(openCall(4), kSize, kPrepare));
}

INSTANTIATE_TEST_SUITE_P(
    Calls, OpenFailureTest,
    ::testing::Values(OpenFailure{"acmStreamOpen",
                                  MMSYSERR_INVALPARAM,
                                  "acmStreamOpen: At least one parameter is invalid.",
                                  {openCall(4)}},
                      OpenFailure{"acmStreamOpen",
                                  ACMERR_NOTPOSSIBLE,
                                  "acmStreamOpen: The requested operation cannot be performed.",
                                  {openCall(4)}},
                      OpenFailure{"acmStreamSize",
                                  MMSYSERR_INVALHANDLE,
                                  "acmStreamSize: The specified handle is invalid.",
                                  {openCall(4), kSize, kClose}},
                      OpenFailure{
                          "acmStreamPrepareHeader",
                          MMSYSERR_NOMEM,
                          "acmStreamPrepareHeader: The system is unable to allocate resources.",
                          {openCall(4), kSize, kPrepare, kClose}}));

struct CloseFailure {
    const char* call;
    MMRESULT code;
    const char* message;
};

class CloseFailureTest : public ::testing::TestWithParam<CloseFailure> {};

TEST_P(CloseFailureTest, KeepsTheComponentActiveAndRetriesFromTheFirstStep) {
    const CloseFailure& f = GetParam();
    FakeAcm acm;
    TACMConvertor convertor(acm);
    convertor.SetActive(true);
    acm.calls.clear();
    acm.failWith(f.call, f.code);
    EXPECT_EQ(messageOf([&] { convertor.SetActive(false); }), f.message);
    EXPECT_TRUE(convertor.Active());
    EXPECT_NE(convertor.InputBuffer, nullptr);
    EXPECT_NE(convertor.OutputBuffer, nullptr);

    acm.failures.clear();
    acm.calls.clear();
    convertor.SetActive(false);
    EXPECT_FALSE(convertor.Active());
    EXPECT_THAT(acm.calls, ElementsAre(kUnprepare, kClose));
}

INSTANTIATE_TEST_SUITE_P(
    Calls, CloseFailureTest,
    ::testing::Values(
        CloseFailure{"acmStreamUnprepareHeader", ACMERR_UNPREPARED,
                     "acmStreamUnPrepareHeader: Cannot perform this action on a header that has "
                     "not been prepared."},
        CloseFailure{"acmStreamUnprepareHeader", MMSYSERR_INVALPARAM,
                     "acmStreamUnPrepareHeader: At least one parameter is invalid."},
        CloseFailure{"acmStreamClose", ACMERR_BUSY,
                     "acmStreamClose: The conversion stream is already in use."}));

TEST_F(ConvertorTest, SettersRefuseWhileActiveAndKeepTheirValue) {
    convertor.SetActive(true);
    EXPECT_EQ(messageOf([&] { convertor.SetInputBufferSize(4096); }),
              "You cannot change the buffer size while active.");
    EXPECT_EQ(messageOf([&] { convertor.SetUseRealTime(true); }),
              "You cannot change the real time flag while active.");
    EXPECT_EQ(convertor.InputBufferSize(), 2048u);
    EXPECT_FALSE(convertor.UseRealTime());

    convertor.SetActive(false);
    convertor.SetInputBufferSize(4096);
    convertor.SetUseRealTime(true);
    EXPECT_EQ(convertor.InputBufferSize(), 4096u);
    EXPECT_TRUE(convertor.UseRealTime());
}

TEST_F(ConvertorTest, BufferSizeHasNoRangeCheck) {
    convertor.SetInputBufferSize(0);
    convertor.SetActive(true);
    EXPECT_THAT(acm.callsStartingWith("acmStreamSize"), ElementsAre("acmStreamSize(h,0,0)"));
    EXPECT_EQ(convertor.StreamHeader.cbSrcLength, 0u);
}

struct ResultText {
    const char* prefix;
    MMRESULT code;
    const char* message;
};

class CheckAcmResultTest : public ::testing::TestWithParam<ResultText> {};

TEST_P(CheckAcmResultTest, RaisesThePrefixedText) {
    FakeAcm acm;
    const TACMConvertor convertor(acm);
    const ResultText& r = GetParam();
    EXPECT_EQ(messageOf([&] { convertor.CheckAcmResult(r.prefix, r.code); }), r.message);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, CheckAcmResultTest,
    ::testing::Values(
        ResultText{"acmStreamOpen:", 0, ""}, ResultText{"", 0, ""},
        ResultText{"acmStreamOpen:", 5, "acmStreamOpen: The specified handle is invalid."},
        ResultText{"x", 6,
                   "x A suitable driver is not available to provide valid format selections."},
        ResultText{"x", 7, "x The system is unable to allocate resources."},
        ResultText{"x", 10, "x At least one flag is invalid."},
        ResultText{"acmStreamOpen:", 11, "acmStreamOpen: At least one parameter is invalid."},
        ResultText{"x", 512, "x The requested operation cannot be performed."},
        ResultText{"x", 513, "x The conversion stream is already in use."},
        ResultText{"acmStreamReset", 514,
                   "acmStreamReset Cannot perform this action on a header that has not been "
                   "prepared."},
        ResultText{"acmStreamConvert:", 515,
                   "acmStreamConvert: raised an unknown error (code #515)"},
        ResultText{"p", 1, "p raised an unknown error (code #1)"},
        ResultText{"p", 0xFFFFFFFFu, "p raised an unknown error (code #-1)"}));

// Non-PCM formats carry cbSize extra bytes, which must fit the 111 the slot has after its header.
struct SlotCase {
    bool input;
    std::uint16_t tag;
    std::uint16_t cbSize;
    bool refused;
};

class SlotTest : public ::testing::TestWithParam<SlotCase> {};

TEST_P(SlotTest, ExtraDataBeyondTheSlotIsRefusedBeforeAnyCall) {
    const SlotCase& c = GetParam();
    FakeAcm acm;
    TACMConvertor convertor(acm);
    AudioFormatRecord& record = c.input ? convertor.ACMFormatIn : convertor.ACMFormatOut;
    record.header.wFormatTag = c.tag;
    record.header.cbSize = c.cbSize;
    const std::string message = messageOf([&] { convertor.SetActive(true); });
    if (c.refused) {
        EXPECT_NE(message.find(c.input ? "ACMFormatIn" : "ACMFormatOut"), std::string::npos)
            << message;
        EXPECT_TRUE(acm.calls.empty());
        EXPECT_FALSE(convertor.Active());
    } else {
        EXPECT_EQ(message, "");
        EXPECT_TRUE(convertor.Active());
    }
}

INSTANTIATE_TEST_SUITE_P(Records, SlotTest,
                         ::testing::Values(SlotCase{true, 2, 112, true},
                                           SlotCase{false, 0x55, 129, true},
                                           SlotCase{true, 2, 111, false},
                                           SlotCase{false, 0x55, 32, false},
                                           SlotCase{true, WAVE_FORMAT_PCM, 129, false},
                                           SlotCase{false, WAVE_FORMAT_PCM, 0xFFFF, false}));

TEST(ConvertorDestruction, DeactivatesFirst) {
    FakeAcm acm;
    {
        TACMConvertor convertor(acm);
        convertor.SetActive(true);
        acm.calls.clear();
    }
    EXPECT_THAT(acm.calls, ElementsAre(kUnprepare, kClose));
}

TEST(ConvertorDestruction, DropsAFailureButStillClosesTheStream) {
    for (const char* failing : {"acmStreamUnprepareHeader", "acmStreamClose"}) {
        FakeAcm acm;
        auto convertor = std::make_unique<TACMConvertor>(acm);
        convertor->SetActive(true);
        acm.calls.clear();
        acm.failWith(failing, ACMERR_BUSY);
        EXPECT_NO_THROW(convertor.reset()) << failing;
        EXPECT_EQ(acm.callsStartingWith("acmStreamClose").size(),
                  std::string(failing) == "acmStreamClose" ? 2u : 1u)
            << failing;
    }
}

TEST(ConvertorDestruction, InactiveComponentMakesNoCall) {
    FakeAcm acm;
    { TACMConvertor convertor(acm); }
    EXPECT_TRUE(acm.calls.empty());
}

} // namespace
