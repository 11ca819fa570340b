#!/usr/bin/env bash
# Builds the Debian package from a build folder (default build/release, which
# must have been built) and prints its path.
#   tools/package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/release}")
rm -f "$build"/corvane_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }
ls "$build"/corvane_*.deb
