#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a Windows program of the cross build under Wine: the emulator ctest
# puts before each Windows test (after tests/with-display.sh).
#
#   wine-run.sh PROGRAM.exe ARGS...   runs it, exits with its status
#   wine-run.sh --init                creates the Wine prefix
#
# WINEPREFIX names the build's own Wine prefix; ATSUI_WINE_DLL_DIRS the
# folders of the DLLs the programs load (wxMSW, MinGW's runtime), separated
# by colons. Everything Wine started for the program ends with it, also when
# the run is stopped.
set -euo pipefail

: "${WINEPREFIX:?wine-run.sh: WINEPREFIX is not set}"
export WINEPREFIX
# Wine's own diagnostics off unless asked for; no dialog offering to install
# Mono or Gecko, which nothing here uses.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win64

# 64-bit only: Debian's wine script warns on every run that wine32 is missing.
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine || true)
[ -n "$wine" ] || { echo "wine-run.sh: Wine is not installed (apt-get install wine wine64)" >&2; exit 2; }
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || echo wineserver)

# Drive Z: is the root of the Linux file system in every prefix.
dll_path=
IFS=: read -r -a dirs <<<"${ATSUI_WINE_DLL_DIRS:-}"
for dir in "${dirs[@]}"; do
  [ -n "$dir" ] && dll_path+="${dll_path:+;}Z:${dir//\//\\}"
done
export WINEPATH=$dll_path

finish() { "$wineserver" -k >/dev/null 2>&1 || true; }

# Windows left to no window manager (the private display has none): Wine
# otherwise waits two seconds for one at every hide or destroy of a window.
unmanaged() {
  grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null && return 0
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  "$wineserver" -w
}

if [ "${1:-}" = "--init" ]; then
  mkdir -p "$WINEPREFIX"
  trap finish EXIT
  "$wine" wineboot --init >/dev/null 2>&1
  "$wineserver" -w
  unmanaged
  trap - EXIT
  [ -f "$WINEPREFIX/system.reg" ] || { echo "wine-run.sh: no prefix made in $WINEPREFIX" >&2; exit 1; }
  echo "Wine prefix ready: $WINEPREFIX"
  exit 0
fi

[ $# -ge 1 ] || { echo "usage: wine-run.sh PROGRAM.exe [ARGS...] | --init" >&2; exit 2; }
[ -f "$WINEPREFIX/system.reg" ] || { echo "wine-run.sh: no Wine prefix in $WINEPREFIX (wine-run.sh --init)" >&2; exit 2; }
unmanaged
trap finish EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
# Bash runs a trap only once its foreground command ends, so the program
# runs in the background: a TERM then ends it at once, through finish.
set +e
"$wine" "$@" &
wait $!
status=$?
set -e
exit $status
