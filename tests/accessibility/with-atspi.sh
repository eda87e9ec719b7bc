#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command with what a screen reader needs and nothing of the
# machine's own: a private Xvfb, a private D-Bus session bus and a private
# accessibility bus with its registry. Unlike with-display.sh it leaves the
# toolkit's accessibility bridge on. The command gets ATSUI_ATSPI_TIMEOUT
# seconds (default 180). When it ends, or this script is interrupted,
# every process started here ends too.
set -euo pipefail

for tool in Xvfb dbus-daemon dbus-send /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null || { echo "with-atspi.sh: $tool is missing (scripts/install-deps.sh)" >&2; exit 2; }
done

tmp=$(mktemp -d)
chmod 700 "$tmp"

# The buses start the launcher and the registry themselves, and those leave
# our process tree; every process started here, however it was started,
# inherits this mark in its environment, and the cleanup looks for it.
mark="ATSUI_ATSPI_RUN=$$-$RANDOM$RANDOM"
export "${mark?}"

marked() {
  MARKED=()
  # env drops the mark before grep starts, so the listing does not find itself.
  env -u "${mark%%=*}" grep -lzx -- "$mark" /proc/[0-9]*/environ >"$tmp/marked" 2>/dev/null || true
  local file pid
  while read -r file; do
    pid=${file#/proc/}
    pid=${pid%/environ}
    [ "$pid" != $$ ] && MARKED+=("$pid")
  done <"$tmp/marked"
  return 0
}

cleanup() {
  local status=$? signal
  trap - EXIT
  trap '' INT TERM
  for signal in TERM KILL; do
    marked
    [ ${#MARKED[@]} -eq 0 ] && break
    kill -"$signal" "${MARKED[@]}" 2>/dev/null || true
    for _ in $(seq 60); do
      marked
      [ ${#MARKED[@]} -eq 0 ] && break
      sleep 0.05
    done
  done
  wait 2>/dev/null || true
  marked
  if [ ${#MARKED[@]} -ne 0 ]; then
    echo "with-atspi.sh: processes left behind:" >&2
    ps -o pid,args -p "${MARKED[@]}" >&2 || true
    status=1
  elif [ "$status" -ne 0 ]; then
    cat "$tmp"/*.log >&2 2>/dev/null || true
  fi
  rm -rf "$tmp"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

wait_for_file() {  # file pid what
  for _ in $(seq 200); do
    [ -s "$1" ] && return 0
    kill -0 "$2" 2>/dev/null || break
    sleep 0.05
  done
  echo "with-atspi.sh: $3 did not start" >&2
  exit 2
}

Xvfb -displayfd 5 -screen 0 "${ATSUI_SCREEN:-1600x1200x24}" -nolisten tcp -noreset 5>"$tmp/display" 2>"$tmp/xvfb.log" &
wait_for_file "$tmp/display" $! Xvfb
DISPLAY=":$(head -n1 "$tmp/display")"
export DISPLAY

# Sockets, and the accessibility bus's address file, stay in our folder.
export XDG_RUNTIME_DIR=$tmp HOME=$tmp
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS NO_AT_BRIDGE
dbus-daemon --session --nofork --nopidfile --address="unix:path=$tmp/session" \
  --print-address=6 6>"$tmp/session-address" 2>"$tmp/dbus.log" &
wait_for_file "$tmp/session-address" $! "the session bus"
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$tmp/session-address")
export DBUS_SESSION_BUS_ADDRESS

# Asking for the accessibility bus's address starts it: the session bus
# starts at-spi-bus-launcher, which starts the accessibility bus; that bus
# starts the registry when the first application registers.
for _ in $(seq 100); do
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null 2>"$tmp/at-spi.log" && break
  sleep 0.1
done
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
  >/dev/null 2>>"$tmp/at-spi.log" || { echo "with-atspi.sh: the accessibility bus did not start" >&2; exit 2; }

export GDK_BACKEND=x11
# In the background, so that a signal to this script is handled at once
# rather than after the command.
timeout --kill-after=5 "${ATSUI_ATSPI_TIMEOUT:-180}" "$@" <&0 &
command=$!
set +e
wait "$command"
status=$?
set -e
exit $status
