#!/usr/bin/env bash
# Configures and builds one variant into build/<variant>.
#   tools/build.sh [release|asan|tsan|fuzz] [extra cmake args...]
# CORVANE_BUILD_TARGET names one target to build instead of everything.
set -euo pipefail
cd "$(dirname "$0")/.."
variant=${1:-release}; shift || true
case "$variant" in
  release) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  # The sanitizer builds compile several files as one (a quarter less time).
  asan)    args=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_UNITY_BUILD=ON) ;;
  tsan)    args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_TSAN=ON -DCMAKE_UNITY_BUILD=ON) ;;
  fuzz)    args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_FUZZ=ON -DCORVANE_ASAN=ON
                 -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCORVANE_GUI=OFF) ;;
  *) echo "unknown variant $variant" >&2; exit 2 ;;
esac
cmake -S . -B "build/$variant" -G Ninja "${args[@]}" "$@" >/dev/null
cmake --build "build/$variant" -j"$(nproc)" --target "${CORVANE_BUILD_TARGET:-all}"
