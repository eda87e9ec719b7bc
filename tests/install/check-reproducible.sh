#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# usage: check-reproducible.sh BUILD_DIR
# Packs the Debian packages of one build twice, as `make package` does
# (SOURCE_DATE_EPOCH of the last commit), and compares them byte for byte;
# on a difference, names the package and the files that differ.
set -euo pipefail
build_dir=$1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

source_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build_dir/CMakeCache.txt")
SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null) || unset SOURCE_DATE_EPOCH
export ${SOURCE_DATE_EPOCH+SOURCE_DATE_EPOCH}
for run in 1 2; do
  cpack --config "$build_dir/CPackConfig.cmake" -B "$work/$run" >"$work/cpack-$run.log" 2>&1 ||
    { cat "$work/cpack-$run.log" >&2; fail "cpack run $run failed"; }
  # Apart in time, so that a clock read anywhere shows.
  [ "$run" = 1 ] && sleep 1.1
done

status=0
count=0
for first in "$work"/1/*.deb; do
  name=$(basename "$first")
  second=$work/2/$name
  [ -f "$second" ] || fail "the second run made no $name"
  a=$(sha256sum <"$first" | cut -d' ' -f1)
  b=$(sha256sum <"$second" | cut -d' ' -f1)
  echo "$a $b $name"
  count=$((count + 1))
  if [ "$a" != "$b" ]; then
    status=1
    for run in 1 2; do
      mkdir -p "$work/x$run-$name"
      dpkg-deb -R "$work/$run/$name" "$work/x$run-$name"
    done
    echo "  differing files:" >&2
    diff -rq "$work/x1-$name" "$work/x2-$name" >&2 || true
    diff <(dpkg-deb -c "$first") <(dpkg-deb -c "$second") >&2 || true
  fi
done
[ "$count" -gt 0 ] || fail "cpack made no packages in $work/1"
[ "$status" -eq 0 ] || fail "two packings of one build differ"
echo "$count packages, identical in two runs"
