#!/usr/bin/env bash
# Runs the demo. With a display it opens the windows; without one it runs
# under a private virtual display and writes screenshots.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
program=$build/examples/gallery/atsui_gallery

if [ -n "${DISPLAY:-}" ]; then
  exec "$program"
fi
out=$build/screenshots
mkdir -p "$out"
"$root/tests/with-display.sh" "$program" --screenshots "$out"
echo "screenshots written to $out/"
