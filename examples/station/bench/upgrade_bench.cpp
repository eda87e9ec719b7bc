// SPDX-License-Identifier: MIT
// How long a station takes to open a history file written by an older
// station: the check before writing (PRAGMA quick_check) and the upgrade to
// the current schema, on files of schema 1 and 2 with N tests of 8 items,
// and how often the operator is told how far it got.
//
//   upgrade_bench --out DIR [--scratch DIR] [--max N]
// writes DIR/upgrade.md, a fragment for docs/performance.md.

#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "logic/history_store.h"

using namespace station;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void exec(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string text = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error("generating failed: " + text);
    }
}

// The tables as stations of schema 1 made them; schema 2 adds the running
// figures, the median's index, the outbox and the settings.
constexpr const char* kSchema1 =
    "CREATE TABLE cells(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);"
    "CREATE TABLE item_names(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);"
    "CREATE TABLE tests(id INTEGER PRIMARY KEY, cell_id INTEGER NOT NULL REFERENCES cells(id),"
    " cell_row INTEGER NOT NULL, serial TEXT NOT NULL, begin_ms INTEGER NOT NULL,"
    " end_ms INTEGER NOT NULL, verdict INTEGER NOT NULL, description TEXT NOT NULL);"
    "CREATE TABLE items(test_id INTEGER NOT NULL REFERENCES tests(id),"
    " position INTEGER NOT NULL, name_id INTEGER NOT NULL REFERENCES item_names(id),"
    " value REAL NOT NULL, lower REAL NOT NULL, upper REAL NOT NULL, unit TEXT NOT NULL,"
    " ok INTEGER NOT NULL, PRIMARY KEY(test_id, position)) WITHOUT ROWID;";
constexpr const char* kSchema2 =
    "ALTER TABLE cells ADD COLUMN ok INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE cells ADD COLUMN ng INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE cells ADD COLUMN aborted INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE cells ADD COLUMN duration_sum INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE cells ADD COLUMN duration_min INTEGER;"
    "ALTER TABLE cells ADD COLUMN duration_max INTEGER;"
    "ALTER TABLE item_names ADD COLUMN count INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE item_names ADD COLUMN sum REAL NOT NULL DEFAULT 0;"
    "ALTER TABLE item_names ADD COLUMN sum_squares REAL NOT NULL DEFAULT 0;"
    "ALTER TABLE item_names ADD COLUMN minimum REAL;"
    "ALTER TABLE item_names ADD COLUMN maximum REAL;"
    "ALTER TABLE item_names ADD COLUMN ok INTEGER NOT NULL DEFAULT 0;"
    "CREATE TABLE outbox(test_id INTEGER PRIMARY KEY);"
    "CREATE TABLE settings(key TEXT PRIMARY KEY, value TEXT) WITHOUT ROWID;";

