// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "platform/mcl/wav_cues.h"

namespace {

class ChunkBytes {
public:
    explicit ChunkBytes(std::vector<char>& target) : bytes(target) {}
    void text(const char* four) { bytes.insert(bytes.end(), four, four + 4); }
    void number(std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
    }
    void raw(const std::string& data) { bytes.insert(bytes.end(), data.begin(), data.end()); }
    void zero() { bytes.push_back('\0'); }

private:
    std::vector<char>& bytes;
};

// The size a labl chunk states: the cue point's name and the text with its terminating zero. An
// odd size is followed by a pad byte, as every chunk's.
std::uint32_t labelSize(const WavCue& cue) {
    return static_cast<std::uint32_t>(4 + cue.label.size() + 1);
}

} // namespace

std::vector<char> wavCueChunks(const std::vector<WavCue>& cues) {
    std::vector<char> bytes;
    if (cues.empty())
        return bytes;
    ChunkBytes out(bytes);
    out.text("cue ");
    out.number(static_cast<std::uint32_t>(4 + 24 * cues.size()));
    out.number(static_cast<std::uint32_t>(cues.size()));
    for (std::size_t i = 0; i < cues.size(); ++i) {
        out.number(static_cast<std::uint32_t>(i + 1)); // the point's name, which labl refers to
        out.number(cues[i].frame);                     // its place in playing order
        out.text("data");                              // the chunk it lies in
        out.number(0);                                 // that chunk's start: the only one
        out.number(0);                                 // the block start within uncompressed data
        out.number(cues[i].frame);                     // its frame within the data chunk
    }
    std::uint32_t listSize = 4;
    for (const WavCue& cue : cues)
        listSize += 8 + labelSize(cue) + (labelSize(cue) & 1);
    out.text("LIST");
    out.number(listSize);
    out.text("adtl");
    for (std::size_t i = 0; i < cues.size(); ++i) {
        out.text("labl");
        out.number(labelSize(cues[i]));
        out.number(static_cast<std::uint32_t>(i + 1));
        out.raw(cues[i].label);
        out.zero();
        if (labelSize(cues[i]) & 1)
            out.zero();
    }
    return bytes;
}
