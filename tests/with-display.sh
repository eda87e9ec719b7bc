#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command under a private Xvfb server. -displayfd lets the server pick a
# free display itself, so parallel runs never race for one. ATSUI_SCREEN sets
# the screen's size and depth (default 1600x1200x24).
set -euo pipefail

if ! command -v Xvfb >/dev/null; then
  echo "with-display.sh: Xvfb is not installed (apt-get install xvfb)" >&2
  exit 2
fi

tmp=$(mktemp -d)
xpid=
cleanup() {
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null && wait "$xpid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

Xvfb -displayfd 5 -screen 0 "${ATSUI_SCREEN:-1600x1200x24}" -nolisten tcp -noreset 5>"$tmp/display" 2>"$tmp/log" &
xpid=$!
for _ in $(seq 200); do
  [ -s "$tmp/display" ] && break
  kill -0 "$xpid" 2>/dev/null || { cat "$tmp/log" >&2; exit 2; }
  sleep 0.05
done
[ -s "$tmp/display" ] || { echo "with-display.sh: Xvfb did not start" >&2; cat "$tmp/log" >&2; exit 2; }

export DISPLAY=":$(head -n1 "$tmp/display")"
# No accessibility bus or session bus under a bare X server.
export NO_AT_BRIDGE=1 GDK_BACKEND=x11
set +e
"$@"
status=$?
set -e
exit $status
