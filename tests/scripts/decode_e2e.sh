#!/bin/bash
# The whole chain end to end: halvex3-synth makes recordings of every frame
# kind and the lines it promises; halvex3-decode must print exactly those
# lines, byte for byte (code page 1252 with --cp1252, UTF-8 without).
# Usage: decode_e2e.sh BIN_DIR SOURCE_DIR
set -u
export LC_ALL=C
BIN=$1
SYNTH=$BIN/halvex3-synth
DECODE=$BIN/halvex3-decode
for p in "$SYNTH" "$DECODE"; do
  [ -x "$p" ] || { echo "missing program: $p"; exit 1; }
done
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
START=2009-05-01T14:03:00Z
failed=0

same() {  # name expected actual
  if cmp -s "$2" "$3"; then
    echo "ok   $1"
  else
    echo "FAIL $1"
    diff <(iconv -f CP1252 -t UTF-8 "$2") <(iconv -f CP1252 -t UTF-8 "$3" 2>/dev/null || cat "$3") | head -20
    failed=1
  fi
}

# Upright and reversed polarity: the same lines.
"$SYNTH" --start $START -o "$T/up.wav" --expect "$T/up.txt" || exit 1
[ "$(wc -l < "$T/up.txt")" -eq 20 ] || { echo "FAIL expected 20 lines"; failed=1; }
"$DECODE" --start $START --cp1252 "$T/up.wav" > "$T/up.out"
same "upright recording" "$T/up.txt" "$T/up.out"
"$SYNTH" --start $START --invert -o "$T/inv.wav" --expect "$T/inv.txt" || exit 1
same "inverted recording promises the same lines" "$T/up.txt" "$T/inv.txt"
"$DECODE" --start $START --cp1252 "$T/inv.wav" > "$T/inv.out"
same "inverted recording" "$T/inv.txt" "$T/inv.out"

# A rough signal: noise, DC offset and a clock error.
"$SYNTH" --start $START --noise 9 --dc 7 --ppm 30 --seed 5 --level 80 -o "$T/rough.wav" \
  --expect "$T/rough.txt" || exit 1
"$DECODE" --start $START --cp1252 "$T/rough.wav" > "$T/rough.out"
same "noisy recording" "$T/rough.txt" "$T/rough.out"

# The classic rectangular pulse, and the physical one through a receiver's
# audio chain with noise, a wider pulse and fading.
"$SYNTH" --start $START --pulse classic -o "$T/classic.wav" --expect "$T/classic.txt" || exit 1
same "classic pulse promises the same lines" "$T/up.txt" "$T/classic.txt"
"$DECODE" --start $START --cp1252 "$T/classic.wav" > "$T/classic.out"
same "classic pulse" "$T/classic.txt" "$T/classic.out"
"$SYNTH" --start $START --audio-chain --snr 15 --sigma 6 --fade-depth 0.3 --seed 3 -o "$T/rx.wav" || exit 1
"$DECODE" --start $START --cp1252 "$T/rx.wav" > "$T/rx.out"
same "receiver's audio chain" "$T/up.txt" "$T/rx.out"

# With the weak-signal receiver on: the same lines where the decoder finds
# every frame (its finds come out once, as the decoder's); and on a weak,
# drifting pass, every line the decoder alone prints, in order, and more.
for r in up inv rough classic rx; do
  "$DECODE" --start $START --cp1252 --weak-signals "$T/$r.wav" > "$T/$r.weak"
  same "--weak-signals keeps the lines ($r)" "$T/$r.out" "$T/$r.weak"
done
"$SYNTH" --start $START --count 2 --snr 3 --ppm 400 --seed 9 -o "$T/weak.wav" --expect "$T/weak.txt" || exit 1
"$DECODE" --start $START --cp1252 "$T/weak.wav" > "$T/weak.plain"
"$DECODE" --start $START --cp1252 --weak-signals "$T/weak.wav" > "$T/weak.out"
if [ "$(grep -c '' "$T/weak.out")" -gt "$(grep -c '' "$T/weak.plain")" ] &&
   [ "$(grep -Fxvf "$T/weak.txt" "$T/weak.out" | wc -l)" -eq 0 ] &&
   diff <(grep -Fxf "$T/weak.plain" "$T/weak.out") "$T/weak.plain" > /dev/null; then
  echo "ok   --weak-signals adds promised lines on a weak pass"
else
  echo "FAIL --weak-signals on a weak pass"; failed=1
fi

# Raw samples through a pipe.
"$SYNTH" --start $START -o - | "$DECODE" --start $START --cp1252 -t u8 - > "$T/raw.out"
same "raw samples on stdin" "$T/up.txt" "$T/raw.out"

# UTF-8 on the terminal by default.
"$DECODE" --start $START "$T/up.wav" > "$T/utf8.out"
iconv -f CP1252 -t UTF-8 "$T/up.txt" > "$T/utf8.txt"
if cmp -s "$T/utf8.txt" "$T/utf8.out"; then echo "ok   UTF-8 output"; else echo "FAIL UTF-8 output"; failed=1; fi

# The decoder options.
"$SYNTH" --start $START --no-expand -o "$T/ne.wav" --expect "$T/ne.txt" || exit 1
"$DECODE" --start $START --cp1252 --no-expand "$T/ne.wav" > "$T/ne.out"
same "--no-expand" "$T/ne.txt" "$T/ne.out"
"$SYNTH" --start $START --frames demo,badcrc,short --no-require-crc -o "$T/bad.wav" \
  --expect "$T/bad.txt" || exit 1
"$DECODE" --start $START --cp1252 --no-require-crc "$T/bad.wav" > "$T/bad.out"
# The decoder does not skip a frame that failed its check and may find it at
# more than one sampling phase: repeats of a line are allowed, nothing else.
uniq "$T/bad.out" > "$T/bad.uniq"
same "--no-require-crc" "$T/bad.txt" "$T/bad.uniq"
grep -aq ' calc CRC 15E7\]' "$T/bad.out" || { echo "FAIL no calc CRC line"; failed=1; }
"$DECODE" --start $START --cp1252 "$T/bad.wav" > "$T/badreq.out"
grep -av ' calc CRC ' "$T/bad.txt" > "$T/badreq.txt"
same "Require CRC drops the broken frame" "$T/badreq.txt" "$T/badreq.out"
"$DECODE" --start $START --cp1252 --no-require-crc --weak-signals "$T/bad.wav" > "$T/bad.weak"
same "--weak-signals keeps the lines (--no-require-crc)" "$T/bad.out" "$T/bad.weak"

# The day's log file holds the same bytes; a missing log directory is made.
"$DECODE" --start $START --log-dir "$T/new/logs" "$T/up.wav" > /dev/null
same "log file" "$T/up.txt" "$T/new/logs/halvex3log20090501.txt"

# The demo recording made at build time, when it is there.
if [ -f "$BIN/demo.wav" ] && [ -f "$BIN/demo-expected.txt" ]; then
  "$DECODE" --start $START --cp1252 "$BIN/demo.wav" > "$T/demo.out"
  same "build's demo recording" "$BIN/demo-expected.txt" "$T/demo.out"
fi

exit $failed