// N tests of 8 items in 4 cells, one in ten NG, written by SQL in one
// transaction, in a file of the given schema version.
void generate(const std::string& path, long n, int version) {
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot create " + path);
    try {
        exec(db,
             "PRAGMA cache_size = -262144; PRAGMA journal_mode = OFF; "
             "PRAGMA synchronous = OFF; BEGIN;");
        exec(db, kSchema1);
        if (version >= 2) exec(db, kSchema2);
        exec(db,
             "INSERT INTO cells(id, name) VALUES (1, 'Cell 1'), (2, 'Cell 2'), (3, 'Cell 3'), "
             "(4, 'Cell 4');"
             "INSERT INTO item_names(id, name) VALUES (1, 'Input current'), (2, 'Output 12 V'), "
             "(3, 'Output 5 V'), (4, 'Output 3.3 V'), (5, 'Ripple'), (6, 'Load regulation'), "
             "(7, 'Efficiency'), (8, 'Temperature');"
             "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                 std::to_string(n - 1) +
                 ") INSERT INTO tests(id, cell_id, cell_row, serial, begin_ms, end_ms, verdict, "
                 "description) SELECT i + 1, i % 4 + 1, i / 4, printf('SN%09d', i), "
                 "1760000000000 + i * 7500, 1760000000000 + i * 7500 + 20000 + i % 5000, "
                 "i % 10 = 9, CASE WHEN i % 10 = 9 THEN 'out of limits: Ripple' "
                 "ELSE 'all 8 items within limits' END FROM n;"
                 "INSERT INTO items(test_id, position, name_id, value, lower, upper, unit, ok) "
                 "SELECT t.id, p.k - 1, p.k, p.nominal + (t.id % 7) * 0.001, p.nominal - 1, "
                 "p.nominal + 1, p.unit, NOT (t.verdict AND p.k = 5) "
                 "FROM tests t, (SELECT 1 AS k, 0.1 AS nominal, 'A' AS unit UNION ALL "
                 "SELECT 2, 12, 'V' UNION ALL SELECT 3, 5, 'V' UNION ALL SELECT 4, 3.3, 'V' "
                 "UNION ALL SELECT 5, 0.06, 'V' UNION ALL SELECT 6, 0, '%' UNION ALL "
                 "SELECT 7, 90, '%' UNION ALL SELECT 8, 37, 'C') p ORDER BY t.id, p.k;"
                 "CREATE UNIQUE INDEX tests_by_cell ON tests(cell_id, cell_row);"
                 "CREATE UNIQUE INDEX tests_once ON tests(cell_id, begin_ms, serial);");
        if (version >= 2) {
            // The figures a station of schema 2 kept beside the tests.
            exec(db,
                 "CREATE INDEX items_by_value ON items(name_id, value);"
                 "UPDATE cells SET ok = (SELECT count(*) FROM tests t WHERE t.cell_id = cells.id "
                 "AND verdict = 0), ng = (SELECT count(*) FROM tests t WHERE t.cell_id = cells.id "
                 "AND verdict = 1);"
                 "UPDATE item_names SET count = (SELECT count(*) FROM items i WHERE i.name_id = "
                 "item_names.id);");
        }
        exec(db, "PRAGMA user_version = " + std::to_string(version) + "; COMMIT;");
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
}

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Wall-clock and processor time: on a machine other work shares, the
// processor time says what the work itself costs.
struct Spent {
    double wall = 0, cpu = 0;
};

struct Opened {
    Spent check;                   // PRAGMA quick_check, before anything is written
    Spent step2;                   // schema 1 to 2 (files of schema 1 only)
    Spent step3;                   // schema 2 to 3, its commit included
    Spent total;                   // the whole opening
    double longest_silence_s = 0;  // the longest time without a word of progress
    std::size_t told = 0;
    std::vector<std::pair<std::string, Spent>> stages;
};

Opened open_and_upgrade(const std::string& path) {
    Opened o;
    const auto start = Clock::now();
    const double cpu_start = cpu_seconds();
    auto last = start, stage_start = start;
    double stage_cpu = cpu_start;
    std::string stage;
    // The time of each stage goes to the step it belongs to.
    const auto close_stage = [&](Clock::time_point now) {
        const double cpu = cpu_seconds();
        const Spent spent{std::chrono::duration<double>(now - stage_start).count(),
                          cpu - stage_cpu};
        Spent* step = stage.rfind("Checking", 0) == 0               ? &o.check
                      : stage.find("schema 2") != std::string::npos ? &o.step2
                      : !stage.empty()                              ? &o.step3
                                                                    : nullptr;
        if (step) {
            step->wall += spent.wall;
            step->cpu += spent.cpu;
            std::string name = stage;
            if (const auto at = name.find(path); at != std::string::npos)
                name.replace(at, path.size(), "FILE");
            o.stages.emplace_back(name, spent);
        }
        stage_start = now;
        stage_cpu = cpu;
    };
    HistoryStore::Opening opening;
    opening.progress = [&](const std::string& now_stage) {
        const auto now = Clock::now();
        ++o.told;
        o.longest_silence_s =
            std::max(o.longest_silence_s, std::chrono::duration<double>(now - last).count());
        last = now;
        if (now_stage != stage) {
            close_stage(now);
            stage = now_stage;
        }
    };
    HistoryStore store(path, opening);
    const auto end = Clock::now();
    close_stage(end);
    o.total = {seconds_since(start), cpu_seconds() - cpu_start};
    o.longest_silence_s =
        std::max(o.longest_silence_s, std::chrono::duration<double>(end - last).count());
    const TotalStatistics totals = store.total_statistics();
    if (totals.ok + totals.ng == 0)
        throw std::runtime_error("the upgraded file " + path + " counts no test");
    return o;
}

std::string fixed(double v, int digits = 2) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.*f", digits, v);
    return buffer;
}

