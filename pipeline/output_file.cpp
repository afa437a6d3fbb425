#include "pipeline/output_file.h"

#include "common/exception.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

// MP3 data arrives in pieces of a few hundred bytes; the buffer turns them into few writes.
constexpr std::size_t BufferSize = 256 * 1024;

} // namespace

void OutputFile::fail(int error) {
    // A short write without a system error is the disk refusing more bytes as well.
    if (error == 0 || error == ENOSPC || error == EDQUOT)
        throw EInOutError("Disk full");
    throw EInOutError("Fehler beim Schreiben der Datei: " + std::string(std::strerror(error)));
}

bool OutputFile::create(const QString& fileName) {
    file.reset();
    file.reset(std::fopen(QFile::encodeName(fileName).constData(), "wb"));
    if (!file)
        return false;
    if (!buffer)
        buffer = std::make_unique<char[]>(BufferSize);
    std::setvbuf(file.get(), buffer.get(), _IOFBF, BufferSize);
    return true;
}

void OutputFile::write(const void* data, std::size_t size) {
    if (!file)
        throw EInOutError("File not open");
    if (size == 0)
        return;
    errno = 0;
    if (std::fwrite(data, 1, size, file.get()) != size)
        fail(errno);
}

void OutputFile::close() {
    if (!file)
        return;
    errno = 0;
    const bool flushed = std::fflush(file.get()) == 0;
    const int flushError = errno;
    errno = 0;
    const bool closed = std::fclose(file.release()) == 0;
    if (!flushed)
        fail(flushError);
    if (!closed)
        fail(errno);
}
