#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# wxMSW for the Windows build: wxWidgets cross-built with MinGW-w64 from
# Debian's own source package, the version of the Linux build, into a cache
# folder outside every build tree that later builds reuse.
#
#   scripts/wxmsw.sh path    prints the cache folder (present or not)
#   scripts/wxmsw.sh check   exit 0 when the cache is complete, 1 when not
#   scripts/wxmsw.sh build   builds it unless it is complete; prints the folder
#
# The folder is $XDG_CACHE_HOME/atsui/wxmsw-<version>-<hash> (default
# ~/.cache/...), or $ATSUI_WXMSW_CACHE/wxmsw-<version>-<hash>; the hash covers
# the options below, the compiler and Debian's package version, so changing
# any of them builds a new cache beside the old one. A build that fails or is
# stopped leaves no folder that `check` would take as complete; the next
# `build` resumes it where it stopped.
set -euo pipefail

host=x86_64-w64-mingw32
# The posix-threads compiler: std::thread needs it.
cc=$host-gcc-posix
cxx=$host-g++-posix

# Debian's source leaves out the bundled expat, libpng, libjpeg, libtiff and
# zlib. Debian packages zlib for MinGW (libz-mingw-w64-dev); expat is built
# here from Debian's own expat source, because the XML resource library needs
# it. PNG, JPEG and TIFF have no MinGW package and are switched off, and with
# PNG the SVG device context; the libraries the layer never uses (HTML, AUI,
# STC, ...) are left out to save build time.
options=(
  --with-msw --enable-shared --enable-unicode
  --with-zlib=sys --with-expat=sys --with-regex=builtin
  --without-libpng --without-libjpeg --without-libtiff --without-liblzma
  --disable-svg
  --without-opengl --disable-webview --disable-mediactrl --disable-stc
  --disable-richtext --disable-ribbon --disable-propgrid --disable-aui
  --disable-html --disable-debugreport
)
expat_options=(-DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF
               -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF)

die() { echo "wxmsw.sh: $*" >&2; exit 1; }

# The Linux build's wx: the Windows build uses the same source version.
source_version() {
  dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null || true
}
wx_version=$(source_version libwxbase3.2-1)
[ -n "$wx_version" ] || die "libwxbase3.2-1 is not installed (scripts/install-deps.sh)"
upstream=${wx_version%%+*}

compiler_version() { "$cxx" -dumpfullversion 2>/dev/null || echo none; }
key=$(printf '%s\n' "$wx_version" "$(compiler_version)" "${options[@]}" \
        "${expat_options[@]}" | sha256sum | cut -c1-12)
root=${ATSUI_WXMSW_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/atsui}
prefix=$root/wxmsw-$upstream-$key

complete() { [ -f "$prefix/.complete" ] && [ -x "$prefix/bin/wx-config" ]; }

case "${1:-}" in
  path) echo "$prefix"; exit 0 ;;
  check) complete; exit ;;
  build) ;;
  *) die "usage: $0 path|check|build" ;;
esac

if complete; then
  echo "$prefix"
  exit 0
fi

command -v "$cxx" >/dev/null || die "$cxx is missing (scripts/install-deps.sh windows)"
command -v dpkg-source >/dev/null || die "dpkg-source is missing (apt-get install dpkg-dev)"
[ -f /usr/$host/include/zlib.h ] || die "zlib for MinGW is missing (apt-get install libz-mingw-w64-dev)"

mkdir -p "$root"
# One build at a time per cache root; a second caller waits and reuses it.
exec 9>"$root/.lock"
flock 9
if complete; then
  echo "$prefix"
  exit 0
fi

# Kept when the build fails or is stopped, so that the next one resumes.
work=$root/.work-$upstream-$key
mkdir -p "$work"
# Installed under $work first (DESTDIR), moved into place when complete.
dest=$work/dest
rm -rf "$dest"
staged=$dest$prefix
started=$(date +%s)

