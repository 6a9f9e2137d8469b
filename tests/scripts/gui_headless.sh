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
echo "gui_headless: automation switches run windowless and end in order"
