#!/usr/bin/env bash
# Ten minutes of audio through one halvex3-decode process: the peak resident
# size after the first minute is the peak at the end, and every frame comes
# out. (scripts/long-run.sh with no argument runs a whole day.)
set -euo pipefail
BIN=$1
SRC=$2
CHUNK_SECONDS=60 bash "$SRC/scripts/long-run.sh" 600 "$BIN"
