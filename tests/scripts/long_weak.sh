#!/usr/bin/env bash
# A slice of the weak-signal receiver's false-frame run (scripts/long-run-weak.sh
# with no argument runs a whole day of each): ten minutes of white noise and
# of flags with random data between them, weak and fair, and not one frame
# added.
set -euo pipefail
BIN=$1
SRC=$2
bash "$SRC/scripts/long-run-weak.sh" 600 "$BIN" -1 6
