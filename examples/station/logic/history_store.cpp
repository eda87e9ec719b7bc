// SPDX-License-Identifier: MIT
#include "logic/history_store.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <string_view>
#include <unordered_map>

#include "logic/sqlite.h"

namespace station {

namespace {

// Each step takes the schema from version i to i + 1; a file is only ever
// moved forward, inside one transaction, so an interrupted upgrade leaves
// the old version intact.
const char* const kMigrations[] = {
    // 1: tests, their items, cell and item names.
    R"(CREATE TABLE cells(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
       CREATE TABLE item_names(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
       CREATE TABLE tests(
         id INTEGER PRIMARY KEY,
         cell_id INTEGER NOT NULL REFERENCES cells(id),
         cell_row INTEGER NOT NULL,
         serial TEXT NOT NULL,
         begin_ms INTEGER NOT NULL,
         end_ms INTEGER NOT NULL,
         verdict INTEGER NOT NULL,
         description TEXT NOT NULL);
       CREATE UNIQUE INDEX tests_by_cell ON tests(cell_id, cell_row);
       CREATE UNIQUE INDEX tests_once ON tests(cell_id, begin_ms, serial);
       CREATE TABLE items(
         test_id INTEGER NOT NULL REFERENCES tests(id),
         position INTEGER NOT NULL,
         name_id INTEGER NOT NULL REFERENCES item_names(id),
         value REAL NOT NULL, lower REAL NOT NULL, upper REAL NOT NULL,
         unit TEXT NOT NULL, ok INTEGER NOT NULL,
         PRIMARY KEY(test_id, position)) WITHOUT ROWID;)",
    // 2: running figures per cell and per item, so that statistics do not
    // read every test; the median's index; the outbox of a line server.
    R"(ALTER TABLE cells ADD COLUMN ok INTEGER NOT NULL DEFAULT 0;
       ALTER TABLE cells ADD COLUMN ng INTEGER NOT NULL DEFAULT 0;
       ALTER TABLE cells ADD COLUMN aborted INTEGER NOT NULL DEFAULT 0;
       ALTER TABLE cells ADD COLUMN duration_sum INTEGER NOT NULL DEFAULT 0;
       ALTER TABLE cells ADD COLUMN duration_min INTEGER;
       ALTER TABLE cells ADD COLUMN duration_max INTEGER;
       ALTER TABLE item_names ADD COLUMN count INTEGER NOT NULL DEFAULT 0;
       ALTER TABLE item_names ADD COLUMN sum REAL NOT NULL DEFAULT 0;
       ALTER TABLE item_names ADD COLUMN sum_squares REAL NOT NULL DEFAULT 0;
       ALTER TABLE item_names ADD COLUMN minimum REAL;
       ALTER TABLE item_names ADD COLUMN maximum REAL;
       ALTER TABLE item_names ADD COLUMN ok INTEGER NOT NULL DEFAULT 0;
       CREATE INDEX items_by_value ON items(name_id, value);
       CREATE TABLE outbox(test_id INTEGER PRIMARY KEY);
       CREATE TABLE settings(key TEXT PRIMARY KEY, value TEXT) WITHOUT ROWID;)",
    // 3: what tested each unit (project, station, software); the Error
    // verdict counted on its own; figures per cell and project, and per
    // project, item and unit; refused tests set apart in the outbox. Old
    // tests keep project and origin 1, "not known". upgrade_to_3() then
    // splits the item names by unit and counts the figures.
    R"(CREATE TABLE projects(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
       INSERT INTO projects(id, name) VALUES (1, '');
       CREATE TABLE origins(
         id INTEGER PRIMARY KEY,
         project_hash TEXT NOT NULL, station TEXT NOT NULL, software TEXT NOT NULL,
         UNIQUE(project_hash, station, software));
       INSERT INTO origins(id, project_hash, station, software) VALUES (1, '', '', '');
       ALTER TABLE tests ADD COLUMN project_id INTEGER NOT NULL DEFAULT 1;
       ALTER TABLE tests ADD COLUMN origin_id INTEGER NOT NULL DEFAULT 1;
       CREATE TABLE figures(
         cell_id INTEGER NOT NULL REFERENCES cells(id),
         project_id INTEGER NOT NULL REFERENCES projects(id),
         ok INTEGER NOT NULL DEFAULT 0, ng INTEGER NOT NULL DEFAULT 0,
         aborted INTEGER NOT NULL DEFAULT 0, error INTEGER NOT NULL DEFAULT 0,
         duration_sum INTEGER NOT NULL DEFAULT 0, duration_min INTEGER, duration_max INTEGER,
         PRIMARY KEY(cell_id, project_id)) WITHOUT ROWID;
       ALTER TABLE cells DROP COLUMN ok;
       ALTER TABLE cells DROP COLUMN ng;
       ALTER TABLE cells DROP COLUMN aborted;
       ALTER TABLE cells DROP COLUMN duration_sum;
       ALTER TABLE cells DROP COLUMN duration_min;
       ALTER TABLE cells DROP COLUMN duration_max;
       CREATE TABLE item_keys(
         id INTEGER PRIMARY KEY,
         project_id INTEGER NOT NULL REFERENCES projects(id),
         name TEXT NOT NULL,
         unit TEXT NOT NULL,
         counted INTEGER NOT NULL,
         count INTEGER NOT NULL DEFAULT 0, sum REAL NOT NULL DEFAULT 0,
         sum_squares REAL NOT NULL DEFAULT 0, minimum REAL, maximum REAL,
         ok INTEGER NOT NULL DEFAULT 0,
         UNIQUE(project_id, name, unit, counted));
       ALTER TABLE outbox ADD COLUMN refused TEXT;)",
    // 4: one item key's readings in stored order, with their values, so that
    // figures over filtered tests walk the tests in order (cheap lookups)
    // and never touch the items' table.
    R"(CREATE INDEX items_by_key_test ON items(name_id, test_id, value);)",
    // 5: finding a unit: serial prefixes (either case) and date ranges. Both
    // indexes carry what a search filters and counts by, so that a search
    // reads them and not the tests.
    R"(CREATE INDEX IF NOT EXISTS tests_by_serial ON tests(
         serial COLLATE NOCASE, begin_ms, end_ms, verdict, cell_id, project_id);
       CREATE INDEX IF NOT EXISTS tests_by_begin ON tests(
         begin_ms, end_ms, verdict, cell_id, project_id);)",
};
static_assert(std::size(kMigrations) == HistoryStore::kSchemaVersion);

