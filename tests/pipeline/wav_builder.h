// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>

// Writes hand-made WAV files for the stage: a 18-byte "fmt " body and a "data" chunk whose
// stated size may differ from the bytes that follow it.
struct WavSpec {
    std::uint16_t tag = 1;
    std::uint16_t channels = 2;
    std::uint32_t rate = 44100;
    std::uint16_t bits = 16;
    std::uint32_t dataBytes = 0;
    std::int64_t statedSize = -1; // -1: dataBytes
};

inline QByteArray wavBytes(const WavSpec& spec) {
    QByteArray out;
    auto u16 = [&](std::uint32_t v) { out.append(char(v & 0xff)).append(char(v >> 8 & 0xff)); };
    auto u32 = [&](std::uint32_t v) {
        u16(v & 0xffff);
        u16(v >> 16);
    };
    const std::uint16_t align = static_cast<std::uint16_t>(spec.channels * spec.bits / 8);
    out.append("RIFF");
    u32(38 + spec.dataBytes);
    out.append("WAVEfmt ");
    u32(18);
    u16(spec.tag);
    u16(spec.channels);
    u32(spec.rate);
    u32(spec.rate * align);
    u16(align);
    u16(spec.bits);
    u16(0);
    out.append("data");
    u32(spec.statedSize < 0 ? spec.dataBytes : static_cast<std::uint32_t>(spec.statedSize));
    // Every byte tells its own position, so a test can see which bytes a block holds.
    for (std::uint32_t i = 0; i < spec.dataBytes; ++i)
        out.append(char(i % 251));
    return out;
}

inline bool writeWav(const QString& path, const WavSpec& spec) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(wavBytes(spec)) >= 0;
}

// The data offset of files made by wavBytes.
inline constexpr int kWavDataOffset = 46;
