// SPDX-License-Identifier: MIT
// How the station's history performs at production volume, measured in one
// run: the viewer on the store against the in-memory grid it replaced, at
// 1k to 1M tests; commit latency on SQLite and PostgreSQL; CSV rates; and the
// database API weighed (SOCI against the plain SQLite library).
//
//   history_bench --out DIR [--scratch DIR] [--max N]
// writes DIR/history.md (a fragment for docs/performance.md) and
// DIR/history.dat (the plot's data).

#include <libpq-fe.h>
#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/datectrl.h>
#include <wx/grid.h>
#include <wx/radiobox.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "host/history_search.h"
#include "host/look.h"
#include "host/station_viewer.h"
#include "host/unit_history.h"
#include "logic/history_csv.h"
#include "logic/history_store.h"
#include "logic/pg_forwarder.h"
#include "logic/statistics.h"
#include "logic/text.h"
#include "pg_cluster.h"

// history_bench_soci.cpp: the same inserts through SOCI.
std::vector<double> soci_api(const std::string& path, int tests, bool sync);

using namespace station;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
}

double rss_mb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Heap in use, which the allocator's retained free memory does not hide.
double heap_mb() {
    const struct mallinfo2 m = mallinfo2();
    return double(m.uordblks + m.hblkhd) / (1024.0 * 1024.0);
}

// Everything the toolkit has queued: layout, painting, idle.
void settle() {
    for (int i = 0; i < 3; ++i) wxTheApp->Yield(true);
}

