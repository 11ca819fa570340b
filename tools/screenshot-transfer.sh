#!/usr/bin/env bash
# Shows the transfer window under a virtual X server with a generated memory
# stick and a computer-side folder of small MP4 files, and saves a picture.
#   tools/screenshot-transfer.sh [OUT.png] [BUILD_DIR]
# Default picture: build/transfer-screenshot.png; default build: build/release.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/transfer-screenshot.png}")
build=${2:-build/release}
if [ ! -x "$build/bin/transfer_preview" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target transfer_preview
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stick="$work/stick"
videos="$work/videos"
mkdir -p "$stick/MP_ROOT/100MNV01" "$stick/PSP" "$videos"
touch "$stick/MEMSTICK.IND"

# clip NAME TITLE SECONDS: a small PSP-style MP4 with a title box, and its thumbnail.
clip() {
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc=size=320x240:rate=15:duration=$3" \
    -f lavfi -i "sine=frequency=440:duration=$3" -c:v mpeg4 -b:v 300k -c:a aac -b:a 64k \
    -metadata title="$2" -f psp "$1"
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc=size=160x120" -frames:v 1 -f mjpeg "${1%.*}.THM"
}
clip "$stick/MP_ROOT/100MNV01/M4V20001.MP4" "Holiday at the lake" 4
clip "$stick/MP_ROOT/100MNV01/M4V20002.MP4" "Concert" 2
clip "$stick/MP_ROOT/100MNV01/m4v20003.mp4" "Birthday" 1
clip "$videos/M4V20004.MP4" "Garden" 2
clip "$videos/M4V20005.MP4" "Train ride" 1
mkdir -p "$videos/Older conversions"
echo "not a video" > "$videos/notes.txt"

CORVANE_EXTRA_VOLUMES="$stick" xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/bin/transfer_preview" --folder "$videos" --select M4V20001.MP4 --screenshot "$out"
echo "$out"
