#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# usage: check-abi.sh BUILD_DIR BASELINE
# Compares the library built in BUILD_DIR with the ABI dump of the last
# release that set its SONAME (docs/abi.md). Fails on any change a host
# built against that release would suffer: a removed or changed function or
# variable, or a changed type that one reaches (a class grown by a member,
# a virtual function added). Additions pass. When the SONAME moved, hosts
# of the baseline cannot load this library by mistake, and the test passes.
set -euo pipefail
build_dir=$1 baseline=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

command -v abidiff >/dev/null || fail "abidiff is not installed (apt-get install abigail-tools)"
library=$(find "$build_dir" -maxdepth 1 -name 'libtov_atsui.so.*.*.*' -print -quit)
[ -n "$library" ] || fail "no libtov_atsui.so.X.Y.Z in $build_dir"
readelf -S --wide "$library" | grep -q '\.debug_info' ||
  fail "$library has no debug information, which the comparison reads: build it with -g" \
       "(the default preset's RelWithDebInfo)"

soname=$(readelf -d "$library" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
baseline_soname=$(sed -n "s/.*<abi-corpus [^>]*soname='\([^']*\)'.*/\1/p" "$baseline" | head -n1)
[ -n "$baseline_soname" ] || fail "$baseline names no SONAME"
echo "library $(basename "$library") ($soname), baseline $(basename "$baseline") ($baseline_soname)"
if [ "$soname" != "$baseline_soname" ]; then
  echo "The SONAME moved from $baseline_soname to $soname: no host of the baseline loads this"
  echo "library. Dump the new baseline when this version is released (tests/abi/dump-abi.sh)."
  exit 0
fi

# The public headers as a host gets them.
cmake --install "$build_dir" --component dev --prefix "$work/prefix" >/dev/null
status=0
abidiff --headers-dir2 "$work/prefix/include" --no-unreferenced-symbols --suppressions "$(dirname "$0")/not-interface.suppr" \
        "$baseline" "$library" >"$work/report" 2>&1 || status=$?
cat "$work/report"
(( status & 1 )) && fail "abidiff could not compare (status $status)"

# "N Removed, M Changed" of the summaries: functions, variables, symbols.
broken=$(grep -E '^(Functions|Variables|Function symbols|Variable symbols) changes summary:' \
           "$work/report" | grep -o -E '[0-9]+ (Removed|Changed)' | grep -v -E '^0 ' || true)
if (( status & 8 )) || [ -n "$broken" ]; then
  fail "the ABI of $soname changed against $(basename "$baseline"): $(echo $broken)." \
       "Hosts built against it would break. Undo the change, or move the SONAME (the major" \
       "version in project()) as docs/abi.md says."
fi
if (( status & 4 )); then
  echo "Additions only: compatible, and a reason for a new minor version."
else
  echo "No change of the ABI against $(basename "$baseline")."
fi