// Indexes step 3 makes once the tests are in place.
constexpr const char* kProjectIndexes =
    "CREATE INDEX tests_by_project ON tests(project_id, id);"
    "CREATE INDEX tests_by_project_cell ON tests(project_id, cell_id, cell_row);";

const char* const kOwnTables[] = {"cells",   "item_names", "tests",   "items",
                                  "outbox",  "settings",   "projects", "origins",
                                  "figures", "item_keys"};

// The columns of a test that read_test() reads, and the tables they come
// from: a row becomes a record in this one place.
constexpr const char* kTestColumns =
    "t.id, c.name, t.serial, t.begin_ms, t.end_ms, t.verdict, t.description, p.name, "
    "o.project_hash, o.station, o.software";
constexpr int kTestColumnCount = 11;
constexpr const char* kTestTables =
    "tests t JOIN cells c ON c.id = t.cell_id JOIN projects p ON p.id = t.project_id "
    "JOIN origins o ON o.id = t.origin_id";

std::string sql(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts) text += part;
    return text;
}

HistoryStoreError::Kind kind_of(int code) {
    using Kind = HistoryStoreError::Kind;
    switch (code & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED: return Kind::busy;
        case SQLITE_FULL: return Kind::full;
        case SQLITE_READONLY:
        case SQLITE_PERM: return Kind::read_only;
        case SQLITE_CORRUPT: return Kind::damaged;
        case SQLITE_NOTADB: return Kind::foreign;
        case SQLITE_CANTOPEN: return Kind::cannot_open;
        case SQLITE_IOERR: return Kind::io;
        default: return Kind::other;
    }
}

// The store keeps verdicts as their enum values: 0 OK, 1 NG, 2 Aborted, 3 Error.
Verdict verdict_of(std::int64_t code) {
    switch (code) {
        case 0: return Verdict::ok;
        case 1: return Verdict::ng;
        case 2: return Verdict::aborted;
        default: return Verdict::error;
    }
}

// OK and NG are results; Aborted and Error say nothing of the unit.
bool is_result(Verdict verdict) { return verdict == Verdict::ok || verdict == Verdict::ng; }

// The first text after every text that begins with prefix, in SQLite's
// NOCASE order (ASCII folded to lower case); none when no text is after.
std::optional<std::string> prefix_end(std::string prefix) {
    while (!prefix.empty()) {
        auto c = static_cast<unsigned char>(prefix.back());
        if (c < 0xff) {
            ++c;
            // Folded texts hold no capitals: '@' + 1 would compare as 'a'.
            if (c >= 'A' && c <= 'Z') c = '[';
            prefix.back() = char(c);
            return prefix;
        }
        prefix.pop_back();
    }
    return std::nullopt;
}

// The conditions of a searched filter on tests t, and their values.
struct Search {
    std::string where;
    std::vector<std::function<void(sqlite::Statement&)>> values;

    void bind(sqlite::Statement& s) const {
        for (const auto& value : values) value(s);
    }
};

Search search_of(const HistoryFilter& f) {
    Search search;
    std::vector<std::string> terms;
    const auto param = [&](auto value) {
        const int index = int(search.values.size()) + 1;
        search.values.push_back([index, value](sqlite::Statement& s) { s.bind(index, value); });
        return "?" + std::to_string(index);
    };
    if (!f.serial.empty()) {
        std::string low = f.serial;
        for (char& c : low)
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        const std::optional<std::string> high = prefix_end(low);
        terms.push_back("t.serial COLLATE NOCASE >= " + param(low));
        if (high) terms.push_back("t.serial COLLATE NOCASE < " + param(*high));
    }
    // With a serial, its index is the narrower one: the time only filters.
    const std::string begin = f.serial.empty() ? "t.begin_ms" : "+t.begin_ms";
    if (f.from_ms) terms.push_back(begin + " >= " + param(*f.from_ms));
    if (f.to_ms) terms.push_back(begin + " < " + param(*f.to_ms));
    if (!f.cell.empty())
        terms.push_back("t.cell_id = (SELECT id FROM cells WHERE name = " + param(f.cell) + ")");
    if (f.project)
        terms.push_back("t.project_id = (SELECT id FROM projects WHERE name = " +
                        param(*f.project) + ")");
    for (std::size_t i = 0; i < terms.size(); ++i)
        search.where += (i == 0 ? " WHERE " : " AND ") + terms[i];
    return search;
}

TestSummary summary_of(TestRecord&& r, std::int64_t id) {
    TestSummary t;
    t.id = id;
    t.cell = std::move(r.cell);
    t.serial = std::move(r.serial);
    t.begin_ms = r.begin_ms;
    t.end_ms = r.end_ms;
    t.verdict = r.verdict;
    t.description = std::move(r.description);
    t.project = std::move(r.project);
    return t;
}

}  // namespace

// Running figures of one item key.
struct HistoryStore::Figures {
    std::int64_t count = 0, ok = 0;
    double sum = 0, squares = 0, minimum = 0, maximum = 0;
    void add(double v, bool passed) {
        minimum = count ? std::min(minimum, v) : v;
        maximum = count ? std::max(maximum, v) : v;
        ++count;
        sum += v;
        squares += v * v;
        ok += passed;
    }
};

HistoryStore::HistoryStore(const std::string& path, Mode mode)
    : HistoryStore(path, Opening{mode, true, {}}) {}

HistoryStore::HistoryStore(const std::string& path, const Opening& opening) : path_(path) {
    try {
        open(opening);
    } catch (const sqlite::Error& e) {
        db_.reset();
        throw error(e, "cannot open the history database");
    } catch (...) {
        db_.reset();
        throw;
    }
}

HistoryStore::~HistoryStore() = default;

sqlite3* HistoryStore::handle() const { return db_->handle(); }

