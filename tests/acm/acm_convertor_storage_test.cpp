#include "acm/ACMConvertor.h"
#include "fakes/fake_acm.h"

#include <gtest/gtest.h>

#include <QtEndian>

#include <cctype>
#include <cstring>

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

std::vector<std::uint8_t> bytes(const AudioFormatRecord& record) {
    std::vector<std::uint8_t> out(kFormatSlotSize);
    std::memcpy(out.data(), &record, kFormatSlotSize);
    return out;
}

AudioFormatRecord patterned(std::uint8_t seed) {
    AudioFormatRecord record;
    auto* raw = reinterpret_cast<std::uint8_t*>(&record);
    for (int i = 0; i < kFormatSlotSize; ++i)
        raw[i] = static_cast<std::uint8_t>(seed + 7 * i);
    return record;
}

TEST(FormatStorage, WritesCountThenTheWholeRecord) {
    const AudioFormatRecord record = patterned(3);
    const QByteArray data = TACMConvertor::writeFormat(record);
    ASSERT_EQ(data.size(), 133);
    EXPECT_EQ(data.left(4), hex("81000000"));
    EXPECT_EQ(std::memcmp(data.constData() + 4, &record, kFormatSlotSize), 0);
}

TEST(FormatStorage, StoredPropertiesRoundTripByteForByte) {
    FakeAcm acm;
    TACMConvertor source(acm);
    source.ACMFormatIn = patterned(1);
    source.ACMFormatOut = patterned(90);
    source.SetInputBufferSize(16384);
    const ACMConvertorProperties stored = source.storeProperties();
    EXPECT_EQ(stored.InputBufferSize, 16384u);
    EXPECT_FALSE(stored.UseRealTime.has_value()); // stored only when true
    EXPECT_EQ(stored.ACMFormatIn.size(), 133);
    EXPECT_EQ(stored.ACMFormatOut.size(), 133);

    TACMConvertor copy(acm);
    copy.loadProperties(stored);
    EXPECT_EQ(bytes(copy.ACMFormatIn), bytes(source.ACMFormatIn));
    EXPECT_EQ(bytes(copy.ACMFormatOut), bytes(source.ACMFormatOut));
    EXPECT_EQ(copy.InputBufferSize(), 16384u);
    EXPECT_FALSE(copy.UseRealTime());

    source.SetUseRealTime(true);
    const ACMConvertorProperties realTime = source.storeProperties();
    ASSERT_TRUE(realTime.UseRealTime.has_value());
    TACMConvertor third(acm);
    third.loadProperties(realTime);
    EXPECT_TRUE(third.UseRealTime());
}

// Stored data the slot cannot take is refused and leaves the record as it was; shorter counts
// fill the record from its first byte only.
struct StoredCase {
    const char* name;
    QByteArray data;
    bool refused;
    int bytesRead;
};

class ReadFormatTest : public ::testing::TestWithParam<StoredCase> {};

TEST_P(ReadFormatTest, ReadsOnlyWhatFits) {
    const StoredCase& c = GetParam();
    const AudioFormatRecord before = patterned(50);
    AudioFormatRecord record = before;
    bool thrown = false;
    try {
        TACMConvertor::readFormat(c.data, record);
    } catch (const EACMConvertor&) {
        thrown = true;
    }
    EXPECT_EQ(thrown, c.refused);
    std::vector<std::uint8_t> expected = bytes(before);
    if (!c.refused)
        std::memcpy(expected.data(), c.data.constData() + 4, c.bytesRead);
    EXPECT_EQ(bytes(record), expected);
}

QByteArray stored(std::uint32_t count, int dataBytes, char fill = '\x11') {
    QByteArray data(4, '\0');
    qToLittleEndian(count, data.data());
    data.append(dataBytes, fill);
    return data;
}

INSTANTIATE_TEST_SUITE_P(
    Data, ReadFormatTest,
    ::testing::Values(StoredCase{"whole", stored(129, 129), false, 129},
                      StoredCase{"header only", stored(18, 18), false, 18},
                      StoredCase{"count zero", stored(0, 0), false, 0},
                      StoredCase{"trailing bytes ignored", stored(18, 40), false, 18},
                      StoredCase{"count above the slot", stored(130, 130), true, 0},
                      StoredCase{"huge count", stored(0xFFFFFFFFu, 129), true, 0},
                      StoredCase{"shorter than its count", stored(129, 100), true, 0},
                      StoredCase{"no count", QByteArray("\x81\x00", 2), true, 0}),
    [](const auto& testCase) {
        std::string name = testCase.param.name;
        for (char& c : name)
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(WavToWav, StoredDescriptionHasTheFixedBytes) {
    const ACMConvertorProperties d = wavToWavDescription();
    EXPECT_EQ(d.InputBufferSize, 2048u);
    EXPECT_FALSE(d.UseRealTime.has_value());
    ASSERT_EQ(d.ACMFormatIn.size(), 133);
    ASSERT_EQ(d.ACMFormatOut.size(), 133);
    EXPECT_EQ(d.ACMFormatIn.left(22), hex("81000000010001002256000022560000010008008100"));
    EXPECT_EQ(d.ACMFormatOut.left(22), hex("81000000010002002256000088580100040010008100"));
    EXPECT_EQ(d.ACMFormatIn.mid(22), QByteArray(111, '\0'));
    EXPECT_EQ(d.ACMFormatOut.mid(22), QByteArray(111, '\0'));
}

TEST(WavToWav, LoadingGivesMono8BitInAndStereo16BitOut) {
    FakeAcm acm;
    TACMConvertor wavtowav(acm);
    wavtowav.SetInputBufferSize(77);
    wavtowav.ACMFormatIn.extra[5] = 9; // overwritten: the stored records are whole
    loadWavToWavDescription(wavtowav);
    EXPECT_EQ(FakeAcm::format(&wavtowav.ACMFormatIn.header), "1/1/22050/22050/1/8/129");
    EXPECT_EQ(FakeAcm::format(&wavtowav.ACMFormatOut.header), "1/2/22050/88200/4/16/129");
    EXPECT_EQ(wavtowav.ACMFormatIn.extra[5], 0);
    EXPECT_EQ(wavtowav.InputBufferSize(), 2048u);
    EXPECT_FALSE(wavtowav.UseRealTime());
    EXPECT_FALSE(wavtowav.Active());
    EXPECT_TRUE(acm.calls.empty());
    // What it stores again is what it was loaded from.
    const ACMConvertorProperties again = wavtowav.storeProperties();
    EXPECT_EQ(again.ACMFormatIn, wavToWavDescription().ACMFormatIn);
    EXPECT_EQ(again.ACMFormatOut, wavToWavDescription().ACMFormatOut);
}

TEST(WavToWav, LoadingGoesThroughTheSetter) {
    FakeAcm acm;
    TACMConvertor wavtowav(acm);
    wavtowav.SetActive(true);
    EXPECT_THROW(loadWavToWavDescription(wavtowav), EACMConvertor);
}

} // namespace
