#!/usr/bin/env bash
# The desktop program decodes a recording live, as a user would run it:
#   halvex3 --input REC.wav --start --view messages --settings S --log-dir D
# under a private X server. The day's log in D must get the lines the
# command-line decoder gives for REC.wav (times of reception aside), the title
# must tell that live signals are processed, and after SIGTERM the settings
# file S must hold the satellite table the bulletins filled.
# Usage: gui_live.sh BIN_DIR SOURCE_DIR
set -euo pipefail
BIN=${1:?bin dir}
for p in halvex3 halvex3-synth halvex3-predict; do
  [ -x "$BIN/$p" ] || { echo "gui_live: $BIN/$p is missing" >&2; exit 1; }
done

T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
START=2009-03-01T12:00:00Z

"$BIN/halvex3-synth" --frames demo --start "$START" -o "$T/rec.wav" --expect "$T/expected.txt"
SECONDS_LONG=$(( ($(stat -c %s "$T/rec.wav") - 44) / 48000 + 1 ))

# Message lines end in the time of reception; everything else must match.
strip_times() {
  tr -d '\r' | sed -E '/^[0-9A-F]{7} [0-9A-F]{3} /s/ [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$//'
}
strip_times < "$T/expected.txt" > "$T/expected.cmp"
if [ -x "$BIN/halvex3-decode" ]; then
  "$BIN/halvex3-decode" --start "$START" --cp1252 "$T/rec.wav" | strip_times > "$T/decoded.cmp"
  diff "$T/expected.cmp" "$T/decoded.cmp" > /dev/null || { echo "gui_live: halvex3-decode disagrees with the expected lines" >&2; exit 1; }
fi
EXPECTED_LINES=$(wc -l < "$T/expected.cmp")
[ "$EXPECTED_LINES" -gt 5 ] || { echo "gui_live: too few expected lines" >&2; exit 1; }

# The whole session runs inside the X server's lifetime: start, wait for the
# log, read the title, then SIGTERM as a desktop's logout would send.
cat > "$T/session.sh" <<'SESSION'
set -u
BIN=$1; T=$2; WANT=$3; LIMIT=$4
"$BIN/halvex3" --input "$T/rec.wav" --start --view messages --settings "$T/S" --log-dir "$T/D" \
  > "$T/halvex3.out" 2>&1 &
P=$!
for _ in $(seq 1 $((LIMIT * 10))); do
  n=$(cat "$T"/D/*.txt 2>/dev/null | wc -l)
  [ "$n" -ge "$WANT" ] && break
  kill -0 "$P" 2>/dev/null || break
  sleep 0.1
done
sleep 1  # nothing more may arrive
xdotool search --name "^Halvex from Norq - processing live signals\$" > "$T/title.txt" 2>/dev/null
kill -TERM "$P"
wait "$P"
echo $? > "$T/rc"
SESSION
timeout $((SECONDS_LONG + 60)) xvfb-run -a -s "-screen 0 1280x1024x24" \
  bash "$T/session.sh" "$BIN" "$T" "$EXPECTED_LINES" "$((SECONDS_LONG + 20))"

fail() { echo "gui_live: $*" >&2; cat "$T/halvex3.out" >&2 || true; exit 1; }
[ "$(cat "$T/rc" 2>/dev/null)" = 0 ] || fail "halvex3 did not end cleanly on SIGTERM (rc $(cat "$T/rc" 2>/dev/null))"
[ -s "$T/title.txt" ] || fail "no window titled 'Halvex from Norq - processing live signals'"
cat "$T"/D/halvex3log*.txt | strip_times > "$T/logged.cmp"
diff "$T/expected.cmp" "$T/logged.cmp" || fail "the day's log differs from the decoder's lines"
[ -s "$T/S" ] || fail "no settings written"
"$BIN/halvex3-predict" --settings "$T/S" --home "N52 30" "W8 30" --at "$START" > "$T/predict.txt" \
  || fail "halvex3-predict could not read the settings"
for sat in NOAA-15 NOAA-16 NOAA-17 NOAA-18 NOAA-19 Metop-A; do
  grep -q "$sat" "$T/predict.txt" || fail "settings lack the elements of $sat"
done
echo "gui_live: $EXPECTED_LINES lines decoded live, settings hold the table"
