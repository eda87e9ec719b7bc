#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# usage: check-install.sh BUILD_DIR CONSUMER_SRC WITH_DISPLAY CXX VERSION
# Installs the library into a scratch prefix and builds the consumer host
# against it, through the CMake package and through pkg-config.
set -euo pipefail
build_dir=$1 consumer=$2 with_display=$3 cxx=$4 version=$5
here=$(dirname "$0")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

echo "== install into $prefix"
cmake --install "$build_dir" --prefix "$prefix" >/dev/null
"$here/build-consumer.sh" "$prefix" "$consumer" "$work" "$with_display" "$cxx" "$version"
