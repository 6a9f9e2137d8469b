#!/usr/bin/env bash
# Prints the sensitivity tables (share of 24-byte frames decoded on the
# physical signal model against noise, pulse width, bit clock error, fading,
# a receiver's audio chain and DC offset, upright and inverted, by the main
# decoder and with the weak-signal receiver, beside the ideal bound) as
# Markdown, as kept in the README. Builds halvex3-sensitivity first if needed.
#
#   scripts/sensitivity.sh [--frames N] [--seed N] [--level L] [--threads N]
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
