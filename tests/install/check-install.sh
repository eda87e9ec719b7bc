#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# usage: check-install.sh BUILD_DIR CONSUMER_SRC WITH_DISPLAY CXX
set -euo pipefail
build_dir=$1 consumer=$2 with_display=$3 cxx=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

echo "== install into $prefix"
cmake --install "$build_dir" --prefix "$prefix" >/dev/null

echo "== CMake package"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S "$consumer" -B "$work/cmake-build" "${generator[@]}" \
      -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$work/cmake-build"
"$with_display" "$work/cmake-build/consumer"

echo "== pkg-config"
pcdir=$(dirname "$(find "$prefix" -name tov_atsui.pc)")
export PKG_CONFIG_PATH=$pcdir
# shellcheck disable=SC2046
"$cxx" -std=c++17 "$consumer/main.cpp" -o "$work/consumer-pc" $(pkg-config --cflags --libs tov_atsui)
LD_LIBRARY_PATH=$(pkg-config --variable=libdir tov_atsui) "$with_display" "$work/consumer-pc"

echo "install check passed"
