// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "acm/ACMConvertor.h"
#include "fakes/fake_acm.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QtEndian>

#include <cstring>
#include <memory>

using ::testing::ElementsAre;

namespace {

const std::string kFormat = "1/1/22050/22050/1/8/129";
const std::string kLengths = std::to_string(sizeof(ACMSTREAMHEADER)) + ",2048,8192,0)";
std::string openCall(int flags) {
    return "acmStreamOpen(null," + kFormat + "," + kFormat + ",null,0,0," + std::to_string(flags) +
           ")";
}
const std::string kOpen = openCall(ACM_STREAMOPENF_NONREALTIME);
const std::string kSize = "acmStreamSize(h,2048,0)";
const std::string kPrepare = "acmStreamPrepareHeader(h," + kLengths;
const std::string kUnprepare = "acmStreamUnprepareHeader(h," + kLengths;
const std::string kClose = "acmStreamClose(h,0)";
const std::vector<std::string> kActivation = {kOpen, kSize, kPrepare};
const std::vector<std::string> kDeactivation = {kUnprepare, kClose};

// The message EACMConvertor carries when `action` raises it; empty when nothing is raised.
template <typename Action> std::string messageOf(Action action) {
    try {
        action();
    } catch (const EACMConvertor& error) {
        return error.what();
    }
    return {};
}

std::vector<std::uint8_t> bytes(const AudioFormatRecord& record) {
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&record);
    return {raw, raw + kFormatSlotSize};
}

AudioFormatRecord patterned(std::uint8_t seed) {
    AudioFormatRecord record;
    auto* raw = reinterpret_cast<std::uint8_t*>(&record);
    for (int i = 0; i < kFormatSlotSize; ++i)
        raw[i] = static_cast<std::uint8_t>(seed + 7 * i);
    return record;
}

struct ConvertorTest : ::testing::Test {
    FakeAcm acm;
    TACMConvertor convertor{acm};
};

TEST(ConvertorActivation, OpensAndClosesOnceWithTheFlagsOfUseRealTime) {
    for (const bool realTime : {false, true}) {
        FakeAcm acm;
        auto convertor = std::make_unique<TACMConvertor>(acm);
        EXPECT_EQ(convertor->InputBufferSize(), 2048u);
        convertor->SetActive(false); // a fresh component is inactive
        EXPECT_TRUE(acm.calls.empty());
        convertor->SetUseRealTime(realTime);
        convertor->SetActive(true);
        convertor->SetActive(true);
        EXPECT_TRUE(convertor->Active());
        EXPECT_THAT(acm.calls, ElementsAre(openCall(realTime ? 0 : 4), kSize, kPrepare));

        acm.calls.clear();
        if (realTime) {
            convertor.reset(); // destruction deactivates
        } else {
            convertor->SetActive(false);
            convertor->SetActive(false);
            EXPECT_FALSE(convertor->Active());
            EXPECT_EQ(convertor->InputBuffer, nullptr);
            EXPECT_EQ(convertor->OutputBuffer, nullptr);
        }
        EXPECT_EQ(acm.calls, kDeactivation);
    }
}

TEST_F(ConvertorTest, PreparesAHeaderOverBuffersOfTheAskedAndTheReportedSize) {
    convertor.StreamHeader.dwReservedDriver[9] = 0xA9; // the driver's: left alone
    convertor.StreamHeader.fdwStatus = convertor.StreamHeader.cbDstLengthUsed = 9;
    convertor.StreamHeader.dwUser = convertor.StreamHeader.dwSrcUser = 9;
    acm.reportedSize = 5003;
    convertor.SetActive(true);
    const ACMSTREAMHEADER& h = acm.preparedHeader;
    EXPECT_EQ(h.cbStruct, sizeof(ACMSTREAMHEADER));
    EXPECT_EQ(h.fdwStatus + h.dwUser + h.cbSrcLengthUsed + h.dwSrcUser + h.cbDstLengthUsed +
                  h.dwDstUser,
              0u);
    EXPECT_EQ(h.pbSrc, convertor.InputBuffer.get());
    EXPECT_EQ(h.cbSrcLength, 2048u);
    EXPECT_EQ(h.pbDst, convertor.OutputBuffer.get());
    EXPECT_EQ(h.cbDstLength, 5003u);
    EXPECT_EQ(convertor.OutputBufferSize, 5003u);
    EXPECT_EQ(h.dwReservedDriver[9], 0xA9u);
    // The sanitizer build catches a buffer shorter than its stated size here.
    std::memset(convertor.InputBuffer.get(), 1, 2048);
    std::memset(convertor.OutputBuffer.get(), 2, 5003);
}