void HistoryStore::set_busy_timeout(int ms) { sqlite3_busy_timeout(db_->handle(), ms); }

sqlite::Statement HistoryStore::statement(std::string_view text) const { return db_->prepare(text); }

HistoryStoreError HistoryStore::error(const sqlite::Error& e, const std::string& doing) const {
    const HistoryStoreError::Kind kind = kind_of(e.code());
    using Kind = HistoryStoreError::Kind;
    switch (kind) {
        case Kind::foreign:
            return HistoryStoreError("the file " + path_ +
                                         " is not a station history database (" + e.what() +
                                         "); the station leaves it as it is",
                                     kind);
        case Kind::damaged:
            return HistoryStoreError("the history database " + path_ + " is damaged (" +
                                         e.what() +
                                         "); the station leaves it as it is: restore it from "
                                         "a backup, or give the station another file",
                                     kind);
        case Kind::read_only:
            return HistoryStoreError(doing + " " + path_ + " (" + e.what() +
                                         "): the station may not write the file, or the folder "
                                         "it is in, where SQLite keeps its -wal and -shm files",
                                     kind);
        case Kind::cannot_open:
            return HistoryStoreError(doing + " " + path_ + " (" + e.what() +
                                         "): its folder must exist and the station must be "
                                         "allowed to write there",
                                     kind);
        default: return HistoryStoreError(doing + " " + path_ + ": " + e.what(), kind);
    }
}

template <class Work>
auto HistoryStore::guarded(const char* doing, Work&& work) const -> decltype(work()) {
    try {
        return work();
    } catch (const sqlite::Error& e) {
        throw error(e, doing);
    }
}

void HistoryStore::stage(const std::string& text) {
    stage_ = text;
    if (progress_) progress_(stage_);
}

void HistoryStore::open(const Opening& opening) {
    const bool writing = opening.mode == Mode::read_write;
    if (writing) {
        std::error_code ignored;
        const auto folder = std::filesystem::path(path_).parent_path();
        if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
    }
    db_ = std::make_unique<sqlite::Database>(
        path_, writing ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY);
    sqlite3_busy_timeout(db_->handle(), 5000);
    if (writing && db_->read_only())
        throw HistoryStoreError("the history database " + path_ +
                                    " is read-only: the station cannot record tests in it",
                                HistoryStoreError::Kind::read_only);
    progress_ = opening.progress;
    if (progress_) db_->set_progress([this] { progress_(stage_); });
    // Reading the header first tells a foreign or damaged file apart
    // before anything is written to it.
    int version = 0;
    {
        auto s = statement("PRAGMA user_version");
        if (s.step()) version = int(s.integer(0));
    }
    if (version > kSchemaVersion)
        throw HistoryStoreError("the history database " + path_ +
                                    " was written by a newer station (schema " +
                                    std::to_string(version) + ", this station knows up to " +
                                    std::to_string(kSchemaVersion) + "); it was left unchanged",
                                HistoryStoreError::Kind::newer);
    if (version == 0) {
        auto s = statement("SELECT name FROM sqlite_master WHERE type = 'table'");
        while (s.step()) {
            const std::string table = s.text(0);
            if (std::find(std::begin(kOwnTables), std::end(kOwnTables), table) ==
                std::end(kOwnTables))
                throw HistoryStoreError("the file " + path_ +
                                            " is an SQLite database of another program (table \"" +
                                            table + "\"); the station leaves it alone",
                                        HistoryStoreError::Kind::foreign);
        }
    }
    if (writing) {
        if (opening.check && version > 0) check(opening);
        db_->exec("PRAGMA journal_mode = WAL");
        // FULL: a committed test survives a power cut, not just a crash.
        db_->exec("PRAGMA synchronous = FULL");
        // Foreign keys stay off while step 3 rebuilds a table others refer to.
        if (version < kSchemaVersion) migrate(opening);
        db_->exec("PRAGMA foreign_keys = ON");
    } else if (version < kSchemaVersion) {
        throw HistoryStoreError("the history database " + path_ +
                                    " is from an older station and is opened read-only; open "
                                    "it once in a station to upgrade it",
                                HistoryStoreError::Kind::read_only);
    }
    auto setting = statement("SELECT value FROM settings WHERE key = 'outbox'");
    outbox_ = setting.step() && setting.text(0) == "on";
    db_->set_progress({});
    progress_ = {};
}

// Nothing has been written yet: a damaged file is refused exactly as it was.
void HistoryStore::check(const Opening& opening) {
    (void)opening;
    stage("Checking " + path_);
    std::string found;
    {
        auto s = statement("PRAGMA quick_check(5)");
        while (s.step())
            if (const std::string line = s.text(0); line != "ok")
                found += (found.empty() ? "" : "; ") + line;
    }
    if (!found.empty())
        throw HistoryStoreError("the history database " + path_ + " is damaged (" + found +
                                    "); the station leaves it as it is: restore it from a "
                                    "backup, or give the station another file",
                                HistoryStoreError::Kind::damaged);
}

void HistoryStore::migrate(const Opening& opening) {
    (void)opening;
    sqlite::Transaction transaction(*db_);
    int version = 0;
    {
        auto s = statement("PRAGMA user_version");
        if (s.step()) version = int(s.integer(0));
    }
    for (; version < kSchemaVersion; ++version) {
        stage("Upgrading " + path_ + " to schema " + std::to_string(version + 1));
        db_->exec(kMigrations[version]);
        if (version + 1 == 3) upgrade_to_3();
        db_->exec("PRAGMA user_version = " + std::to_string(version + 1));
    }
    transaction.commit();
}

