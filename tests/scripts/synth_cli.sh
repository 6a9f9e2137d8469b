#!/bin/bash
# halvex3-synth's command line: help, version, usage errors, write failures,
# the recording's format and length, and determinism.
# Usage: synth_cli.sh BIN_DIR SOURCE_DIR
set -u
SYNTH=$1/halvex3-synth
[ -x "$SYNTH" ] || { echo "missing program: $SYNTH"; exit 1; }
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
failed=0

status() {  # expected-status description command...
  local want=$1 what=$2
  shift 2
  "$@" > "$T/stdout" 2> "$T/stderr"
  local got=$?
  if [ "$got" -eq "$want" ]; then echo "ok   $what"; else echo "FAIL $what: exit $got, wanted $want"; failed=1; fi
}

status 0 "--help" "$SYNTH" --help
grep -q '^Usage: halvex3-synth' "$T/stdout" || { echo "FAIL help text"; failed=1; }
status 0 "-h" "$SYNTH" -h
status 0 "--version" "$SYNTH" --version
grep -qx 'halvex3-synth [0-9.]*' "$T/stdout" || { echo "FAIL version text"; failed=1; }
status 2 "no output" "$SYNTH"
status 2 "unknown option" "$SYNTH" --bogus -o "$T/x.wav"
[ "$(wc -l < "$T/stderr")" -eq 1 ] || { echo "FAIL usage error is one line"; failed=1; }
status 2 "unknown frame kind" "$SYNTH" --frames demo,nothing -o "$T/x.wav"
status 2 "bad hex frame" "$SYNTH" --frames hex:12G4 -o "$T/x.wav"
# Frames that cannot be sent are usage errors, said in one line.
status 2 "odd number of hex digits" "$SYNTH" --frames hex:12345 -o "$T/x.wav"
grep -q "odd number of hex digits" "$T/stderr" || { echo "FAIL odd digits not named"; failed=1; }
status 2 "frame under 5 bytes" "$SYNTH" --frames short,hex:1234 -o "$T/x.wav"
[ "$(wc -l < "$T/stderr")" -eq 1 ] && grep -q "hex:1234" "$T/stderr" || { echo "FAIL short frame not named"; failed=1; }
status 0 "shortest hex frame" "$SYNTH" --frames hex:123456 -o -
status 2 "spacing below 2" "$SYNTH" --spacing 1 -o "$T/x.wav"
status 2 "bad start time" "$SYNTH" --start 2009-13-01T00:00:00Z -o "$T/x.wav"
status 2 "missing value" "$SYNTH" -o
status 2 "bad number" "$SYNTH" --noise abc -o "$T/x.wav"
status 2 "unknown pulse shape" "$SYNTH" --pulse round -o "$T/x.wav"
status 2 "physical-only option with the classic pulse" "$SYNTH" --pulse classic --sigma 3 -o "$T/x.wav"
status 2 "fading deeper than the signal" "$SYNTH" --fade-depth 1.5 -o "$T/x.wav"
[ ! -e "$T/x.wav" ] || { echo "FAIL usage error wrote a file"; failed=1; }
status 1 "unwritable output" "$SYNTH" -o "$T/no/such/dir/x.wav"
grep -q "$T/no/such/dir/x.wav" "$T/stderr" || { echo "FAIL write error names the file"; failed=1; }
status 1 "unwritable expect file" "$SYNTH" -o "$T/y.wav" --expect "$T/no/such/e.txt"

# 1 s lead-in + 2 s per frame; --duration makes it longer, never shorter.
status 0 "two short frames" "$SYNTH" --frames short,short --start 2009-05-01T14:03:00Z -o "$T/a.wav"
bytes=$(stat -c %s "$T/a.wav")
[ "$bytes" -eq $((44 + 5 * 48000)) ] || { echo "FAIL WAV size $bytes"; failed=1; }
[ "$(head -c 4 "$T/a.wav")" = RIFF ] || { echo "FAIL not a WAV"; failed=1; }
status 0 "raw output" "$SYNTH" --frames short,short --start 2009-05-01T14:03:00Z -o -
[ "$(stat -c %s "$T/stdout")" -eq $((5 * 48000)) ] || { echo "FAIL raw size"; failed=1; }
cmp -s <(tail -c +45 "$T/a.wav") "$T/stdout" || { echo "FAIL WAV data differs from raw"; failed=1; }
"$SYNTH" --frames short --duration 10 -o - > "$T/long.raw"
[ "$(stat -c %s "$T/long.raw")" -eq $((10 * 48000)) ] || { echo "FAIL --duration"; failed=1; }
"$SYNTH" --count 0 --seconds 0 --duration 2 --noise 5 --seed 9 -o - > "$T/n1.raw"
"$SYNTH" --count 0 --seconds 0 --duration 2 --noise 5 --seed 9 -o - > "$T/n2.raw"
cmp -s "$T/n1.raw" "$T/n2.raw" || { echo "FAIL same seed, different noise"; failed=1; }
"$SYNTH" --count 0 --seconds 0 --duration 2 --noise 5 --seed 10 -o - > "$T/n3.raw"
! cmp -s "$T/n1.raw" "$T/n3.raw" || { echo "FAIL seed has no effect"; failed=1; }
# The pulse shapes differ; the classic one is the rectangle of old.
"$SYNTH" --frames short --pulse classic -o - > "$T/c.raw"
"$SYNTH" --frames short -o - > "$T/p.raw"
[ "$(stat -c %s "$T/c.raw")" -eq "$(stat -c %s "$T/p.raw")" ] || { echo "FAIL shapes differ in length"; failed=1; }
! cmp -s "$T/c.raw" "$T/p.raw" || { echo "FAIL --pulse has no effect"; failed=1; }
# The noise as a ratio: 12 dB below a peak of 80 is an RMS of 20.
"$SYNTH" --count 0 --seconds 0 --duration 2 --level 80 --snr 12 -o - > "$T/snr.raw"
rms=$(od -An -v -tu1 "$T/snr.raw" | awk '{for(i=1;i<=NF;i++){d=$i-128;s+=d*d;n++}} END{printf "%d", sqrt(s/n)*10}')
[ "$rms" -ge 195 ] && [ "$rms" -le 206 ] || { echo "FAIL --snr 12 gave an RMS of $rms/10"; failed=1; }
echo "done sizes and determinism"
exit $failed
