#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# usage: dump-abi.sh BUILD_DIR OUT
# Writes the ABI of the library built in BUILD_DIR (with debug information)
# as libabigail XML: the types of the installed public headers only, file
# names without folders, so that the dump is the same from any checkout.
# A release that moves the SONAME keeps its dump here as the new baseline.
set -euo pipefail
build_dir=$1 out=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
library=$(find "$build_dir" -maxdepth 1 -name 'libtov_atsui.so.*.*.*' -print -quit)
[ -n "$library" ] || { echo "no libtov_atsui.so.X.Y.Z in $build_dir" >&2; exit 1; }
# Everything: releases before the install components had none.
cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
[ -f "$work/prefix/include/atsui/atsui.h" ] || { echo "the install holds no atsui/atsui.h" >&2; exit 1; }
abidw --headers-dir "$work/prefix/include" --drop-private-types --drop-undefined-syms \
      --short-locs --no-corpus-path --no-comp-dir-path --out-file "$out" "$library"
echo "wrote the ABI of $(basename "$library") to $out"
