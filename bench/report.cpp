// SPDX-License-Identifier: MIT
#include <algorithm>
#include <cmath>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "measure.h"
#include "windows.h"

namespace atsui_bench {

const char* variant_name(Variant v) {
    switch (v) {
        case Variant::ours: return "ours";
        case Variant::xrc: return "xrc";
        case Variant::floor: return "floor";
    }
    return "?";
}

std::string window_bench_name(const std::string& window, bool shown, Variant v) {
    return "window/" + window + (shown ? "/shown/" : "/hidden/") + variant_name(v);
}

std::string station_bench_name(Variant v, int cells) {
    return std::string("station/") + variant_name(v) + "/" + std::to_string(cells);
}

double slope(const std::vector<double>& x, const std::vector<double>& y) {
    const double n = static_cast<double>(x.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    const double d = n * sxx - sx * sx;
    return d == 0 ? NAN : (n * sxy - sx * sy) / d;
}

namespace {

std::string fixed(double v, int digits = 2) {
    if (std::isnan(v)) return "–";
    std::ostringstream out;
    out << std::fixed << std::setprecision(digits) << v;
    return out.str();
}

const Timing* find(const Results& r, const std::string& name) {
    auto it = r.timings.find(name);
    return it == r.timings.end() ? nullptr : &it->second;
}

double total(const Results& r, const std::string& name) {
    const Timing* t = find(r, name);
    return t ? t->total_ms : NAN;
}

double phase(const Results& r, const std::string& name, const std::string& which) {
    const Timing* t = find(r, name);
    if (!t) return NAN;
    auto it = t->phases_ms.find(which);
    return it == t->phases_ms.end() ? NAN : it->second;
}

// Time per cell at n: what the cells added to the frame alone, shared out.
double per_cell(const Results& r, Variant v, int n) {
    return (total(r, station_bench_name(v, n)) - total(r, station_bench_name(v, 0))) / n;
}

double station_slope(const Results& r, Variant v) {
    std::vector<double> x, y;
    for (int n : kCellCounts) {
        if (n == 0) continue;
        x.push_back(n);
        y.push_back(total(r, station_bench_name(v, n)));
    }
    return slope(x, y);
}

double memory_slope(const MemorySeries& s, bool rss) {
    std::vector<double> x, y;
    for (const MemoryPoint& p : s.points) {
        if (p.n == 0) continue;  // the first window also pays one-time set-up
        x.push_back(p.n);
        y.push_back(rss ? p.rss_kib : p.heap_kib);
    }
    return slope(x, y);
}

std::string today() {
    const std::time_t now = std::time(nullptr);
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    return buf;
}

double cpu(const Results& r, const std::string& name) {
    const Timing* t = find(r, name);
    return t ? t->cpu_ms : NAN;
}

void window_table(std::ostream& md, const Results& r, bool shown, double& worst_floor,
                  std::string& worst_floor_window, bool& xrc_beaten) {
    md << "| window | ours (ms) | XRC (ms) | floor (ms) | ours/XRC | ours/floor | "
          "CPU: ours/XRC | CPU: ours/floor |\n"
       << "|---|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const WindowKind& kind : window_kinds()) {
        const std::string o = window_bench_name(kind.name, shown, Variant::ours);
        const std::string x = window_bench_name(kind.name, shown, Variant::xrc);
        const std::string f = window_bench_name(kind.name, shown, Variant::floor);
        const double ours = total(r, o), xrc = total(r, x), floor = total(r, f);
        if (std::isnan(ours)) continue;
        md << "| " << kind.name << " | " << fixed(ours) << " | " << fixed(xrc) << " | "
           << fixed(floor) << " | " << fixed(ours / xrc) << " | " << fixed(ours / floor) << " | "
           << fixed(cpu(r, o) / cpu(r, x)) << " | " << fixed(cpu(r, o) / cpu(r, f)) << " |\n";
        if (ours / floor > worst_floor) {
            worst_floor = ours / floor;
            worst_floor_window = kind.name + (shown ? " (shown)" : " (hidden)");
        }
        if (!std::isnan(xrc) && ours >= xrc) xrc_beaten = false;
    }
}

}  // namespace

bool write_report(const Results& r, const std::string& markdown_path,
                  const std::string& plot_data_path, const std::string& plot_image_name,
                  const std::string& notes_path) {
    std::ofstream md(markdown_path);
    if (!md) return false;
    int repetitions = 0;
    for (const auto& [name, t] : r.timings) repetitions = std::max(repetitions, t.repetitions);

    md << "# How fast the windows build\n\n"
       << "Written by `make bench` (bench/) on " << today() << ".\n"
       << "Machine: " << r.machine << ". Flags: `" << r.flags << "`.\n\n"
       << "Every figure is the median of " << repetitions
       << " repetitions, run in random interleaved order so that drift on this noisy machine "
          "falls on every variant alike; every ratio compares medians of the same run. "
          "Times are wall-clock, X server included.\n\n"
       << "- **ours**: the compiled window of this library.\n"
       << "- **XRC**: the same panel described in XRC (bench/xrc/), loaded with "
          "`wxXmlResource::LoadPanel` into a panel subclass that then sets up the grids, owns "
          "the timers, binds the events and looks its members up by name, as a host must. Only "
          "`Cell` and `TestDataViewerPanel` have documents.\n"
       << "- **floor**: the same widgets on the same parents, rebuilt from a recording of ours, "
          "with no sizers, fonts, colours, grid set-up or bindings (notebook pages, splits, "
          "hidden regions, menus and tools are kept: they are the widgets).\n\n"
       << "**Hidden**: construct, `Layout()`, destroy. **Shown**: construct, show (panels fill a "
          "shown host frame), `XSync` and process the X events and idle work that follow, "
          "destroy and process again.\n\n";

    double worst_floor = 0;
    std::string worst_window;
    bool xrc_beaten = true;
    md << "## Each window, hidden\n\n";
    window_table(md, r, false, worst_floor, worst_window, xrc_beaten);
    md << "\n## Each window, shown\n\n";
    window_table(md, r, true, worst_floor, worst_window, xrc_beaten);

    md << "\n## The station: a main frame with N cells\n\n"
       << "The host builds the `Frame`, puts N `Cell` panels into `ui_cell_panel`'s sizer with "
          "(1, `wxEXPAND | wxALL`, 5), lays the frame out (`Layout`, `Fit`), shows it and waits "
          "for the X server. XRC: our frame with XRC cells. Floor: the bare frame and bare "
          "cells, no layout, the frame given the size ours reached. Phases are medians of the "
          "per-iteration means.\n\n"
       << "| cells | ours (ms) | construct | layout | show | destroy | XRC (ms) | floor (ms) | "
          "ours/XRC | ours/floor | ours per cell |\n"
       << "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    std::ofstream dat(plot_data_path);
    dat << "# cells ours_ms xrc_ms floor_ms\n";
    for (int n : kCellCounts) {
        const std::string ours = station_bench_name(Variant::ours, n);
        const double t = total(r, ours);
        const double x = total(r, station_bench_name(Variant::xrc, n));
        const double f = total(r, station_bench_name(Variant::floor, n));
        md << "| " << n << " | " << fixed(t) << " | " << fixed(phase(r, ours, "construct")) << " | "
           << fixed(phase(r, ours, "layout")) << " | " << fixed(phase(r, ours, "show")) << " | "
           << fixed(phase(r, ours, "destroy")) << " | " << fixed(x) << " | " << fixed(f) << " | "
           << fixed(t / x) << " | " << fixed(t / f) << " | "
           << (n ? fixed(per_cell(r, Variant::ours, n)) : std::string("–")) << " |\n";
        dat << n << ' ' << t << ' ' << x << ' ' << f << '\n';
    }
    const double growth = per_cell(r, Variant::ours, 64) / per_cell(r, Variant::ours, 8);
    md << "\nCost of one more cell (least-squares slope over N = 1…64): ours "
       << fixed(station_slope(r, Variant::ours)) << " ms, XRC "
       << fixed(station_slope(r, Variant::xrc)) << " ms, floor "
       << fixed(station_slope(r, Variant::floor)) << " ms. Per-cell cost at 64 cells over "
       << "per-cell cost at 8 cells: " << fixed(growth) << ".\n\n"
       << "![time against cells](" << plot_image_name << ")\n\n";

    md << "## Memory\n\n"
       << "One fresh process per row; the windows are built shown and kept, and resident memory "
          "(`/proc/self/statm`) and heap in use (`mallinfo2`) are read after each step. The "
          "slope over n ≥ 1 leaves out the first window's one-time set-up. The X server's own "
          "memory is not counted.\n\n"
       << "| window | variant | counts | RSS per window (KiB) | heap per window (KiB) |\n"
       << "|---|---|---|---:|---:|\n";
    for (const MemorySeries& s : r.memory) {
        std::string counts;
        for (const MemoryPoint& p : s.points)
            if (p.n) counts += (counts.empty() ? "" : ",") + std::to_string(p.n);
        md << "| " << s.what << " | " << variant_name(s.variant) << " | " << counts << " | "
           << fixed(memory_slope(s, true), 0) << " | " << fixed(memory_slope(s, false), 0)
           << " |\n";
    }

    md << "\n## Against the goals\n\n"
       << "- At most 1.15 × the floor for every window: "
       << (worst_floor <= 1.15 ? "met" : "not met") << "; the largest ratio is "
       << fixed(worst_floor) << " (" << worst_window << ").\n"
       << "- Faster than XRC for every window that has a document: "
       << (xrc_beaten ? "met" : "not met") << ".\n"
       << "- Linear growth (per-cell cost at 64 within 1.2 × that at 8): "
       << (growth <= 1.2 ? "met" : "not met") << " (" << fixed(growth) << ").\n\n";

    const double with_wrap = total(r, kLabelWithWrap);
    const double without_wrap = total(r, kLabelWithoutWrap);
    md << "## Before and after\n\n"
       << "This run: creating and destroying one static text took " << fixed(with_wrap, 3)
       << " ms with `Wrap(-1)` after it and " << fixed(without_wrap, 3) << " ms without ("
       << fixed(with_wrap / without_wrap) << " ×).\n\n";
    if (!notes_path.empty()) {
        std::ifstream notes(notes_path);
        if (notes) md << notes.rdbuf();
    }
    return static_cast<bool>(md) && static_cast<bool>(dat);
}

}  // namespace atsui_bench
