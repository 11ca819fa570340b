#!/usr/bin/env bash
# batchvc against the ffmpeg command line on the same sources: a 640x480
# 30 fps and a 1920x1080 25 fps H.264 + AAC clip (test pattern and a 440 Hz
# tone), each converted to a PSP MP4 at 29.97 fps (320x240 from 4:3, 368x208
# from 16:9), 768 kbit/s video, AAC 128 kbit/s 48000 Hz, with MPEG-4 Part 2
# and with H.264 (ffmpeg given the PSP's H.264 settings: Main profile, level
# 2.1, two reference frames, CABAC). Each pair runs one after the other, RUNS
# times; the best (least) wall time, CPU time (user + system) and peak memory
# of each program are shown, and the ratio of the best wall times.
#   bench/run-batch-bench.sh [SD_SECONDS [HD_SECONDS [RUNS]]]   (default 60 30 3;
#   BUILD=build/<variant>, default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
sd_secs=${1:-60}
hd_secs=${2:-30}
runs=${3:-3}
. bench/batchvc-env.sh

make_clip() {  # SIZE RATE SECONDS OUT
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=$1:rate=$2" -f lavfi -i "sine=frequency=440:sample_rate=48000" \
    -t "$3" -c:v libx264 -pix_fmt yuv420p -c:a aac -b:a 128k -ac 2 "$4"
}

measure() {  # prints "wall_s cpu_s peak_kib"
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$work/time"
}
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
least() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a + 0 < b + 0) ? a : b }'; }

# One source and codec: RUNS pairs, the least of each figure kept.
compare() {  # LABEL CODEC CLIP SIZE
  local label=$1 codec=$2 clip=$3 size=$4 profile vopts
  if [ "$codec" = h264 ]; then
    profile="PSP AVC 320x240"; vopts=(-c:v libx264 -profile:v main -level 21 -refs 2 -coder 1)
  else
    profile="PSP MPEG-4 320x240"; vopts=(-c:v mpeg4)
  fi
  local ow="" oc="" om="" fw="" fc="" fm="" w c m
  for ((i = 0; i < runs; ++i)); do
    read -r w c m < <(measure "$bin" --yes --quiet --profile "$profile" --bitrate 768 --output "$work/ours.mp4" "$clip")
    ow=$(least "$w" "$ow") oc=$(least "$c" "$oc") om=$(least "$m" "$om")
    read -r w c m < <(measure ffmpeg -v error -y -i "$clip" -f psp -vf "scale=$size" -r 30000/1001 "${vopts[@]}" \
        -b:v 768k -g 12 -c:a aac -b:a 128k -ar 48000 "$work/ffmpeg.mp4")
    fw=$(least "$w" "$fw") fc=$(least "$c" "$fc") fm=$(least "$m" "$fm")
  done
  local ratio
  ratio=$(awk -v a="$ow" -v b="$fw" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  printf '%-10s %-6s %8s %8s %8s %8s %6s %9s %9s\n' "$label" "$codec" "$ow" "$fw" "$oc" "$fc" "$ratio" \
    "$(mib "$om")" "$(mib "$fm")"
}

make_clip 640x480 30 "$sd_secs" "$work/sd.mp4"
make_clip 1920x1080 25 "$hd_secs" "$work/hd.mp4"
printf 'best of %s runs; load average before: %s\n' "$runs" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-10s %-6s %8s %8s %8s %8s %6s %9s %9s\n' source codec ours_s ffm_s ours_cpu ffm_cpu ratio ours_MiB ffm_MiB
for codec in mpeg4 h264; do compare 640x480 "$codec" "$work/sd.mp4" 320:240; done
for codec in mpeg4 h264; do compare 1920x1080 "$codec" "$work/hd.mp4" 368:208; done
printf 'load average after: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
