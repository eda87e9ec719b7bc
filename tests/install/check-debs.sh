#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# usage: check-debs.sh BUILD_DIR CONSUMER_SRC WITH_DISPLAY CXX VERSION
# Packs the Debian packages from the build, checks what each holds and
# depends on and what lintian says of them, unpacks the two library packages
# into a scratch root (never into the machine) and builds the consumer host
# against that root.
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
doc=$work/debs/libtov-atsui-doc_${version}_all.deb
for deb in "$runtime" "$dev" "$doc"; do
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
# The layer's German captions, for hosts that load the catalog tov_atsui.
[ -f "$work/runtime-only/usr/share/locale/de/LC_MESSAGES/tov_atsui.mo" ] ||
  fail "runtime package lacks the German catalog of tov_atsui"
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
  for language in en de; do
    [ -f "$work/station/usr/share/locale/$language/LC_MESSAGES/atsui-station.mo" ] ||
      fail "station package lacks its $language catalog"
  done
fi

echo "== Debian's rules"
# What lintian reports is fixed or overridden with a reason in the package
# (cmake/debian/*.lintian-overrides): any tag it still prints fails.
command -v lintian >/dev/null || fail "lintian is not installed (apt-get install lintian)"
lintian -I --pedantic --fail-on error,warning,info,pedantic "$work"/debs/*.deb ||
  fail "lintian reports the tags above"
debs=("$runtime" "$dev" "$doc")
[ -f "$station" ] && debs+=("$station")
synopses=$(for deb in "${debs[@]}"; do dpkg-deb -f "$deb" Description | sed -n 1p; done)
[ "$(sort -u <<<"$synopses" | wc -l)" -eq "${#debs[@]}" ] ||
  fail "packages share a synopsis: $synopses"
[ "$(dpkg-deb -f "$runtime" Multi-Arch)" = "same" ] || fail "runtime package is not Multi-Arch: same"
for deb in "${debs[@]}"; do
  name=$(dpkg-deb -f "$deb" Package)
  dpkg-deb -x "$deb" "$work/x-$name"
  grep -q "^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" \
    "$work/x-$name/usr/share/doc/$name/copyright" || fail "$name: copyright is not DEP-5"
  gzip -dc "$work/x-$name/usr/share/doc/$name/changelog.gz" | sed -n 1p |
    grep "^tov-atsui ([0-9.]*) " >/dev/null || fail "$name: no Debian changelog"
done
# ldconfig runs from dpkg's trigger, not from maintainer scripts.
[ "$(dpkg-deb -I "$runtime" triggers)" = "activate-noawait ldconfig" ] ||
  fail "runtime package does not activate the ldconfig trigger"
for script in postinst postrm; do
  ! dpkg-deb -I "$runtime" "$script" >/dev/null 2>&1 || fail "runtime package has a $script"
done
# The symbols file lists exactly what the packaged library exports: a symbol
# added or gone without the file made anew fails dpkg-gensymbols -c4.
dpkg-deb -I "$runtime" symbols >"$work/symbols" || fail "runtime package has no symbols file"
sed -n 1p "$work/symbols" | grep -x >/dev/null "libtov_atsui.so.$soversion libtov-atsui$soversion #MINVER#" ||
  fail "symbols file does not start with the SONAME and package: $(head -n1 "$work/symbols")"
grep -q "^ _ZN9tov_atsui4Cell.*@Base $version\$" "$work/symbols" ||
  fail "symbols file lists no symbol of Cell for $version"
packaged=$(find "$work/runtime-only" -name "libtov_atsui.so.$version")
(cd "$work" && dpkg-gensymbols -q -c4 -plibtov-atsui$soversion -v"$version" -e"$packaged" \
   -I"$work/symbols" -O"$work/symbols.now") >"$work/gensymbols.log" 2>&1 ||
  { cat "$work/gensymbols.log" >&2; fail "symbols file differs from the packaged library"; }
# The documentation: the hosting guide, the examples, the reference with its
# pictures and search.
for file in hosting.md examples/minimal/minimal_station.h html/index.html html/search/search.js \
            html/cell.png html/windows.html; do
  [ -f "$work/x-libtov-atsui-doc/usr/share/doc/libtov-atsui-doc/$file" ] ||
    fail "doc package lacks $file"
done
grep -q "minimal_station_8h-example.html" \
  "$work/x-libtov-atsui-doc/usr/share/doc/libtov-atsui-doc/html/examples.html" ||
  fail "API reference has no example page of minimal_station.h"

echo "== consumer against the unpacked root"
"$here/build-consumer.sh" "$root/usr" "$consumer" "$work" "$with_display" "$cxx" "$version"
