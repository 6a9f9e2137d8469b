#!/usr/bin/env bash
# halvex3 started with an automation switch runs without any window (and
# without a display), ends cleanly on SIGTERM and on SIGINT, and writes its
# settings as it ends; --help and --version need no display either.
# Usage: gui_headless.sh BIN_DIR SOURCE_DIR
set -euo pipefail
BIN=${1:?bin dir}
[ -x "$BIN/halvex3" ] || { echo "gui_headless: $BIN/halvex3 is missing" >&2; exit 1; }
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
unset DISPLAY WAYLAND_DISPLAY

"$BIN/halvex3" --help | grep -q -- "--input FILE"
"$BIN/halvex3" --version | grep -qx "halvex3 [0-9][0-9.]*"
if "$BIN/halvex3" --view map 2> "$T/err"; then echo "gui_headless: a bad --view was accepted" >&2; exit 1; fi
grep -q "map" "$T/err"

n=0
for switch in -Embedding /Automation; do
  for sig in TERM INT; do
    n=$((n + 1))
    S="$T/s$n.reg"
    "$BIN/halvex3" "$switch" --settings "$S" --view chart --log-dir "$T/logs" 2> "$T/err$n" &
    P=$!
    sleep 0.5
    kill -0 "$P" || { echo "gui_headless: $switch ended by itself" >&2; cat "$T/err$n" >&2; exit 1; }
    [ ! -e "$S" ] || ! grep -q '"ViewMode"=dword:00000003' "$S" || { echo "gui_headless: settings written before the end" >&2; exit 1; }
    kill -"$sig" "$P"
    rc=0; wait "$P" || rc=$?
    [ "$rc" = 0 ] || { echo "gui_headless: $switch ended with $rc on SIG$sig" >&2; cat "$T/err$n" >&2; exit 1; }
    grep -q '"ViewMode"=dword:00000003' "$S" || { echo "gui_headless: settings not written on SIG$sig" >&2; exit 1; }
    grep -q "LogDirectory" "$S"
  done
done
# A station started with --start that cannot capture (no sound server) ends
# with status 1, after saying so and writing its settings, so that a service
# manager can start it again; one that captures runs until the signal.
S="$T/nocard.reg"
rc=0
PULSE_SERVER=unix:$T/no-such-server timeout 20 "$BIN/halvex3" -Embedding --start --settings "$S" \
  --log-dir "$T/logs" 2> "$T/err-nocard" || rc=$?
[ "$rc" = 1 ] || { echo "gui_headless: -Embedding --start without a sound card ended with $rc" >&2; cat "$T/err-nocard" >&2; exit 1; }
grep -q "capture did not start" "$T/err-nocard" || { echo "gui_headless: no reason given" >&2; cat "$T/err-nocard" >&2; exit 1; }
grep -q "LogDirectory" "$S" || { echo "gui_headless: settings not written after a failed start" >&2; exit 1; }
if [ -f "$BIN/demo.wav" ]; then
  "$BIN/halvex3" -Embedding --start --input "$BIN/demo.wav" --settings "$T/input.reg" \
    --log-dir "$T/logs" 2> "$T/err-input" &
  P=$!
  sleep 1
  kill -0 "$P" || { echo "gui_headless: -Embedding --start --input ended by itself" >&2; cat "$T/err-input" >&2; exit 1; }
  kill -TERM "$P"
  rc=0; wait "$P" || rc=$?
  [ "$rc" = 0 ] || { echo "gui_headless: capturing station ended with $rc" >&2; exit 1; }
fi
echo "gui_headless: automation switches run windowless and end in order"
