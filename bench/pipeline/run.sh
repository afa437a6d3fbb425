#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A 10-minute video of realistic sound to MP3: tavimo-cli on one thread, two and all cores,
# beside ffmpeg with the same encoder settings, in alternating runs; prints the times (best of
# REPS), their ratios to ffmpeg's, the CPU time and tavimo-cli's peak memory. Then both roads
# with and without --loudness, alternating, and the ratio of their times (the WAV road best of
# 3 × REPS).
# Targets: all cores at most 0.56 × ffmpeg's time, peak memory below 64 MiB; with --loudness
# at most 1.05 × the time without it on the MP3 road and 1.5 × on the WAV road.
# PART=speed or PART=loudness runs only that half.
set -euo pipefail
build=$(realpath "${1:-build}")
reps=${REPS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Speech-like bands of noise, a chord that comes and goes, and a beat: content an encoder
# has to work on, unlike a pure tone.
ffmpeg -nostdin -v error -y \
  -f lavfi -i "testsrc=size=320x240:rate=25:duration=600" \
  -f lavfi -i "anoisesrc=color=pink:amplitude=0.25:duration=600:sample_rate=48000" \
  -f lavfi -i "sine=frequency=220:duration=600:sample_rate=48000" \
  -f lavfi -i "sine=frequency=277:duration=600:sample_rate=48000" \
  -f lavfi -i "sine=frequency=3300:duration=600:sample_rate=48000" \
  -filter_complex "[1]bandpass=f=1200:width_type=o:w=3,volume='0.6+0.4*sin(2*PI*t/3)':eval=frame[n];\
[2][3]amix=inputs=2,volume='0.5+0.5*sin(2*PI*t/7)':eval=frame[c];\
[4]volume='if(lt(mod(t,0.5),0.05),0.6,0)':eval=frame[b];\
[n][c][b]amix=inputs=3:normalize=0,pan=stereo|c0=c0|c1=0.8*c0[a]" \
  -map 0:v -map "[a]" -c:v mpeg4 -q:v 10 -c:a aac -b:a 192k -ac 2 -ar 48000 "$work/source.mp4"

export TMPDIR="$work"
cores=$(nproc)
counts=$(printf '%s\n' 1 2 "$cores" | sort -nu)

# Runs a command under /usr/bin/time; prints "wall cpu peak-KiB". The wall time is taken here,
# to the microsecond: time's own is in hundredths, too coarse for runs of half a second.
timed() {
  local start=${EPOCHREALTIME/,/.}
  /usr/bin/time -f '%U %S %M' -o "$work/time" "$@" >/dev/null
  local end=${EPOCHREALTIME/,/.}
  read -r user sys rss <"$work/time"
  echo "$(echo "$end - $start" | bc -l) $(echo "$user + $sys" | bc -l) $rss"
}

status=0

# Against ffmpeg, and the peak memory.
speed() {
  declare -A wall cpu peak
  for n in ffmpeg $counts; do wall[$n]=999999; cpu[$n]=0; peak[$n]=0; done
  for _ in $(seq "$reps"); do
    for n in ffmpeg $counts; do
      if [ "$n" = ffmpeg ]; then
        set -- $(timed ffmpeg -nostdin -v error -y -i "$work/source.mp4" -vn -ar 44100 \
          -c:a libmp3lame -b:a 128k -compression_level 2 -joint_stereo 0 "$work/theirs.mp3")
      else
        set -- $(timed "$build/tavimo-cli" --threads "$n" -o "$work/ours-$n.mp3" "$work/source.mp4")
      fi
      if [ "$(echo "$1 < ${wall[$n]}" | bc -l)" = 1 ]; then wall[$n]=$1; cpu[$n]=$2; fi
      [ "$3" -gt "${peak[$n]}" ] && peak[$n]=$3
    done
  done

  printf 'ffmpeg              %6.2f s, CPU %6.2f s (best of %d)\n' "${wall[ffmpeg]}" "${cpu[ffmpeg]}" "$reps"
  for n in $counts; do
    ratio=$(echo "${wall[$n]} / ${wall[ffmpeg]}" | bc -l)
    printf 'tavimo-cli %2d thr.  %6.2f s, CPU %6.2f s, ratio %.3f, peak memory %d KiB\n' \
      "$n" "${wall[$n]}" "${cpu[$n]}" "$ratio" "${peak[$n]}"
    [ "${peak[$n]}" -lt 65536 ] || status=1
  done
  all=$(echo "${wall[$cores]} / ${wall[ffmpeg]}" | bc -l)
  printf 'all %d cores: ratio %.3f (target <= 0.56); memory target < 65536 KiB\n' "$cores" "$all"
  [ "$(echo "$all <= 0.56" | bc -l)" = 1 ] || status=1
}

# Levelling loudness: the same source on each road, with and without the option.
loudness() {
  declare -A level memory
  for road in mp3 wav; do
    for run in plain loudness; do level[$road-$run]=999999; memory[$road-$run]=0; done
  done
  # The WAV road's runs are short and noisy: three times as many of them.
  for i in $(seq $((3 * reps))); do
    for road in mp3 wav; do
      [ "$road" = mp3 ] && [ "$i" -gt "$reps" ] && continue
      for run in plain loudness; do
        option=()
        [ "$run" = loudness ] && option=(--loudness)
        set -- $(timed "$build/tavimo-cli" "${option[@]}" -o "$work/level-$run.$road" "$work/source.mp4")
        if [ "$(echo "$1 < ${level[$road-$run]}" | bc -l)" = 1 ]; then level[$road-$run]=$1; fi
        [ "$3" -gt "${memory[$road-$run]}" ] && memory[$road-$run]=$3
      done
    done
  done
  for road in mp3 wav; do
    target=1.05
    [ "$road" = wav ] && target=1.5
    ratio=$(echo "${level[$road-loudness]} / ${level[$road-plain]}" | bc -l)
    printf '%s road: %6.3f s, with --loudness %6.3f s, ratio %.3f (target <= %s), peak memory %d KiB\n' \
      "$road" "${level[$road-plain]}" "${level[$road-loudness]}" "$ratio" "$target" \
      "${memory[$road-loudness]}"
    [ "$(echo "$ratio <= $target" | bc -l)" = 1 ] || status=1
  done
}

case ${PART:-all} in
  speed) speed ;;
  loudness) loudness ;;
  *) speed; loudness ;;
esac
exit $status
