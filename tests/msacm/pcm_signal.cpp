#include "pcm_signal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pcm {

WAVEFORMATEX format(int channels, int rate, int bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<std::uint16_t>(channels);
    f.nSamplesPerSec = static_cast<std::uint32_t>(rate);
    f.wBitsPerSample = static_cast<std::uint16_t>(bits);
    f.nBlockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    return f;
}

namespace {

void put(std::uint8_t* to, int bits, double value) {
    if (bits == 8) {
        *to = static_cast<std::uint8_t>(std::lround(std::clamp(value * 128, -128.0, 127.0)) + 128);
        return;
    }
    const double scale = std::ldexp(1.0, bits - 1);
    const auto v =
        static_cast<std::int64_t>(std::llround(std::clamp(value * scale, -scale, scale - 1)));
    for (int b = 0; b < bits / 8; ++b)
        to[b] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(v) >> (8 * b));
}

double get(const std::uint8_t* from, int bits) {
    if (bits == 8)
        return (from[0] - 128) / 128.0;
    std::uint64_t v = 0;
    for (int b = 0; b < bits / 8; ++b)
        v |= std::uint64_t{from[b]} << (8 * b);
    const int shift = 64 - bits;
    const auto value = static_cast<std::int64_t>(v << shift) >> shift;
    return static_cast<double>(value) / std::ldexp(1.0, bits - 1);
}

} // namespace

std::vector<std::uint8_t> sine(const WAVEFORMATEX& f, double seconds, double frequency, double peak,
                               const std::vector<bool>& active) {
    const auto frames = static_cast<std::size_t>(seconds * f.nSamplesPerSec);
    const int width = f.wBitsPerSample / 8;
    std::vector<std::uint8_t> data(frames * f.nBlockAlign);
    for (std::size_t i = 0; i < frames; ++i) {
        const double v = peak * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) /
                                         f.nSamplesPerSec);
        for (int c = 0; c < f.nChannels; ++c) {
            const bool on = active.empty() || active[c];
            put(&data[i * f.nBlockAlign + c * width], f.wBitsPerSample, on ? v : 0.0);
        }
    }
    return data;
}

std::vector<double> channel(const std::vector<std::uint8_t>& data, const WAVEFORMATEX& f, int c) {
    const std::size_t frames = data.size() / f.nBlockAlign;
    const int width = f.wBitsPerSample / 8;
    std::vector<double> out(frames);
    for (std::size_t i = 0; i < frames; ++i)
        out[i] = get(&data[i * f.nBlockAlign + c * width], f.wBitsPerSample);
    return out;
}

std::vector<std::uint8_t> convertLikeTheStage(TACMConvertor& convertor,
                                              const std::vector<std::uint8_t>& data,
                                              std::uint32_t blockFrames) {
    const std::uint32_t align = convertor.ACMFormatIn.header.nBlockAlign;
    const auto size = static_cast<std::uint32_t>(data.size());
    // One block that is also the last needs a buffer longer than the data.
    convertor.SetInputBufferSize(blockFrames ? align * blockFrames : size + align);
    convertor.SetActive(true);
    AcmLibrary& acm = convertor.library();
    ACMSTREAMHEADER& header = convertor.StreamHeader;
    std::vector<std::uint8_t> out;
    std::int64_t remaining = size;
    std::size_t position = 0;
    bool first = true;
    while (remaining > 0) {
        std::uint32_t length = convertor.InputBufferSize();
        bool last = false;
        if (remaining < length) {
            length = static_cast<std::uint32_t>(remaining);
            last = true;
        }
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(position), length,
                    convertor.InputBuffer.get());
        position += length;
        remaining -= length;
        header.cbSrcLength = header.cbSrcLengthUsed = length;
        const DWORD flags = last ? ACM_STREAMCONVERTF_END : first ? ACM_STREAMCONVERTF_START : 0;
        convertor.CheckAcmResult("acmStreamConvert:",
                                 acm.acmStreamConvert(convertor.StreamHandle, &header, flags));
        if (header.cbSrcLengthUsed != length && header.cbSrcLengthUsed != 0) {
            position -= length - header.cbSrcLengthUsed;
            remaining += length - header.cbSrcLengthUsed;
        }
        out.insert(out.end(), convertor.OutputBuffer.get(),
                   convertor.OutputBuffer.get() + header.cbDstLengthUsed);
        first = false;
    }
    header.cbSrcLength = convertor.InputBufferSize();
    convertor.CheckAcmResult("acmStreamReset", acm.acmStreamReset(convertor.StreamHandle, 0));
    convertor.SetActive(false);
    return out;
}

SineFit fitSine(const std::vector<double>& signal, int rate, double frequency) {
    // Least squares on sin, cos and an offset, by the normal equations.
    double m[3][4] = {};
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const double w = 2 * std::numbers::pi * frequency * static_cast<double>(i) / rate;
        const double basis[3] = {std::sin(w), std::cos(w), 1.0};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c)
                m[r][c] += basis[r] * basis[c];
            m[r][3] += basis[r] * signal[i];
        }
    }
    for (int p = 0; p < 3; ++p) {
        for (int r = 0; r < 3; ++r) {
            if (r == p)
                continue;
            const double k = m[r][p] / m[p][p];
            for (int c = 0; c < 4; ++c)
                m[r][c] -= k * m[p][c];
        }
    }
    const double a = m[0][3] / m[0][0], b = m[1][3] / m[1][1], offset = m[2][3] / m[2][2];
    double signalEnergy = 0, noiseEnergy = 0;
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const double w = 2 * std::numbers::pi * frequency * static_cast<double>(i) / rate;
        const double fitted = a * std::sin(w) + b * std::cos(w);
        signalEnergy += fitted * fitted;
        const double rest = signal[i] - fitted - offset;
        noiseEnergy += rest * rest;
    }
    return {std::hypot(a, b), 10 * std::log10(signalEnergy / std::max(noiseEnergy, 1e-300))};
}

double db(double ratio) {
    return 20 * std::log10(ratio);
}

} // namespace pcm
