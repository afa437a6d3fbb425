// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "codec/mp3/be_config.h"

#include <memory>

struct lame_global_struct;

// One libmp3lame encoder context, closed with the library's own function.
struct LameCloser {
    void operator()(lame_global_struct* gf) const;
};
using LamePtr = std::unique_ptr<lame_global_struct, LameCloser>;

// Applies `config` (see Mp3LameLibrary) to a new context and initialises its parameters; false
// when the encoder cannot take it. `channels` receives the input channel count.
bool configureLame(lame_global_struct* gf, const BE_CONFIG& config, int& channels);

// LAME's documented worst case for one call of `frames` samples per channel.
std::uint32_t lameWorstCaseBytes(std::uint32_t frames);
