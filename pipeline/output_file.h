#pragma once

#include <QString>

#include <cstddef>
#include <cstdio>
#include <memory>

// A file written in bytes through a buffer. Failures raise EInOutError: "Disk full" when the
// disk takes fewer bytes than given.
class OutputFile {
public:
    OutputFile() = default;

    // Creates the file, emptying it if it exists. False when it cannot be created.
    bool create(const QString& fileName);
    bool isOpen() const { return file != nullptr; }
    void write(const void* data, std::size_t size);
    // Flushes and closes; a failure raises EInOutError. Closing a closed file does nothing.
    void close();

private:
    [[noreturn]] static void fail(int error);

    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    // Declared before `file`, so it outlives the stream that buffers into it.
    std::unique_ptr<char[]> buffer;
    std::unique_ptr<std::FILE, Closer> file;
};
