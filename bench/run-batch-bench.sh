#!/usr/bin/env bash
# batchvc against the ffmpeg command line on the same source: a 640x480
# 30 fps H.264 + AAC clip (test pattern and a 440 Hz tone) converted to a PSP
# MP4 at 320x240 29.97 fps, 768 kbit/s video, AAC 128 kbit/s 48000 Hz, with
# MPEG-4 Part 2 and with H.264, each pair run one after the other.
#   bench/run-batch-bench.sh [SECONDS]   (default 60; BUILD=build/<variant>, default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
. bench/batchvc-env.sh

ffmpeg -v error -y -f lavfi -i "testsrc2=size=640x480:rate=30" -f lavfi -i "sine=frequency=440:sample_rate=48000" \
  -t "$secs" -c:v libx264 -pix_fmt yuv420p -c:a aac -b:a 128k -ac 2 "$work/clip.mp4"

measure() {  # prints "seconds peak_kib"
  /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
  cat "$work/time"
}
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

printf '%-8s %10s %10s %8s %12s %12s\n' codec ours_s ffmpeg_s ratio ours_MiB ffmpeg_MiB
for codec in mpeg4 h264; do
  if [ "$codec" = h264 ]; then
    profile="PSP AVC 320x240"; vopts=(-c:v libx264 -profile:v main)
  else
    profile="PSP MPEG-4 320x240"; vopts=(-c:v mpeg4)
  fi
  read -r ours ours_kib < <(measure "$bin" --yes --quiet --profile "$profile" --bitrate 768 \
      --output "$work/ours.mp4" "$work/clip.mp4")
  read -r theirs theirs_kib < <(measure ffmpeg -v error -y -i "$work/clip.mp4" -f psp -vf scale=320:240 \
      -r 30000/1001 "${vopts[@]}" -b:v 768k -g 12 -c:a aac -b:a 128k -ar 48000 "$work/ffmpeg.mp4")
  ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  printf '%-8s %10s %10s %8s %12s %12s\n' "$codec" "$ours" "$theirs" "$ratio" "$(mib "$ours_kib")" "$(mib "$theirs_kib")"
done
