#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# usage: check-debs.sh BUILD_DIR CONSUMER_SRC WITH_DISPLAY CXX VERSION
# Packs the Debian packages from the build, checks what each holds and
# depends on, unpacks the two library packages into a scratch root (never
# into the machine) and builds the consumer host against that root.
set -euo pipefail
build_dir=$1 consumer=$2 with_display=$3 cxx=$4 version=$5
here=$(dirname "$0")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*" >&2; exit 1; }

echo "== cpack into $work/debs"
cpack --config "$build_dir/CPackConfig.cmake" -B "$work/debs" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }

soversion=${version%%.*}
arch=$(dpkg --print-architecture)
runtime=$work/debs/libtov-atsui${soversion}_${version}_$arch.deb
dev=$work/debs/libtov-atsui-dev_${version}_$arch.deb
station=$work/debs/atsui-station_${version}_$arch.deb
for deb in "$runtime" "$dev"; do
  [ -f "$deb" ] || fail "no package $(basename "$deb") among: $(ls "$work/debs")"
done

# Depends as a list of bare names and of "name (relation)" entries.
depends() { dpkg-deb -f "$1" Depends | tr ',' '\n' | sed 's/^ *//; s/ *$//'; }
has_dep() { depends "$1" | grep -qx -- "$2" || fail "$(basename "$1") Depends lacks '$2': $(dpkg-deb -f "$1" Depends)"; }
has_dep_named() { depends "$1" | grep -q -- "^$2\( \|$\)" || fail "$(basename "$1") Depends lacks $2: $(dpkg-deb -f "$1" Depends)"; }

echo "== Depends"
echo "runtime: $(dpkg-deb -f "$runtime" Depends)"
echo "dev:     $(dpkg-deb -f "$dev" Depends)"
[ "$(dpkg-deb -f "$runtime" Version)" = "$version" ] || fail "runtime package version is not $version"
[ "$(dpkg-deb -f "$dev" Version)" = "$version" ] || fail "dev package version is not $version"
# What dpkg-shlibdeps found the library links, not a hand-written list.
has_dep_named "$runtime" libc6
has_dep_named "$runtime" libwxgtk3.2-1
has_dep_named "$runtime" libwxbase3.2-1
has_dep "$dev" "libtov-atsui${soversion} (= $version)"
has_dep "$dev" "libwxgtk3.2-dev"

echo "== contents"
root=$work/root
dpkg-deb -x "$runtime" "$work/runtime-only"
dpkg-deb -x "$runtime" "$root"
dpkg-deb -x "$dev" "$root"
# The runtime package holds the library and its SONAME link, nothing to build with.
soname_link=$(find "$work/runtime-only" -name "libtov_atsui.so.$soversion")
[ -L "$soname_link" ] || fail "runtime package lacks the SONAME link libtov_atsui.so.$soversion"
[ -f "$(dirname "$soname_link")/libtov_atsui.so.$version" ] || fail "runtime package lacks libtov_atsui.so.$version"
[ -z "$(find "$work/runtime-only" -name '*.h' -o -name 'libtov_atsui.so' -o -name '*.pc')" ] ||
  fail "runtime package holds development files"
dpkg-deb -I "$runtime" shlibs | grep -q "^libtov_atsui $soversion libtov-atsui$soversion" ||
  fail "runtime package has no shlibs entry for libtov_atsui $soversion"
# The dev package: headers incl. the generated version, the .so link, the packages.
for file in include/atsui/atsui.h include/atsui/version.h include/atsui/station/frame.h; do
  [ -f "$root/usr/$file" ] || fail "dev package lacks /usr/$file"
done
grep -q "ATSUI_VERSION_STRING \"$version\"" "$root/usr/include/atsui/version.h" ||
  fail "packaged version.h is not $version"
[ -z "$(find "$root/usr/include" -path '*/detail/*')" ] || fail "dev package holds private headers"
link=$(find "$root/usr/lib" -name libtov_atsui.so)
[ -L "$link" ] && [ -e "$link" ] || fail "dev package lacks a working libtov_atsui.so link"
find "$root/usr/lib" -name tov_atsuiConfig.cmake | grep -q . || fail "dev package lacks the CMake package"
find "$root/usr/lib" -name tov_atsui.pc | grep -q . || fail "dev package lacks the pkg-config file"

# The station package, when the build has the station.
if [ -f "$station" ]; then
  echo "station: $(dpkg-deb -f "$station" Depends)"
  has_dep "$station" "libtov-atsui${soversion} (= $version)"
  has_dep_named "$station" libsqlite3-0
  dpkg-deb -x "$station" "$work/station"
  for program in atsui_station atsui_instrument_sim; do
    [ -x "$work/station/usr/bin/$program" ] || fail "station package lacks usr/bin/$program"
  done
  find "$work/station/usr/lib" -name manual_operation_dialog.so | grep -q . ||
    fail "station package lacks the manual operation plug-in"
  ls "$work/station/usr/share/atsui-station/projects/"*.atp >/dev/null ||
    fail "station package lacks the sample projects"
fi

echo "== consumer against the unpacked root"
"$here/build-consumer.sh" "$root/usr" "$consumer" "$work" "$with_display" "$cxx" "$version"
