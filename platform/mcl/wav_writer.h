#pragma once

#include "platform/mcl/sound_block.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SampleConverter;

// Writes one canonical 16-bit PCM WAV file (44-byte header) at a time. The first non-empty
// block fixes the file's rate and channel count; blocks of another format are converted to it.
class WavWriter {
public:
    // The file never passes 4 GiB, so its 32-bit RIFF size (the file's size less 8) always fits.
    static constexpr std::uint64_t kMaxDataBytes = (std::uint64_t{1} << 32) - 44;

    explicit WavWriter(std::uint64_t maxDataBytes = kMaxDataBytes);
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates (or empties) the file. False when it cannot be created.
    bool open(const std::string& fileName);
    bool isOpen() const { return fd >= 0; }
    // False when the block cannot be written, or when it would take the file past its limit
    // (then nothing of it is written, so the file stays valid).
    bool write(const SoundBlock& block);
    // Completes the header and closes the file; a file without sound is an empty 44100 Hz
    // stereo WAV. False when something could not be written.
    bool close();

private:
    bool appendConverted(const SoundBlock& block);
    bool append(const std::int16_t* samples, std::size_t count);
    bool flushConverter();
    bool flushBuffer();
    bool writeAll(const char* data, std::size_t size);

    std::uint64_t maxDataBytes;
    int fd = -1;
    bool failed = false;
    bool full = false;
    int rate = 0;
    int channels = 0;
    std::uint64_t dataBytes = 0;
    std::vector<char> buffer;
    // Converts blocks of one foreign format; kept while that format goes on.
    std::unique_ptr<SampleConverter> converter;
    std::vector<std::int16_t> converted;
};
