#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# usage: build-consumer.sh PREFIX LIB_ROOT CONSUMER_SRC WORK WITH_DISPLAY CXX VERSION
# Builds and runs the consumer host against the files installed under PREFIX,
# once through find_package and once through pkg-config with wx-config for the
# host's own wx components. LIB_ROOT is where the shared library is found at
# run time (the prefix, or a scratch root holding unpacked packages).
set -euo pipefail
prefix=$1 lib_root=$2 consumer=$3 work=$4 with_display=$5 cxx=$6 version=$7

libdir=$(dirname "$(find "$lib_root" -name 'libtov_atsui.so.*' -print -quit)")
export LD_LIBRARY_PATH=$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}

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
       $(wx-config --libs net,html,core,base)
"$with_display" "$work/consumer-pc"

echo "consumer built and ran against $prefix"
