#!/usr/bin/env bash
# Long unattended run of halvex3-decode: SECONDS of generated audio (default
# 86400, a whole day) pass through a pipe into one decoder process, as from a
# receiver that never stops. Prints the decoder's peak and current resident
# size after the first minute and after every further hour (or chunk), checks
# that the peak stays flat after the first minute, and that every frame sent
# was decoded, stamped with its second.
#
#   scripts/long-run.sh [SECONDS] [BIN_DIR]     (BIN_DIR default build/bin)
#
# Exit status 0 when memory stayed flat and every line came out as expected.
set -euo pipefail
TOTAL=${1:-86400}
BIN=${2:-build/bin}
CHUNK=${CHUNK_SECONDS:-3600}
TOLERANCE_KB=${TOLERANCE_KB:-1024}
START=1241136000  # 2009-05-01 00:00:00 UTC

D=$(mktemp -d /tmp/halvex-long-XXXXXX)
DEC=
cleanup() {
    exec 3>&- 2>/dev/null || true
    [ -n "$DEC" ] && kill "$DEC" 2>/dev/null || true
    rm -rf "$D"
}
trap cleanup EXIT

iso() { date -u -d "@$1" +%Y-%m-%dT%H:%M:%SZ; }
status_kb() { sed -n "s/^$1:[[:space:]]*\([0-9]*\) kB/\1/p" "/proc/$DEC/status"; }

mkfifo "$D/audio"
"$BIN/halvex3-decode" --start "$(iso $START)" --cp1252 - <"$D/audio" >"$D/decoded.txt" &
DEC=$!
exec 3>"$D/audio"

printf '%12s %12s %12s %10s\n' "audio (s)" "VmHWM (kB)" "VmRSS (kB)" "lines"
done_s=0
first_hwm=
chunk_no=0
: >"$D/expected.txt"
while [ "$done_s" -lt "$TOTAL" ]; do
    if [ "$done_s" -eq 0 ]; then len=60; else len=$CHUNK; fi
    [ $((done_s + len)) -gt "$TOTAL" ] && len=$((TOTAL - done_s))
    # The demonstration set (11 frames, 2 s apart) as often as fits, with a
    # little noise; the recording is padded to exactly len seconds.
    sets=$(((len - 4) / 22))
    [ "$sets" -lt 1 ] && sets=1
    "$BIN/halvex3-synth" --start "$(iso $((START + done_s)))" --frames demo --count "$sets" \
        --spacing 2 --seconds 1 --duration "$len" --noise 10 --seed $((chunk_no + 1)) \
        --expect "$D/expect-$chunk_no.txt" -o - >&3
    cat "$D/expect-$chunk_no.txt" >>"$D/expected.txt"
    done_s=$((done_s + len))
    chunk_no=$((chunk_no + 1))
    hwm=$(status_kb VmHWM)
    rss=$(status_kb VmRSS)
    [ -z "$first_hwm" ] && first_hwm=$hwm
    printf '%12s %12s %12s %10s\n' "$done_s" "$hwm" "$rss" "$(wc -l <"$D/decoded.txt")"
    last_hwm=$hwm
done
exec 3>&-
rc=0
wait "$DEC" || rc=$?
DEC=
if [ "$rc" -ne 0 ]; then
    echo "long-run: halvex3-decode exited with $rc" >&2
    exit 1
fi
fail=0
if ! cmp -s "$D/decoded.txt" "$D/expected.txt"; then
    echo "long-run: decoded lines differ from the frames sent:" >&2
    diff "$D/expected.txt" "$D/decoded.txt" | head -20 >&2
    fail=1
fi
growth=$((last_hwm - first_hwm))
echo "peak resident size: ${first_hwm} kB after 60 s of audio, ${last_hwm} kB after ${TOTAL} s" \
     "(growth ${growth} kB); $(wc -l <"$D/decoded.txt") lines decoded, all as expected: $([ $fail -eq 0 ] && echo yes || echo no)"
if [ "$growth" -gt "$TOLERANCE_KB" ]; then
    echo "long-run: peak resident size grew by ${growth} kB (allowed ${TOLERANCE_KB} kB)" >&2
    fail=1
fi
exit $fail
