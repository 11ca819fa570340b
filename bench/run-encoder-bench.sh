#!/usr/bin/env bash
# The recording encoder against the ffmpeg command line on the same raw
# frames and PCM (320x240 YUY2 at 29.97 fps, 44100 Hz stereo, to a PSP MP4
# with 768 kbit/s video and 128 kbit/s AAC at 48000 Hz), run side by side.
#   bench/run-encoder-bench.sh [SECONDS]     (default 60; needs build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
bin=build/release/bench/bench_encoder
[ -x "$bin" ] || tools/build.sh release
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin" raw "$secs" "$work/in.yuv" "$work/in.pcm"

measure() {  # prints "seconds peak_kib"
  /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
  cat "$work/time"
}

printf '%-8s %10s %10s %8s %12s %12s\n' codec ours_s ffmpeg_s ratio ours_MiB ffmpeg_MiB
for codec in mpeg4 h264; do
  if [ "$codec" = h264 ]; then
    vopts=(-c:v libx264 -profile:v main -level 2.1 -x264-params ref=2:slices=1:b-pyramid=none:bframes=2:open-gop=0 -maxrate 4M -bufsize 4M)
  else
    vopts=(-c:v mpeg4)
  fi
  read -r ours ours_kib < <(measure "$bin" encode "$codec" "$work/in.yuv" "$work/in.pcm" "$work/ours.mp4")
  read -r theirs theirs_kib < <(measure ffmpeg -v error -y \
      -f rawvideo -pix_fmt yuyv422 -s 320x240 -r 2997/100 -i "$work/in.yuv" \
      -f s16le -ar 44100 -ac 2 -i "$work/in.pcm" \
      -f psp -pix_fmt yuv420p "${vopts[@]}" -b:v 768k -g 12 -bitexact -c:a aac -b:a 128k -ar 48000 -ac 2 "$work/ffmpeg.mp4")
  ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  printf '%-8s %10s %10s %8s %12.1f %12.1f\n' "$codec" "$ours" "$theirs" "$ratio" \
    "$(awk -v k="$ours_kib" 'BEGIN{print k/1024}')" "$(awk -v k="$theirs_kib" 'BEGIN{print k/1024}')"
done
