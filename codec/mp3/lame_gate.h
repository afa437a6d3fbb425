// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include <condition_variable>
#include <mutex>

// libmp3lame fills tables shared by all contexts (powers, Huffman tables) each time it
// initialises one, while other contexts read them as they encode. So a context is made only
// while no encoder passing the same gate is encoding; one waiting to be made holds new encoding
// back. Everything that makes or runs LAME contexts side by side passes one gate.
class LameGate {
public:
    // Held while a context encodes or flushes.
    class Encoding {
    public:
        explicit Encoding(LameGate& gate);
        ~Encoding();
        Encoding(const Encoding&) = delete;
        Encoding& operator=(const Encoding&) = delete;

    private:
        LameGate& gate;
    };
    // Held while a context is made and its parameters initialised.
    class Initialising {
    public:
        explicit Initialising(LameGate& gate);
        ~Initialising();
        Initialising(const Initialising&) = delete;
        Initialising& operator=(const Initialising&) = delete;

    private:
        LameGate& gate;
    };

private:
    std::mutex mutex;
    std::condition_variable changed;
    int encoding = 0;
    int initWaiting = 0;
    bool initialising = false;
};
