#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows build and its tests under Wine (make windows):
#
#   scripts/windows.sh all        wxMSW (built once, cached), the library, its
#                                 tests and examples; the tests under Wine;
#                                 screenshots of every window under Wine
#   scripts/windows.sh if-cached  the same less the screenshots, when the wxMSW
#                                 cache is there; one line saying so when not
#                                 (make test), and in CI, whose time it would
#                                 not fit
#   scripts/windows.sh screenshots
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-windows
shots=$build/screenshots

configure_and_build() {
  cmake --preset windows
  cmake --build --preset windows
}

# The tests under Wine, then each program's count of GoogleTest cases.
run_tests() {
  local status=0
  ctest --preset windows || status=$?
  summarise
  return $status
}

summarise() {
  local log=$build/Testing/Temporary/LastTest.log
  [ -f "$log" ] || return 0
  echo "Windows tests under Wine, cases per program:"
  awk '
    /^[0-9]+\/[0-9]+ Testing: / { name = $3; passed = failed = skipped = 0; next }
    /^\[  PASSED  \] [0-9]+ test/ { passed = $4 }
    /^\[  SKIPPED \] [0-9]+ test/ { skipped = $4 }
    /^\[  FAILED  \] [0-9]+ test/ { failed = $4 }
    /^Test (Passed|Failed)\.|^Test time/ {
      if (name != "" && (passed + failed + skipped) > 0)
        printf "  %-40s %3d passed, %d failed, %d skipped\n", name, passed, failed, skipped
      name = ""
    }' "$log"
}

# Every window of the gallery, and the minimal example, under Wine on a
# private display. Wine writes BMP (its wxMSW has no libpng); PNG here.
screenshots() {
  rm -rf "$shots"
  mkdir -p "$shots"
  local env=(WINEPREFIX="$PWD/$build/wine" ATSUI_WINE_DLL_DIRS="$(dll_dirs)")
  env "${env[@]}" tests/windows/wine-run.sh --init >/dev/null
  env "${env[@]}" tests/with-display.sh tests/windows/wine-run.sh \
    "$build/bin/atsui_gallery.exe" --screenshots "Z:$PWD/$shots"
  env "${env[@]}" tests/with-display.sh scripts/windows-shot.sh \
    "$build/bin/atsui_minimal.exe" "Tarvo Auto Test System" "$shots/minimal.png"
  for bmp in "$shots"/*.bmp; do
    [ -e "$bmp" ] || continue
    convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp"
  done
  ls "$shots"
}

dll_dirs() {
  sed -n 's/^ATSUI_WINDOWS_DLL_DIRS:STRING=//p' "$build/CMakeCache.txt" | tr ';' ':'
}

case "${1:-}" in
  all)
    started=$(date +%s)
    scripts/wxmsw.sh build >/dev/null
    echo "wxMSW: $(scripts/wxmsw.sh path) ($(sed -n 's/^built in //p' "$(scripts/wxmsw.sh path)/BUILD-INFO"))"
    configure_and_build
    status=0
    run_tests || status=$?
    screenshots
    echo "make windows: $(($(date +%s) - started)) s"
    exit $status
    ;;
  if-cached)
    if [ -n "${CI:-}" ]; then
      echo "Windows tests skipped: a CI run (make windows runs them)"
      exit 0
    fi
    if ! scripts/wxmsw.sh check; then
      echo "Windows tests skipped: no wxMSW cache in $(scripts/wxmsw.sh path) (make windows builds it)"
      exit 0
    fi
    configure_and_build
    run_tests
    ;;
  screenshots) screenshots ;;
  *)
    echo "usage: $0 all|if-cached|screenshots" >&2
    exit 2
    ;;
esac
