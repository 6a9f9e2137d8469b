#!/usr/bin/env bash
# Prints the decoder's sensitivity table (share of frames decoded against
# noise, bit clock error and DC offset, upright and inverted) as Markdown,
# as kept in the README. Builds halvex3-sensitivity first if needed.
#
#   scripts/sensitivity.sh [--frames N] [--seed N] [--level L]
#
# Environment: BUILD_DIR (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_DIR:-build}
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$BUILD" -j "$(nproc)" --target halvex3-sensitivity >/dev/null
exec "$BUILD/bin/halvex3-sensitivity" "$@"
