#include "mcl_test.h"

#include "platform/mcl/source_interrupt.h"

#include <QFile>

#include <chrono>
#include <csignal>
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
// stream; "x.mpg", which the protocols would open instead, holds other sound.
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
}

// The length comes from the container; whatever it is asked, the library's state and the open
// inputs stay as they were.
TEST_F(MclTest, SourceSecondsComeFromTheContainerAndChangeNothing) {
    const MclHandle sound = mcl.MclSndCreate();
    const MclHandle input = mcl.MclReadOpen(path(Fixture::PcmAvi).c_str(), 0, 0, 0);
    ASSERT_EQ(mcl.MclReadSound(input, 0, 1000, sound), 0);
    mcl.MclReadSound(input, 0, 1000, 4711); // leaves an error state behind
    const std::pair<std::string, bool> cases[] = {
        {path(Fixture::AacMp4), true},   {path(Fixture::Mp3Avi), true},
        {path(Fixture::Ac3Vob), true},   {path(Fixture::PcmAvi), true},
        {path(Fixture::NoAudio), false}, {path(Fixture::TextAvi), false},
        {file("missing.avi"), false},    {file(""), false}};
    for (const auto& [source, known] : cases) {
        SCOPED_TRACE(source);
        const double seconds = mcl.MclSourceSeconds(source.c_str());
        if (known)
            EXPECT_NEAR(seconds, 3.0, 0.1);
        else
            EXPECT_LT(seconds, 0);
        EXPECT_EQ(mcl.MclGetError(), MclError::NoSoundHandle);
    }
    EXPECT_EQ(mcl.MclReadSound(input, 1000, 1000, sound), 0);
    EXPECT_EQ(mcl.soundBlock(sound)->frames(), 1000);
}

// A FIFO whose writer the test holds: opened read-write, it never blocks, and the reader sees a
// writer from the start. It buffers a megabyte, more than the open of a WAV stream reads ahead
// (some 300 kB). Closing `writer` ends the stream.
struct Fifo {
    explicit Fifo(const std::string& name) : path(name) {
        EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
        writer = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        EXPECT_GE(writer, 0);
        EXPECT_GE(::fcntl(writer, F_SETPIPE_SZ, 1 << 20), 1 << 18);
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

TEST_F(MclTest, FifoIsReadAsItArrivesAndNeverAhead) {
    const QByteArray bytes = readFile(path(Fixture::Mp2Mpg));
    Fifo fifo(file("stream.mpg"));
    auto writing = std::async(std::launch::async, [&] {
        const bool written = fifo.write(bytes);
        fifo.closeWriter();
        return written;
    });
    // Asking for its length must not take the first bytes away from the conversion.
    EXPECT_LT(mcl.MclSourceSeconds(fifo.path.c_str()), 0);
    const Decoded d = readAll(fifo.path);
    EXPECT_TRUE(writing.get());
    EXPECT_EQ(d.pcm.samples, readAll(path(Fixture::Mp2Mpg)).pcm.samples);
    EXPECT_EQ(d.codes.back(), 1) << "the end of the stream is the end of the source";
}

// The open waits for bytes from a writer that has sent nothing yet, the read for the rest of a
// stream that stalls; the interrupt ends either wait. An open that sees no writer at all does
// not wait. A regular file goes on reading while the interrupt is raised, and opens as well
// (the MP2 program stream is one whose probing FFmpeg would give up).
TEST_F(MclTest, WaitingSourcesGiveUpOnceTheInterruptIsRaised) {
    const MclHandle sound = mcl.MclSndCreate();
    const MclHandle regular = mcl.MclReadOpen(path(Fixture::PcmAvi).c_str(), 0, 0, 0);
    const QByteArray wav = readFile(path(Fixture::PcmWav));
    const struct {
        const char* name;
        bool writer;
        qsizetype bytes;
        MclError open, read;
    } cases[] = {
        {"no writer", false, 0, MclError::InvalidInput, MclError::InvalidInput},
        {"silent writer", true, 0, MclError::Aborted, MclError::InvalidInput},
        {"stalling writer", true, wav.size() * 2 / 3, MclError::Ok, MclError::Aborted},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clearSourceInterrupt();
        Fifo fifo(file(c.name));
        if (!c.writer)
            fifo.closeWriter();
        else
            ASSERT_TRUE(fifo.write(wav.left(c.bytes)));
        // Raised once the test is about to wait in the library; should the wait not end, the
        // stream ends after a while, so that the test fails instead of hanging.
        std::promise<void> waiting, done;
        std::thread raiser([&, about = waiting.get_future(), finished = done.get_future()] {
            about.wait();
            std::this_thread::sleep_for(100ms);
            if (c.writer)
                raiseSourceInterrupt();
            if (finished.wait_for(30s) != std::future_status::ready)
                fifo.closeWriter();
        });
        if (c.open != MclError::Ok)
            waiting.set_value();
        const MclHandle input = mcl.MclReadOpen(fifo.path.c_str(), 0, 0, 0);
        EXPECT_EQ(mcl.MclGetError(), c.open);
        if (c.open == MclError::Ok) {
            EXPECT_EQ(mcl.MclReadSound(input, 0, 10000, sound), 0);
            waiting.set_value();
            EXPECT_NE(mcl.MclReadSound(input, 10000, 100000, sound), 0);
        } else {
            EXPECT_NE(mcl.MclReadSound(input, 0, 10000, sound), 0);
        }
        EXPECT_EQ(mcl.MclGetError(), c.read);
        done.set_value();
        raiser.join();
        mcl.MclReadClose(input);
        EXPECT_EQ(mcl.MclReadSound(regular, 0, 1000, sound), 0) << "a regular file reads on";
    }
    ASSERT_TRUE(sourceInterruptRaised());
    EXPECT_EQ(readAll(path(Fixture::Mp2Mpg)).codes.back(), 1);
    EXPECT_EQ(mcl.MclGetError(), MclError::Ok);
    EXPECT_NEAR(mcl.MclSourceSeconds(path(Fixture::Mp2Mpg).c_str()), 3.0, 0.1);
    clearSourceInterrupt();
}

} // namespace
