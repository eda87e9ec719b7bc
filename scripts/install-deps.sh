#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages that building, testing and the demo need,
# and nothing when they are all there already. `install-deps.sh windows`
# adds what the Windows build needs (make windows): MinGW-w64, its zlib and
# Wine.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libwxgtk3.2-dev libgtk-3-dev libgtest-dev libbenchmark-dev libxlsxwriter-dev
  xvfb xauth imagemagick gnuplot-nox
  fonts-dejavu-core fonts-wqy-microhei
  libsqlite3-dev sqlite3 x11-utils libpq-dev libssl-dev postgresql
  liblxi-dev libtirpc-dev lxi-tools
  dbus-daemon dbus-bin at-spi2-core python3-pyatspi procps
  dpkg-dev file doxygen
  libsoci-dev
  strace desktop-file-utils poppler-utils
  help2man abigail-tools lintian gettext wx3.2-i18n
)
if [ "${1:-}" = "windows" ]; then
  packages+=(
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
    libz-mingw-w64 libz-mingw-w64-dev wine wine64
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
# Another apt on the machine (a second build, the desktop's updater) holds
# dpkg's lock for a while: wait for it rather than fail.
wait_lock=(-o DPkg::Lock::Timeout=900)
"${sudo[@]}" apt-get "${wait_lock[@]}" update -qq
"${sudo[@]}" apt-get "${wait_lock[@]}" install -y -qq --no-install-recommends "${missing[@]}"
