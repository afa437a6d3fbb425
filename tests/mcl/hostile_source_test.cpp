// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "mcl_test.h"

#include "platform/mcl/source_interrupt.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Enters a new folder for the test's relative names, and leaves and removes it afterwards (Qt
// cannot remove names that are not UTF-8).
struct InFolder {
    explicit InFolder(fs::path name) : folder(std::move(name)), previous(fs::current_path()) {
        fs::create_directories(folder);
        fs::current_path(folder);
    }
    ~InFolder() {
        fs::current_path(previous);
        fs::remove_all(folder);
    }
    fs::path folder, previous;
};

// Names FFmpeg would take for protocols or refuse as text, each a copy of the MP2 program
// stream; "x.mpg", which the protocols would open instead, holds other sound, and neither a
// list nor a playlist reaches it.
TEST_F(MclTest, LocalNamesOpenTheFileOfThatNameWhateverItLooksLike) {
    const Decoded reference = readAll(path(Fixture::Mp2Mpg));
    ASSERT_EQ(reference.pcm.rate, 48000);
    const InFolder folder(file("names"));
    fs::copy_file(path(Fixture::Mp3Avi), "x.mpg");
    for (const std::string name :
         {"12:30.mpg", "file:x.mpg", "concat:x.mpg", "pipe:0.mpg", "\xC4rger \xFC.mpg"}) {
        SCOPED_TRACE(name);
        fs::copy_file(path(Fixture::Mp2Mpg), name);
        const Decoded d = readAll(name);
        EXPECT_STREQ(mcl.MclGetErrorStr(), "OK");
        EXPECT_EQ(d.pcm.rate, 48000);
        EXPECT_EQ(d.pcm.samples, reference.pcm.samples);
        EXPECT_NEAR(mcl.MclSourceSeconds(name.c_str()), 3.0, 0.1);
    }
    // A concatenation list or a playlist naming x.mpg is no source of its own.
    for (const auto& [name, list] :
         {std::pair{"list.mpg", "ffconcat version 1.0\nfile x.mpg\n"},
          {"list.m3u8", "#EXTM3U\n#EXT-X-TARGETDURATION:3\n#EXTINF:3,\nx.mpg\n#EXT-X-ENDLIST\n"}}) {
        ASSERT_TRUE(writeFile(name, list));
        mcl.MclReadOpen(name, 0, 0, 0);
        EXPECT_EQ(mcl.MclGetError(), MclError::InvalidInput) << name;
    }
}

// The length comes from the container; asking for it leaves the library's state and the open
// inputs as they were.
TEST_F(MclTest, SourceSecondsComeFromTheContainerAndChangeNothing) {
    const MclHandle sound = mcl.MclSndCreate();
    const MclHandle input = mcl.MclReadOpen(path(Fixture::PcmAvi).c_str(), 0, 0, 0);
    mcl.MclReadSound(input, 0, 1000, 4711); // leaves an error state behind
    for (const Fixture f :
         {Fixture::AacMp4, Fixture::Mp3Avi, Fixture::Ac3Vob, Fixture::NoAudio, Fixture::TextAvi}) {
        const bool known = f != Fixture::NoAudio && f != Fixture::TextAvi;
        EXPECT_NEAR(mcl.MclSourceSeconds(path(f).c_str()), known ? 3.0 : -1.0, 0.1) << path(f);
        EXPECT_EQ(mcl.MclGetError(), MclError::NoSoundHandle);
    }
    EXPECT_EQ(mcl.MclReadSound(input, 0, 1000, sound), 0);
    EXPECT_EQ(mcl.soundBlock(sound)->frames(), 1000);
}

// A FIFO whose writer the test holds: opened read-write, it never blocks, and the reader sees a
// writer from the start. It buffers a megabyte: a whole WAV fixture, and more than the open of a
// WAV stream reads ahead (some 300 kB). Closing `writer` ends the stream.
struct Fifo {
    explicit Fifo(const std::string& name) : path(name) {
        EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
        // Non-blocking, so that a write beyond what it can hold fails instead of hanging.
        writer = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        EXPECT_GE(writer, 0);
        ::fcntl(writer, F_SETPIPE_SZ, 1 << 20);
    }
    ~Fifo() { closeWriter(); }
    void closeWriter() {
        if (writer >= 0)
            ::close(std::exchange(writer, -1));
    }
    bool write(const QByteArray& bytes) const {
        for (qsizetype at = 0; at < bytes.size();) {
            const ssize_t done = ::write(writer, bytes.constData() + at, bytes.size() - at);
            if (done <= 0)
                return false;
            at += done;
        }
        return true;
    }
    std::string path;
    int writer = -1;
};

