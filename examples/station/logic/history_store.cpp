// SPDX-License-Identifier: MIT
#include "logic/history_store.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <map>

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
};
static_assert(std::size(kMigrations) == HistoryStore::kSchemaVersion);

const char* const kOwnTables[] = {"cells", "item_names", "tests", "items", "outbox", "settings"};

// The columns of a test that read_test() reads, and the tables they come from.
constexpr const char* kTestColumns =
    "t.id, c.name, t.serial, t.begin_ms, t.end_ms, t.verdict, t.description";
constexpr int kTestColumnCount = 7;
constexpr const char* kTestTables = "tests t JOIN cells c ON c.id = t.cell_id";

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

Verdict verdict_of(std::int64_t code) {
    switch (code) {
        case 0: return Verdict::ok;
        case 1: return Verdict::ng;
        case 2: return Verdict::aborted;
        default: return Verdict::error;
    }
}

}  // namespace

HistoryStore::HistoryStore(const std::string& path, Mode mode) : HistoryStore(path, Opening{mode, {}}) {}

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
        db_->exec("PRAGMA journal_mode = WAL");
        // FULL: a committed test survives a power cut, not just a crash.
        db_->exec("PRAGMA synchronous = FULL");
        db_->exec("PRAGMA foreign_keys = ON");
        if (version < kSchemaVersion) migrate();
    } else if (version < kSchemaVersion) {
        throw HistoryStoreError("the history database " + path_ +
                                    " is from an older station and is opened read-only; open "
                                    "it once in a station to upgrade it",
                                HistoryStoreError::Kind::read_only);
    }
    auto setting = statement("SELECT value FROM settings WHERE key = 'outbox'");
    outbox_ = setting.step() && setting.text(0) == "on";
}

void HistoryStore::migrate() {
    sqlite::Transaction transaction(*db_);
    int version = 0;
    {
        auto s = statement("PRAGMA user_version");
        if (s.step()) version = int(s.integer(0));
    }
    for (; version < kSchemaVersion; ++version) {
        db_->exec(kMigrations[version]);
        if (version + 1 == 2) recount_figures();
        db_->exec("PRAGMA user_version = " + std::to_string(version + 1));
    }
    transaction.commit();
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
    struct Cell {
        std::int64_t ok = 0, ng = 0, aborted = 0, sum = 0;
        std::optional<std::int64_t> shortest, longest;
    };
    std::map<std::int64_t, Cell> cells;
    {
        auto s = statement("SELECT cell_id, verdict, end_ms - begin_ms FROM tests");
        while (s.step()) {
            Cell& c = cells[s.integer(0)];
            const Verdict verdict = verdict_of(s.integer(1));
            if (verdict == Verdict::aborted) {
                ++c.aborted;
                continue;
            }
            ++(verdict == Verdict::ok ? c.ok : c.ng);
            const std::int64_t d = s.integer(2);
            c.sum += d;
            c.shortest = std::min(c.shortest.value_or(d), d);
            c.longest = std::max(c.longest.value_or(d), d);
        }
    }
    db_->exec(
        "UPDATE cells SET ok = 0, ng = 0, aborted = 0, duration_sum = 0, duration_min = NULL, "
        "duration_max = NULL");
    for (const auto& [id, c] : cells) {
        auto u = statement(
            "UPDATE cells SET ok = ?, ng = ?, aborted = ?, duration_sum = ?, "
            "duration_min = ?, duration_max = ? WHERE id = ?");
        u.bind(1, c.ok).bind(2, c.ng).bind(3, c.aborted).bind(4, c.sum);
        if (c.shortest) u.bind(5, *c.shortest).bind(6, *c.longest);
        u.bind(7, id).run();
    }

    struct Item {
        std::int64_t count = 0, ok = 0;
        double sum = 0, squares = 0, minimum = 0, maximum = 0;
    };
    std::map<std::int64_t, Item> items;
    {
        auto s = statement("SELECT name_id, value, ok FROM items");
        while (s.step()) {
            Item& i = items[s.integer(0)];
            const double v = s.real(1);
            i.minimum = i.count ? std::min(i.minimum, v) : v;
            i.maximum = i.count ? std::max(i.maximum, v) : v;
            ++i.count;
            i.sum += v;
            i.squares += v * v;
            i.ok += s.integer(2) != 0;
        }
    }
    db_->exec(
        "UPDATE item_names SET count = 0, sum = 0, sum_squares = 0, minimum = NULL, "
        "maximum = NULL, ok = 0");
    for (const auto& [id, i] : items) {
        auto u = statement(
            "UPDATE item_names SET count = ?, sum = ?, sum_squares = ?, minimum = ?, "
            "maximum = ?, ok = ? WHERE id = ?");
        u.bind(1, i.count).bind(2, i.sum).bind(3, i.squares).bind(4, i.minimum);
        u.bind(5, i.maximum).bind(6, i.ok).bind(7, id).run();
    }
}

