#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the encoder benchmark from a configured build directory (builds bench_lame if needed).
#   bench/lame/run.sh BUILD_DIR [bench_lame options...]
# For reference it also times the lame command on the same PCM with the same settings
# (constant 128 kbit/s, plain stereo, quality 2, copyright and original bits, no tag, no
# Xing/Info frame, no ReplayGain analysis).
set -eu

build=${1:?usage: $0 BUILD_DIR [options]}
shift
bench=$build/bench/lame/bench_lame
[ -x "$bench" ] || cmake --build "$build" --target bench_lame
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
"$bench" --out "$work" --write-pcm "$work/input.raw" "$@" || status=$?

if command -v lame >/dev/null 2>&1; then
    start=$(date +%s.%N)
    lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m s -b 128 --cbr -q 2 \
        -c -o -t --noreplaygain "$work/input.raw" "$work/cli.mp3" 2>/dev/null
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "lame command (reads the file itself): %.2f s wall\n", b - a }'
fi
exit $status