// A failing call: its message, the calls made up to it, and what is left. Activation leaves
// nothing open; deactivation stays active. Once the fault is gone, the next attempt starts from
// its first step.
TEST(ConvertorFailure, ReportsAndLeavesNothingHalfDone) {
    struct Row {
        const char* call;
        MMRESULT code;
        const char* message;
        std::vector<std::string> calls;
    };
    // clang-format off
    const Row table[] = {
        {"acmStreamOpen", 512, "acmStreamOpen: The requested operation cannot be performed.",
         {kOpen}},
        {"acmStreamSize", 5, "acmStreamSize: The specified handle is invalid.",
         {kOpen, kSize, kClose}},
        {"acmStreamPrepareHeader", 7,
         "acmStreamPrepareHeader: The system is unable to allocate resources.",
         {kOpen, kSize, kPrepare, kClose}}, // buffers released and stream closed as well
        {"acmStreamUnprepareHeader", 514, "acmStreamUnPrepareHeader: Cannot perform this action "
         "on a header that has not been prepared.", {kUnprepare}},
        {"acmStreamClose", 513, "acmStreamClose: The conversion stream is already in use.",
         {kUnprepare, kClose}}};
    // clang-format on
    for (const Row& r : table) {
        SCOPED_TRACE(r.call);
        FakeAcm acm;
        auto convertor = std::make_unique<TACMConvertor>(acm);
        const bool closing = r.calls.front() == kUnprepare;
        convertor->SetActive(closing);
        acm.calls.clear();
        acm.failWith(r.call, r.code);
        EXPECT_EQ(messageOf([&] { convertor->SetActive(!closing); }), r.message);
        EXPECT_EQ(acm.calls, r.calls);
        EXPECT_EQ(convertor->Active(), closing);
        EXPECT_EQ(convertor->InputBuffer != nullptr, closing);
        EXPECT_EQ(convertor->OutputBuffer != nullptr, closing);

        acm.failures.clear();
        acm.calls.clear();
        convertor->SetActive(!closing);
        EXPECT_EQ(acm.calls, closing ? kDeactivation : kActivation);
        if (!closing)
            continue;
        // Destruction cannot report a failure, but must neither throw nor leave the stream open.
        convertor->SetActive(true);
        acm.failWith(r.call, r.code);
        acm.calls.clear();
        EXPECT_NO_THROW(convertor.reset());
        EXPECT_EQ(acm.calls.back(), kClose);
    }
}

TEST_F(ConvertorTest, SettersRefuseWhileActiveAndKeepTheirValue) {
    convertor.SetActive(true);
    EXPECT_EQ(messageOf([&] { convertor.SetInputBufferSize(4096); }),
              "You cannot change the buffer size while active.");
    EXPECT_EQ(messageOf([&] { convertor.SetUseRealTime(true); }),
              "You cannot change the real time flag while active.");
    EXPECT_THROW(loadWavToWavDescription(convertor), EACMConvertor);
    EXPECT_EQ(convertor.InputBufferSize(), 2048u);
    EXPECT_FALSE(convertor.UseRealTime());

    convertor.SetActive(false);
    convertor.SetInputBufferSize(4096);
    convertor.SetUseRealTime(true);
    EXPECT_EQ(convertor.InputBufferSize(), 4096u);
    EXPECT_TRUE(convertor.UseRealTime());
}

TEST_F(ConvertorTest, CheckAcmResultRaisesThePrefixedTextOfTheCode) {
    const std::pair<MMRESULT, std::string> table[] = {
        {0, ""},
        {5, "p The specified handle is invalid."},
        {6, "p A suitable driver is not available to provide valid format selections."},
        {7, "p The system is unable to allocate resources."},
        {10, "p At least one flag is invalid."},
        {11, "p At least one parameter is invalid."},
        {512, "p The requested operation cannot be performed."},
        {513, "p The conversion stream is already in use."},
        {514, "p Cannot perform this action on a header that has not been prepared."},
        {515, "p raised an unknown error (code #515)"},
        {0xFFFFFFFFu, "p raised an unknown error (code #-1)"}};
    for (const auto& [code, message] : table)
        EXPECT_EQ(messageOf([&] { convertor.CheckAcmResult("p", code); }), message) << code;
}

