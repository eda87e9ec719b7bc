#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# usage: check-library-preset.sh SOURCE_DIR CONSUMER_SRC WITH_DISPLAY CXX VERSION
# The README's install line on a machine with wxWidgets and nothing else:
# `cmake --preset library` with every other package this project looks for
# made unfindable, then build and install. The build must hold the library
# alone, the install the library's files alone, and the consumer host must
# build and run against that install through CMake and through pkg-config,
# finding the library at run time the way the README says.
set -euo pipefail
source_dir=$1 consumer=$2 with_display=$3 cxx=$4 version=$5
here=$(dirname "$0")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Every package any part of the project asks CMake for, but wxWidgets: a
# new dependency of the library fails this test until it is made optional.
hidden=$(find "$source_dir" \( -name 'build*' -o -name '.git' -o -path '*/tests/install/consumer' \) -prune -o \
           \( -name CMakeLists.txt -o -name '*.cmake' \) -print |
         xargs sed -n 's/^[^#]*find_package(\([A-Za-z0-9_]*\).*/\1/p' |
         grep -v -x -e wxWidgets -e tov_atsui | sort -u)
[ -n "$hidden" ] || fail "found no find_package calls under $source_dir"
disable=()
for package in $hidden; do disable+=("-DCMAKE_DISABLE_FIND_PACKAGE_$package=ON"); done
echo "hidden: $(echo $hidden)"

echo "== cmake --preset library"
(cd "$source_dir" && cmake --preset library -B "$work/build" -DCMAKE_CXX_COMPILER="$cxx" \
   "${disable[@]}") >"$work/configure.log" 2>&1 || { cat "$work/configure.log" >&2; fail "configure failed"; }
cmake --build "$work/build" -j 2 >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; fail "build failed"; }

# What the build linked (CMake's own compiler probes aside): the shared
# library and nothing else.
built=$(find "$work/build" -path '*/CMakeFiles/[0-9]*' -prune -o -type f \
          -exec sh -c 'head -c4 "$1" | grep -q ELF' _ {} \; -print |
        xargs -n1 basename | grep -v '\.o$' | sort | tr '\n' ' ')
[ "$built" = "libtov_atsui.so.$version " ] || fail "the library preset built more than the library: $built"

prefix=$work/prefix
cmake --install "$work/build" --prefix "$prefix" >/dev/null
unexpected=$(cd "$prefix" && find . -type f | grep -v -E \
  '^\./(include/atsui/|lib/([^/]+/)?(libtov_atsui\.so|cmake/tov_atsui/|pkgconfig/tov_atsui\.pc$)|share/doc/libtov-atsui|share/locale/[^/]+/LC_MESSAGES/tov_atsui\.mo$)' || true)
[ -z "$unexpected" ] || fail "the install holds more than the library: $unexpected"
echo "built: $built; installed $(cd "$prefix" && find . -type f | wc -l) files"

"$here/build-consumer.sh" "$prefix" "$consumer" "$work" "$with_display" "$cxx" "$version"
