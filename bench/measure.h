// SPDX-License-Identifier: MIT
#pragma once

// What one benchmark run measured, as the report needs it.

#include <map>
#include <string>
#include <vector>

namespace atsui_bench {

enum class Variant { ours, xrc, floor };
const char* variant_name(Variant v);

// Medians over the repetitions of one benchmark, in milliseconds.
struct Timing {
    double total_ms = 0;
    double cpu_ms = 0;                        // this process only: the X server's share is left out
    std::map<std::string, double> phases_ms;  // construct, layout, show, destroy
    int repetitions = 0;
};

// Resident and heap memory after n windows of one kind exist (and are shown).
struct MemoryPoint {
    int n;
    double rss_kib;
    double heap_kib;
};

struct MemorySeries {
    std::string what;  // "Cell" or "TestDataViewerPanel"
    Variant variant;
    std::vector<MemoryPoint> points;
};

// Least-squares slope of y over x.
double slope(const std::vector<double>& x, const std::vector<double>& y);

// The cell counts of the station series; 0 is the frame alone.
inline const std::vector<int> kCellCounts = {0, 1, 2, 4, 8, 16, 32, 64};

struct Results {
    std::map<std::string, Timing> timings;  // by benchmark name
    std::vector<MemorySeries> memory;
    std::string machine;  // CPU, cores, toolkit
    std::string flags;    // how the run was made
};

inline constexpr const char* kLabelWithWrap = "static_text/with_wrap";
inline constexpr const char* kLabelWithoutWrap = "static_text/without_wrap";

std::string window_bench_name(const std::string& window, bool shown, Variant v);
std::string station_bench_name(Variant v, int cells);

// Writes the Markdown report; the plot data goes to plot_data (columns: cells,
// then ours, XRC and floor totals in ms). Returns false when a file cannot be
// written.
bool write_report(const Results& results, const std::string& markdown_path,
                  const std::string& plot_data_path, const std::string& plot_image_name,
                  const std::string& notes_path);

}  // namespace atsui_bench