TEST(ConvertorSlot, NonPcmExtraDataBeyond111BytesIsRefusedBeforeAnyCall) {
    struct Row {
        bool input;
        std::uint16_t tag, cbSize;
        bool refused;
    };
    for (const Row& r : {Row{true, 2, 112, true}, Row{false, 0x55, 129, true},
                         Row{true, 2, 111, false}, Row{false, WAVE_FORMAT_PCM, 0xFFFF, false}}) {
        FakeAcm acm;
        TACMConvertor convertor(acm);
        WAVEFORMATEX& header = (r.input ? convertor.ACMFormatIn : convertor.ACMFormatOut).header;
        header.wFormatTag = r.tag;
        header.cbSize = r.cbSize;
        const std::string message = messageOf([&] { convertor.SetActive(true); });
        EXPECT_EQ(message.find(r.input ? "ACMFormatIn" : "ACMFormatOut") != std::string::npos,
                  r.refused)
            << message;
        EXPECT_EQ(acm.calls.empty(), r.refused);
        EXPECT_EQ(convertor.Active(), !r.refused);
    }
}

TEST(ConvertorStorage, RefusesWhatTheSlotCannotTakeAndKeepsTheRecord) {
    const auto stored = [](std::uint32_t count, int dataBytes) {
        QByteArray data(4, '\0');
        qToLittleEndian(count, data.data());
        return data.append(dataBytes, '\x11');
    };
    // Shorter counts fill the record from its first byte only.
    const std::pair<QByteArray, int> table[] = {
        {stored(129, 129), 129},  {stored(18, 40), 18},           {stored(0, 0), 0},
        {stored(130, 130), -1},   {stored(0xFFFFFFFFu, 129), -1}, {stored(129, 100), -1},
        {QByteArray(3, '\0'), -1}};
    for (const auto& [data, read] : table) {
        AudioFormatRecord record = patterned(50);
        std::vector<std::uint8_t> expected = bytes(record);
        if (read > 0)
            std::memset(expected.data(), 0x11, read);
        EXPECT_EQ(messageOf([&] { TACMConvertor::readFormat(data, record); }).empty(), read >= 0)
            << data.toHex().left(8).constData();
        EXPECT_EQ(bytes(record), expected) << data.toHex().left(8).constData();
    }
}

TEST(ConvertorStorage, WavToWavAndAnyRecordsRoundTripByteForByte) {
    const ACMConvertorProperties d = wavToWavDescription();
    EXPECT_EQ(d.InputBufferSize, 2048u);
    EXPECT_FALSE(d.UseRealTime.has_value());
    EXPECT_EQ(d.ACMFormatIn, QByteArray::fromHex("81000000010001002256000022560000010008008100") +
                                 QByteArray(111, '\0'));
    EXPECT_EQ(d.ACMFormatOut, QByteArray::fromHex("81000000010002002256000088580100040010008100") +
                                  QByteArray(111, '\0'));

    FakeAcm acm;
    TACMConvertor wavtowav(acm);
    wavtowav.SetInputBufferSize(77);
    wavtowav.ACMFormatIn.extra[5] = 9; // overwritten: the stored records are whole
    loadWavToWavDescription(wavtowav);
    EXPECT_EQ(wavtowav.InputBufferSize(), 2048u);
    // Stored again as it was loaded: the count of 129 and the whole record.
    EXPECT_EQ(wavtowav.storeProperties().ACMFormatIn, d.ACMFormatIn);
    EXPECT_EQ(wavtowav.storeProperties().ACMFormatOut, d.ACMFormatOut);
    EXPECT_TRUE(acm.calls.empty());

    wavtowav.ACMFormatIn = patterned(1);
    wavtowav.ACMFormatOut = patterned(90);
    for (const bool realTime : {false, true}) {
        wavtowav.SetUseRealTime(realTime);
        const ACMConvertorProperties stored = wavtowav.storeProperties();
        EXPECT_EQ(stored.UseRealTime.has_value(), realTime); // stored only when true
        TACMConvertor copy(acm);
        copy.loadProperties(stored);
        EXPECT_EQ(bytes(copy.ACMFormatIn), bytes(wavtowav.ACMFormatIn));
        EXPECT_EQ(bytes(copy.ACMFormatOut), bytes(wavtowav.ACMFormatOut));
        EXPECT_EQ(copy.UseRealTime(), realTime);
    }
}

} // namespace