// Item names become keys of project, name and unit: a name that older
// stations stored with two units (V and mV) becomes two keys, and items of
// the second unit move to theirs. Then every figure is counted afresh, in
// one pass over the items and one over the tests.
void HistoryStore::upgrade_to_3() {
    struct Key {
        std::int64_t id = 0;
        std::string name;
        std::map<std::string, Figures> units;
    };
    std::map<std::int64_t, Key> keys;
    std::int64_t next_id = 1;
    {
        auto s = statement("SELECT id, name FROM item_names");
        while (s.step()) {
            keys[s.integer(0)] = Key{s.integer(0), s.text(1), {}};
            next_id = std::max(next_id, s.integer(0) + 1);
        }
    }
    stage("Upgrading " + path_ + ": items by unit");
    {
        auto s = statement("SELECT name_id, unit, value, ok FROM items");
        // The figures each name took its last item into, by the unit it had:
        // a name keeps its unit from test to test, so a row finds its
        // figures without a copy of its unit or a search of the maps.
        struct Last {
            std::string unit;
            Figures* figures = nullptr;
        };
        std::unordered_map<std::int64_t, Last> last;
        while (s.step()) {
            const std::int64_t id = s.integer(0);
            const std::string_view unit = s.text_view(1);
            Last& l = last[id];
            if (!l.figures || l.unit != unit) {
                l.unit = unit;
                l.figures = &keys[id].units[l.unit];
            }
            l.figures->add(s.real(2), s.integer(3) != 0);
        }
    }
    std::map<std::int64_t, Figures> figures;
    for (auto& [old_id, key] : keys) {
        if (key.units.empty()) key.units[""];
        bool first = true;
        for (auto& [unit, f] : key.units) {
            const std::int64_t id = first ? old_id : next_id++;
            statement(
                "INSERT INTO item_keys(id, project_id, name, unit, counted) "
                "VALUES (?, 1, ?, ?, 1)")
                .bind(1, id)
                .bind(2, key.name)
                .bind(3, unit)
                .run();
            if (!first)
                statement("UPDATE items SET name_id = ? WHERE name_id = ? AND unit = ?")
                    .bind(1, id)
                    .bind(2, old_id)
                    .bind(3, unit)
                    .run();
            figures[id] = f;
            first = false;
        }
    }
    db_->exec("DROP TABLE item_names; ALTER TABLE item_keys RENAME TO item_names;");
    write_item_figures(figures);
    stage("Upgrading " + path_ + ": tests by project");
    count_cells();
    db_->exec(kProjectIndexes);
}

