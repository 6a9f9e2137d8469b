#!/usr/bin/env bash
# halvex3 where a start goes wrong: the real cause goes to standard error
# beside the message box text, a file that is no settings file is refused
# untouched, -Embedding whose capture cannot start fails, and SIGTERM ends
# the program (settings saved) even while one of its message boxes is open.
# Usage: start_faults.sh BIN_DIR SOURCE_DIR
set -uo pipefail
BIN=${1:?bin dir}
[ -x "$BIN/halvex3" ] || { echo "start_faults: $BIN/halvex3 is missing" >&2; exit 1; }
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
failed=0
fail() { echo "FAIL $*" >&2; failed=1; }
BOX="halvex3: On opening the wave device..no device driver present"
export PULSE_SERVER="unix:$T/no-server/native"

# --settings naming a file that is no settings file: one line, status 2, untouched.
printf '14:03 NOAA 18, strong signal\n' > "$T/notes.txt"
rc=0; timeout 10 "$BIN/halvex3" -Embedding --settings "$T/notes.txt" 2> "$T/err" || rc=$?
[ "$rc" = 2 ] || fail "a notes file as --settings gave status $rc"
[ "$(cat "$T/err")" = "halvex3: $T/notes.txt is not a settings file (no REGEDIT4 header); it is left as it is" ] ||
  fail "refusal text: $(cat "$T/err")"
[ "$(cat "$T/notes.txt")" = "14:03 NOAA 18, strong signal" ] || fail "the notes file was changed"
[ ! -e "$T/notes.txt.bad" ] || fail "the notes file was kept aside"

# --input FILE that cannot be read: the box text and which file and why.
rc=0; timeout 10 "$BIN/halvex3" -Embedding --input "$T/missing.wav" --start --settings "$T/a.reg" \
  --view chart 2> "$T/err" || rc=$?
[ "$rc" = 1 ] || fail "-Embedding with an input it cannot open ended with $rc"
grep -qxF "$BOX" "$T/err" || fail "box text missing: $(cat "$T/err")"
grep -q "^halvex3: cannot read $T/missing.wav: ." "$T/err" || fail "no cause for the input: $(cat "$T/err")"
grep -q '"ViewMode"=dword:00000003' "$T/a.reg" || fail "settings not saved after the failed start"

# No sound server: the box text and the server's answer.
rc=0; timeout 10 "$BIN/halvex3" -Embedding --start --settings "$T/b.reg" 2> "$T/err" || rc=$?
[ "$rc" = 1 ] || fail "-Embedding without a sound server ended with $rc"
grep -qxF "$BOX" "$T/err" || fail "box text missing: $(cat "$T/err")"
grep -q "^halvex3: cannot connect to the sound server: ." "$T/err" || fail "no cause for the server: $(cat "$T/err")"

# SIGTERM while the error box after --start is open.
if command -v xvfb-run > /dev/null; then
  xvfb-run -a "$BIN/halvex3" --input "$T/missing.wav" --start --settings "$T/c.reg" --view chart \
    --log-dir "$T/logs" > /dev/null 2> "$T/err" &
  P=$!
  # The box is up once the cause has been written.
  for _ in $(seq 100); do grep -q "cannot read" "$T/err" && break; sleep 0.1; done
  sleep 1
  kill -0 "$P" 2> /dev/null || fail "the program did not wait at its box"
  PROG=$(pgrep -P "$P" -x halvex3 || true)
  if [ -z "$PROG" ]; then
    fail "the program under xvfb-run was not found"
    kill "$P"
  else
    kill -TERM "$PROG"
    for _ in $(seq 20); do kill -0 "$PROG" 2> /dev/null || break; sleep 0.1; done
    if kill -0 "$PROG" 2> /dev/null; then
      fail "still running 2 s after SIGTERM with the box open"
      kill -KILL "$PROG"
    fi
  fi
  wait "$P"
  grep -q '"ViewMode"=dword:00000003' "$T/c.reg" 2> /dev/null || fail "settings not saved on SIGTERM with the box open"
fi

[ "$failed" = 0 ] && echo "start_faults: causes told, wrong files refused, SIGTERM obeyed"
exit "$failed"
