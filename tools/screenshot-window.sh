#!/usr/bin/env bash
# Starts the converter under a virtual X server with a fresh user (its own
# home and settings) and a generated clip open, saves pictures of the main
# window (with the clip's video showing), its dialogs and the main window
# during a conversion of the clip, and quits.
#   tools/screenshot-window.sh [OUT_DIR] [BUILD_DIR]
# Default pictures: build/window-screenshots/*.png; default build: build/release.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/window-screenshots}")
build=${2:-build/release}
if [ ! -x "$build/bin/corvane" ] || [ ! -x "$build/tests/make_fixtures" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target corvane make_fixtures
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home/.config" "$work/clips" "$out"
"$build/tests/make_fixtures" "$work/clips" 12 >"$work/fixtures.log" 2>&1 || { cat "$work/fixtures.log"; exit 1; }
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" TMPDIR="$work" \
  xvfb-run -a -s "-screen 0 1024x768x24" "$build/bin/corvane" --open "$work/clips/h264_aac.mp4" --screenshots "$out"
ls "$out"/*.png
