#!/usr/bin/env bash
# halvex3 started where no display can be opened says so in one line, with the
# ways to run it headless, and exits 1 (no toolkit error, no trap).
# Usage: no_display.sh BIN_DIR SOURCE_DIR
set -uo pipefail
BIN=${1:?bin dir}
[ -x "$BIN/halvex3" ] || { echo "no_display: $BIN/halvex3 is missing" >&2; exit 1; }
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
export HOME="$T/home" XDG_CONFIG_HOME="$T/config"
mkdir -p "$HOME"
failed=0

check() {  # check WHAT: the last run's exit status and standard error
  local what=$1
  [ "$rc" = 1 ] || { echo "no_display: $what: exit status $rc, wanted 1" >&2; failed=1; }
  [ "$(wc -l < "$T/err")" = 1 ] || { echo "no_display: $what: not one line:" >&2; cat "$T/err" >&2; failed=1; }
  for word in "halvex3: no display could be opened" "-Embedding" "xvfb-run"; do
    grep -qF -- "$word" "$T/err" || { echo "no_display: $what: '$word' not said" >&2; failed=1; }
  done
}

rc=0; env -u DISPLAY -u WAYLAND_DISPLAY "$BIN/halvex3" --settings "$T/s.reg" > "$T/out" 2> "$T/err" || rc=$?
check "no DISPLAY"
# A display named but not there is the same to the user.
rc=0; env -u WAYLAND_DISPLAY DISPLAY=:4711 "$BIN/halvex3" --settings "$T/s.reg" > "$T/out" 2> "$T/err" || rc=$?
check "DISPLAY=:4711"
[ ! -s "$T/out" ] || { echo "no_display: wrote to standard output" >&2; failed=1; }
[ ! -e "$T/s.reg" ] || { echo "no_display: settings written without a window" >&2; failed=1; }

[ "$failed" = 0 ] && echo "no_display: one line and exit 1 without a display"
exit "$failed"
