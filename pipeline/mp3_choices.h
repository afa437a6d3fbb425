// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <array>

// The MP3 output sample rates in Hz and bit rates in kbit/s that the window offers, in the order
// of its lists; the command-line tool accepts the same.
inline constexpr std::array<int, 7> kMp3SampleRates{48000, 44100, 32000, 24000,
                                                    22050, 16000, 11025};
inline constexpr std::array<int, 14> kMp3BitRates{8,  16, 24, 32,  40,  48,  56,
                                                  64, 80, 96, 112, 128, 144, 160};
inline constexpr int kDefaultSampleRate = 44100;
inline constexpr int kDefaultBitRate = 128;

// What the stage hands the encoder, whatever the source: 44100 Hz, 16-bit, stereo PCM.
inline constexpr int kEncoderInputRate = 44100;
inline constexpr int kEncoderInputChannels = 2;
inline constexpr int kEncoderInputBits = 16;
