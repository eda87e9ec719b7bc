#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the demo: the reference station. With a display it opens the station's
# launcher; without one it runs the station's scripted session under a
# private virtual display and writes one screenshot per window.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
program=$build/examples/station/atsui_station

if [ -n "${DISPLAY:-}" ]; then
  exec "$program"
fi
out=$build/screenshots
mkdir -p "$out"
"$root/tests/with-display.sh" "$program" --screenshots "$out"
echo "screenshots written to $out/"
