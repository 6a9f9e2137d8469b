#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UBSan) and runs each
# for SECONDS (default 600), two at a time, starting from the committed and
# the generated seeds. New inputs go to build-fuzz/corpus/<target> (kept
# between runs); crashes to build-fuzz/findings/<target>. Prints per target
# the executions, coverage and findings, and exits 1 if anything was found.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# Environment: BUILD_DIR (default build-fuzz), JOBS (parallel runs, default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-600}
shift || true
BUILD=${BUILD_DIR:-build-fuzz}
JOBS=${JOBS:-2}

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DHALVEX_FUZZ=ON -DHALVEX_GUI=OFF -DHALVEX_TESTS=OFF \
    -DHALVEX_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
TARGETS=("$@")
if [ ${#TARGETS[@]} -eq 0 ]; then
    for f in fuzz/fuzz_*.cpp; do
        n=$(basename "$f" .cpp)
        TARGETS+=("${n#fuzz_}")
    done
fi
BINS=(halvex_fuzz_seeds)
for t in "${TARGETS[@]}"; do BINS+=("fuzz_$t"); done
cmake --build "$BUILD" -j "$(nproc)" --target "${BINS[@]}" >/dev/null

SEEDS="$BUILD/fuzz-seeds"
rm -rf "$SEEDS"
"$BUILD/bin/halvex_fuzz_seeds" "$SEEDS"

run_one() {
    local t=$1
    local corpus="$BUILD/corpus/$t" findings="$BUILD/findings/$t" log="$BUILD/fuzz-$t.log"
    mkdir -p "$corpus" "$findings"
    local extra=()
    [ -d "fuzz/corpus/$t" ] && extra+=("fuzz/corpus/$t")
    [ -d "$SEEDS/$t" ] && extra+=("$SEEDS/$t")
    [ -d "fuzz/regressions/$t" ] && extra+=("fuzz/regressions/$t")
    "$BUILD/bin/fuzz_$t" -max_total_time="$SECONDS_EACH" -print_final_stats=1 \
        -rss_limit_mb=4096 -timeout=30 -artifact_prefix="$findings/" \
        "$corpus" "${extra[@]}" >"$log" 2>&1 || true
}

pids=()
for t in "${TARGETS[@]}"; do
    run_one "$t" &
    pids+=($!)
    while [ "$(jobs -rp | wc -l)" -ge "$JOBS" ]; do sleep 1; done
done
for p in "${pids[@]}"; do wait "$p" || true; done

found=0
printf '%-22s %8s %12s %10s %6s %9s\n' target seconds executions exec/s cov findings
for t in "${TARGETS[@]}"; do
    log="$BUILD/fuzz-$t.log"
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | cut -d' ' -f2)
    n=$(find "$BUILD/findings/$t" -type f | wc -l)
    if grep -qE 'ERROR: (AddressSanitizer|libFuzzer|UndefinedBehaviorSanitizer)|invariant failed|runtime error' "$log"; then
        n=$((n > 0 ? n : 1))
    fi
    [ "$n" -gt 0 ] && found=1
    printf '%-22s %8s %12s %10s %6s %9s\n' "$t" "$SECONDS_EACH" "${execs:-?}" "${rate:-?}" "${cov:-?}" "$n"
done
if [ "$found" -ne 0 ]; then
    echo "fuzz: findings saved under $BUILD/findings/ (logs: $BUILD/fuzz-*.log)" >&2
    exit 1
fi
