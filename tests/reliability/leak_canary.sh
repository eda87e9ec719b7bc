#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# usage: leak_canary.sh CANARY WITH_DISPLAY SUPPRESSIONS
# Runs a program that leaks on purpose under the suite's leak suppressions and
# checks that LeakSanitizer reports every one of its leaks: a suppression that
# hid our own code would make this fail.
set -uo pipefail
canary=$1 with_display=$2 suppressions=$3

out=$(mktemp)
trap 'rm -f "$out"' EXIT
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$suppressions" \
  "$with_display" "$canary" >"$out" 2>&1
status=$?

failed=0
if [ "$status" -eq 0 ]; then
  echo "FAILED: the canary leaked and the run still succeeded"
  failed=1
fi
for frame in canary_leak_in_test_code 'tov_atsui::Frame::Frame' canary_leak_in_timer_handler; do
  if grep -q "in .*$frame" "$out"; then
    echo "ok: a leak from $frame is reported"
  else
    echo "FAILED: no leak reported from $frame"
    failed=1
  fi
done
if [ "$failed" -ne 0 ]; then
  cat "$out"
  exit 1
fi
