#include "pcm_signal.h"
#include "platform/msacm/swr_acm.h"

#include <gtest/gtest.h>

namespace {

// The component on the real conversion layer, the way the window and the stage use it.
TEST(ConvertorOnSwr, MainWindowDefaultsActivateAndConvert) {
    SwrAcmLibrary acm;
    TACMConvertor wavtowav(acm);
    loadWavToWavDescription(wavtowav);
    wavtowav.SetActive(true);
    EXPECT_EQ(acm.openStreams(), 1u);
    // Same rate, mono 8-bit to stereo 16-bit: 2048 frames in, 2048 out.
    const auto data = pcm::sine(wavtowav.ACMFormatIn.header, 2048.0 / 22050, 500, 0.5);
    std::copy(data.begin(), data.end(), wavtowav.InputBuffer.get());
    ACMSTREAMHEADER& h = wavtowav.StreamHeader;
    h.cbSrcLength = h.cbSrcLengthUsed = 2048;
    wavtowav.CheckAcmResult("acmStreamConvert:", acm.acmStreamConvert(wavtowav.StreamHandle, &h,
                                                                      ACM_STREAMCONVERTF_END));
    EXPECT_EQ(h.cbSrcLengthUsed, 2048u);
    EXPECT_EQ(h.cbDstLengthUsed, 2048u * 4);
    EXPECT_LE(h.cbDstLengthUsed, wavtowav.OutputBufferSize);
    wavtowav.SetActive(false);
    EXPECT_EQ(acm.openStreams(), 0u);
}

TEST(ConvertorOnSwr, StageSettingsGiveAboutThe44100HzShareOfEachBlock) {
    SwrAcmLibrary acm;
    TACMConvertor wavtowav(acm);
    loadWavToWavDescription(wavtowav);
    wavtowav.ACMFormatIn.header = pcm::format(2, 48000, 16);
    wavtowav.ACMFormatOut.header = pcm::format(2, 44100, 16);
    wavtowav.SetInputBufferSize(wavtowav.ACMFormatIn.header.nBlockAlign << 12);
    EXPECT_EQ(wavtowav.InputBufferSize(), 16384u);
    wavtowav.SetActive(true);
    ACMSTREAMHEADER& h = wavtowav.StreamHeader;
    const auto data = pcm::sine(wavtowav.ACMFormatIn.header, 4096.0 * 3 / 48000, 1000, 0.5);
    for (int block = 0; block < 3; ++block) {
        std::copy_n(data.begin() + block * 16384, 16384, wavtowav.InputBuffer.get());
        h.cbSrcLength = h.cbSrcLengthUsed = 16384;
        ASSERT_EQ(acm.acmStreamConvert(wavtowav.StreamHandle, &h,
                                       block == 0 ? ACM_STREAMCONVERTF_START : 0),
                  0u);
        EXPECT_EQ(h.cbSrcLengthUsed, 16384u);
        EXPECT_NEAR(h.cbDstLengthUsed / 4.0, 3763.2, block == 0 ? 40 : 1);
    }
    ASSERT_EQ(acm.acmStreamReset(wavtowav.StreamHandle, 0), 0u);
    wavtowav.SetActive(false);
}

TEST(ConvertorOnSwr, NonPcmSourceFailsAtOpenWithTheMessage) {
    SwrAcmLibrary acm;
    TACMConvertor wavtowav(acm);
    wavtowav.ACMFormatIn.header.wFormatTag = 0x55;
    wavtowav.ACMFormatIn.header.cbSize = 12;
    wavtowav.ACMFormatOut.header = wavtowav.ACMFormatIn.header; // the stage keeps the tag
    try {
        wavtowav.SetActive(true);
        FAIL() << "activation succeeded";
    } catch (const EACMConvertor& error) {
        EXPECT_STREQ(error.what(), "acmStreamOpen: The requested operation cannot be performed.");
    }
    EXPECT_FALSE(wavtowav.Active());
    EXPECT_EQ(acm.openStreams(), 0u);
}

} // namespace
