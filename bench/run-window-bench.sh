#!/usr/bin/env bash
# How long the main window's thread is ever away from its event loop while
# it opens a clip and converts it whole (the clip of run-batch-bench.sh: a
# 640x480 30 fps H.264 + AAC test pattern with a tone, to a 320x240 PSP MP4),
# with MPEG-4 Part 2 and with H.264, on the offscreen platform. The target is
# 100 ms; the first figure leaves out the time the thread waited for a
# processor that other work held.
#   bench/run-window-bench.sh [SECONDS]   (default 30; BUILD=build/<variant>, default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-30}
build=${BUILD:-build/release}
bin=$build/bench/bench_window
[ -x "$bin" ] || { tools/build.sh release; build=build/release; bin=$build/bench/bench_window; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The runs use settings of their own, never the user's.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config TMPDIR=$work/tmp QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME/.config" "$TMPDIR" "$work/out"

ffmpeg -v error -y -f lavfi -i "testsrc2=size=640x480:rate=30" -f lavfi -i "sine=frequency=440:sample_rate=48000" \
  -t "$secs" -c:v libx264 -pix_fmt yuv420p -c:a aac -b:a 128k -ac 2 "$work/clip.mp4"

printf '%-8s %14s %16s %12s\n' codec longest_gap_ms with_waiting_ms convert_s
for profile in "PSP MPEG-4 320x240" "PSP AVC 320x240"; do
  codec=$([ "$profile" = "PSP AVC 320x240" ] && echo h264 || echo mpeg4)
  rm -f "$work"/out/*
  read -r gap wall took < <("$bin" "$(realpath "$build/bin")" "$work/clip.mp4" "$work/out" "$profile")
  printf '%-8s %14s %16s %12s\n' "$codec" "$gap" "$wall" "$took"
done
