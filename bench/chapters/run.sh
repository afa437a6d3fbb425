#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What chapter marks cost: tavimo-cli joins three sources of MINUTES minutes each (default 20,
# one hour in all) into an MP3 and a WAV file, with and without --chapters, in alternating
# runs; prints the best times of REPS runs and their ratio. Target: at most 1.02. Also checks
# that the MP3 frames after the chapter tag are those of the run without it.
set -euo pipefail
build=$(realpath "${1:-build}")
reps=${REPS:-3}
minutes=${MINUTES:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seconds=$((minutes * 60))
for i in 1 2 3; do
  ffmpeg -nostdin -v error -y \
    -f lavfi -i "anoisesrc=color=pink:amplitude=0.2:duration=$seconds:sample_rate=48000" \
    -f lavfi -i "sine=frequency=$((200 * i)):duration=$seconds:sample_rate=48000" \
    -filter_complex "[0][1]amix=inputs=2,pan=stereo|c0=c0|c1=0.8*c0[a]" \
    -map "[a]" -c:a aac -b:a 160k "$work/Teil $i.m4a"
done
export TMPDIR="$work"

timed() {
  /usr/bin/time -f '%e' -o "$work/time" "$@" >/dev/null
  cat "$work/time"
}

status=0
for kind in mp3 wav; do
  best_plain=999999
  best_chapters=999999
  for _ in $(seq "$reps"); do
    t=$(timed "$build/tavimo-cli" -q -o "$work/plain.$kind" "$work"/Teil*.m4a)
    [ "$(echo "$t < $best_plain" | bc -l)" = 1 ] && best_plain=$t
    t=$(timed "$build/tavimo-cli" -q --chapters -o "$work/chapters.$kind" "$work"/Teil*.m4a)
    [ "$(echo "$t < $best_chapters" | bc -l)" = 1 ] && best_chapters=$t
  done
  ratio=$(echo "$best_chapters / $best_plain" | bc -l)
  printf '%s: without %7.2f s, with --chapters %7.2f s, ratio %.4f (target <= 1.02)\n' \
    "$kind" "$best_plain" "$best_chapters" "$ratio"
  [ "$(echo "$ratio <= 1.02" | bc -l)" = 1 ] || status=1
done

# The tag's size is in bytes 6..9, seven bits each.
size=$(od -An -tu1 -j6 -N4 "$work/chapters.mp3" |
  awk '{ print 10 + $1 * 2097152 + $2 * 16384 + $3 * 128 + $4 }')
if cmp -s <(tail -c +"$((size + 1))" "$work/chapters.mp3") "$work/plain.mp3"; then
  echo "mp3: the frames after the $size-byte tag are those of the run without chapters"
else
  echo "mp3: the frames after the tag differ from the run without chapters"
  status=1
fi
ffprobe -v error -show_chapters -of compact "$work/chapters.mp3"
exit $status