// A FIFO's open waits for bytes from a writer that has sent nothing yet, its read for the rest
// of a stream that stalls; the interrupt ends either wait. An open that sees no writer at all
// does not wait, and a finished stream ends the source. Asking for a FIFO's length never takes
// bytes from it. A regular file goes on reading while the interrupt is raised, and opens as
// well (the MP2 program stream is one whose probing FFmpeg would give up).
TEST_F(MclTest, FifoSourcesAreReadAsTheyComeAndGiveUpOnTheInterrupt) {
    const MclHandle sound = mcl.MclSndCreate();
    const MclHandle regular = mcl.MclReadOpen(path(Fixture::PcmAvi).c_str(), 0, 0, 0);
    const QByteArray wav = readFile(path(Fixture::PcmWav)); // 144000 frames
    // What the writer does while the test waits in the library.
    enum class Then { Nothing, Interrupt, Close };
    const struct {
        const char* name;
        qsizetype bytes;
        Then then;
        MclError open, read;
    } cases[] = {
        {"no writer", -1, Then::Nothing, MclError::InvalidInput, MclError::InvalidInput},
        {"silent writer", 0, Then::Interrupt, MclError::Aborted, MclError::InvalidInput},
        {"stalling writer", wav.size() * 2 / 3, Then::Interrupt, MclError::Ok, MclError::Aborted},
        {"finishing writer", wav.size(), Then::Close, MclError::Ok, MclError::Ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clearSourceInterrupt();
        Fifo fifo(file(c.name));
        if (c.bytes < 0)
            fifo.closeWriter();
        else
            ASSERT_TRUE(fifo.write(wav.left(c.bytes)));
        EXPECT_LT(mcl.MclSourceSeconds(fifo.path.c_str()), 0);
        // Acts once the test is about to wait in the library; should the wait not end, the
        // stream ends after a while, so that the test fails instead of hanging.
        std::promise<void> waiting, done;
        std::thread writer([&, about = waiting.get_future(), finished = done.get_future()] {
            about.wait();
            std::this_thread::sleep_for(100ms);
            if (c.then == Then::Interrupt)
                raiseSourceInterrupt();
            if (c.then == Then::Close || finished.wait_for(30s) != std::future_status::ready)
                fifo.closeWriter();
        });
        if (c.open != MclError::Ok)
            waiting.set_value();
        const MclHandle input = mcl.MclReadOpen(fifo.path.c_str(), 0, 0, 0);
        EXPECT_EQ(mcl.MclGetError(), c.open);
        if (c.open == MclError::Ok) {
            EXPECT_EQ(mcl.MclReadSound(input, 0, 10000, sound), 0);
            waiting.set_value();
            EXPECT_NE(mcl.MclReadSound(input, 10000, 200000, sound), 0);
            if (c.read == MclError::Ok) {
                EXPECT_EQ(mcl.soundBlock(sound)->frames(), 134000);
            }
        } else {
            EXPECT_NE(mcl.MclReadSound(input, 0, 10000, sound), 0);
        }
        EXPECT_EQ(mcl.MclGetError(), c.read);
        done.set_value();
        writer.join();
        mcl.MclReadClose(input);
        EXPECT_EQ(mcl.MclReadSound(regular, 0, 1000, sound), 0) << "a regular file reads on";
    }
    raiseSourceInterrupt();
    EXPECT_EQ(readAll(path(Fixture::Mp2Mpg)).codes.back(), 1);
    EXPECT_EQ(mcl.MclGetError(), MclError::Ok);
    EXPECT_NEAR(mcl.MclSourceSeconds(path(Fixture::Mp2Mpg).c_str()), 3.0, 0.1);
    clearSourceInterrupt();
}

} // namespace
