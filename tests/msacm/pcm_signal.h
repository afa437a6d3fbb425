#pragma once

#include "acm/ACMConvertor.h"
#include "platform/msacm/msacm.h"

#include <cstdint>
#include <vector>

// Signals in wave formats, and conversions of them run the way the transcoding stage runs them.
namespace pcm {

WAVEFORMATEX format(int channels, int rate, int bits);

// A sine of `frequency` Hz at `peak` (fraction of full scale) in the channels flagged in
// `active` (all when empty), silence elsewhere, as little-endian bytes of `f`.
std::vector<std::uint8_t> sine(const WAVEFORMATEX& f, double seconds, double frequency, double peak,
                               const std::vector<bool>& active = {});

// One channel of interleaved bytes of `f`, as doubles in -1..1.
std::vector<double> channel(const std::vector<std::uint8_t>& data, const WAVEFORMATEX& f, int c);

// Converts `data` through `convertor` block by block, 4096 source frames a block: the start
// flag on the first, the end flag on the last, untaken bytes read again; then resets and
// deactivates. `blockFrames` 0 converts the whole signal as a single last block.
std::vector<std::uint8_t> convertLikeTheStage(TACMConvertor& convertor,
                                              const std::vector<std::uint8_t>& data,
                                              std::uint32_t blockFrames = 4096);

// Amplitude and signal-to-noise-and-distortion ratio (dB) of a sine of `frequency` fitted by
// least squares (with an offset) to `signal`.
struct SineFit {
    double amplitude = 0;
    double sinadDb = 0;
};
SineFit fitSine(const std::vector<double>& signal, int rate, double frequency);

double db(double ratio);

} // namespace pcm
