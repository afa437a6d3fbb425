// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "common/exception.h"
#include "fakes/fake_lame.h"
#include "pipeline/encoder_stream.h"
#include "pipeline/output_file.h"
#include "platform/lame/mp3lame_library.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <sstream>

namespace {

TEST(EncoderStream, ConfigurationAsTheEncoderExpectsIt) {
    FakeLame lame;
    OutputFile file;
    ASSERT_TRUE(EncoderStream(lame, file).InitEncoderStream(22050, 64));
    BE_CONFIG expected;
    std::memset(&expected, 0, sizeof expected); // every field not named here stays zero
    expected.dwConfig = 256;
    expected.dwStructVersion = 1;
    expected.dwStructSize = 332;
    expected.dwSampleRate = 44100;
    expected.dwReSampleRate = 22050;
    expected.dwBitrate = expected.dwMaxBitrate = 64;
    expected.nPreset = 2;
    expected.dwMpegVersion = 1;
    expected.bCopyright = expected.bOriginal = -1;
    ASSERT_TRUE(lame.config);
    EXPECT_EQ(0, std::memcmp(&expected, &*lame.config, sizeof expected));
}

struct Fake {
    BE_ERR initResult = BE_ERR_SUCCESSFUL;
    std::uint32_t samplesPerChunk = 2304, bufferSize = 8640, encodeBytes = 0; // 0: samples / 8
    int failEncodeCall = 0;
    BE_ERR encodeError = BE_ERR_INVALID_FORMAT_PARAMETERS;
    const char* errorText = "";
    std::uint32_t flushBytes = 100;
    bool failFlush = false, failClose = false;
    const char* path = nullptr; // default: a fresh file
};

constexpr int Finish = -1;

// A run: open, then each op (a byte count to encode, or Finish), until the first error; then
// the stream is dropped and the file closed. `calls` abbreviates what follows beInitStream:
// E<samples> beEncodeChunk, D beDeinitStream, C beCloseStream.
TEST(EncoderStream, Runs) {
    const char *Enc = "Fehler beim MP3 Codieren", *Full = "input/output: Disk full",
               *Dev = "/dev/full";
    const std::uint32_t Big = 1 << 22;
    const struct {
        const char* name;
        Fake fake;
        std::vector<int> ops;
        const char* error;
        const char* calls;
        qsizetype bytes; // written, in the order produced
    } cases[] = {
        {"refused", {.initResult = BE_ERR_INVALID_FORMAT_PARAMETERS}, {}, "refused", "", 0},
        {"no room for a stereo frame", {.samplesPerChunk = 1}, {}, "refused", "C", 0},
        {"no output room", {.bufferSize = 0}, {}, "refused", "C", 0},
        {"0 bytes", {}, {0}, "", "E0 C", 0},
        {"odd byte dropped", {}, {7}, "", "E3 C", 0},
        {"split", {}, {16384}, "", "E2304 E2304 E2304 E1280 C", 1024},
        {"split in whole frames", {.samplesPerChunk = 1153}, {4620}, "", "E1152 E1152 E6 C", 288},
        {"whole run", {}, {4608, 16, Finish}, "", "E2304 E8 D C", 2304 / 8 + 1 + 100},
        {"flush of nothing", {.flushBytes = 0}, {Finish}, "", "D C", 0},
        {"encode fails", {.failEncodeCall = 2}, {400, 400}, Enc, "E200 E200 C", 25},
        {"out of memory",
         {.failEncodeCall = 1, .encodeError = BE_ERR_NO_MEMORY, .errorText = "ignored"},
         {8},
         "Fehler beim MP3 Codieren: Nicht genug Arbeitsspeicher für den MP3-Encoder.",
         "E4 C",
         0},
        {"fails with a reason",
         {.failEncodeCall = 1, .errorText = "kaputt"},
         {8},
         "Fehler beim MP3 Codieren: kaputt",
         "E4 C",
         0},
        {"fails within a split", {.failEncodeCall = 3}, {16384}, Enc, "E2304 E2304 E2304 C", 576},
        {"claims too much", {.bufferSize = 100, .encodeBytes = 101}, {8}, Enc, "E4 C", 0},
        {"flush fails", {.failFlush = true}, {128, Finish}, "Echec à la sortie", "E64 D C", 8},
        {"encode after finish", {}, {Finish, 8}, Enc, "D C", 100},
        {"failing close is not raised", {.failClose = true}, {8}, "", "E4 C", 0},
        // More than the file's buffer fails in the write; a little fails when the file closes.
        {"full in write",
         {.bufferSize = Big, .encodeBytes = Big, .path = Dev},
         {4},
         Full,
         "E2 C",
         -1},
        {"full at close", {.path = Dev}, {8, Finish}, Full, "E4 D C", -1},
    };
    QTemporaryDir dir;
    std::vector<std::int16_t> pcm(8192 * 2);
    std::iota(pcm.begin(), pcm.end(), std::int16_t(1));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = c.fake.path ? c.fake.path : dir.filePath(c.name);
        OutputFile file;
        if (!file.create(path))
            GTEST_SKIP() << "cannot create " << path.toStdString();
        FakeLame lame;
        lame.initResult = c.fake.initResult;
        lame.samplesPerChunk = c.fake.samplesPerChunk;
        lame.bufferSize = c.fake.bufferSize;
        if (const auto bytes = c.fake.encodeBytes)
            lame.encodeBytes = [bytes](std::uint32_t) { return bytes; };
        lame.failEncodeCall = c.fake.failEncodeCall;
        lame.encodeError = c.fake.encodeError;
        lame.errorText = c.fake.errorText;
        lame.flushBytes = c.fake.flushBytes;
        lame.deinitResult = c.fake.failFlush ? BE_ERR_INVALID_HANDLE : BE_ERR_SUCCESSFUL;
        lame.closeResult = c.fake.failClose ? BE_ERR_INVALID_HANDLE : BE_ERR_SUCCESSFUL;
        std::string error;
        try {
            auto stream = std::make_unique<EncoderStream>(lame, file);
            if (!stream->InitEncoderStream(44100, 128)) {
                error = "refused";
                EXPECT_FALSE(stream->Mp3Buffer);
            }
            for (std::size_t at = 0, i = 0; error.empty() && i < c.ops.size(); at += c.ops[i++] / 2)
                c.ops[i] == Finish ? stream->FinishEncoderStream()
                                   : stream->EncodeChunk(&pcm[at], std::uint32_t(c.ops[i]));
            stream.reset();
            file.close();
        } catch (const EInOutError& e) {
            error = std::string("input/output: ") + e.what();
        } catch (const Exception& e) {
            error = e.what();
        }
        if (c.bytes >= 0)
            file.close(); // a run that raised leaves it open
        EXPECT_EQ(c.error, error);
        std::string calls = "beInitStream(44100,128)";
        std::istringstream words(c.calls);
        for (std::string w; words >> w;)
            calls += w[0] == 'E' ? " beEncodeChunk(7," + w.substr(1) + ")"
                     : w == "D"  ? " beDeinitStream(7)"
                                 : " beCloseStream(7)";
        EXPECT_EQ(calls, lame.joined());
        // Every sample reached the encoder once, in order.
        EXPECT_TRUE(std::equal(lame.received.begin(), lame.received.end(), pcm.begin()));
        if (c.bytes >= 0) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            const auto produced = lame.produced();
            EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(produced.data()), c.bytes),
                      f.readAll());
        }
    }
}

} // namespace

