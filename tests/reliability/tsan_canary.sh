#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# usage: tsan_canary.sh CANARY WITH_DISPLAY
# Runs a program that races on purpose under the suite's TSAN_OPTIONS (with
# its suppressions) and checks that ThreadSanitizer reports each race with
# the canary's own function in it, and that the locked variant runs clean: an
# option or a suppression that hid our own code would make this fail.
set -uo pipefail
canary=$1 with_display=$2

out=$(mktemp)
trap 'rm -f "$out"' EXIT
failed=0
for case in plain:canary_store memcpy:canary_copy string:tsan_canary.cpp handler:Notify; do
  name=${case%%:*} frame=${case#*:}
  "$with_display" "$canary" "$name" >"$out" 2>&1
  status=$?
  if [ "$status" -ne 0 ] && grep -q "WARNING: ThreadSanitizer: data race" "$out" &&
     grep -q " #[0-9]* .*$frame" "$out"; then
    echo "ok: the $name race is reported, in $frame"
  else
    echo "FAILED: the $name race went unreported (exit $status)"
    cat "$out"
    failed=1
  fi
done
"$with_display" "$canary" locked >"$out" 2>&1
status=$?
if [ "$status" -eq 0 ] && ! grep -q "ThreadSanitizer" "$out"; then
  echo "ok: the locked variant runs clean"
else
  echo "FAILED: the locked variant did not run clean (exit $status)"
  cat "$out"
  failed=1
fi
exit $failed
