#!/usr/bin/env bash
# Every program answers --version in one style: its own name, a blank and the
# project's version, on standard output, exit 0 (and halvex3 needs no display).
# Usage: versions.sh BIN_DIR SOURCE_DIR
set -uo pipefail
BIN=${1:?bin dir}
SRC=${2:?source dir}
version=$(sed -n 's/^project(Halvex VERSION \([0-9.]*\).*/\1/p' "$SRC/CMakeLists.txt")
[ -n "$version" ] || { echo "versions: no project version in $SRC/CMakeLists.txt" >&2; exit 1; }
failed=0
for p in halvex3 halvex3-decode halvex3-predict halvex3-synth halvex3-sensitivity; do
  [ -x "$BIN/$p" ] || { echo "versions: $BIN/$p is missing" >&2; failed=1; continue; }
  rc=0; out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$BIN/$p" --version 2>&1) || rc=$?
  [ "$rc" = 0 ] && [ "$out" = "$p $version" ] || {
    echo "versions: $p --version gave '$out' (exit $rc), wanted '$p $version'" >&2; failed=1; }
done
[ "$failed" = 0 ] && echo "versions: every program says '<name> $version'"
exit "$failed"
