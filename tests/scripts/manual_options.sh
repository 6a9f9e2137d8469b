#!/usr/bin/env bash
# The manual's section of each command-line program names every option that
# the program's --help lists, and the README's Files section does not promise
# --settings to halvex3-synth, which reads no settings.
# Usage: manual_options.sh BIN_DIR SOURCE_DIR
set -uo pipefail
BIN=${1:?bin dir}
SRC=${2:?source dir}
MANUAL="$SRC/docs/manual/index.html"
failed=0
for p in halvex3-decode halvex3-synth halvex3-predict; do
  [ -x "$BIN/$p" ] || { echo "manual_options: $BIN/$p is missing" >&2; failed=1; continue; }
  # The program's section: from its heading to the next heading.
  section=$(awk -v h="<h3>$p</h3>" '$0 == h {on = 1; next} on && /<h[23]/ {exit} on' "$MANUAL")
  [ -n "$section" ] || { echo "manual_options: no section for $p" >&2; failed=1; continue; }
  for opt in $("$BIN/$p" --help | grep -oE '^ +(-[a-z], )?--[a-z0-9-]+' | grep -oE -- '--[a-z0-9-]+'); do
    case $opt in --help | --version) continue ;; esac
    grep -qF -- "$opt" <<< "$section" || { echo "manual_options: $p $opt is not in the manual" >&2; failed=1; }
  done
done
if "$BIN/halvex3-synth" --settings x -o - > /dev/null 2>&1; then
  echo "manual_options: halvex3-synth took --settings" >&2; failed=1
fi
if tr -s '\n ' '  ' < "$SRC/README.md" | grep -qiE 'every program takes `?--settings'; then
  echo "manual_options: the README says every program takes --settings" >&2; failed=1
fi
[ "$failed" = 0 ] && echo "manual_options: the manual lists every option of the tools"
exit "$failed"
