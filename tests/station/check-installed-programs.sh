#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# usage: check-installed-programs.sh BUILD_DIR PROJECT VERSION   (under a display)
# The station component installed into a scratch prefix, as a desktop and a
# terminal see it: the manual page of each program tells every option its
# --help tells and renders without a warning; the simulator answers --help
# and --version on stdout with status 0 and refuses mistakes with status 2;
# the station's window has the class its desktop entry names and the icon
# drawn from the installed SVG, and none when that file is gone.
set -euo pipefail
build_dir=$1 project=$2 version=$3

work=$(mktemp -d)
station_pid=
cleanup() {
  if [ -n "$station_pid" ]; then
    kill "$station_pid" 2>/dev/null || true
    wait "$station_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
for component in runtime station; do
  cmake --install "$build_dir" --prefix "$prefix" --component "$component" >/dev/null
done
libdir=$(dirname "$(find "$prefix" -name 'libtov_atsui.so.*' -print -quit)")
export LD_LIBRARY_PATH=$libdir
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
export XDG_DATA_HOME=$work/data XDG_DATA_DIRS=$work/no-data
mkdir -p "$HOME"

echo "== manual pages"
for program in atsui_station atsui_instrument_sim; do
  page=$prefix/share/man/man1/$program.1.gz
  [ -f "$page" ] || fail "no manual page $page"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$work/$program.txt") ||
    fail "man cannot render $page"
  [ -z "$warnings" ] || fail "$page renders with warnings: $warnings"
  zcat "$page" | grep -q "^\.TH \"*${program^^}\"* \"*1\"* .*\"$program $version\"" ||
    fail "$page is not dated for $program $version: $(zcat "$page" | grep '^\.TH')"
  help=$(env -u DISPLAY "$prefix/bin/$program" --help)
  options=$(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u)
  [ "$(wc -l <<<"$options")" -ge 5 ] || fail "$program --help lists too few options: $help"
  # man renders hyphens as U+2010 when it breaks a word: compare unbroken text.
  rendered=$(tr -d '\n' <"$work/$program.txt" | sed 's/‐ *//g; s/  */ /g')
  for option in $options; do
    grep -q -- "$option" <<<"$rendered" || fail "$page does not tell $option"
  done
  echo "$program: $(wc -l <<<"$options") options, all in its manual page"
done

echo "== simulator command line"
sim=$prefix/bin/atsui_instrument_sim
"$sim" --help >"$work/out" 2>"$work/err" || fail "--help exits $?"
[ -s "$work/out" ] && [ ! -s "$work/err" ] || fail "--help must print to stdout alone"
grep -q -- "--fault KIND" "$work/out" || fail "--help does not describe --fault"
[ "$("$sim" --version)" = "atsui_instrument_sim $version" ] ||
  fail "--version says '$("$sim" --version)'"
for mistake in "--bogus" "--port=70000" "--port=12x" "--seed" "--fault=melt" "--bind=1.2.3"; do
  status=0
  "$sim" "$mistake" >"$work/out" 2>"$work/err" || status=$?
  [ "$status" = 2 ] || fail "$mistake exits $status, not 2"
  [ ! -s "$work/out" ] || fail "$mistake prints to stdout: $(cat "$work/out")"
  option=${mistake%%=*}
  grep -q -- "$option" "$work/err" || fail "$mistake: the message does not name $option: $(cat "$work/err")"
done
echo "mistakes refused with status 2 and a message naming the option"

echo "== desktop entry and window"
entry=$prefix/share/applications/atsui-station.desktop
desktop-file-validate "$entry" || fail "$entry does not validate"
wm_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
[ "$wm_class" = "$(basename "$entry" .desktop)" ] ||
  fail "StartupWMClass '$wm_class' is not the desktop ID $(basename "$entry" .desktop)"

# Starts the installed station on the project; sets window to its main window's id.
start_station() {
  "$prefix/bin/atsui_station" --project "$project" --cells 1 --database "$work/history.db" \
    >"$work/station.log" 2>&1 &
  station_pid=$!
  for _ in $(seq 300); do
    window=$(xwininfo -root -tree | sed -n 's/^ *\(0x[0-9a-f]*\) "ATSUI Test Station - .*/\1/p' | head -n1)
    [ -n "$window" ] && return
    kill -0 "$station_pid" 2>/dev/null || fail "the station ended: $(cat "$work/station.log")"
    sleep 0.1
  done
  fail "no station window within 30 s: $(cat "$work/station.log")"
}
stop_station() {
  kill "$station_pid"
  wait "$station_pid" 2>/dev/null || true
  station_pid=
}

start_station
class=$(xprop -id "$window" WM_CLASS | sed -n 's/.*", "\(.*\)"$/\1/p')
[ "$class" = "$wm_class" ] || fail "the window's class is '$class', the desktop entry's '$wm_class'"
xprop -id "$window" _NET_WM_ICON >"$work/icon.txt"
sizes=$(grep -o 'Icon ([0-9]* x [0-9]*)' "$work/icon.txt" | tr '\n' ' ')
for side in 16 32 48 128; do
  grep -q "Icon ($side x $side)" <<<"$sizes" || fail "no $side x $side window icon among: $sizes"
done
echo "window class $class, icons: $sizes"
stop_station

svg=$prefix/share/icons/hicolor/scalable/apps/atsui-station.svg
mv "$svg" "$work/away.svg"
start_station
xprop -id "$window" _NET_WM_ICON | grep -q "not found" ||
  fail "the window has an icon with the installed SVG gone: it is not drawn from that file"
stop_station
echo "without the installed SVG the window has no icon"
