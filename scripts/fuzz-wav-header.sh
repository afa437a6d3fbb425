#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the WAV header reader with libFuzzer, AddressSanitizer and UBSan, and runs it.
#   scripts/fuzz-wav-header.sh WORK_DIR [libFuzzer options...]
# Without options it runs one million inputs. A call that allocates more than 4 KiB stops the
# run (counted through the sanitizer's malloc hooks), as does any single allocation above 1 MB
# or a process above 512 MB. Needs clang++ and Qt 6 Core (pkg-config).
set -eu

work=${1:?usage: $0 WORK_DIR [libFuzzer options...]}
shift
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$work/corpus"

# Compile only when a source changed.
binary=$work/fuzz-wav-header
sources="$root/pipeline/wav_header.cpp $root/pipeline/wav_header.h $root/common/exception.h
         $root/scripts/fuzz-wav-header.sh"
stale=no
[ -x "$binary" ] || stale=yes
for f in $sources; do
    [ "$f" -nt "$binary" ] && stale=yes
done

if [ "$stale" = yes ]; then
    cat > "$work/fuzz_wav_header.cpp" <<'CPP'
#include "common/exception.h"
#include "pipeline/wav_header.h"

#include <QBuffer>

#include <sanitizer/allocator_interface.h>

#include <cstdint>

// Bytes allocated while the reader runs: whatever a chunk header states, a call needs no more
// than its own small buffers (and the error object for a short file).
static bool counting = false;
static std::size_t allocated = 0;

static void onMalloc(const volatile void*, std::size_t size) {
    if (counting)
        allocated += size;
}

static void onFree(const volatile void*) {}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
    return 0;
}

// Every input is a file handed to the reader; the only error it may raise is the one for a
// file shorter than 12 bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    WavHeaderInfo info{};
    allocated = 0;
    try {
        counting = true;
        const bool found = ReadWavHeader(buffer, info);
        counting = false;
        if (buffer.pos() != 0 && buffer.pos() != 12)
            __builtin_trap();
        if (found && (info.DataOffset < 20 || info.DataOffset > qint64(size) || info.DataSize < 0))
            __builtin_trap();
    } catch (const EInOutError&) {
        counting = false;
        if (size >= 12)
            __builtin_trap();
    }
    if (allocated > 4096)
        __builtin_trap();
    return 0;
}
CPP
    # shellcheck disable=SC2046
    clang++ -std=c++20 -O1 -g -fPIC -fsanitize=fuzzer,address,undefined \
        -fno-sanitize-recover=undefined -I"$root" $(pkg-config --cflags Qt6Core) \
        "$work/fuzz_wav_header.cpp" "$root/pipeline/wav_header.cpp" \
        $(pkg-config --libs Qt6Core) -o "$binary"
fi

# Seeds: a canonical header, and one with a list chunk, an odd chunk and two data chunks; an RF64
# file as the WAV writer closes it past 4 GiB, and one whose walk goes by the size in ds64.
printf 'RIFF\044\0\0\0WAVEfmt \020\0\0\0\001\0\002\0\104\254\0\0\020\261\002\0\004\0\020\0data\004\0\0\0abcd' \
    > "$work/corpus/canonical.wav"
printf 'RIFF\0\0\0\0WAVELIST\003\0\0\0abc\0data\002\0\0\0xyfmt \022\0\0\0\001\0\001\0\100\037\0\0\100\037\0\0\001\0\010\0\0\0data\377\377\377\177' \
    > "$work/corpus/chunks.wav"
printf 'RF64\377\377\377\377WAVEds64\034\0\0\0\114\0\0\0\0\0\0\0\004\0\0\0\0\0\0\0\001\0\0\0\0\0\0\0\0\0\0\0fmt \020\0\0\0\001\0\002\0\104\254\0\0\020\261\002\0\004\0\020\0data\377\377\377\377abcd' \
    > "$work/corpus/rf64.wav"
printf 'RF64\377\377\377\377WAVEds64\034\0\0\0\0\0\0\0\0\0\0\0\002\0\0\0\001\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0data\377\377\377\377xyfmt \020\0\0\0\001\0\001\0\100\037\0\0\100\037\0\0\001\0\010\0' \
    > "$work/corpus/rf64-walk.wav"

if [ $# -eq 0 ]; then
    set -- -runs=1000000
fi
exec "$binary" -artifact_prefix="$work/" -malloc_limit_mb=1 -rss_limit_mb=512 -max_len=4096 -timeout=5 \
    -print_final_stats=1 "$@" "$work/corpus"
