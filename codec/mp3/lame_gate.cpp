// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "codec/mp3/lame_gate.h"

LameGate::Encoding::Encoding(LameGate& gate_) : gate(gate_) {
    std::unique_lock lock(gate.mutex);
    gate.changed.wait(lock, [&] { return !gate.initialising && gate.initWaiting == 0; });
    ++gate.encoding;
}

LameGate::Encoding::~Encoding() {
    const std::lock_guard lock(gate.mutex);
    if (--gate.encoding == 0)
        gate.changed.notify_all();
}

LameGate::Initialising::Initialising(LameGate& gate_) : gate(gate_) {
    std::unique_lock lock(gate.mutex);
    ++gate.initWaiting;
    gate.changed.wait(lock, [&] { return !gate.initialising && gate.encoding == 0; });
    --gate.initWaiting;
    gate.initialising = true;
}

LameGate::Initialising::~Initialising() {
    const std::lock_guard lock(gate.mutex);
    gate.initialising = false;
    gate.changed.notify_all();
}
