#!/usr/bin/env bash
# Shows the batch window under a virtual X server with a fresh user (its own
# home and settings) and three files in its list: a text file that fails, a
# clip that converts and one that waits. Saves a picture once the clip is a
# third converted, then stops (the clip's output is finished) and quits.
#   tools/screenshot-batch.sh [OUT.png] [BUILD_DIR]
# Default picture: build/batch-screenshot.png; default build: build/release.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/batch-screenshot.png}")
build=${2:-build/release}
if [ ! -x "$build/bin/corvane-batch" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target corvane-batch
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home/.config" "$work/clips" "$work/out" "$(dirname "$out")"
clip() {  # clip FILE SECONDS SIZE
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=$3:rate=30:duration=$2" \
    -f lavfi -i "sine=frequency=440:duration=$2" -c:v libx264 -preset ultrafast -c:a aac -shortest "$1"
}
echo "this is not a video" >"$work/clips/notes.txt"
clip "$work/clips/Holiday at the lake.mp4" 90 1280x720
clip "$work/clips/Concert.mkv" 20 640x480
# The output folder of a first run is the one given here.
mkdir -p "$work/home/.config/Corvane"
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" TMPDIR="$work" \
  xvfb-run -a -s "-screen 0 1024x768x24" "$build/bin/corvane-batch" --convert --screenshot "$out" \
  "$work/clips/notes.txt" "$work/clips/Holiday at the lake.mp4" "$work/clips/Concert.mkv"
echo "$out"
