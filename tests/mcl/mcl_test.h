// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "platform/mcl/ffmpeg_mcl.h"
#include "support/media.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

// Media made with the ffmpeg tool, three seconds each, made when a test first asks for it.
enum class Fixture {
    AacMp4,       // 48 kHz stereo AAC, 440 Hz; its name has umlauts
    Mp3Avi,       // 44.1 kHz mono MP3, 1000 Hz
    Mp2Mpg,       // MPEG program stream, 48 kHz stereo MP2, 700 Hz
    Ac3Vob,       // 48 kHz 5.1 AC3: FL 300, FR 500, FC 700, LFE 60, SL 900, SR 1100 Hz
    PcmAvi,       // 48 kHz stereo 16-bit PCM, 550 Hz: exactly 144000 frames
    NoAudio,      // a video without sound
    Empty,        // zero bytes
    TextAvi,      // a text file named .avi
    TruncatedMp4, // the first 60 % of an AAC MP4 whose index comes first
    ChangingMp2,  // MP2 stream: 2 s 48 kHz stereo 700 Hz, then 2 s 44.1 kHz mono 1000 Hz
    PcmWav,       // WAV file, 48 kHz stereo 16-bit, 550 Hz
};

// A source read the way the conversion job reads it: the code and frame count of every read.
struct Decoded {
    std::vector<int> codes;
    std::vector<std::int64_t> frames;
    media::Pcm pcm;
};

class MclTest : public ::testing::Test {
public:
    static std::string path(Fixture fixture);
    static std::string file(const char* name) { return dir->filePath(name).toStdString(); }

protected:
    static void SetUpTestSuite() { dir = new QTemporaryDir; }
    static void TearDownTestSuite() {
        delete dir;
        made.clear();
    }

    Decoded readAll(const std::string& source, int count = 100000);

    static QTemporaryDir* dir;
    static std::map<Fixture, std::string> made;
    FfmpegMcl mcl;
};

QByteArray readFile(const std::string& path);
bool writeFile(const QString& path, const QByteArray& bytes);

// The window's German for an English text of the library, in Windows-1252 as the library
// gives it back once applyMclTranslations has run.
std::string german(const char* english);