# apt's source client through a sources list and state folder of our own:
# the machine's apt configuration stays as it is.
mirror=${ATSUI_DEBIAN_MIRROR:-http://deb.debian.org/debian}
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/apt/parts"
# Debian 12 as released: wx has had no update since, and expat's security
# updates are not served by every mirror.
echo "deb-src [signed-by=$keyring] $mirror bookworm main" >"$work/apt/sources.list"
apt_options=(
  -o "Dir::Etc::SourceList=$work/apt/sources.list"
  -o "Dir::Etc::SourceParts=$work/apt/parts"
  -o "Dir::State=$work/apt"
  -o "Dir::State::Lists=$work/apt/lists"
  -o "Dir::State::status=/var/lib/dpkg/status"
  -o "Dir::Cache=$work/apt/cache"
  -o "APT::Sandbox::User=root"
)
# Expat: Debian 12's, whichever version; the XML resource library needs
# nothing newer than 2.0.
if [ ! -f "$work/fetched" ]; then
  echo "wxmsw.sh: fetching the sources of wxwidgets3.2 $wx_version and expat" >&2
  rm -rf "$work"/wxwidgets3.2-* "$work"/expat-* "$work"/*.dsc "$work"/*.tar.*
  (cd "$work" && apt-get "${apt_options[@]}" -qq update &&
    apt-get "${apt_options[@]}" -qq source "wxwidgets3.2=$wx_version" expat) \
    >"$work/fetch.log" 2>&1 || { cat "$work/fetch.log" >&2; die "apt-get source failed"; }
  touch "$work/fetched"
fi

expat_version=$(sed -n 's/^Version: //p' "$work"/expat_*.dsc)
jobs=${ATSUI_WXMSW_JOBS:-2}
log=$root/wxmsw-$upstream-$key.log
echo "---- $(date -u +%Y-%m-%dT%H:%M:%SZ) build" >>"$log"

echo "wxmsw.sh: building expat for $host (log: $log)" >&2
expat_source=$(ls -d "$work"/expat-*/)expat
# Debian builds expat with autotools, which defines XML_DTD as 1, and its
# patches test the value; CMake's template defines it empty.
sed -i 's/^#cmakedefine XML_DTD$/#cmakedefine XML_DTD 1/' "$expat_source/expat_config.h.cmake"
# Each stage runs again only when it did not finish (cmake, make resume).
(cmake -S "$expat_source" -B "$work/build-expat" -G Ninja \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=$cc -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" "${expat_options[@]}" &&
  cmake --build "$work/build-expat" -j "$jobs" &&
  DESTDIR="$dest" cmake --install "$work/build-expat") >>"$log" 2>&1 ||
  { tail -40 "$log" >&2; die "expat failed to build (log: $log)"; }

echo "wxmsw.sh: building wxMSW $wx_version into $prefix (long: once per machine)" >&2
mkdir -p "$work/build-wx"
# Static expat: its header must not ask for a DLL's imports.
(cd "$work/build-wx" &&
  { [ -f config.status ] ||
    "$(ls -d "$work"/wxwidgets3.2-*/)"configure --host=$host --build="$(gcc -dumpmachine)" \
      --prefix="$prefix" CC=$cc CXX=$cxx \
      CPPFLAGS="-I$staged/include -DXML_STATIC" LDFLAGS="-L$staged/lib" \
      "${options[@]}" || { rm -f config.status; false; }; } &&
  make -j"$jobs" && make install DESTDIR="$dest") >>"$log" 2>&1 ||
  { tail -60 "$log" >&2; die "wxMSW failed to build (log: $log)"; }

# The staging folder must not outlive the build in wx-config's flags.
for f in "$staged"/lib/wx/config/*; do sed -i "s|-L$staged/lib||g; s|-I$staged/include||g" "$f"; done
config=$(basename "$(ls "$staged"/lib/wx/config/* | head -n1)")
ln -sfn "../lib/wx/config/$config" "$staged/bin/wx-config"

ended=$(date +%s)
{
  echo "wxWidgets $wx_version (Debian source), expat $expat_version (Debian source)"
  echo "compiler $cxx $(compiler_version)"
  echo "options ${options[*]}"
  echo "built in $((ended - started)) s with $jobs jobs on $(nproc) cores, $(date -u +%Y-%m-%dT%H:%M:%SZ)"
} >"$staged/BUILD-INFO"
rm -rf "$prefix"
mv "$staged" "$prefix"
touch "$prefix/.complete"
rm -rf "$work"
echo "wxmsw.sh: wxMSW built in $((ended - started)) s" >&2
echo "$prefix"
