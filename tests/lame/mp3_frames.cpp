#include "mp3_frames.h"

namespace {

// Layer III bit rates in kbit/s by index; index 0 (free format) and 15 are not valid here.
constexpr int Mpeg1Rates[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                112, 128, 160, 192, 224, 256, 320, 0};
constexpr int Mpeg2Rates[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr int SampleRates[3] = {44100, 48000, 32000};

} // namespace

Mp3Parse parseMp3Frames(const QByteArray& bytes) {
    Mp3Parse out;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const auto error = [&](const std::string& what) {
            out.error = what + " at byte " + std::to_string(at);
            return out;
        };
        if (bytes.size() - at < 4)
            return error("truncated header");
        const auto* h = reinterpret_cast<const unsigned char*>(bytes.constData() + at);
        if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
            return error("no frame sync");
        Mp3Frame f;
        f.offset = at;
        switch ((h[1] >> 3) & 3) {
        case 3:
            f.version = 10;
            break;
        case 2:
            f.version = 20;
            break;
        case 0:
            f.version = 25;
            break;
        default:
            return error("reserved version");
        }
        f.layer = 4 - ((h[1] >> 1) & 3);
        if (f.layer == 4)
            return error("reserved layer");
        f.crc = (h[1] & 1) == 0;
        const int bitrateIndex = h[2] >> 4;
        const int rateIndex = (h[2] >> 2) & 3;
        if (rateIndex == 3)
            return error("reserved sample rate");
        f.bitrate = f.version == 10 ? Mpeg1Rates[bitrateIndex] : Mpeg2Rates[bitrateIndex];
        if (f.bitrate == 0)
            return error("free or bad bit rate");
        f.sampleRate = SampleRates[rateIndex] / (f.version == 10 ? 1 : f.version == 20 ? 2 : 4);
        f.padding = (h[2] >> 1) & 1;
        f.privateBit = h[2] & 1;
        f.mode = h[3] >> 6;
        f.copyright = (h[3] >> 3) & 1;
        f.original = (h[3] >> 2) & 1;
        f.emphasis = h[3] & 3;
        if (f.layer != 3)
            return error("not layer III");
        const int perFrame = f.version == 10 ? 144000 : 72000;
        f.length = perFrame * f.bitrate / f.sampleRate + (f.padding ? 1 : 0);
        const bool mono = f.mode == 3;
        f.sideInfo = f.version == 10 ? (mono ? 17 : 32) : (mono ? 9 : 17);
        if (bytes.size() - at < f.length)
            return error("truncated frame");
        out.frames.push_back(f);
        at += f.length;
    }
    return out;
}
