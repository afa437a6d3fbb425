// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "fakes/call_log.h"
#include "platform/mcl/mcl_library.h"

#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include <unistd.h>

// A codec library that records every call as text and plays sources from a script:
// each path is given the number of reads that return 0 before the one that ends it. A tapped
// writer sees each block as a 1 kHz stereo sine at 48000 Hz of the source's level; it writes
// nothing, and its flush tells the offset a file of those frames would have.
class FakeMcl : public MclLibrary, public CallLog {
public:
    struct Source {
        int fullReads = 0;         // reads that return 0 before the last one
        bool opens = true;         // false: the open fails, its first read fails
        bool failsReading = false; // the last read fails instead of ending the source
        bool silent = false;       // its reads deliver no sound at all
        double levelDb = -20;      // of the sine a tap sees, in dBFS
    };

    std::map<std::string, Source> sources;
    std::string errorText = "OK";
    int writeResult = 0;
    int closeResult = 0;         // of MclWriteClose
    bool setNameFails = false;   // MclAudioSetFileName cannot create the file
    double fullBlockSeconds = 2; // of sound a full read delivers
    double lastBlockSeconds = 1; // of sound the read that ends a source delivers
    // Every name given to MclAudioSetFileName, and the name of every file given to
    // MclAudioSetFileHandle.
    std::vector<std::string> fileNames;
    std::map<std::string, double> lengths; // what MclSourceSeconds tells; unknown otherwise
    std::int64_t framesWritten = 0;
    // Runs inside MclReadSound, after it was recorded: lets a test act during the job.
    std::function<void(int readNumber)> onRead;
    // Runs inside MclAudioSetFileName and MclAudioSetFileHandle: lets a test write the file the
    // library would write.
    std::function<void(const std::string& fileName)> onSetFileName;

