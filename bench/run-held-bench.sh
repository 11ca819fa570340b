#!/usr/bin/env bash
# batchvc on sources whose pictures hold while the sound goes on, against a
# normal clip of the same length: a 320x240 25 fps H.264 + AAC clip, a slide
# show of one picture every 2 s and every 5 s, sound going on after 5 s of
# pictures, pictures pausing 20 s in the middle, and a DVD menu (one MPEG-2
# still with AC-3 5.1), each SECONDS long, converted to a PSP MPEG-4 MP4.
# Prints the wall time, its ratio to the normal clip's (at most about 1)
# and the speed as a multiple of real time (far above 1).
#   bench/run-held-bench.sh [SECONDS]   (default 60; BUILD=build/<variant>, default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
. bench/batchvc-env.sh

ff() { ffmpeg -nostdin -v error -y "$@"; }
tone=(-f lavfi -i "sine=frequency=440:sample_rate=48000")
h264=(-c:v libx264 -pix_fmt yuv420p -c:a aac)
ff -f lavfi -i "testsrc2=size=320x240:rate=25" "${tone[@]}" -t "$secs" "${h264[@]}" "$work/normal.mp4"
ff -f lavfi -i "testsrc2=size=320x240:rate=1/2" "${tone[@]}" -t "$secs" "${h264[@]}" "$work/slides_2s.mp4"
ff -f lavfi -i "testsrc2=size=320x240:rate=1/5" "${tone[@]}" -t "$secs" "${h264[@]}" "$work/slides_5s.mp4"
ff -t 5 -f lavfi -i "testsrc2=size=320x240:rate=25" -t "$secs" "${tone[@]}" "${h264[@]}" "$work/long_sound.mp4"
pause_at=$(( (secs - 20) / 2 * 25 ))
ff -f lavfi -i "testsrc2=size=320x240:rate=25" "${tone[@]}" -t "$secs" \
   -vf "trim=end_frame=$(( (secs - 20) * 25 )),setpts='if(gte(N,$pause_at),PTS+20/TB,PTS)'" -fps_mode vfr \
   "${h264[@]}" "$work/paused.mp4"
ff -f lavfi -i "testsrc2=size=720x576:rate=25" -frames:v 1 -c:v mpeg2video "$work/menu.m2v"
ff "${tone[@]}" -t "$secs" -af "aformat=channel_layouts=5.1" -c:a ac3 "$work/menu.ac3"
ff -v fatal -i "$work/menu.m2v" -i "$work/menu.ac3" -c copy -f vob "$work/dvd_menu.vob"

seconds() {  # the wall time of one conversion
  /usr/bin/time -f '%e' -o "$work/time" "$bin" --yes --quiet --profile "PSP MPEG-4 320x240" \
    --output "$work/out.mp4" "$1" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
  cat "$work/time"
}

normal=$(seconds "$work/normal.mp4")
printf '%-12s %8s %8s %10s\n' source seconds ratio realtime
for kind in normal slides_2s slides_5s long_sound paused dvd_menu; do
  src=$work/$kind.mp4
  [ "$kind" = dvd_menu ] && src=$work/dvd_menu.vob
  t=$([ "$kind" = normal ] && echo "$normal" || seconds "$src")
  awk -v k="$kind" -v t="$t" -v n="$normal" -v s="$secs" \
    'BEGIN { printf "%-12s %8.2f %8.2f %9.1fx\n", k, t, (n > 0 ? t / n : 0), (t > 0 ? s / t : 0) }'
done