std::string spent(const Spent& s) { return fixed(s.wall) + " (" + fixed(s.cpu) + ")"; }

std::string load_average() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + ", " + five + ", " + fifteen;
}

}  // namespace

int main(int argc, char** argv) {
    std::string out = ".", scratch = fs::temp_directory_path().string();
    long max_tests = 1000000;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--out=", 0) == 0) out = a.substr(6);
        if (a.rfind("--scratch=", 0) == 0) scratch = a.substr(10);
        if (a.rfind("--max=", 0) == 0) max_tests = std::stol(a.substr(6));
    }
    scratch += "/upgrade-bench-" + std::to_string(::getpid());
    fs::create_directories(scratch);
    fs::create_directories(out);

    std::ostringstream md;
    md << "## Opening a history of an older station\n\n"
       << "A station opens a file of an older schema by checking it (PRAGMA quick_check, "
          "before anything is written) and upgrading it to schema "
       << HistoryStore::kSchemaVersion
       << " in one transaction: projects and origins, figures per cell and project and per "
          "project, item and unit, counted again from every test and item. N tests of 8 items "
          "in 4 cells. Times are wall-clock seconds, with the processor time of the opening "
          "process in brackets: on a machine that other work shares, the second says what "
          "the work itself costs. \"Told\" is how often the opening said how far it got (the "
          "station shows it in a progress window once opening takes 0.4 s); \"longest "
          "silence\" the longest time without such a word.\n\n"
       << "| schema | tests | file (MB) | quick_check (s) | step 2 (s) | step 3 (s) | whole "
          "opening (s) | told | longest silence (s) | load average |\n"
       << "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|\n";
    for (long n : {10000L, 100000L, 1000000L}) {
        if (n > max_tests) break;
        for (int version : {1, 2}) {
            const std::string path = scratch + "/v" + std::to_string(version) + ".sqlite";
            const auto start = Clock::now();
            generate(path, n, version);
            std::fprintf(stderr, "schema %d, %ld tests generated in %.1f s\n", version, n,
                         seconds_since(start));
            const double size_mb = double(fs::file_size(path)) / (1024.0 * 1024.0);
            const std::string load_before = load_average();
            const Opened o = open_and_upgrade(path);
            for (const auto& [name, t] : o.stages)
                std::fprintf(stderr, "  %-45s %6.2f s (processor %.2f s)\n", name.c_str(), t.wall,
                             t.cpu);
            std::fprintf(stderr, "  opened in %.2f s (load %s)\n", o.total.wall,
                         load_before.c_str());
            md << "| " << version << " | " << n << " | " << fixed(size_mb, 1) << " | "
               << spent(o.check) << " | " << (version < 2 ? spent(o.step2) : "–") << " | "
               << spent(o.step3) << " | " << spent(o.total) << " | " << o.told << " | "
               << fixed(o.longest_silence_s) << " | " << load_before << " |\n";
            for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
        }
    }
    md << "\nMeasured on this machine (" << std::thread::hardware_concurrency()
       << " cores; the load average is read before each opening) while other builds share "
          "it; figures vary run to run.\n";
    std::ofstream(out + "/upgrade.md") << md.str();
    std::fputs(md.str().c_str(), stdout);
    fs::remove_all(scratch);
    return 0;
}
