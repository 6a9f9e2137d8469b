#!/usr/bin/env bash
# Builds everything that runs without a window with AddressSanitizer and
# UndefinedBehaviorSanitizer (the libraries, the command-line programs and
# every headless test, including the fuzz corpus replays) and runs the tests.
# Any sanitizer report fails the test that produced it.
#
#   scripts/sanitize.sh        Environment: BUILD_DIR (default build-asan), JOBS.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_DIR:-build-asan}
JOBS=${JOBS:-$(nproc)}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVEX_SANITIZE=ON -DHALVEX_GUI=OFF \
    -DHALVEX_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$JOBS"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The long runs measure the optimised build's memory (and the desktop
# program's scripted tests come only with the window build): not repeated here.
ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS" -LE long