namespace {

// LAME takes another bit rate where the chosen one does not exist at the chosen rate; the first
// frame written tells the stream's owner which one the file gets.
TEST(EncoderStream, TellsTheFirstFramesBitRateAndSampleRate) {
    const struct {
        std::uint32_t rate, bitRate;
        int gotBitRate;
    } cases[] = {{44100, 128, 128}, {48000, 8, 32}, {11025, 160, 64}, {44100, 144, 128}};
    QTemporaryDir dir;
    for (const auto& c : cases) {
        Mp3LameLibrary lame;
        OutputFile file;
        ASSERT_TRUE(file.create(dir.filePath("out.mp3")));
        EncoderStream stream(lame, file);
        std::vector<Mp3FrameHeader> told;
        stream.onFirstFrame = [&](const Mp3FrameHeader& header) { told.push_back(header); };
        ASSERT_TRUE(stream.InitEncoderStream(c.rate, c.bitRate));
        const std::vector<std::int16_t> silence(2 * 44100, 0);
        stream.EncodeChunk(silence.data(), static_cast<std::uint32_t>(silence.size() * 2));
        stream.FinishEncoderStream();
        ASSERT_EQ(told.size(), 1u) << c.rate << "/" << c.bitRate;
        EXPECT_EQ(told[0].bitRate, c.gotBitRate) << c.rate << "/" << c.bitRate;
        EXPECT_EQ(told[0].sampleRate, static_cast<int>(c.rate));
    }
}

} // namespace