void HistoryStore::changed() {
    if (on_changed_) on_changed_();
}

bool HistoryStore::insert(const TestRecord& r) {
    std::int64_t cell_id = 0, cell_row = 0;
    {
        auto s = statement("SELECT id, ok + ng + aborted FROM cells WHERE name = ?");
        s.bind(1, r.cell);
        if (s.step()) {
            cell_id = s.integer(0);
            cell_row = s.integer(1);
        } else {
            statement("INSERT INTO cells(name) VALUES (?)").bind(1, r.cell).run();
            cell_id = db_->last_insert_id();
        }
    }
    {
        auto s = statement(
            "INSERT OR IGNORE INTO tests(cell_id, cell_row, serial, begin_ms, end_ms, "
            "verdict, description) VALUES (?, ?, ?, ?, ?, ?, ?)");
        s.bind(1, cell_id)
            .bind(2, cell_row)
            .bind(3, r.serial)
            .bind(4, r.begin_ms)
            .bind(5, r.end_ms)
            .bind(6, std::int64_t(r.verdict))
            .bind(7, r.description)
            .run();
        if (db_->changes() == 0) return false;
    }
    const std::int64_t test_id = db_->last_insert_id();
    {
        const bool result = r.verdict != Verdict::aborted;
        const std::int64_t duration = r.duration_ms();
        statement(
            "UPDATE cells SET ok = ok + ?1, ng = ng + ?2, aborted = aborted + ?3, "
            "duration_sum = duration_sum + ?4, "
            "duration_min = CASE WHEN ?5 THEN min(coalesce(duration_min, ?4), ?4) "
            "ELSE duration_min END, "
            "duration_max = CASE WHEN ?5 THEN max(coalesce(duration_max, ?4), ?4) "
            "ELSE duration_max END WHERE id = ?6")
            .bind(1, std::int64_t(r.verdict == Verdict::ok))
            .bind(2, std::int64_t(r.verdict == Verdict::ng))
            .bind(3, std::int64_t(!result))
            .bind(4, result ? duration : std::int64_t(0))
            .bind(5, std::int64_t(result))
            .bind(6, cell_id)
            .run();
    }
    std::int64_t position = 0;
    for (const ItemResult& item : r.items) {
        std::int64_t name_id = 0;
        {
            auto s = statement("SELECT id FROM item_names WHERE name = ?");
            s.bind(1, item.name);
            if (s.step()) {
                name_id = s.integer(0);
            } else {
                statement("INSERT INTO item_names(name) VALUES (?)").bind(1, item.name).run();
                name_id = db_->last_insert_id();
            }
        }
        statement(
            "INSERT INTO items(test_id, position, name_id, value, lower, upper, unit, ok) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
            .bind(1, test_id)
            .bind(2, position++)
            .bind(3, name_id)
            .bind(4, item.value)
            .bind(5, item.lower)
            .bind(6, item.upper)
            .bind(7, item.unit)
            .bind(8, std::int64_t(item.ok))
            .run();
        statement(
            "UPDATE item_names SET count = count + 1, sum = sum + ?1, "
            "sum_squares = sum_squares + ?1 * ?1, "
            "minimum = min(coalesce(minimum, ?1), ?1), "
            "maximum = max(coalesce(maximum, ?1), ?1), ok = ok + ?2 WHERE id = ?3")
            .bind(1, item.value)
            .bind(2, std::int64_t(item.ok))
            .bind(3, name_id)
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
        auto s = statement("SELECT name FROM cells WHERE ok + ng + aborted > 0 ORDER BY name");
        while (s.step()) names.push_back(s.text(0));
        return names;
    });
}