// Figures per cell and project, from the tests.
void HistoryStore::count_cells() {
    struct Cell {
        std::int64_t ok = 0, ng = 0, aborted = 0, error = 0, sum = 0;
        std::optional<std::int64_t> shortest, longest;
    };
    std::map<std::pair<std::int64_t, std::int64_t>, Cell> cells;
    {
        auto s = statement("SELECT cell_id, project_id, verdict, end_ms - begin_ms FROM tests");
        while (s.step()) {
            Cell& c = cells[{s.integer(0), s.integer(1)}];
            const Verdict verdict = verdict_of(s.integer(2));
            if (!is_result(verdict)) {
                ++(verdict == Verdict::aborted ? c.aborted : c.error);
                continue;
            }
            ++(verdict == Verdict::ok ? c.ok : c.ng);
            const std::int64_t d = s.integer(3);
            c.sum += d;
            c.shortest = std::min(c.shortest.value_or(d), d);
            c.longest = std::max(c.longest.value_or(d), d);
        }
    }
    db_->exec("DELETE FROM figures");
    for (const auto& [key, c] : cells) {
        auto u = statement(
            "INSERT INTO figures(cell_id, project_id, ok, ng, aborted, error, duration_sum, "
            "duration_min, duration_max) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
        u.bind(1, key.first).bind(2, key.second).bind(3, c.ok).bind(4, c.ng);
        u.bind(5, c.aborted).bind(6, c.error).bind(7, c.sum);
        if (c.shortest) u.bind(8, *c.shortest).bind(9, *c.longest);
        u.run();
    }
}

void HistoryStore::write_item_figures(const std::map<std::int64_t, Figures>& figures) {
    db_->exec(
        "UPDATE item_names SET count = 0, sum = 0, sum_squares = 0, minimum = NULL, "
        "maximum = NULL, ok = 0");
    for (const auto& [id, f] : figures) {
        if (f.count == 0) continue;
        statement(
            "UPDATE item_names SET count = ?, sum = ?, sum_squares = ?, minimum = ?, "
            "maximum = ?, ok = ? WHERE id = ? AND counted")
            .bind(1, f.count)
            .bind(2, f.sum)
            .bind(3, f.squares)
            .bind(4, f.minimum)
            .bind(5, f.maximum)
            .bind(6, f.ok)
            .bind(7, id)
            .run();
    }
}

void HistoryStore::recount() {
    guarded("cannot count the history in", [&] {
        sqlite::Transaction transaction(*db_);
        recount_figures();
        transaction.commit();
    });
    changed();
}

// One pass over each table: grouping in SQL would sort millions of rows.
void HistoryStore::recount_figures() {
    count_cells();
    std::map<std::int64_t, Figures> figures;
    {
        auto s = statement("SELECT name_id, value, ok FROM items");
        std::int64_t last = -1;
        Figures* f = nullptr;
        while (s.step()) {
            if (s.integer(0) != last || !f) {
                last = s.integer(0);
                f = &figures[last];
            }
            f->add(s.real(1), s.integer(2) != 0);
        }
    }
    write_item_figures(figures);
}

void HistoryStore::changed() {
    if (on_changed_) on_changed_();
}

// The id of the row that select finds with values, inserted when there is none.
std::int64_t HistoryStore::id_of(std::string_view select, std::string_view insert,
                                 std::initializer_list<std::string_view> values) {
    {
        auto s = statement(select);
        int i = 0;
        for (std::string_view v : values) s.bind(++i, v);
        if (s.step()) return s.integer(0);
    }
    auto s = statement(insert);
    int i = 0;
    for (std::string_view v : values) s.bind(++i, v);
    s.run();
    return db_->last_insert_id();
}

bool HistoryStore::insert(const TestRecord& r) {
    const std::int64_t cell_id = id_of("SELECT id FROM cells WHERE name = ?",
                                       "INSERT INTO cells(name) VALUES (?)", {r.cell});
    const std::int64_t project_id = id_of("SELECT id FROM projects WHERE name = ?",
                                          "INSERT INTO projects(name) VALUES (?)", {r.project});
    const std::int64_t origin_id =
        id_of("SELECT id FROM origins WHERE project_hash = ? AND station = ? AND software = ?",
              "INSERT INTO origins(project_hash, station, software) VALUES (?, ?, ?)",
              {r.project_hash, r.station, r.software});
    std::int64_t cell_row = 0;
    {
        auto s = statement(
            "SELECT coalesce(sum(ok + ng + aborted + error), 0) FROM figures WHERE cell_id = ?");
        s.bind(1, cell_id);
        if (s.step()) cell_row = s.integer(0);
    }
    {
        auto s = statement(
            "INSERT OR IGNORE INTO tests(cell_id, cell_row, serial, begin_ms, end_ms, verdict, "
            "description, project_id, origin_id) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
        s.bind(1, cell_id)
            .bind(2, cell_row)
            .bind(3, r.serial)
            .bind(4, r.begin_ms)
            .bind(5, r.end_ms)
            .bind(6, std::int64_t(r.verdict))
            .bind(7, r.description)
            .bind(8, project_id)
            .bind(9, origin_id)
            .run();
        if (db_->changes() == 0) return false;
    }
    const std::int64_t test_id = db_->last_insert_id();
    {
        const bool result = is_result(r.verdict);
        auto u = statement(
            "INSERT INTO figures(cell_id, project_id, ok, ng, aborted, error, duration_sum, "
            "duration_min, duration_max) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?8) "
            "ON CONFLICT(cell_id, project_id) DO UPDATE SET ok = ok + excluded.ok, "
            "ng = ng + excluded.ng, aborted = aborted + excluded.aborted, "
            "error = error + excluded.error, duration_sum = duration_sum + excluded.duration_sum, "
            "duration_min = coalesce(min(duration_min, excluded.duration_min), duration_min, "
            "excluded.duration_min), "
            "duration_max = coalesce(max(duration_max, excluded.duration_max), duration_max, "
            "excluded.duration_max)");
        u.bind(1, cell_id)
            .bind(2, project_id)
            .bind(3, std::int64_t(r.verdict == Verdict::ok))
            .bind(4, std::int64_t(r.verdict == Verdict::ng))
            .bind(5, std::int64_t(r.verdict == Verdict::aborted))
            .bind(6, std::int64_t(r.verdict == Verdict::error))
            .bind(7, result ? r.duration_ms() : std::int64_t(0));
        if (result) u.bind(8, r.duration_ms());
        u.run();
    }
    // An Error test's readings are kept with it under keys of their own,
    // which no figure counts.
    const std::int64_t counted = r.verdict != Verdict::error;
    std::int64_t position = 0;
    for (const ItemResult& item : r.items) {
        std::int64_t key = 0;
        {
            auto s = statement(
                "SELECT id FROM item_names WHERE project_id = ? AND name = ? AND unit = ? AND "
                "counted = ?");
            s.bind(1, project_id).bind(2, item.name).bind(3, item.unit).bind(4, counted);
            if (s.step()) {
                key = s.integer(0);
            } else {
                statement(
                    "INSERT INTO item_names(project_id, name, unit, counted) VALUES (?, ?, ?, ?)")
                    .bind(1, project_id)
                    .bind(2, item.name)
                    .bind(3, item.unit)
                    .bind(4, counted)
                    .run();
                key = db_->last_insert_id();
            }
        }
        statement(
            "INSERT INTO items(test_id, position, name_id, value, lower, upper, unit, ok) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
            .bind(1, test_id)
            .bind(2, position++)
            .bind(3, key)
            .bind(4, item.value)
            .bind(5, item.lower)
            .bind(6, item.upper)
            .bind(7, item.unit)
            .bind(8, std::int64_t(item.ok))
            .run();
        if (!counted) continue;
        statement(
            "UPDATE item_names SET count = count + 1, sum = sum + ?1, "
            "sum_squares = sum_squares + ?1 * ?1, "
            "minimum = min(coalesce(minimum, ?1), ?1), "
            "maximum = max(coalesce(maximum, ?1), ?1), ok = ok + ?2 WHERE id = ?3")
            .bind(1, item.value)
            .bind(2, std::int64_t(item.ok))
            .bind(3, key)
            .run();
    }
    if (outbox_) statement("INSERT INTO outbox(test_id) VALUES (?)").bind(1, test_id).run();
    return true;
}

bool HistoryStore::append(const TestRecord& record) {
    const bool added = guarded("cannot write the history in", [&] {
        sqlite::Transaction transaction(*db_);
        const bool inserted = insert(record);
        transaction.commit();
        return inserted;
    });
    if (added) changed();
    return added;
}

std::vector<std::string> HistoryStore::cells() const {
    return guarded("cannot read the history in", [&] {
        std::vector<std::string> names;
        auto s = statement(
            "SELECT c.name FROM cells c WHERE EXISTS (SELECT 1 FROM figures f WHERE "
            "f.cell_id = c.id AND f.ok + f.ng + f.aborted + f.error > 0) ORDER BY c.name");
        while (s.step()) names.push_back(s.text(0));
        return names;
    });
}

std::vector<std::string> HistoryStore::projects() const {
    return guarded("cannot read the history in", [&] {
        std::vector<std::string> names;
        auto s = statement(
            "SELECT p.name FROM projects p WHERE EXISTS (SELECT 1 FROM figures f WHERE "
            "f.project_id = p.id AND f.ok + f.ng + f.aborted + f.error > 0) ORDER BY p.name");
        while (s.step()) names.push_back(s.text(0));
        return names;
    });
}

namespace {

// The figures rows of a filter: ?1 the cell ("" for all), ?2 1 when one
// project is asked for, ?3 its name.
constexpr const char* kFiguresOfFilter =
    " FROM figures f JOIN cells c ON c.id = f.cell_id JOIN projects p ON p.id = f.project_id "
    "WHERE (?1 = '' OR c.name = ?1) AND (?2 = 0 OR p.name = ?3)";

void bind_filter(sqlite::Statement& s, const HistoryFilter& filter) {
    s.bind(1, filter.cell).bind(2, std::int64_t(filter.project.has_value()));
    s.bind(3, filter.project.value_or(std::string()));
}

}  // namespace

std::int64_t HistoryStore::count(const HistoryFilter& filter) const {
    return guarded("cannot read the history in", [&] {
        if (filter.searched()) {
            const Search search = search_of(filter);
            auto s = statement("SELECT count(*) FROM tests t" + search.where);
            search.bind(s);
            return s.step() ? s.integer(0) : std::int64_t(0);
        }
        static const std::string text = sql(
            {"SELECT coalesce(sum(f.ok + f.ng + f.aborted + f.error), 0)", kFiguresOfFilter});
        auto s = statement(text);
        bind_filter(s, filter);
        return s.step() ? s.integer(0) : std::int64_t(0);
    });
}

TestRecord HistoryStore::read_test(const sqlite::Statement& s, int first) {
    TestRecord r;
    r.cell = s.text(first + 1);
    r.serial = s.text(first + 2);
    r.begin_ms = s.integer(first + 3);
    r.end_ms = s.integer(first + 4);
    r.verdict = verdict_of(s.integer(first + 5));
    r.description = s.text(first + 6);
    r.project = s.text(first + 7);
    r.project_hash = s.text(first + 8);
    r.station = s.text(first + 9);
    r.software = s.text(first + 10);
    return r;
}

void HistoryStore::read_items(std::int64_t test_id, TestRecord& r) const {
    auto items = statement(
        "SELECT n.name, i.value, i.lower, i.upper, i.unit, i.ok FROM items i "
        "JOIN item_names n ON n.id = i.name_id WHERE i.test_id = ? ORDER BY i.position");
    items.bind(1, test_id);
    while (items.step())
        r.items.push_back({items.text(0), items.real(1), items.real(2), items.real(3),
                           items.text(4), items.integer(5) != 0});
}

std::vector<TestSummary> HistoryStore::page(const HistoryFilter& filter, std::int64_t first_row,
                                            int rows, HistoryOrder order) const {
    if (filter.searched()) {
        const std::vector<std::int64_t> ids = find(filter, order).ids;
        if (first_row < 0 || first_row >= std::int64_t(ids.size())) return {};
        const std::size_t first = std::size_t(first_row);
        return summaries(ids.data() + first, std::min(ids.size() - first, std::size_t(rows)));
    }
    const bool newest = order == HistoryOrder::newest_first;
    return guarded("cannot read the history in", [&] {
        // Rows of all projects are dense in both orders, so such a page is a
        // range on an index, never an OFFSET that would walk every row
        // before it. One project's rows are counted off its own index.
        static const std::string all =
            sql({"SELECT ", kTestColumns, " FROM ", kTestTables,
                 " WHERE t.id > ?1 ORDER BY t.id LIMIT ?2"});
        static const std::string one =
            sql({"SELECT ", kTestColumns, " FROM ", kTestTables,
                 " WHERE c.name = ?3 AND t.cell_row >= ?1 ORDER BY t.cell_row LIMIT ?2"});
        static const std::string project =
            sql({"SELECT ", kTestColumns, " FROM ", kTestTables,
                 " WHERE t.project_id = (SELECT id FROM projects WHERE name = ?4) "
                 "ORDER BY t.id LIMIT ?2 OFFSET ?1"});
        static const std::string project_cell =
            sql({"SELECT ", kTestColumns, " FROM ", kTestTables,
                 " WHERE t.project_id = (SELECT id FROM projects WHERE name = ?4) "
                 "AND t.cell_id = (SELECT id FROM cells WHERE name = ?3) "
                 "ORDER BY t.cell_row LIMIT ?2 OFFSET ?1"});
        // Newest first counts the rows down from the last one.
        static const std::string all_newest =
            sql({"SELECT ", kTestColumns, " FROM ", kTestTables,
                 " WHERE t.id <= (SELECT max(id) FROM tests) - ?1 ORDER BY t.id DESC LIMIT ?2"});
        static const std::string one_newest =
            sql({"SELECT ", kTestColumns, " FROM ", kTestTables,
                 " WHERE c.name = ?3 AND t.cell_row <= (SELECT max(cell_row) FROM tests "
                 "WHERE cell_id = c.id) - ?1 ORDER BY t.cell_row DESC LIMIT ?2"});
        static const std::string project_newest =
            sql({"SELECT ", kTestColumns, " FROM ", kTestTables,
                 " WHERE t.project_id = (SELECT id FROM projects WHERE name = ?4) "
                 "ORDER BY t.id DESC LIMIT ?2 OFFSET ?1"});
        static const std::string project_cell_newest =
            sql({"SELECT ", kTestColumns, " FROM ", kTestTables,
                 " WHERE t.project_id = (SELECT id FROM projects WHERE name = ?4) "
                 "AND t.cell_id = (SELECT id FROM cells WHERE name = ?3) "
                 "ORDER BY t.cell_row DESC LIMIT ?2 OFFSET ?1"});
        const bool by_cell = !filter.cell.empty();
        auto s = statement(
            filter.project
                ? (by_cell ? (newest ? project_cell_newest : project_cell)
                           : (newest ? project_newest : project))
                : (by_cell ? (newest ? one_newest : one) : (newest ? all_newest : all)));
        s.bind(1, first_row).bind(2, std::int64_t(rows));
        if (by_cell) s.bind(3, filter.cell);
        if (filter.project) s.bind(4, *filter.project);
        std::vector<TestSummary> page;
        while (s.step()) page.push_back(summary_of(read_test(s, 0), s.integer(0)));
        return page;
    });
}

HistoryStore::Found HistoryStore::find(const HistoryFilter& filter, HistoryOrder order) const {
    return guarded("cannot search the history in", [&] {
        const Search search = search_of(filter);
        auto s = statement("SELECT t.id, t.verdict, t.end_ms - t.begin_ms FROM tests t" +
                           search.where);
        search.bind(s);
        Found found;
        TotalStatistics& st = found.totals;
        std::int64_t duration_sum = 0;
        while (s.step()) {
            found.ids.push_back(s.integer(0));
            const Verdict verdict = verdict_of(s.integer(1));
            switch (verdict) {
                case Verdict::ok: ++st.ok; break;
                case Verdict::ng: ++st.ng; break;
                case Verdict::aborted: ++st.aborted; break;
                case Verdict::error: ++st.error; break;
            }
            if (!is_result(verdict)) continue;
            const std::int64_t duration = s.integer(2);
            duration_sum += duration;
            const bool first = st.ok + st.ng == 1;
            st.shortest_ms = first ? duration : std::min(st.shortest_ms, duration);
            st.longest_ms = first ? duration : std::max(st.longest_ms, duration);
        }
        if (st.ok + st.ng > 0) st.average_ms = duration_sum / std::int64_t(st.ok + st.ng);
        if (order == HistoryOrder::newest_first)
            std::sort(found.ids.begin(), found.ids.end(), std::greater<>());
        else
            std::sort(found.ids.begin(), found.ids.end());
        return found;
    });
}

std::vector<TestSummary> HistoryStore::summaries(const std::int64_t* ids,
                                                 std::size_t count) const {
    return guarded("cannot read the history in", [&] {
        static const std::string text =
            sql({"SELECT ", kTestColumns, " FROM ", kTestTables, " WHERE t.id = ?"});
        std::vector<TestSummary> found;
        found.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            auto s = statement(text);
            s.bind(1, ids[i]);
            if (s.step()) found.push_back(summary_of(read_test(s, 0), ids[i]));
        }
        return found;
    });
}

std::vector<TestRecord> HistoryStore::unit_history(const std::string& serial) const {
    return guarded("cannot read the history in", [&] {
        // The NOCASE term reaches the serial's index; the other keeps the case.
        static const std::string text =
            sql({"SELECT ", kTestColumns, " FROM ", kTestTables,
                 " WHERE t.serial COLLATE NOCASE = ?1 AND t.serial = ?1 ORDER BY t.id DESC"});
        std::vector<std::pair<std::int64_t, TestRecord>> tests;
        {
            auto s = statement(text);
            s.bind(1, serial);
            while (s.step()) tests.emplace_back(s.integer(0), read_test(s, 0));
        }
        std::vector<TestRecord> records;
        for (auto& [id, record] : tests) {
            read_items(id, record);
            records.push_back(std::move(record));
        }
        return records;
    });
}

std::optional<TestRecord> HistoryStore::test(std::int64_t id) const {
    return guarded("cannot read the history in", [&]() -> std::optional<TestRecord> {
        static const std::string text =
            sql({"SELECT ", kTestColumns, " FROM ", kTestTables, " WHERE t.id = ?"});
        auto s = statement(text);
        s.bind(1, id);
        if (!s.step()) return std::nullopt;
        TestRecord r = read_test(s, 0);
        read_items(id, r);
        return r;
    });
}

ItemStatistics HistoryStore::item_statistics(const std::string& project, const std::string& item,
                                             const std::string& unit) const {
    return guarded("cannot read the history in", [&] {
        ItemStatistics st;
        auto s = statement(
            "SELECT n.id, n.count, n.sum, n.sum_squares, n.minimum, n.maximum, n.ok "
            "FROM item_names n JOIN projects p ON p.id = n.project_id "
            "WHERE p.name = ? AND n.name = ? AND n.unit = ? AND n.counted");
        s.bind(1, project).bind(2, item).bind(3, unit);
        if (!s.step() || s.integer(1) == 0) return st;
        const std::int64_t name_id = s.integer(0);
        const std::int64_t n = s.integer(1);
        st.count = std::size_t(n);
        const double sum = s.real(2), squares = s.real(3);
        st.minimum = s.real(4);
        st.maximum = s.real(5);
        st.ok = std::size_t(s.integer(6));
        st.ng = st.count - st.ok;
        st.average = sum / double(n);
        if (n > 1) st.variance = std::max(0.0, (squares - sum * st.average) / double(n - 1));
        st.std_deviation = std::sqrt(st.variance);
        // The median walks half of one key's index, not the whole history.
        auto m = statement(
            "SELECT value FROM items INDEXED BY items_by_value WHERE name_id = ? "
            "ORDER BY value LIMIT ? OFFSET ?");
        m.bind(1, name_id).bind(2, std::int64_t(n % 2 ? 1 : 2)).bind(3, (n - 1) / 2);
        double middle[2] = {0, 0};
        int found = 0;
        while (found < 2 && m.step()) middle[found++] = m.real(0);
        st.median = found == 2 ? (middle[0] + middle[1]) / 2 : middle[0];
        return st;
    });
}

TotalStatistics HistoryStore::total_statistics(const HistoryFilter& filter) const {
    // A search counts its tests; the other filters read the running figures.
    if (filter.searched()) return find(filter, HistoryOrder::oldest_first).totals;
    return guarded("cannot read the history in", [&] {
        static const std::string text =
            sql({"SELECT coalesce(sum(f.ok), 0), coalesce(sum(f.ng), 0), "
                 "coalesce(sum(f.aborted), 0), coalesce(sum(f.error), 0), "
                 "coalesce(sum(f.duration_sum), 0), min(f.duration_min), max(f.duration_max)",
                 kFiguresOfFilter});
        TotalStatistics st;
        auto s = statement(text);
        bind_filter(s, filter);
        if (!s.step()) return st;
        st.ok = std::size_t(s.integer(0));
        st.ng = std::size_t(s.integer(1));
        st.aborted = std::size_t(s.integer(2));
        st.error = std::size_t(s.integer(3));
        const std::size_t tests = st.ok + st.ng;
        if (tests > 0) {
            st.average_ms = s.integer(4) / std::int64_t(tests);
            st.shortest_ms = s.integer(5);
            st.longest_ms = s.integer(6);
        }
        return st;
    });
}

void HistoryStore::clear() {
    guarded("cannot clear the history in", [&] {
        sqlite::Transaction transaction(*db_);
        // Tests not yet on the line server exist nowhere else.
        {
            auto s = statement("SELECT count(*) FROM outbox");
            if (const std::int64_t waiting = s.step() ? s.integer(0) : 0)
                throw HistoryStoreError(std::to_string(waiting) +
                                        " tests still wait to be sent to the line server; the "
                                        "history can be cleared once they are there");
        }
        db_->exec(
            "DELETE FROM items; DELETE FROM tests; DELETE FROM figures; DELETE FROM cells; "
            "DELETE FROM item_names; DELETE FROM projects WHERE id > 1; "
            "DELETE FROM origins WHERE id > 1;");
        transaction.commit();
    });
    changed();
}

void HistoryStore::for_each(const std::function<void(const TestRecord&)>& each) const {
    guarded("cannot read the history in", [&] {
        static const std::string text =
            sql({"SELECT ", kTestColumns,
                 ", n.name, i.value, i.lower, i.upper, i.unit, i.ok FROM ", kTestTables,
                 " LEFT JOIN items i ON i.test_id = t.id "
                 "LEFT JOIN item_names n ON n.id = i.name_id ORDER BY t.id, i.position"});
        auto s = statement(text);
        constexpr int item = kTestColumnCount;
        TestRecord r;
        std::int64_t current = 0;
        while (s.step()) {
            const std::int64_t id = s.integer(0);
            if (id != current) {
                if (current) each(r);
                current = id;
                r = read_test(s, 0);
            }
            if (s.null(item)) continue;
            r.items.push_back({s.text(item), s.real(item + 1), s.real(item + 2),
                               s.real(item + 3), s.text(item + 4), s.integer(item + 5) != 0});
        }
        if (current) each(r);
    });
}

HistoryStore::ImportResult HistoryStore::import_from(
    const std::function<void(const std::function<void(const TestRecord&)>& add)>& feed) {
    ImportResult result;
    guarded("cannot write the history in", [&] {
        sqlite::Transaction transaction(*db_);
        feed([&](const TestRecord& r) { ++(insert(r) ? result.added : result.skipped); });
        transaction.commit();
    });
    if (result.added) changed();
    return result;
}

HistoryStore::ImportResult HistoryStore::import(const std::vector<TestRecord>& records,
                                                const std::function<void(std::size_t)>& progress) {
    return import_from([&](const std::function<void(const TestRecord&)>& add) {
        std::size_t done = 0;
        for (const TestRecord& r : records) {
            add(r);
            if (progress && ++done % 1000 == 0) progress(done);
        }
        if (progress) progress(records.size());
    });
}

void HistoryStore::enable_outbox() {
    if (outbox_) return;
    guarded("cannot prepare the outbox in", [&] {
        sqlite::Transaction transaction(*db_);
        // Tests stored before the station joined a line go to the server too.
        db_->exec(
            "INSERT OR IGNORE INTO outbox(test_id) SELECT id FROM tests; "
            "INSERT OR REPLACE INTO settings(key, value) VALUES ('outbox', 'on');");
        transaction.commit();
    });
    outbox_ = true;
}

std::int64_t HistoryStore::outbox_size() const {
    return guarded("cannot read the outbox in", [&] {
        auto s = statement("SELECT count(*) FROM outbox WHERE refused IS NULL");
        return s.step() ? s.integer(0) : std::int64_t(0);
    });
}

std::vector<HistoryStore::OutboxTest> HistoryStore::outbox(std::size_t limit) const {
    return guarded("cannot read the outbox in", [&] {
        static const std::string text =
            sql({"SELECT ", kTestColumns, " FROM ", kTestTables,
                 " JOIN outbox o ON o.test_id = t.id WHERE o.refused IS NULL "
                 "ORDER BY o.test_id LIMIT ?"});
        std::vector<OutboxTest> tests;
        {
            auto s = statement(text);
            s.bind(1, std::int64_t(limit));
            while (s.step()) tests.push_back({s.integer(0), read_test(s, 0)});
        }
        for (OutboxTest& t : tests) read_items(t.id, t.record);
        return tests;
    });
}

void HistoryStore::sent(const std::vector<std::int64_t>& ids) {
    guarded("cannot update the outbox in", [&] {
        sqlite::Transaction transaction(*db_);
        for (std::int64_t id : ids)
            statement("DELETE FROM outbox WHERE test_id = ?").bind(1, id).run();
        transaction.commit();
    });
}

void HistoryStore::refuse(std::int64_t id, const std::string& reason) {
    guarded("cannot update the outbox in", [&] {
        statement("UPDATE outbox SET refused = ? WHERE test_id = ?")
            .bind(1, reason.empty() ? std::string("no reason given") : reason)
            .bind(2, id)
            .run();
    });
}

std::vector<RefusedTest> HistoryStore::refused() const {
    return guarded("cannot read the outbox in", [&] {
        std::vector<RefusedTest> tests;
        auto s = statement(
            "SELECT t.id, c.name, t.serial, t.begin_ms, o.refused FROM outbox o "
            "JOIN tests t ON t.id = o.test_id JOIN cells c ON c.id = t.cell_id "
            "WHERE o.refused IS NOT NULL ORDER BY o.test_id");
        while (s.step())
            tests.push_back({s.integer(0), s.text(1), s.text(2), s.integer(3), s.text(4)});
        return tests;
    });
}

void HistoryStore::retry_refused() {
    guarded("cannot update the outbox in", [&] {
        db_->exec("UPDATE outbox SET refused = NULL WHERE refused IS NOT NULL");
    });
}

std::string HistoryStore::setting(const std::string& key) const {
    return guarded("cannot read the history in", [&] {
        auto s = statement("SELECT value FROM settings WHERE key = ?");
        s.bind(1, key);
        return s.step() ? s.text(0) : std::string();
    });
}

void HistoryStore::set_setting(const std::string& key, const std::string& value) {
    guarded("cannot write the history in", [&] {
        statement("INSERT OR REPLACE INTO settings(key, value) VALUES (?, ?)")
            .bind(1, key)
            .bind(2, value)
            .run();
    });
}

void HistoryStore::read(std::string_view sql,
                        const std::function<void(sqlite::Statement&)>& use) const {
    guarded("cannot read the history in", [&] {
        auto s = statement(sql);
        use(s);
    });
}

std::string HistoryStore::integrity_check() const {
    return guarded("cannot check the history in", [&] {
        auto s = statement("PRAGMA integrity_check");
        std::string text;
        while (s.step()) text += (text.empty() ? "" : "\n") + s.text(0);
        return text;
    });
}

}  // namespace station
