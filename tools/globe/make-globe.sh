#!/usr/bin/env bash
# Remakes data/globe.dat from Natural Earth's 1:50m land polygons (public
# domain), fetched from the npm registry into a temporary directory.
#   bash tools/globe/make-globe.sh [OUTPUT]   (default: data/globe.dat)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="${1:-$here/../../data/globe.dat}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
npm init -y >/dev/null
npm install --no-audit --no-fund --silent world-atlas@2.0.2 topojson-client@3.1.0 >/dev/null
node "$here/make-globe.js" node_modules/world-atlas/land-50m.json "$out"
