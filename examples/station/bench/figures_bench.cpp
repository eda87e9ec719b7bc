// SPDX-License-Identifier: MIT
// How long the viewer takes to show an item's capability, histogram and
// trend at production volume: each query of the store alone, and the whole
// of showing them in the viewer's panel, painted, on N tests of 8 items.
//
//   station_figures_bench --out=DIR [--scratch=DIR] [--max=N]
// writes DIR/figures.md, a fragment for docs/performance.md.

#include <sqlite3.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/sizer.h>

#include "host/item_plot.h"
#include "logic/history_store.h"
#include "logic/item_figures.h"

using namespace station;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::string load_average() {
    std::ifstream in("/proc/loadavg");
    double a = 0, b = 0, c = 0;
    in >> a >> b >> c;
    char text[64];
    std::snprintf(text, sizeof text, "%.2f, %.2f, %.2f", a, b, c);
    return text;
}

std::string fixed(double v, int digits = 1) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, v);
    return text;
}

// N tests of project "PSU", 8 items, 4 cells, written by SQL in one
// transaction; the indexes are built once at the end, then the figures.
void generate(const std::string& path, long n) {
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
    HistoryStore store(path);
    const std::string sql =
        "PRAGMA cache_size = -262144; PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;"
        "BEGIN;"
        "DROP INDEX items_by_value; DROP INDEX items_by_key_test; DROP INDEX tests_once; "
        "DROP INDEX tests_by_cell; DROP INDEX tests_by_project; DROP INDEX tests_by_project_cell;"
        "INSERT INTO cells(id, name) VALUES (1, 'Cell 1'), (2, 'Cell 2'), (3, 'Cell 3'), "
        "(4, 'Cell 4');"
        "INSERT INTO projects(id, name) VALUES (2, 'PSU');"
        "INSERT INTO item_names(id, project_id, name, unit, counted) VALUES "
        "(1, 2, 'Input current', 'A', 1), (2, 2, 'Output 12 V', 'V', 1), "
        "(3, 2, 'Output 5 V', 'V', 1), (4, 2, 'Output 3.3 V', 'V', 1), (5, 2, 'Ripple', 'V', 1), "
        "(6, 2, 'Load regulation', '%', 1), (7, 2, 'Efficiency', '%', 1), "
        "(8, 2, 'Temperature', 'C', 1);"
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        std::to_string(n - 1) +
        ") INSERT INTO tests(id, cell_id, cell_row, serial, begin_ms, end_ms, verdict, "
        "description, project_id) SELECT i + 1, i % 4 + 1, i / 4, printf('SN%09d', i), "
        "1760000000000 + i * 7500, 1760000000000 + i * 7500 + 20000, 0, 'ok', 2 FROM n;"
        // Roughly normal values (a sum of three hashes), a few outside the limits.
        "INSERT INTO items(test_id, position, name_id, value, lower, upper, unit, ok) "
        "SELECT id, k - 1, k, v, lo, hi, unit, v BETWEEN lo AND hi FROM (SELECT t.id, p.k, "
        "p.nominal + p.spread * (((t.id * 2654435761 + p.k * 40503) % 2001) + "
        "((t.id * 40503 + p.k * 2654435761) % 2001) + ((t.id * 69069 + p.k) % 2001) - 3000) "
        "/ 3000.0 AS v, p.nominal - p.spread * 0.7 AS lo, p.nominal + p.spread * 0.7 AS hi, "
        "p.unit FROM tests t, "
        "(SELECT 1 AS k, 0.1 AS nominal, 0.05 AS spread, 'A' AS unit UNION ALL "
        "SELECT 2, 12, 0.6, 'V' UNION ALL SELECT 3, 5, 0.25, 'V' UNION ALL "
        "SELECT 4, 3.3, 0.16, 'V' UNION ALL SELECT 5, 0.06, 0.06, 'V' UNION ALL "
        "SELECT 6, 0, 1, '%' UNION ALL SELECT 7, 90, 5, '%' UNION ALL SELECT 8, 37, 17, 'C') p "
        "ORDER BY t.id, p.k);"
        "UPDATE tests SET verdict = 1 WHERE id IN (SELECT DISTINCT test_id FROM items WHERE NOT ok);"
        "CREATE UNIQUE INDEX tests_by_cell ON tests(cell_id, cell_row);"
        "CREATE UNIQUE INDEX tests_once ON tests(cell_id, begin_ms, serial);"
        "CREATE INDEX tests_by_project ON tests(project_id, id);"
        "CREATE INDEX tests_by_project_cell ON tests(project_id, cell_id, cell_row);"
        "CREATE INDEX items_by_value ON items(name_id, value);"
        "CREATE INDEX items_by_key_test ON items(name_id, test_id, value);"
        "COMMIT;";
    char* error = nullptr;
    if (sqlite3_exec(store.handle(), sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK ||
        sqlite3_exec(store.handle(), "PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL",
                     nullptr, nullptr, &error) != SQLITE_OK)
        throw std::runtime_error(std::string("generating failed: ") + (error ? error : "?"));
    store.recount();
}

struct Row {
    std::string filter;
    double picture = 0, trend = 0, shown = 0, shown_cpu = 0;
    std::int64_t values = 0;
};

double cpu_ms() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000 + double(t.tv_nsec) / 1e6;
}

