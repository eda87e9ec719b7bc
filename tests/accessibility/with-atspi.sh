#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command with what a screen reader needs and nothing of the
# machine's own: a private Xvfb, a private D-Bus session bus and a private
# accessibility bus with its registry. Unlike with-display.sh it leaves the
# toolkit's accessibility bridge on. Everything it starts runs in one process
# group of its own, ended when the command ends, however it ends; the command
# gets ATSUI_ATSPI_TIMEOUT seconds (default 180).
set -euo pipefail

for tool in Xvfb dbus-daemon dbus-send /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null || { echo "with-atspi.sh: $tool is missing (scripts/install-deps.sh)" >&2; exit 2; }
done

# A process group of our own, so that the cleanup reaches the buses'
# children too and nothing else.
if [ "${ATSUI_ATSPI_INNER:-}" != 1 ]; then
  export ATSUI_ATSPI_INNER=1
  exec setsid --wait "$0" "$@"
fi
unset ATSUI_ATSPI_INNER

tmp=$(mktemp -d)
chmod 700 "$tmp"
group=$$

# Live processes of our group but this shell, read from /proc so that no
# helper process of the listing counts itself.
others() {
  OTHERS=()
  local stat line pid
  for stat in /proc/[0-9]*/stat; do
    { read -r line <"$stat"; } 2>/dev/null || continue
    pid=${stat#/proc/}
    pid=${pid%/stat}
    set -- ${line##*) }  # state, parent, group, ...
    [ "$3" = "$group" ] && [ "$1" != Z ] && [ "$pid" != $$ ] && OTHERS+=("$pid")
  done
  return 0
}

cleanup() {
  local status=$? signal
  trap - EXIT
  trap '' INT TERM
  for signal in TERM KILL; do
    others
    [ ${#OTHERS[@]} -eq 0 ] && break
    kill -"$signal" "${OTHERS[@]}" 2>/dev/null || true
    for _ in $(seq 60); do
      others
      [ ${#OTHERS[@]} -eq 0 ] && break
      sleep 0.05
    done
  done
  wait 2>/dev/null || true
  others
  if [ ${#OTHERS[@]} -ne 0 ]; then
    echo "with-atspi.sh: processes left behind:" >&2
    ps -o pid,args -p "${OTHERS[@]}" >&2 || true
    status=1
  elif [ "$status" -ne 0 ]; then
    cat "$tmp"/*.log >&2 2>/dev/null || true
  fi
  rm -rf "$tmp"
  exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wait_for_file() {  # file pid what
  for _ in $(seq 200); do
    [ -s "$1" ] && return 0
    kill -0 "$2" 2>/dev/null || break
    sleep 0.05
  done
  echo "with-atspi.sh: $3 did not start" >&2
  cat "$tmp"/*.log >&2 2>/dev/null || true
  exit 2
}

Xvfb -displayfd 5 -screen 0 "${ATSUI_SCREEN:-1600x1200x24}" -nolisten tcp -noreset 5>"$tmp/display" 2>"$tmp/xvfb.log" &
wait_for_file "$tmp/display" $! Xvfb
export DISPLAY=":$(head -n1 "$tmp/display")"

# Sockets, and the accessibility bus's address file, stay in our folder.
export XDG_RUNTIME_DIR=$tmp HOME=$tmp
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS NO_AT_BRIDGE
dbus-daemon --session --nofork --nopidfile --address="unix:path=$tmp/session" \
  --print-address=6 6>"$tmp/session-address" 2>"$tmp/dbus.log" &
wait_for_file "$tmp/session-address" $! "the session bus"
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$tmp/session-address")

# Asking for the accessibility bus's address starts it: the session bus
# starts at-spi-bus-launcher, which starts the accessibility bus; that bus
# starts the registry when the first application registers. All of them
# stay in our process group.
for _ in $(seq 100); do
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null 2>"$tmp/at-spi.log" && break
  sleep 0.1
done
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
  >/dev/null 2>>"$tmp/at-spi.log" || { echo "with-atspi.sh: the accessibility bus did not start" >&2; exit 2; }

export GDK_BACKEND=x11 GTK_A11Y=atk
set +e
timeout --kill-after=5 "${ATSUI_ATSPI_TIMEOUT:-180}" "$@"
status=$?
set -e
exit $status
