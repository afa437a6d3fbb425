#!/usr/bin/env bash
# A 10-minute video of realistic sound to MP3: tavimo-cli beside ffmpeg with the same encoder
# settings, in one run; prints both times, their ratio and tavimo-cli's peak memory.
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
best_ours=999999; best_ffmpeg=999999; peak=0
for _ in $(seq "$reps"); do
  start=$(date +%s.%N)
  /usr/bin/time -f %M -o "$work/rss" "$build/tavimo-cli" -o "$work/ours.mp3" "$work/source.mp4" >/dev/null
  end=$(date +%s.%N)
  ours=$(echo "$end - $start" | bc -l)
  rss=$(cat "$work/rss")
  start=$(date +%s.%N)
  ffmpeg -nostdin -v error -y -i "$work/source.mp4" -vn -ar 44100 -c:a libmp3lame -b:a 128k \
    -compression_level 2 -joint_stereo 0 "$work/theirs.mp3"
  end=$(date +%s.%N)
  theirs=$(echo "$end - $start" | bc -l)
  best_ours=$(echo "if ($ours < $best_ours) $ours else $best_ours" | bc -l)
  best_ffmpeg=$(echo "if ($theirs < $best_ffmpeg) $theirs else $best_ffmpeg" | bc -l)
  [ "$rss" -gt "$peak" ] && peak=$rss
done
printf 'tavimo-cli  %.2f s (best of %d), peak memory %d KiB\n' "$best_ours" "$reps" "$peak"
printf 'ffmpeg      %.2f s (best of %d)\n' "$best_ffmpeg" "$reps"
printf 'ratio       %.3f (target <= 1.15); memory target < 65536 KiB\n' \
  "$(echo "$best_ours / $best_ffmpeg" | bc -l)"