constexpr int kRounds = 5;

Row measure(const HistoryStore& store, ItemPlotPanel& panel, const HistoryFilter& filter,
            const std::string& name) {
    const ItemKey key{"PSU", "Output 12 V", "V"};
    const ItemLimits limits = ItemLimits::of(11.58, 12.42);
    const ItemFigures figures(store);
    std::vector<double> picture, trend, shown, shown_cpu;
    Row row;
    row.filter = name;
    for (int round = 0; round < kRounds; ++round) {
        auto start = Clock::now();
        const ItemFigures::Picture p = figures.picture(key, filter, limits);
        picture.push_back(ms_since(start));
        row.values = p.capability.values;
        if (p.histogram.total() != p.capability.values)
            throw std::runtime_error("the histogram lost values");
        start = Clock::now();
        figures.trend(key, filter, ItemPlotPanel::kTrendTests);
        trend.push_back(ms_since(start));
        // What the operator waits for: the queries, the fields, the paint.
        const double cpu = cpu_ms();
        start = Clock::now();
        panel.show(store, key, filter, limits);
        panel.ui_histogram->Update();
        panel.ui_trend->Update();
        shown.push_back(ms_since(start));
        shown_cpu.push_back(cpu_ms() - cpu);
        if (!panel.ui_histogram->has_data()) throw std::runtime_error("nothing was drawn");
    }
    row.picture = median(picture);
    row.trend = median(trend);
    row.shown = median(shown);
    row.shown_cpu = median(shown_cpu);
    return row;
}

class BenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(BenchApp);

int main(int argc, char** argv) {
    std::string out = ".", scratch = fs::temp_directory_path().string();
    long max_tests = 1000000;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--out=", 0) == 0) out = a.substr(6);
        if (a.rfind("--scratch=", 0) == 0) scratch = a.substr(10);
        if (a.rfind("--max=", 0) == 0) max_tests = std::stol(a.substr(6));
    }
    int wx_argc = 1;
    if (!wxEntryStart(wx_argc, argv) || !wxTheApp->CallOnInit()) return 1;
    scratch += "/figures-bench-" + std::to_string(::getpid());
    fs::create_directories(scratch);
    fs::create_directories(out);

    auto* frame = new wxFrame(nullptr, wxID_ANY, "figures", wxDefaultPosition, wxSize(640, 720));
    auto* panel = new ItemPlotPanel(frame);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(panel, 1, wxEXPAND);
    frame->SetSizer(sizer);
    frame->Show();
    for (int i = 0; i < 3; ++i) wxTheApp->Yield(true);

    std::ostringstream md;
    md << "## An item's histogram, trend and capability\n\n"
       << "The viewer's pictures of one item (`Output 12 V`) over N tests of 8 items in 4 "
          "cells, one project: mean, sigma, Cp and Cpk with the histogram's bins, the trend "
          "(the newest "
       << ItemPlotPanel::kTrendTests
       << " readings), and all of it shown in the viewer's panel and painted under Xvfb. "
          "Medians of "
       << kRounds
       << " rounds, wall-clock milliseconds, warm page cache; the load average is read "
          "before each size; the CPU time is the process's own, which other work on the "
          "machine does not lengthen. Over all cells the figures are the item's running "
          "sums and each bin a range count on the index by value; over one cell, one "
          "pass over the item's readings in stored order, each test looked up for its "
          "cell, the bins counted by an aggregate in the same pass.\n\n"
       << "| tests | filter | values | figures and histogram (ms) | trend (ms) | shown and "
          "painted (ms) | its CPU time (ms) | load average |\n"
       << "|---:|---|---:|---:|---:|---:|---:|---|\n";
    for (long n : {10000L, 100000L, 1000000L}) {
        if (n > max_tests) break;
        const std::string path = scratch + "/figures-" + std::to_string(n) + ".sqlite";
        const auto start = Clock::now();
        generate(path, n);
        std::fprintf(stderr, "%ld tests generated in %.1f s\n", n, ms_since(start) / 1000);
        HistoryStore store(path, HistoryStore::Opening{HistoryStore::Mode::read_only, false, {}});
        const std::string load = load_average();
        for (const auto& [filter, name] :
             {std::pair{HistoryFilter{"", "PSU"}, "all cells"},
              std::pair{HistoryFilter{"Cell 3", "PSU"}, "Cell 3"}}) {
            // One round unmeasured: the first reads the file into the page cache.
            measure(store, *panel, filter, name);
            const Row r = measure(store, *panel, filter, name);
            md << "| " << n << " | " << r.filter << " | " << r.values << " | "
               << fixed(r.picture) << " | " << fixed(r.trend, 2) << " | " << fixed(r.shown)
               << " | " << fixed(r.shown_cpu) << " | " << load << " |\n";
            std::fprintf(stderr, "  %s: figures %.1f ms, trend %.2f ms, shown %.1f ms (CPU %.1f)\n",
                         name, r.picture, r.trend, r.shown, r.shown_cpu);
        }
        for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
    }
    md << "\nMeasured on this machine (2 cores) while other builds share it; figures vary run "
          "to run.\n";
    std::ofstream(out + "/figures.md") << md.str();
    std::fputs(md.str().c_str(), stdout);
    frame->Destroy();
    fs::remove_all(scratch);
    wxEntryCleanup();
    return 0;
}
