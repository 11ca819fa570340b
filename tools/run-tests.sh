#!/usr/bin/env bash
# Builds and runs every test: the release build, the Debian package made from
# it and checked as installed, the whole suite again under AddressSanitizer +
# UBSan, the threaded tests under ThreadSanitizer, and each fuzz target for a
# bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
stages=${CORVANE_TEST_STAGES:-"release package asan tsan fuzz"}
status=0
for stage in $stages; do
  echo "== $stage =="
  # The tsan and fuzz stages run a part of what the build makes: they build
  # only that part.
  case "$stage" in
    tsan) target=corvane_threads_tests ;;
    fuzz) target=corvane_fuzz_targets ;;
    *) target=all ;;
  esac
  [ "$stage" = package ] || CORVANE_BUILD_TARGET=$target tools/build.sh "$stage"
  case "$stage" in
    release)
      ctest --test-dir build/release --output-on-failure -j"$jobs" --timeout 1500 || status=1 ;;
    package)
      # From the release build: installed with apt-get as root, else unpacked.
      deb=$(tools/package.sh build/release) && tools/check-package.sh "$deb" || status=1 ;;
    asan)
      # The hour-long conversion runs in the plain build only.
      ctest --test-dir build/asan --output-on-failure -j"$jobs" --timeout 900 -LE long || status=1 ;;
    tsan)
      TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
        ctest --test-dir build/tsan --output-on-failure -j"$jobs" -L threads --timeout 900 || status=1 ;;
    fuzz)
      tools/run-fuzz.sh build/fuzz || status=1 ;;
  esac
done
exit $status
