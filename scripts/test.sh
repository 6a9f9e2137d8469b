#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD=${BUILD_DIR:-build}
JOBS=${JOBS:-$(nproc)}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release
cmake --build "$BUILD" -j "$JOBS"
ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS"

# Hardening, within the CI budget: everything headless again under
# AddressSanitizer + UBSan (headless libraries, programs and tests only), and
# a short run of every fuzz target (scripts/fuzz.sh SECONDS runs them longer).
BUILD_DIR="${SANITIZE_BUILD_DIR:-build-asan}" JOBS="$JOBS" bash scripts/sanitize.sh
BUILD_DIR="${FUZZ_BUILD_DIR:-build-fuzz}" JOBS=2 bash scripts/fuzz.sh "${FUZZ_SECONDS:-20}"
