#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# usage: build-consumer.sh PREFIX CONSUMER_SRC WORK WITH_DISPLAY CXX VERSION
# Builds and runs the consumer host against the files installed under PREFIX,
# once through find_package and once through pkg-config with wx-config for the
# host's own wx components. Neither run is told where the library is: the
# CMake build puts the library's folder into the host's RUNPATH by itself,
# the pkg-config build does it with the flag the README gives.
set -euo pipefail
prefix=$1 consumer=$2 work=$3 with_display=$4 cxx=$5 version=$6
unset LD_LIBRARY_PATH

echo "== CMake package"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S "$consumer" -B "$work/cmake-build" "${generator[@]}" \
      -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
      -DATSUI_EXPECTED_VERSION="$version" >/dev/null
cmake --build "$work/cmake-build"
"$with_display" "$work/cmake-build/consumer"

echo "== pkg-config"
PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name tov_atsui.pc -print -quit)")
export PKG_CONFIG_PATH
found=$(pkg-config --modversion tov_atsui)
[ "$found" = "$version" ] || { echo "pkg-config gives version $found, not $version" >&2; exit 1; }
# shellcheck disable=SC2046
"$cxx" -std=c++17 "$consumer/main.cpp" -o "$work/consumer-pc" -DEXPECTED_VERSION="\"$version\"" \
       $(pkg-config --cflags tov_atsui) $(pkg-config --libs tov_atsui) \
       -Wl,-rpath,"$(pkg-config --variable=libdir tov_atsui)" \
       $(wx-config --libs net,html,core,base)
"$with_display" "$work/consumer-pc"

echo "consumer built and ran against $prefix"