// N tests of 8 items in 4 cells, written by SQL in one transaction: a million
// in seconds, where a million appends would take hours of fsync.
void generate(const std::string& path, long n) {
    fs::remove(path);
    fs::remove(path + "-wal");
    fs::remove(path + "-shm");
    HistoryStore store(path);
    // The indexes are built once at the end, from sorted data, not row by row.
    const std::string sql =
        "PRAGMA cache_size = -262144; PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;"
        "BEGIN;"
        "DROP INDEX items_by_value; DROP INDEX tests_once; DROP INDEX tests_by_cell;"
        "INSERT INTO cells(id, name) VALUES (1, 'Cell 1'), (2, 'Cell 2'), (3, 'Cell 3'), "
        "(4, 'Cell 4');"
        // Item keys of project 1 ("not recorded"), one per name and unit.
        "INSERT INTO item_names(id, project_id, name, unit, counted) VALUES "
        "(1, 1, 'Input current', 'A', 1), (2, 1, 'Output 12 V', 'V', 1), "
        "(3, 1, 'Output 5 V', 'V', 1), (4, 1, 'Output 3.3 V', 'V', 1), (5, 1, 'Ripple', 'V', 1), "
        "(6, 1, 'Load regulation', '%', 1), (7, 1, 'Efficiency', '%', 1), "
        "(8, 1, 'Temperature', 'C', 1);"
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        std::to_string(n - 1) +
        ") INSERT INTO tests(id, cell_id, cell_row, serial, begin_ms, end_ms, verdict, "
        "description) SELECT i + 1, i % 4 + 1, i / 4, printf('SN%09d', i), "
        "1760000000000 + i * 7500, 1760000000000 + i * 7500 + 20000 + abs(random() % 5000), "
        "0, 'all 8 items within limits' FROM n;"
        "INSERT INTO items(test_id, position, name_id, value, lower, upper, unit, ok) "
        "SELECT id, k - 1, k, v, lo, hi, unit, v BETWEEN lo AND hi FROM (SELECT t.id, p.k, "
        "p.nominal + p.spread * ((t.id * 2654435761 + p.k * 40503) % 2001 - 1000) / 1000.0 AS v, "
        "p.nominal - p.spread * 0.995 AS lo, p.nominal + p.spread * 0.995 AS hi, p.unit "
        "FROM tests t, "
        "(SELECT 1 AS k, 0.1 AS nominal, 0.05 AS spread, 'A' AS unit UNION ALL "
        "SELECT 2, 12, 0.6, 'V' UNION ALL SELECT 3, 5, 0.25, 'V' UNION ALL "
        "SELECT 4, 3.3, 0.16, 'V' UNION ALL SELECT 5, 0.06, 0.06, 'V' UNION ALL "
        "SELECT 6, 0, 1, '%' UNION ALL SELECT 7, 90, 5, '%' UNION ALL SELECT 8, 37, 17, 'C') p "
        "ORDER BY t.id, p.k);"
        // The values are a hash, not random(): SQLite may evaluate v twice.
        // Verdicts and descriptions of the failed tests, as conclude() writes them.
        "UPDATE tests SET verdict = 1, description = (SELECT 'out of limits: ' || "
        "group_concat(n.name, ', ') FROM items i JOIN item_names n ON n.id = i.name_id "
        "WHERE i.test_id = tests.id AND NOT i.ok) "
        "WHERE id IN (SELECT DISTINCT test_id FROM items WHERE NOT ok);"
        "CREATE UNIQUE INDEX tests_by_cell ON tests(cell_id, cell_row);"
        "CREATE UNIQUE INDEX tests_once ON tests(cell_id, begin_ms, serial);"
        "CREATE INDEX items_by_value ON items(name_id, value);"
        "COMMIT;";
    char* error = nullptr;
    if (sqlite3_exec(store.handle(), sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK ||
        sqlite3_exec(store.handle(), "PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL",
                     nullptr, nullptr, &error) != SQLITE_OK)
        throw std::runtime_error(std::string("generating failed: ") + (error ? error : "?"));
    const auto counting = Clock::now();
    store.recount();
    std::fprintf(stderr, "  figures counted in %.1f s\n", ms_since(counting) / 1000);
}

// The viewer as it was: every test copied into string cells, one row at a
// time, figures computed over a vector. Kept here only to be measured against.
class InMemoryViewer : public tov_atsui::TestDataViewerPanel {
public:
    InMemoryViewer(wxWindow* parent, const std::vector<TestRecord>& history)
        : TestDataViewerPanel(parent), history_(history) {
        ui_statistics_analyzer->Show();
        Layout();
        refresh();
    }
    void refresh() {
        const wxString filter = ui_cell_filter->GetStringSelection();
        std::set<std::string> cells;
        for (const TestRecord& record : history_) cells.insert(record.cell);
        ui_cell_filter->Clear();
        ui_cell_filter->Append("all");
        for (const std::string& cell : cells) ui_cell_filter->Append(from_utf8(cell));
        if (!ui_cell_filter->SetStringSelection(filter)) ui_cell_filter->SetStringSelection("all");
        const wxString shown_cell = ui_cell_filter->GetStringSelection();
        rows_.clear();
        if (ui_history->GetNumberRows() > 0) ui_history->DeleteRows(0, ui_history->GetNumberRows());
        for (std::size_t i = 0; i < history_.size(); ++i) {
            const TestRecord& r = history_[i];
            if (shown_cell != "all" && from_utf8(r.cell) != shown_cell) continue;
            rows_.push_back(i);
            ui_history->AppendRows(1);
            const int row = ui_history->GetNumberRows() - 1;
            ui_history->SetRowLabelValue(row, from_utf8(r.cell));
            ui_history->SetCellValue(row, 0, from_utf8(format_local(r.begin_ms)));
            ui_history->SetCellValue(row, 1, from_utf8(format_local(r.end_ms)));
            ui_history->SetCellValue(row, 2, from_utf8(r.serial));
            ui_history->SetCellValue(row, 3, verdict_text(r.verdict));
            ui_history->SetCellValue(row, 4, from_utf8(r.description));
            if (r.verdict != Verdict::aborted)
                ui_history->SetCellTextColour(row, 3,
                                              r.verdict == Verdict::ok ? ok_colour() : ng_colour());
        }
        show_total();
    }
    void show_item(const std::string& item) {
        const ItemStatistics s = item_statistics(history_, item);
        ui_single_item_max->SetValue(wxString::Format("%.6g", s.maximum));
        ui_single_item_middle->SetValue(wxString::Format("%.6g", s.median));
    }
    void show_total() {
        std::vector<TestRecord> shown;
        for (std::size_t index : rows_) shown.push_back(history_[index]);
        const TotalStatistics s = total_statistics(shown);
        ui_total_statistics_ok_count->SetValue(wxString::Format("%zu", s.ok));
    }
    void on_cell_filter_changed(wxCommandEvent&) override { refresh(); }

private:
    const std::vector<TestRecord>& history_;
    std::vector<std::size_t> rows_;
};

struct ViewerFigures {
    double open_ms = 0, filter_ms = 0, item_ms = 0, total_ms = 0, rss_mb = 0, heap_mb = 0;
    bool measured = false;
};

constexpr int kRepeats = 5;

// One viewer's samples over the rounds, and the figures they give.
struct ViewerSamples {
    std::vector<double> open, filter, item, total;
    double rss = 0, heap = 0;

    // Memory the round kept, counted once it settled; then the window goes.
    void close_round(wxFrame* frame, double rss_before, double heap_before) {
        settle();
        rss = std::max(rss, rss_mb() - rss_before);
        heap = std::max(heap, heap_mb() - heap_before);
        frame->Destroy();
        settle();
    }

    ViewerFigures figures() const {
        return {median(open), median(filter), median(item), median(total), rss, heap, true};
    }
};

ViewerFigures measure_store_viewer(const std::string& path) {
    ViewerSamples s;
    for (int round = 0; round < kRepeats; ++round) {
        settle();
        const double before = rss_mb(), heap_before = heap_mb();
        auto start = Clock::now();
        auto* frame = new StationViewerFrame(std::make_unique<HistoryStore>(path));
        frame->Show();
        frame->Update();
        settle();
        s.open.push_back(ms_since(start));
        StationViewerPanel* panel = frame->panel;

        // "Cell 3" and back to all, each a query and a repaint.
        for (const char* cell : {"Cell 3", "all"}) {
            panel->ui_cell_filter->SetStringSelection(cell);
            start = Clock::now();
            wxCommandEvent event(wxEVT_CHOICE, panel->ui_cell_filter->GetId());
            panel->on_cell_filter_changed(event);
            panel->ui_history->Update();
            s.filter.push_back(ms_since(start));
        }
        // A test, then one of its items: the item's figures over the history.
        panel->ui_history->SetGridCursor(3, 0);
        settle();
        start = Clock::now();
        panel->ui_assertions->SetGridCursor(1, 0);
        s.item.push_back(ms_since(start));
        if (panel->ui_single_item_max->GetValue().empty())
            throw std::runtime_error("no item statistics shown");

        panel->ui_statistics_analyzer->SetSelection(1);
        start = Clock::now();
        wxCommandEvent radio(wxEVT_RADIOBOX, panel->ui_statistics_analyzer->GetId());
        panel->on_refresh_statistics_analyzer(radio);
        s.total.push_back(ms_since(start));
        s.close_round(frame, before, heap_before);
    }
    return s.figures();
}

ViewerFigures measure_memory_viewer(const std::vector<TestRecord>& history, int repeats) {
    ViewerSamples s;
    for (int round = 0; round < repeats; ++round) {
        settle();
        const double before = rss_mb(), heap_before = heap_mb();
        auto start = Clock::now();
        auto* frame = new wxFrame(nullptr, wxID_ANY, "in-memory viewer", wxDefaultPosition,
                                  wxSize(1440, 760));
        auto* panel = new InMemoryViewer(frame, history);
        frame->Show();
        frame->Update();
        settle();
        s.open.push_back(ms_since(start));
        for (const char* cell : {"Cell 3", "all"}) {
            panel->ui_cell_filter->SetStringSelection(cell);
            start = Clock::now();
            wxCommandEvent event(wxEVT_CHOICE);
            panel->on_cell_filter_changed(event);
            panel->ui_history->Update();
            s.filter.push_back(ms_since(start));
        }
        start = Clock::now();
        panel->show_item("Output 12 V");
        s.item.push_back(ms_since(start));
        start = Clock::now();
        panel->show_total();
        s.total.push_back(ms_since(start));
        s.close_round(frame, before, heap_before);
    }
    return s.figures();
}

// Finding a unit in the viewer as the operator does it: a search is typed
// and Enter pressed, and the time runs until the grid has drawn its rows.
struct SearchCase {
    std::string name;
    double ms = 0;
    int rows = 0;
};

std::vector<SearchCase> measure_search(const std::string& path, long n) {
    // generate(): test i is "SN%09d", began at 1760000000000 + 7.5 s * i.
    char middle[32];
    std::snprintf(middle, sizeof middle, "SN%09ld", n / 2);
    const std::string unit = middle;
    const std::string prefix = n >= 10000 ? unit.substr(0, unit.size() - 4) : unit.substr(0, 6);
    const wxDateTime day(time_t((1760000000000LL + (n / 2) * 7500LL) / 1000));
    struct Case {
        std::string name, serial;
        int days;  // 0: no dates
    };
    const std::vector<Case> cases = {
        {"one unit (whole serial)", unit, 0},
        {"serial prefix " + prefix, prefix, 0},
        {"one day", "", 1},
        {"30 days", "", 30},
        {"serial prefix and one day", prefix, 1},
    };
    std::vector<std::vector<double>> times(cases.size());
    std::vector<int> rows(cases.size());
    std::vector<double> history;
    int history_rows = 0;
    for (int round = 0; round < kRepeats; ++round) {
        auto* frame = new StationViewerFrame(std::make_unique<HistoryStore>(path));
        frame->Show();
        settle();
        StationViewerPanel* panel = frame->panel;
        HistorySearchBar* search = panel->ui_search;
        for (std::size_t c = 0; c < cases.size(); ++c) {
            search->ui_serial->ChangeValue(from_utf8(cases[c].serial));
            search->ui_from_enabled->SetValue(cases[c].days > 0);
            search->ui_to_enabled->SetValue(cases[c].days > 0);
            search->ui_from->SetValue(day);
            search->ui_to->SetValue(day + wxDateSpan::Days(std::max(cases[c].days - 1, 0)));
            settle();
            const auto start = Clock::now();
            wxCommandEvent enter(wxEVT_TEXT_ENTER, search->ui_serial->GetId());
            enter.SetEventObject(search->ui_serial);
            search->ui_serial->HandleWindowEvent(enter);
            panel->ui_history->Update();
            times[c].push_back(ms_since(start));
            rows[c] = panel->ui_history->GetNumberRows();
        }
        // The unit's history from its test.
        search->ui_serial->ChangeValue(from_utf8(unit));
        search->ui_from_enabled->SetValue(false);
        search->ui_to_enabled->SetValue(false);
        wxCommandEvent enter(wxEVT_TEXT_ENTER, search->ui_serial->GetId());
        search->ui_serial->HandleWindowEvent(enter);
        panel->ui_history->SetGridCursor(0, 0);
        settle();
        const auto start = Clock::now();
        UnitHistoryDialog* dialog = panel->open_unit_history();
        if (!dialog) throw std::runtime_error("no unit history opened");
        dialog->Update();
        history.push_back(ms_since(start));
        history_rows = int(dialog->tests().size());
        dialog->Destroy();
        frame->Destroy();
        settle();
    }
    std::vector<SearchCase> figures;
    for (std::size_t c = 0; c < cases.size(); ++c)
        figures.push_back({cases[c].name, median(times[c]), rows[c]});
    figures.push_back({"unit history window", median(history), history_rows});
    return figures;
}

TestRecord sample_test(int i) {
    TestRecord r;
    r.cell = "Cell " + std::to_string(1 + i % 4);
    r.serial = "LAT" + std::to_string(i);
    r.begin_ms = 1770000000000 + i * 1000;
    r.end_ms = r.begin_ms + 20000;
    for (int k = 0; k < 8; ++k)
        r.items.push_back({"Item " + std::to_string(k), 5.0 + k * 0.01, 4, 6, "V", true});
    conclude(r);
    return r;
}

struct Latency {
    double median_ms = 0, p99_ms = 0;
    int samples = 0;
};

Latency sqlite_commit_latency(const std::string& path, int samples) {
    fs::remove(path);
    HistoryStore store(path);
    std::vector<double> times;
    for (int i = 0; i < samples; ++i) {
        const TestRecord r = sample_test(i);
        const auto start = Clock::now();
        store.append(r);
        times.push_back(ms_since(start));
    }
    return {median(times), percentile(times, 0.99), samples};
}

// One finished test straight into the server, as the forwarder writes it.
Latency pg_commit_latency(const std::string& address, int samples) {
    PGconn* pg = PQconnectdb(address.c_str());
    if (PQstatus(pg) != CONNECTION_OK) throw std::runtime_error(PQerrorMessage(pg));
    PQsetNoticeProcessor(
        pg, [](void*, const char*) {}, nullptr);
    PQclear(PQexec(pg, PgForwarder::schema()));
    std::vector<double> times;
    for (int i = 0; i < samples; ++i) {
        const TestRecord r = sample_test(i);
        const auto start = Clock::now();
        PQclear(PQexec(pg, "BEGIN"));
        const std::string begin = std::to_string(r.begin_ms), end = std::to_string(r.end_ms);
        const char* values[] = {"bench",     r.cell.c_str(), r.serial.c_str(),     begin.c_str(),
                                end.c_str(), "OK",           r.description.c_str()};
        PGresult* inserted = PQexecParams(pg,
                                          "INSERT INTO tests(station, cell, serial, begin_ms, "
                                          "end_ms, verdict, description) VALUES ($1, $2, $3, $4, "
                                          "$5, $6, $7) ON CONFLICT DO NOTHING RETURNING id",
                                          7, nullptr, values, nullptr, nullptr, 0);
        const std::string id = PQntuples(inserted) ? PQgetvalue(inserted, 0, 0) : "0";
        PQclear(inserted);
        std::string sql = "INSERT INTO items VALUES ";
        for (std::size_t k = 0; k < r.items.size(); ++k)
            sql += (k ? ", (" : "(") + id + ", " + std::to_string(k) + ", '" + r.items[k].name +
                   "', " + format_number(r.items[k].value) + ", 4, 6, 'V', true)";
        PQclear(PQexec(pg, sql.c_str()));
        PGresult* commit = PQexec(pg, "COMMIT");
        if (PQresultStatus(commit) != PGRES_COMMAND_OK)
            throw std::runtime_error(PQerrorMessage(pg));
        PQclear(commit);
        times.push_back(ms_since(start));
    }
    PQfinish(pg);
    return {median(times), percentile(times, 0.99), samples};
}

// The same work through both APIs: a test row and its 8 item rows in one
// transaction, with prepared statements.
struct ApiFigures {
    double plain_rate = 0, soci_rate = 0;  // tests per second, no fsync
    Latency plain_commit, soci_commit;     // synchronous = FULL
};

const char* const kApiSchema =
    "CREATE TABLE t(id INTEGER PRIMARY KEY, serial TEXT, begin_ms INTEGER, verdict INTEGER);"
    "CREATE TABLE i(test_id INTEGER, position INTEGER, value REAL, ok INTEGER);";

std::vector<double> plain_api(const std::string& path, int tests, bool sync) {
    fs::remove(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, sync ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = OFF", nullptr,
                 nullptr, nullptr);
    sqlite3_exec(db, kApiSchema, nullptr, nullptr, nullptr);
    sqlite3_stmt *test = nullptr, *item = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t(serial, begin_ms, verdict) VALUES (?, ?, ?)", -1, &test,
                       nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO i VALUES (?, ?, ?, ?)", -1, &item, nullptr);
    std::vector<double> times;
    for (int n = 0; n < tests; ++n) {
        const auto start = Clock::now();
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        const std::string serial = "SN" + std::to_string(n);
        sqlite3_bind_text(test, 1, serial.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(test, 2, 1770000000000 + n);
        sqlite3_bind_int(test, 3, 0);
        sqlite3_step(test);
        sqlite3_reset(test);
        const sqlite3_int64 id = sqlite3_last_insert_rowid(db);
        for (int k = 0; k < 8; ++k) {
            sqlite3_bind_int64(item, 1, id);
            sqlite3_bind_int(item, 2, k);
            sqlite3_bind_double(item, 3, 5.0 + k);
            sqlite3_bind_int(item, 4, 1);
            sqlite3_step(item);
            sqlite3_reset(item);
        }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        times.push_back(ms_since(start));
    }
    sqlite3_finalize(test);
    sqlite3_finalize(item);
    sqlite3_close(db);
    return times;
}

ApiFigures weigh_apis(const std::string& folder) {
    ApiFigures f;
    constexpr int kRateTests = 20000, kCommitTests = 300;
    const std::string plain = folder + "/api-plain.sqlite", soci_path = folder + "/api-soci.sqlite";
    auto start = Clock::now();
    plain_api(plain, kRateTests, false);
    f.plain_rate = kRateTests / (ms_since(start) / 1000);
    start = Clock::now();
    soci_api(soci_path, kRateTests, false);
    f.soci_rate = kRateTests / (ms_since(start) / 1000);
    const auto p = plain_api(plain, kCommitTests, true);
    const auto s = soci_api(soci_path, kCommitTests, true);
    f.plain_commit = {median(p), percentile(p, 0.99), kCommitTests};
    f.soci_commit = {median(s), percentile(s, 0.99), kCommitTests};
    for (const std::string& file : {plain, soci_path})
        for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(file + suffix);
    return f;
}

std::string fixed(double v, int digits = 1) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, v);
    return text;
}