    int MclTranslate(const char* text, const char* replacement) override {
        record("MclTranslate(" + std::string(text) + "," + replacement + ")");
        return 0;
    }
    int MclMpegInternalDecoder(int internal) override {
        record("MclMpegInternalDecoder(" + std::to_string(internal) + ")");
        return 0;
    }
    MclHandle MclCreate() override {
        record("MclCreate()");
        return 1;
    }
    int MclAudioSetFileName(MclHandle output, const char* fileName) override {
        record("MclAudioSetFileName(" + std::to_string(output) + "," + fileName + ")");
        fileNames.push_back(fileName);
        if (setNameFails)
            return failWith(MclError::InvalidOutput,
                            "\xdcng\xfcltiger Zieldateiname oder Zieldateiformat");
        if (onSetFileName)
            onSetFileName(fileName);
        return succeed();
    }
    int MclAudioSetFileHandle(MclHandle output, int descriptor) override {
        const std::string name = fileNameOf(descriptor);
        record("MclAudioSetFileHandle(" + std::to_string(output) + "," + name + ")");
        fileNames.push_back(name);
        tappedFrames = 0;
        if (setNameFails || descriptor < 0)
            return failWith(MclError::InvalidOutput,
                            "\xdcng\xfcltiger Zieldateiname oder Zieldateiformat");
        if (onSetFileName)
            onSetFileName(name);
        return succeed();
    }
    int MclAudioSetTap(MclHandle output, MclSoundTap soundTap, void* context) override {
        record("MclAudioSetTap(" + std::to_string(output) + "," + (soundTap ? "on" : "off") + ")");
        tap = soundTap;
        tapContext = context;
        return succeed();
    }
    std::int64_t MclWriteFlush(MclHandle output) override {
        record("MclWriteFlush(" + std::to_string(output) + ")");
        return 80 + tappedFrames * 4;
    }
    MclHandle MclSndCreate() override {
        record("MclSndCreate()");
        return 2;
    }
    MclHandle MclReadOpen(const char* path, int a, int b, int c) override {
        record("MclReadOpen(" + std::string(path) + "," + std::to_string(a) + "," +
               std::to_string(b) + "," + std::to_string(c) + ")");
        const auto it = sources.find(path);
        current = it == sources.end() ? Source{0, false} : it->second;
        readsDone = 0;
        inputOpen = true;
        errorText = current.opens
                        ? "OK"
                        : "Ung\xfcltige Quelldatei"; // Windows-1252, as the library gives it
        state = current.opens ? MclError::Ok : MclError::InvalidInput;
        return 10 + static_cast<MclHandle>(opened++);
    }
    const char* MclGetErrorStr() override {
        record("MclGetErrorStr()");
        return errorText.c_str();
    }
    // A query, not recorded: the call sequences stay those of the library's operations.
    MclError MclGetError() override { return state; }
    int MclReadSound(MclHandle input, std::int64_t position, std::int32_t count,
                     MclHandle sound) override {
        record("MclReadSound(" + std::to_string(input) + "," + std::to_string(position) + "," +
               std::to_string(count) + "," + std::to_string(sound) + ")");
        const int number = ++totalReads;
        const bool more = current.opens && readsDone++ < current.fullReads && !aborted;
        lastReadFull = more;
        if (onRead)
            onRead(number);
        if (more || !current.opens)
            return more ? 0 : 1;
        if (aborted)
            return failWith(MclError::Aborted, "Konvertierung abgebrochen");
        if (current.failsReading)
            return failWith(MclError::ReadFailed, "Fehler beim Lesen der Quelldatei");
        return 1;
    }
    double MclSourceSeconds(const char* path) override {
        const auto it = lengths.find(path);
        return it == lengths.end() ? -1 : it->second;
    }
    double MclSndSeconds(MclHandle) override {
        // A read that fails or was aborted delivers nothing.
        if (!current.opens || current.silent ||
            (!lastReadFull && (current.failsReading || aborted)))
            return 0;
        return lastReadFull ? fullBlockSeconds : lastBlockSeconds;
    }
    int MclWriteSound(MclHandle output, MclHandle sound) override {
        record("MclWriteSound(" + std::to_string(output) + "," + std::to_string(sound) + ")");
        if (writeResult != 0)
            failWith(MclError::WriteFailed, "Fehler beim Schreiben der Zieldatei");
        else {
            if (tap)
                playSine(MclSndSeconds(sound));
            framesWritten += static_cast<std::int64_t>(MclSndSeconds(sound) * 1000);
        }
        return writeResult;
    }
    // The file holds 1000 frames per second of what the reads deliver.
    std::int64_t MclAudioPosition(MclHandle output) override {
        record("MclAudioPosition(" + std::to_string(output) + ")");
        return framesWritten;
    }
    int MclAudioAddCue(MclHandle output, std::int64_t frame, const char* label) override {
        record("MclAudioAddCue(" + std::to_string(output) + "," + std::to_string(frame) + "," +
               label + ")");
        return succeed();
    }
    int MclReadClose(MclHandle input) override {
        record("MclReadClose(" + std::to_string(input) + ")");
        aborted = false;
        inputOpen = false;
        return 0;
    }
    int MclWriteClose(MclHandle output) override {
        record("MclWriteClose(" + std::to_string(output) + ")");
        if (closeResult != 0)
            failWith(MclError::WriteFailed, "Fehler beim Schreiben der Zieldatei");
        return closeResult;
    }
    int MclSndFree(MclHandle sound) override {
        record("MclSndFree(" + std::to_string(sound) + ")");
        return 0;
    }
    int MclFree(MclHandle output) override {
        record("MclFree(" + std::to_string(output) + ")");
        return 0;
    }
    int MclAbort(MclHandle handle) override {
        record("MclAbort(" + std::to_string(handle) + ")");
        // Only an open input is aborted; later ones are not affected.
        aborted = inputOpen;
        return 0;
    }

private:
    void playSine(double seconds) {
        constexpr int kRate = 48000;
        const auto frames = static_cast<std::int64_t>(seconds * kRate);
        const double amplitude = 32767 * std::pow(10.0, current.levelDb / 20);
        std::vector<std::int16_t> samples;
        for (std::int64_t i = 0; i < frames; ++i) {
            const double t = static_cast<double>(tappedFrames + i) / kRate;
            const auto value = static_cast<std::int16_t>(
                std::lround(amplitude * std::sin(2 * std::numbers::pi * 1000 * t)));
            samples.push_back(value);
            samples.push_back(value);
        }
        tappedFrames += frames;
        if (frames > 0)
            tap(tapContext, samples.data(), frames, kRate, 2);
    }
    static std::string fileNameOf(int descriptor) {
        if (descriptor < 0)
            return "<none>";
        char name[4096] = {};
        const std::string link = "/proc/self/fd/" + std::to_string(descriptor);
        const ssize_t length = ::readlink(link.c_str(), name, sizeof name - 1);
        return length > 0 ? std::string(name, static_cast<std::size_t>(length)) : "<closed>";
    }
    int failWith(MclError error, std::string text) {
        state = error;
        errorText = std::move(text);
        return -1;
    }
    int succeed() {
        state = MclError::Ok;
        errorText = "OK";
        return 0;
    }

    Source current;
    MclSoundTap tap = nullptr;
    void* tapContext = nullptr;
    std::int64_t tappedFrames = 0;
    bool lastReadFull = false;
    int readsDone = 0;
    int totalReads = 0;
    int opened = 0;
    bool aborted = false;
    bool inputOpen = false;
    MclError state = MclError::Ok;
};
