#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times mcl_bench against the ffmpeg tool on a ten-minute video with AAC 48 kHz stereo sound.
# Usage: bench/mcl/run.sh BUILD_DIR [REPETITIONS]
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR [REPETITIONS]}
reps=${2:-5}
bench="$build/bench/mcl/mcl_bench"
[[ -x $bench ]] || { echo "$bench not built (cmake --build $build --target mcl_bench)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source="$work/source.mp4"

# Pink noise under a melody of tones that change every two seconds, with a small video track.
echo "making a 10-minute source..." >&2
ffmpeg -nostdin -v error -y \
    -f lavfi -i "testsrc2=size=320x240:rate=25:duration=600" \
    -f lavfi -i "anoisesrc=color=pink:amplitude=0.15:sample_rate=48000:duration=600" \
    -f lavfi -i "aevalsrc=0.3*sin(2*PI*(220+110*mod(floor(t/2)\,7))*t)|0.3*sin(2*PI*(330+55*mod(floor(t/3)\,5))*t):s=48000:d=600" \
    -filter_complex "[1][2]amix=inputs=2:normalize=0,aformat=channel_layouts=stereo[a]" \
    -map 0:v -map "[a]" -c:v mpeg4 -q:v 8 -c:a aac -b:a 192k -ar 48000 -ac 2 "$source"

now() { date +%s.%N; }
ours=()
theirs=()
for ((i = 0; i < reps; ++i)); do
    t0=$(now)
    "$bench" "$source" "$work/ours.wav" >/dev/null
    t1=$(now)
    ffmpeg -nostdin -v error -y -i "$source" -vn -f wav "$work/theirs.wav"
    t2=$(now)
    ours+=("$(echo "$t1 - $t0" | bc -l)")
    theirs+=("$(echo "$t2 - $t1" | bc -l)")
    echo "run $((i + 1)): mcl_bench ${ours[-1]} s, ffmpeg ${theirs[-1]} s" >&2
done

# ffmpeg's header may carry more chunks: compare the sample data from the end.
data=$(($(stat -c %s "$work/ours.wav") - 80))
cmp -s <(tail -c "$data" "$work/ours.wav") <(tail -c "$data" "$work/theirs.wav") \
    && echo "same samples as ffmpeg" >&2 || echo "note: the samples differ from ffmpeg's" >&2

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
best() { printf '%s\n' "$@" | sort -g | head -1; }
mo=$(median "${ours[@]}"); mt=$(median "${theirs[@]}")
bo=$(best "${ours[@]}"); bt=$(best "${theirs[@]}")
printf 'median: mcl_bench %.3f s, ffmpeg %.3f s, ratio %.3f\n' "$mo" "$mt" "$(echo "$mo / $mt" | bc -l)"
printf 'best:   mcl_bench %.3f s, ffmpeg %.3f s, ratio %.3f\n' "$bo" "$bt" "$(echo "$bo / $bt" | bc -l)"
