#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Screenshot of a Windows program's main window under Wine, on the display
# of the caller (tests/with-display.sh): starts it, waits for its window by
# title, lets it settle, captures the window, ends the program.
#
#   windows-shot.sh PROGRAM.exe TITLE OUT.png
set -euo pipefail
program=$1 title=$2 out=$3

"$(dirname "$0")/../tests/windows/wine-run.sh" "$program" &
runner=$!
trap 'kill $runner 2>/dev/null; wait $runner 2>/dev/null || true' EXIT

id=
for _ in $(seq 120); do
  id=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$title\"" 'index($0, t) { print $1; exit }')
  [ -n "$id" ] && break
  kill -0 $runner 2>/dev/null || { echo "windows-shot.sh: $program ended before its window showed" >&2; exit 1; }
  sleep 0.5
done
[ -n "$id" ] || { echo "windows-shot.sh: no window \"$title\" within 60 s" >&2; exit 1; }
sleep 3
read -r x y w h < <(xwininfo -id "$id" | awk '
  /Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
  /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }')
import -window root -crop "${w}x${h}+${x}+${y}" +repage "$out"
echo "wrote $out"
