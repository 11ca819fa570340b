#!/usr/bin/env bash
# Runs every fuzz target in BUILD/fuzz for a bounded time on its seed corpus.
set -euo pipefail
build=${1:-build/fuzz}
secs=${CORVANE_FUZZ_SECONDS:-30}
cd "$(dirname "$0")/.."
shopt -s nullglob
ran=0; failed=0
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  seeds="fuzz/corpus/${name#fuzz_}"
  work=$(mktemp -d)
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  echo "fuzz: $name for ${secs}s"
  # A fixed seed makes a run repeat the same inputs: CI sees what ran here.
  if "$target" -seed="${CORVANE_FUZZ_SEED:-1}" -max_total_time="$secs" -rss_limit_mb=2048 -print_final_stats=0 "$work" > "$work.log" 2>&1; then
    echo "fuzz: $name clean"
  else
    echo "fuzz: $name FAILED"; tail -40 "$work.log"; failed=$((failed + 1))
  fi
  ran=$((ran + 1)); rm -rf "$work" "$work.log"
done
echo "fuzz: $ran targets, $failed failed"
[ "$failed" -eq 0 ]
