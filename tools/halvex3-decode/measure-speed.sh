#!/usr/bin/env bash
# Times halvex3-decode on one hour of 48 kHz unsigned 8-bit audio made by
# halvex3-synth (frames every 3 s with noise), reading included. The goal is
# under 1.8 s of CPU time on one core; with --weak-signals (the weak-signal
# receiver beside the decoder) under 12 s. The file is made in /tmp, not kept.
# Usage: measure-speed.sh BIN_DIR [--weak-signals]
set -euo pipefail
BIN=${1:-build/bin}
EXTRA=()
if [ "${2:-}" = "--weak-signals" ]; then EXTRA=(--weak-signals); fi
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
"$BIN/halvex3-synth" --start 2009-05-01T14:03:00Z --noise 10 --count 240 --spacing 3 \
  --duration 3600 -o "$T/long.wav"
# Exactly one hour of it: 172,800,000 samples after the 44-byte header.
head -c $((44 + 172800000)) "$T/long.wav" > "$T/hour.wav"
printf 'RIFF' | dd of="$T/hour.wav" bs=1 seek=0 conv=notrunc status=none
python3 - "$T/hour.wav" <<'PY'
import struct, sys
with open(sys.argv[1], 'r+b') as f:
    f.seek(4); f.write(struct.pack('<I', 36 + 172800000))
    f.seek(40); f.write(struct.pack('<I', 172800000))
PY
/usr/bin/time -f "one hour decoded: %e s wall, %U s user, %S s system" \
  "$BIN/halvex3-decode" "${EXTRA[@]}" --start 2009-05-01T14:03:00Z "$T/hour.wav" > "$T/lines.txt"
echo "$(wc -l < "$T/lines.txt") lines"
