#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Seams of the several-thread MP3 stream: music-like sound with clicks and drum hits right at
# the seams, encoded on one thread and on several, decoded and measured against the encoder's
# input (length, delay, overall SNR, worst 1-second window). Short chunks give many seams.
#   bench/seams/run.sh BUILD_DIR [bench_seams options...]
# With options, one run of those; without, the program's default settings for a minute, then
# every output rate at 128 kbit/s and the low bit rates where encoders warm up slowest.
set -eu
build=${1:?usage: $0 BUILD_DIR [options]}
shift
bench=$build/bench/seams/bench_seams
cmake --build "$build" --target bench_seams >/dev/null

if [ $# -gt 0 ]; then
    exec "$bench" "$@"
fi
status=0
run() {
    echo "--"
    "$bench" "$@" || status=1
}
run --seconds 60 --chunk 96
for rate in 48000 32000 24000 22050 16000 11025; do
    run --seconds 20 --chunk 96 --rate "$rate"
done
run --seconds 20 --chunk 192 --rate 44100 --bitrate 32
run --seconds 20 --chunk 192 --rate 24000 --bitrate 16
exit $status
