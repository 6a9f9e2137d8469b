#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# Layout first: it needs no build.
bash scripts/check-format.sh
# A build folder of its own, tests switched on explicitly: scripts/run.sh
# builds build/ without tests, so its ctest could list stale test binaries.
BUILD=${BUILD_DIR:-build-test}
JOBS=${JOBS:-$(nproc)}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DHALVEX_TESTS=ON -DHALVEX_GUI=ON
cmake --build "$BUILD" -j "$JOBS"
ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS"

# Hardening, within the CI budget: everything headless again under
# AddressSanitizer + UBSan (headless libraries, programs and tests only), and
# a short run of every fuzz target (scripts/fuzz.sh SECONDS runs them longer).
BUILD_DIR="${SANITIZE_BUILD_DIR:-build-asan}" JOBS="$JOBS" bash scripts/sanitize.sh
BUILD_DIR="${FUZZ_BUILD_DIR:-build-fuzz}" JOBS=2 bash scripts/fuzz.sh "${FUZZ_SECONDS:-20}"
