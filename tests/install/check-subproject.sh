#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# usage: check-subproject.sh SOURCE_DIR CONSUMER_SRC WITH_DISPLAY CXX VERSION
# The consumer host adds this project with add_subdirectory, on a machine
# where nothing but wx is found: the build must hold the library and the
# host's own program, nothing else, and the host must run.
set -euo pipefail
source_dir=$1 consumer=$2 with_display=$3 cxx=$4 version=$5

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# What the tests, examples and benchmarks would look for is made unfindable.
cmake -S "$consumer" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CXX_COMPILER="$cxx" -DATSUI_SOURCE_DIR="$source_dir" \
      -DATSUI_EXPECTED_VERSION="$version" \
      -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
      -DCMAKE_DISABLE_FIND_PACKAGE_PkgConfig=ON -DCMAKE_DISABLE_FIND_PACKAGE_X11=ON >/dev/null

# Every linked artefact in the build graph.
linked=$(ninja -C "$work/build" -t targets all |
         sed -n 's/^\(.*\): CXX_\(EXECUTABLE\|SHARED_LIBRARY\|STATIC_LIBRARY\|MODULE\)_LINKER.*/\1/p' |
         xargs -n1 basename | sort | tr '\n' ' ')
echo "linked: $linked"
[ "$linked" = "consumer libtov_atsui.a " ] || {
  echo "a sub-project build must hold the library and the host alone" >&2
  exit 1
}
cmake --build "$work/build"
"$with_display" "$work/build/consumer"
