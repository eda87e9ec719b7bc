#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the window benchmarks (under a private virtual display when there is
# none) and writes docs/performance.md with the plot of the station series.
#   bench/run.sh BUILD_DIR [DOCS_DIR] [benchmark flags...]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-bench}" && pwd)
docs=${2:-$root/docs}
shift $(( $# < 2 ? $# : 2 ))
mkdir -p "$docs" "$build/bench-results"
results=$build/bench-results

run=("$build/bench/atsui_bench"
     --report="$docs/performance.md"
     --plot-data="$results/cells.dat"
     --plot-image=performance-cells.png
     --notes="$root/bench/notes.md"
     --benchmark_out="$results/raw.json" --benchmark_out_format=json
     "$@")
[ -n "${DISPLAY:-}" ] || run=("$root/tests/with-display.sh" "${run[@]}")
"${run[@]}" | tee "$results/console.txt"

gnuplot -e "data='$results/cells.dat'; out='$docs/performance-cells.png'" "$root/bench/plot.gp"
echo "wrote $docs/performance.md and $docs/performance-cells.png"

# The station's test history at volume: its own program in the default build
# (it needs the station), appended to docs/performance.md as a section.
if [ -z "${ATSUI_BENCH_SKIP_HISTORY:-}" ]; then
  (cd "$root" && cmake --preset default > /dev/null &&
   cmake --build --preset default --target station_history_bench)
  history=("$root/build/examples/station/station_history_bench" --out="$results" --scratch="$build")
  [ -n "${DISPLAY:-}" ] || history=("$root/tests/with-display.sh" "${history[@]}")
  "${history[@]}"
  gnuplot -e "data='$results/history.dat'; out='$docs/performance-history.png'" "$root/bench/history.gp"
  { echo; cat "$results/history.md"; } >> "$docs/performance.md"
  echo "appended the history section to $docs/performance.md"
fi

# Opening the history of an older station at volume: the check and the
# upgrade, on files of schema 1 and 2 up to a million tests.
if [ -z "${ATSUI_BENCH_SKIP_UPGRADE:-}" ]; then
  (cd "$root" && cmake --preset default > /dev/null &&
   cmake --build --preset default --target station_upgrade_bench)
  "$root/build/examples/station/station_upgrade_bench" --out="$results" --scratch="$build"
  { echo; cat "$results/upgrade.md"; } >> "$docs/performance.md"
  echo "appended the upgrade section to $docs/performance.md"
fi

# An item's histogram, trend and capability at a million tests: the
# viewer's queries and the panel that shows them. Needs the station too.
if [ -z "${ATSUI_BENCH_SKIP_FIGURES:-}" ]; then
  (cd "$root" && cmake --preset default > /dev/null &&
   cmake --build --preset default --target station_figures_bench)
  figures=("$root/build/examples/station/station_figures_bench" --out="$results" --scratch="$build")
  [ -n "${DISPLAY:-}" ] || figures=("$root/tests/with-display.sh" "${figures[@]}")
  "${figures[@]}"
  { echo; cat "$results/figures.md"
    [ ! -f "$root/bench/figures-notes.md" ] || { echo; cat "$root/bench/figures-notes.md"; }
  } >> "$docs/performance.md"
  echo "appended the figures section to $docs/performance.md"
fi

# What the cells' workers buy: event-loop latency, 16 cells against one,
# abort on a hung instrument. Needs the station too: the default build.
if [ -z "${ATSUI_BENCH_SKIP_WORKERS:-}" ]; then
  (cd "$root" && cmake --preset default > /dev/null &&
   cmake --build --preset default --target station_workers_bench)
  workers=("$root/build/examples/station/station_workers_bench" --out="$results" --scratch="$build")
  [ -n "${DISPLAY:-}" ] || workers=("$root/tests/with-display.sh" "${workers[@]}")
  # GTK's warnings about the narrowest cells' buttons go to a log, not the console.
  "${workers[@]}" 2>"$results/workers.log" || { cat "$results/workers.log" >&2; exit 1; }
  { echo; cat "$results/workers.md"
    [ ! -f "$root/bench/workers-notes.md" ] || { echo; cat "$root/bench/workers-notes.md"; }
  } >> "$docs/performance.md"
  echo "appended the workers section to $docs/performance.md"
fi
