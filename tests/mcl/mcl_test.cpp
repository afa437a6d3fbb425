// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "mcl_test.h"

#include "common/cp1252.h"
#include "pipeline/mcl_translations.h"

#include <QFile>

#include <string_view>

QTemporaryDir* MclTest::dir = nullptr;
std::map<Fixture, std::string> MclTest::made;

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

namespace {

// Each fixture's file name and, for a video with one sine, its frequency and audio options.
const std::pair<const char*, const char*> recipes[] = {
    {"Tonspur äöüß.mp4", "440 -c:a aac -ar 48000 -ac 2 -movflags +faststart"},
    {"mp3.avi", "1000 -c:a libmp3lame -ar 44100 -ac 1"},
    {"mp2.mpg", "700 -c:a mp2 -ar 48000 -ac 2"},
    {"ac3.vob", nullptr},
    {"pcm.avi", "550 -c:a pcm_s16le -ar 48000 -ac 2"},
    {"mute.avi", "440 -an"},
    {"empty.avi", nullptr},
    {"text.avi", nullptr},
    {"truncated.mp4", nullptr},
    {"changing.mp2", nullptr},
    {"pcm.wav", "550 -c:a pcm_s16le -ar 48000 -ac 2"}};

bool make(Fixture fixture, const QString& path) {
    const auto ffmpeg = [&](const QString& args) {
        return media::runFfmpeg(args.split(' ') << path);
    };
    const QString video = "-f lavfi -i testsrc=size=64x48:rate=25:duration=3";
    if (const char* sine = recipes[int(fixture)].second)
        return ffmpeg(video + " -f lavfi -i sine=r=48000:d=3:f=" + sine);
    switch (fixture) {
    case Fixture::Ac3Vob: {
        QString args = video;
        for (int f : {300, 500, 700, 60, 900, 1100})
            args += QStringLiteral(" -f lavfi -i sine=f=%1:d=3:r=48000").arg(f);
        return ffmpeg(args + " -filter_complex [1][2][3][4][5][6]join=inputs=6:channel_layout="
                             "5.1(side):map=0.0-FL|1.0-FR|2.0-FC|3.0-LFE|4.0-SL|5.0-SR[a] -map 0:v "
                             "-map [a] -c:v mpeg2video -c:a ac3 -b:a 448k -f vob");
    }
    case Fixture::Empty:
        return writeFile(path, {});
    case Fixture::TextAvi:
        return writeFile(path, "Only a text with a video's name.\n");
    case Fixture::TruncatedMp4: { // the AAC MP4 has its index first
        const QByteArray whole = readFile(MclTest::path(Fixture::AacMp4));
        return !whole.isEmpty() && writeFile(path, whole.left(whole.size() * 6 / 10));
    }
    case Fixture::ChangingMp2: {
        QByteArray both;
        for (const char* part : {"700:r=48000 -ac 2", "1000:r=44100 -ac 1"}) {
            if (!media::runFfmpeg(
                    QStringLiteral("-f lavfi -i sine=d=2:f=%1 -c:a mp2 -f mp2").arg(part).split(' ')
                    << path + ".part"))
                return false;
            both += readFile((path + ".part").toStdString());
        }
        return writeFile(path, both);
    }
    default:
        return false;
    }
}

} // namespace

QByteArray readFile(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::string MclTest::path(Fixture fixture) {
    auto& name = made[fixture];
    if (name.empty()) {
        name = file(recipes[int(fixture)].first);
        EXPECT_TRUE(make(fixture, QString::fromStdString(name))) << name;
    }
    return name;
}

Decoded MclTest::readAll(const std::string& source, int count) {
    Decoded d;
    const MclHandle sound = mcl.MclSndCreate();
    const MclHandle input = mcl.MclReadOpen(source.c_str(), 0, 0, 0);
    int code = 0;
    for (std::int64_t position = 0; code == 0 && d.codes.size() < 1000; position += count) {
        code = mcl.MclReadSound(input, position, count, sound);
        const SoundBlock& block = *mcl.soundBlock(sound);
        d.codes.push_back(code);
        d.frames.push_back(block.frames());
        d.pcm.rate = block.rate;
        d.pcm.channels = block.channels;
        d.pcm.samples.insert(d.pcm.samples.end(), block.samples.begin(), block.samples.end());
    }
    mcl.MclReadClose(input);
    mcl.MclSndFree(sound);
    return d;
}

std::string german(const char* english) {
    for (const MclTranslation& t : kMclTranslations)
        if (std::string_view(t.text) == english)
            return toCp1252(QString::fromUtf8(t.replacement)).toStdString();
    ADD_FAILURE() << "no German for " << english;
    return {};
}
