#!/usr/bin/env bash
# Installs what is needed, builds the programs and starts the desktop program.
# Arguments are passed on to halvex3 (try --help).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DHALVEX_TESTS=OFF -DHALVEX_BENCH=OFF
cmake --build build -j "$(nproc)"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display; starting under xvfb-run" >&2
  exec xvfb-run -a build/bin/halvex3 "$@"
fi
exec build/bin/halvex3 "$@"
