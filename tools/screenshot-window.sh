#!/usr/bin/env bash
# Starts the converter under a virtual X server with a fresh user (its own
# home and settings), saves pictures of the main window and its dialogs, and
# quits.
#   tools/screenshot-window.sh [OUT_DIR] [BUILD_DIR]
# Default pictures: build/window-screenshots/*.png; default build: build/release.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/window-screenshots}")
build=${2:-build/release}
if [ ! -x "$build/bin/corvane" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target corvane
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home/.config" "$out"
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" TMPDIR="$work" \
  xvfb-run -a -s "-screen 0 1024x768x24" "$build/bin/corvane" --screenshots "$out"
ls "$out"/*.png
