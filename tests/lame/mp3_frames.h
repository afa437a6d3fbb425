#pragma once

#include <QByteArray>

#include <string>
#include <vector>

// The MPEG audio frame headers of a file, read by the rules of ISO 11172-3 / 13818-3, so that
// tests judge what the encoder wrote without trusting a decoder's tolerance.
struct Mp3Frame {
    qsizetype offset = 0;
    int version = 0; // 10 for MPEG-1, 20 for MPEG-2, 25 for MPEG-2.5
    int layer = 0;
    bool crc = false;
    int bitrate = 0; // kbit/s
    int sampleRate = 0;
    bool padding = false;
    bool privateBit = false;
    int mode = 0; // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    bool copyright = false;
    bool original = false;
    int emphasis = 0;
    int length = 0;   // bytes, header included
    int sideInfo = 0; // bytes of side information after the header (and CRC)
};

struct Mp3Parse {
    std::vector<Mp3Frame> frames;
    std::string error; // empty when the whole file is frames, one after another
};

Mp3Parse parseMp3Frames(const QByteArray& bytes);