std::int64_t HistoryStore::count(const std::string& cell) const {
    return guarded("cannot read the history in", [&] {
        auto s = statement(cell.empty() ? "SELECT coalesce(sum(ok + ng + aborted), 0) FROM cells"
                                        : "SELECT ok + ng + aborted FROM cells WHERE name = ?");
        if (!cell.empty()) s.bind(1, cell);
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

std::vector<TestSummary> HistoryStore::page(const std::string& cell, std::int64_t first_row,
                                            int rows) const {
    return guarded("cannot read the history in", [&] {
        // Rows are dense in both orders, so a page is a range on an index,
        // never an OFFSET that would walk every row before it.
        static const std::string all =
            sql({"SELECT ", kTestColumns, " FROM ", kTestTables,
                 " WHERE t.id > ?1 ORDER BY t.id LIMIT ?2"});
        static const std::string one =
            sql({"SELECT ", kTestColumns, " FROM ", kTestTables,
                 " WHERE c.name = ?3 AND t.cell_row >= ?1 ORDER BY t.cell_row LIMIT ?2"});
        auto s = statement(cell.empty() ? all : one);
        s.bind(1, first_row).bind(2, std::int64_t(rows));
        if (!cell.empty()) s.bind(3, cell);
        std::vector<TestSummary> page;
        while (s.step()) {
            TestRecord r = read_test(s, 0);
            TestSummary t;
            t.id = s.integer(0);
            t.cell = std::move(r.cell);
            t.serial = std::move(r.serial);
            t.begin_ms = r.begin_ms;
            t.end_ms = r.end_ms;
            t.verdict = r.verdict;
            t.description = std::move(r.description);
            page.push_back(std::move(t));
        }
        return page;
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

ItemStatistics HistoryStore::item_statistics(const std::string& item) const {
    return guarded("cannot read the history in", [&] {
        ItemStatistics st;
        auto s = statement(
            "SELECT id, count, sum, sum_squares, minimum, maximum, ok FROM item_names "
            "WHERE name = ?");
        s.bind(1, item);
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
        // The median walks half of one item's index, not the whole history.
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

TotalStatistics HistoryStore::total_statistics(const std::string& cell) const {
    return guarded("cannot read the history in", [&] {
        TotalStatistics st;
        auto s = statement(cell.empty()
                               ? "SELECT sum(ok), sum(ng), sum(aborted), sum(duration_sum), "
                                 "min(duration_min), max(duration_max) FROM cells"
                               : "SELECT ok, ng, aborted, duration_sum, duration_min, "
                                 "duration_max FROM cells WHERE name = ?");
        if (!cell.empty()) s.bind(1, cell);
        if (!s.step()) return st;
        st.ok = std::size_t(s.integer(0));
        st.ng = std::size_t(s.integer(1));
        st.aborted = std::size_t(s.integer(2));
        const std::size_t tests = st.ok + st.ng;
        if (tests > 0) {
            st.average_ms = s.integer(3) / std::int64_t(tests);
            st.shortest_ms = s.integer(4);
            st.longest_ms = s.integer(5);
        }
        return st;
    });
}

void HistoryStore::clear() {
    guarded("cannot clear the history in", [&] {
        sqlite::Transaction transaction(*db_);
        // Tests not yet on the line server exist nowhere else.
        if (const std::int64_t waiting = outbox_size())
            throw HistoryStoreError(std::to_string(waiting) +
                                    " tests still wait to be sent to the line server; the "
                                    "history can be cleared once they are there");
        db_->exec(
            "DELETE FROM outbox; DELETE FROM items; DELETE FROM tests; DELETE FROM cells; "
            "DELETE FROM item_names;");
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
        auto s = statement("SELECT count(*) FROM outbox");
        return s.step() ? s.integer(0) : std::int64_t(0);
    });
}

std::vector<HistoryStore::OutboxTest> HistoryStore::outbox(std::size_t limit) const {
    return guarded("cannot read the outbox in", [&] {
        static const std::string text =
            sql({"SELECT ", kTestColumns, " FROM ", kTestTables,
                 " JOIN outbox o ON o.test_id = t.id ORDER BY o.test_id LIMIT ?"});
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

std::string HistoryStore::integrity_check() const {
    return guarded("cannot check the history in", [&] {
        auto s = statement("PRAGMA integrity_check");
        std::string text;
        while (s.step()) text += (text.empty() ? "" : "\n") + s.text(0);
        return text;
    });
}

}  // namespace station