std::string thousands(long n) {
    std::string s = std::to_string(n);
    for (int i = int(s.size()) - 3; i > 0; i -= 3) s.insert(std::size_t(i), ",");
    return s;
}

class BenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(BenchApp);

int main(int argc, char** argv) {
    std::string out = ".", scratch = fs::temp_directory_path().string();
    long max_tests = 1000000, max_in_memory = 100000;
    // Only the search section (--search-only), e.g. to measure it alone.
    bool search_only = false;
    // Keeps the generated files in --scratch and uses them again (--reuse).
    bool reuse = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--out=", 0) == 0) out = a.substr(6);
        if (a.rfind("--scratch=", 0) == 0) scratch = a.substr(10);
        if (a.rfind("--max=", 0) == 0) max_tests = std::stol(a.substr(6));
        if (a.rfind("--max-in-memory=", 0) == 0) max_in_memory = std::stol(a.substr(16));
        if (a == "--search-only") search_only = true;
        if (a == "--reuse") reuse = true;
    }
    int wx_argc = 1;
    if (!wxEntryStart(wx_argc, argv) || !wxTheApp->CallOnInit()) return 1;
    scratch += reuse ? std::string("/history-bench") : "/history-bench-" + std::to_string(::getpid());
    fs::create_directories(scratch);
    fs::create_directories(out);

    std::ostringstream md, search_md;
    std::ofstream dat(out + "/history.dat");
    dat << "# tests open_store open_memory filter_store filter_memory item_store item_memory "
           "total_store total_memory rss_store rss_memory\n";
    md << "## Test history at volume\n\n"
       << "The viewer on the SQLite history store against the in-memory grid it replaced "
          "(every test copied into string cells, figures over a vector), on N tests of 8 items "
          "in 4 cells. Medians of "
       << kRepeats
       << " rounds under Xvfb; RSS growth is the largest of the rounds. The in-memory grid "
          "is measured up to "
       << thousands(max_in_memory)
       << " tests; beyond that it takes minutes and gigabytes. RSS growth counts what the "
          "process took from the system while the viewer was open (memory the allocator kept "
          "from earlier rounds is reused and not counted); heap growth counts the bytes in use "
          "(mallinfo2).\n\n"
       << "| tests | generate (s) | DB size (MB) | open viewer (ms) | cell filter (ms) | item "
          "statistics (ms) | total statistics (ms) | RSS growth (MB) | heap growth (MB) |\n"
       << "|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";

    // The first window loads fonts, themes and the grid's code: not the history's cost.
    {
        const std::string warm = scratch + "/warm.sqlite";
        generate(warm, 10);
        measure_store_viewer(warm);
        std::vector<TestRecord> few;
        HistoryStore(warm).for_each([&](const TestRecord& r) { few.push_back(r); });
        measure_memory_viewer(few, 1);
    }

    std::string csv_line;
    for (long n : {1000L, 10000L, 100000L, 1000000L}) {
        if (n > max_tests) break;
        const std::string path = scratch + "/history-" + std::to_string(n) + ".sqlite";
        auto start = Clock::now();
        if (!reuse || !fs::exists(path)) generate(path, n);
        const double generate_s = ms_since(start) / 1000;
        const double size_mb = double(fs::file_size(path)) / (1024.0 * 1024.0);
        std::fprintf(stderr, "%ld tests generated in %.1f s\n", n, generate_s);

        const std::vector<SearchCase> found = measure_search(path, n);
        for (const SearchCase& c : found)
            search_md << "| " << thousands(n) << " | " << c.name << " | " << thousands(c.rows)
                      << " | " << fixed(c.ms) << " |\n";
        std::fprintf(stderr, "  search: one unit %.1f ms\n", found.front().ms);
        if (search_only) {
            if (!reuse)
                for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
            continue;
        }
        const ViewerFigures ours = measure_store_viewer(path);
        std::fprintf(stderr, "  viewer on the store: open %.1f ms\n", ours.open_ms);
        ViewerFigures before;
        if (n <= max_in_memory) {
            std::vector<TestRecord> history;
            HistoryStore(path).for_each([&](const TestRecord& r) { history.push_back(r); });
            before = measure_memory_viewer(history, n >= 100000 ? 1 : kRepeats);
            std::fprintf(stderr, "  in-memory viewer: open %.1f ms\n", before.open_ms);
        }
        const auto pair = [&](double a, double b, bool has_b, int digits = 1) {
            return fixed(a, digits) + (has_b ? " (was " + fixed(b, digits) + ")" : "");
        };
        md << "| " << thousands(n) << " | " << fixed(generate_s) << " | " << fixed(size_mb) << " | "
           << pair(ours.open_ms, before.open_ms, before.measured) << " | "
           << pair(ours.filter_ms, before.filter_ms, before.measured) << " | "
           << pair(ours.item_ms, before.item_ms, before.measured, 2) << " | "
           << pair(ours.total_ms, before.total_ms, before.measured, 2) << " | "
           << pair(ours.rss_mb, before.rss_mb, before.measured) << " | "
           << pair(ours.heap_mb, before.heap_mb, before.measured) << " |\n";
        const auto value = [&](const ViewerFigures& f, double v) {
            return f.measured ? fixed(v, 3) : std::string("NaN");
        };
        dat << n << ' ' << fixed(ours.open_ms, 3) << ' ' << value(before, before.open_ms) << ' '
            << fixed(ours.filter_ms, 3) << ' ' << value(before, before.filter_ms) << ' '
            << fixed(ours.item_ms, 3) << ' ' << value(before, before.item_ms) << ' '
            << fixed(ours.total_ms, 3) << ' ' << value(before, before.total_ms) << ' '
            << fixed(ours.rss_mb, 3) << ' ' << value(before, before.rss_mb) << '\n';

        // CSV rates on the 100k history: export streams it, import adds it to
        // an empty store in one transaction.
        if (n == 100000 || (n == max_tests && n < 100000)) {
            const std::string csv = scratch + "/export.csv";
            HistoryStore store(path);
            start = Clock::now();
            HistoryCsvWriter writer(csv);
            store.for_each([&](const TestRecord& r) { writer.write(r); });
            writer.commit();
            const double export_s = ms_since(start) / 1000;
            const double csv_mb = double(fs::file_size(csv)) / (1024.0 * 1024.0);
            const std::string target = scratch + "/import.sqlite";
            HistoryStore fresh(target);
            start = Clock::now();
            const std::string text = read_file(csv);
            const auto result =
                fresh.import_from([&](const auto& add) { read_history_csv_each(text, add); });
            const double import_s = ms_since(start) / 1000;
            csv_line = "CSV of " + thousands(n) + " tests (" + fixed(csv_mb) + " MB): export " +
                       thousands(long(double(n) / export_s)) + " tests/s (" + fixed(export_s, 2) +
                       " s), import " + thousands(long(double(result.added) / import_s)) +
                       " tests/s (" + fixed(import_s, 2) + " s, one transaction).";
            fs::remove(csv);
        }
        for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
    }

    const auto load = [] {
        double averages[3] = {0, 0, 0};
        return getloadavg(averages, 3) == 3 ? fixed(averages[0], 2) + ", " +
                                                  fixed(averages[1], 2) + ", " +
                                                  fixed(averages[2], 2)
                                            : std::string("unknown");
    };
    const std::string search_section =
        "### Finding a unit\n\nThe viewer's search on the same histories: the serial or "
        "the days are set, Enter pressed, and the time runs until the grid has drawn its "
        "first rows (the count, the rows, the totals). A search reads the serial's or the "
        "begin time's index, so its cost follows the tests it finds. \"Unit history window\" "
        "opens every test of one unit with its items. Beside the query, the time holds what "
        "wxGrid takes to drop or add hundreds of thousands of rows when the count changes "
        "(about 50 ms from a million to one, on this machine) and the repaint. Medians of " +
        std::to_string(kRepeats) + " rounds; load average when done: " + load() +
        ".\n\n| tests | search | rows found | time (ms) |\n|---:|---|---:|---:|\n" +
        search_md.str() + "\n";
    if (search_only) {
        std::ofstream(out + "/history.md") << search_section;
        std::fputs(search_section.c_str(), stdout);
        if (!reuse) fs::remove_all(scratch);
        wxEntryCleanup();
        return 0;
    }
    md << "\n![Viewer on the store against the in-memory grid](performance-history.png)\n\n";
    md << search_section;
    md << csv_line << "\n\n";

    // Commit latency of one finished test (8 items), the time the cell waits
    // before it shows its verdict.
    const Latency sqlite = sqlite_commit_latency(scratch + "/latency.sqlite", 1000);
    std::string pg_line;
    if (PgCluster::available()) {
        try {
            PgCluster server(true);
            const Latency pg = pg_commit_latency(server.address(), 500);
            pg_line =
                "| PostgreSQL 15, Unix socket, fsync on (forwarder's transaction; the cell "
                "never waits for it) | " +
                fixed(pg.median_ms, 2) + " | " + fixed(pg.p99_ms, 2) + " | " +
                std::to_string(pg.samples) + " |\n";
        } catch (const std::exception& error) {
            pg_line = "| PostgreSQL: not measured (" + std::string(error.what()) + ") | | | |\n";
        }
    }
    md << "Commit latency of one finished test of 8 items:\n\n"
       << "| database | median (ms) | p99 (ms) | samples |\n|---|---:|---:|---:|\n"
       << "| SQLite, WAL, synchronous FULL (what the cell waits for) | "
       << fixed(sqlite.median_ms, 2) << " | " << fixed(sqlite.p99_ms, 2) << " | " << sqlite.samples
       << " |\n"
       << pg_line << "\n";

    const ApiFigures api = weigh_apis(scratch);
    md << "The database API weighed: the same test row and 8 item rows per transaction, "
          "prepared statements, through the plain SQLite library and through SOCI 4.0 "
          "(sqlite3 back end).\n\n"
       << "| API | tests/s, no fsync | commit median (ms) | commit p99 (ms) |\n"
       << "|---|---:|---:|---:|\n"
       << "| libsqlite3 | " << thousands(long(api.plain_rate)) << " | "
       << fixed(api.plain_commit.median_ms, 2) << " | " << fixed(api.plain_commit.p99_ms, 2)
       << " |\n"
       << "| SOCI | " << thousands(long(api.soci_rate)) << " | "
       << fixed(api.soci_commit.median_ms, 2) << " | " << fixed(api.soci_commit.p99_ms, 2)
       << " |\n\n"
       << "Measured on this machine (" << std::thread::hardware_concurrency()
       << " cores) while other builds may share it; figures vary run to run.\n";

    std::ofstream(out + "/history.md") << md.str();
    std::fputs(md.str().c_str(), stdout);
    fs::remove_all(scratch);
    wxEntryCleanup();
    return 0;
}
