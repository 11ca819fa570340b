#!/usr/bin/env bash
# One pass against two with batchvc on a clip whose complexity changes: still
# colour bars and a zoom into a fractal by turns, 10 s each (640x480, 30 fps,
# with a 440 Hz tone), converted to a PSP MP4 at 320x240 29.97 fps with the
# profiles' own rates (MPEG-4 768 kbit/s, H.264 500 kbit/s). For each it
# prints the video's overall rate, how far that lies from the target, the
# quality against the source scaled to the output size (PSNR and SSIM, by
# the ffmpeg command line) and the time taken.
#   bench/run-twopass-bench.sh [SECONDS]   (default 60; BUILD=build/<variant>, default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
. bench/batchvc-env.sh

ffmpeg -v error -y -f lavfi -i "mandelbrot=size=640x480:rate=30" -f lavfi -i "smptebars=size=640x480:rate=30" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000" \
  -filter_complex "[0:v]format=yuv420p[m];[m][1:v]overlay=enable='lt(mod(t,20),10)'[v]" -map "[v]" -map 2:a \
  -t "$secs" -c:v libx264 -preset veryfast -crf 12 -pix_fmt yuv420p -c:a aac -ac 2 "$work/clip.mp4"

video_kbps() {
  ffprobe -v error -select_streams v -show_entries stream=bit_rate -of csv=p=0 "$1" | awk '{ printf "%.0f", $1 / 1000 }'
}
# Quality of $1 against the source at the output's size and frame rate.
quality() {
  ffmpeg -i "$1" -i "$work/clip.mp4" -lavfi \
    "[1:v]scale=320:240,fps=30000/1001,split[r1][r2];[0:v]split[o1][o2];[o1][r1]psnr;[o2][r2]ssim" -f null - 2>&1 |
    awk '/PSNR/ { for (i = 1; i <= NF; i++) if ($i ~ /^average:/) { split($i, a, ":"); p = a[2] } }
         /SSIM/ { for (i = 1; i <= NF; i++) if ($i ~ /^All:/) { split($i, a, ":"); s = a[2] } }
         END { printf "%.2f %.4f\n", p, s }'
}

printf '%-8s %6s %7s %7s %8s %9s %7s %7s\n' codec passes target kbit/s off PSNR_dB SSIM secs
for codec in mpeg4 h264; do
  if [ "$codec" = h264 ]; then profile="PSP AVC 320x240"; target=500; else profile="PSP MPEG-4 320x240"; target=768; fi
  for passes in 1 2; do
    out="$work/$codec$passes.mp4"
    /usr/bin/time -f '%e' -o "$work/time" "$bin" --yes --quiet --profile "$profile" --passes "$passes" \
      --output "$out" "$work/clip.mp4"
    kbps=$(video_kbps "$out")
    off=$(awk -v k="$kbps" -v t="$target" 'BEGIN { printf "%+.1f%%", (k - t) * 100 / t }')
    read -r psnr ssim < <(quality "$out")
    printf '%-8s %6s %7s %7s %8s %9s %7s %7s\n' "$codec" "$passes" "$target" "$kbps" "$off" "$psnr" "$ssim" "$(cat "$work/time")"
  done
done
leftover=$(find "$work" -name '*.passlog*' | wc -l)
echo "statistics files left: $leftover"
