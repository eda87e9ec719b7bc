// SPDX-License-Identifier: MIT
#include "logic/history_store.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <unordered_map>

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

[[noreturn]] void fail(sqlite3* db, const std::string& what) {
    throw HistoryStoreError(what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

}  // namespace

// A prepared statement, reset and unbound when it goes out of scope so that
// the cached one is ready for the next use.
class HistoryStore::Statement {
public:
    Statement(const HistoryStore& store, const char* sql) : db_(store.db_) {
        sqlite3_stmt*& cached = store.statements_[sql];
        if (!cached && sqlite3_prepare_v2(db_, sql, -1, &cached, nullptr) != SQLITE_OK)
            fail(db_, "cannot read the history");
        stmt_ = cached;
    }
    ~Statement() { reset(); }

    Statement& bind(int i, std::int64_t v) {
        sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    Statement& bind(int i, double v) {
        sqlite3_bind_double(stmt_, i, v);
        return *this;
    }
    Statement& bind(int i, const std::string& v) {
        sqlite3_bind_text(stmt_, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    bool step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        fail(db_, "the history database failed");
    }
    void run() {
        step();
        sqlite3_reset(stmt_);
    }
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    std::int64_t integer(int col) const { return sqlite3_column_int64(stmt_, col); }
    double real(int col) const { return sqlite3_column_double(stmt_, col); }
    bool null(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }
    std::string text(int col) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
        return p ? std::string(p, std::size_t(sqlite3_column_bytes(stmt_, col))) : std::string();
    }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

namespace {

void exec(sqlite3* db, const char* sql, const std::string& what) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : sqlite3_errmsg(db);
        sqlite3_free(message);
        throw HistoryStoreError(what + ": " + text);
    }
}

// Rolls back unless committed, so that a fault anywhere leaves the file as it was.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db) {
        exec(db_, "BEGIN IMMEDIATE", "cannot write the history");
    }
    ~Transaction() {
        if (db_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void commit() {
        exec(db_, "COMMIT", "cannot write the history");
        db_ = nullptr;
    }

private:
    sqlite3* db_;
};

}  // namespace

HistoryStore::HistoryStore(const std::string& path, Mode mode) : path_(path) {
    const bool writing = mode == Mode::read_write;
    if (writing) {
        std::error_code ignored;
        const auto folder = std::filesystem::path(path).parent_path();
        if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
    }
    const int flags = writing ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw HistoryStoreError("cannot open the history database " + path + ": " + why);
    }
    try {
        sqlite3_busy_timeout(db_, 5000);
        sqlite3_extended_result_codes(db_, 1);
        if (writing && sqlite3_db_readonly(db_, "main") == 1)
            throw HistoryStoreError("the history database " + path +
                                    " is read-only: the station cannot record tests in it");
        // Reading the header first tells a foreign or damaged file apart
        // before anything is written to it.
        int version = 0;
        {
            Statement s(*this, "PRAGMA user_version");
            if (s.step()) version = int(s.integer(0));
        }
        if (version > kSchemaVersion)
            throw HistoryStoreError("the history database " + path +
                                    " was written by a newer station (schema " +
                                    std::to_string(version) + ", this station knows up to " +
                                    std::to_string(kSchemaVersion) + "); it was left unchanged");
        if (version == 0) {
            Statement s(*this, "SELECT name FROM sqlite_master WHERE type = 'table'");
            while (s.step()) {
                const std::string table = s.text(0);
                if (std::find(std::begin(kOwnTables), std::end(kOwnTables), table) ==
                    std::end(kOwnTables))
                    throw HistoryStoreError("the file " + path +
                                            " is an SQLite database of another program (table \"" +
                                            table + "\"); the station leaves it alone");
            }
        }
        if (writing) {
            exec(db_, "PRAGMA journal_mode = WAL", "cannot use the history database " + path);
            // FULL: a committed test survives a power cut, not just a crash.
            exec(db_, "PRAGMA synchronous = FULL", "cannot use the history database " + path);
            exec(db_, "PRAGMA foreign_keys = ON", "cannot use the history database " + path);
            migrate();
        } else if (version < kSchemaVersion) {
            throw HistoryStoreError("the history database " + path +
                                    " is from an older station and is opened read-only; open "
                                    "it once in a station to upgrade it");
        }
        Statement setting(*this, "SELECT value FROM settings WHERE key = 'outbox'");
        outbox_ = setting.step() && setting.text(0) == "on";
    } catch (const HistoryStoreError& error) {
        close();
        const std::string text = error.what();
        if (text.find("not a database") != std::string::npos ||
            text.find("malformed") != std::string::npos)
            throw HistoryStoreError(
                "the file " + path + " is not a station history database, or it is damaged (" +
                text.substr(text.rfind(": ") + 2) + "); the station leaves it as it is");
        throw;
    }
}

HistoryStore::~HistoryStore() { close(); }

void HistoryStore::close() {
    for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
    statements_.clear();
    sqlite3_close(db_);
    db_ = nullptr;
}

void HistoryStore::migrate() {
    Transaction transaction(db_);
    int version = 0;
    {
        Statement s(*this, "PRAGMA user_version");
        if (s.step()) version = int(s.integer(0));
    }
    for (; version < kSchemaVersion; ++version) {
        exec(db_, kMigrations[version],
             "cannot upgrade the history database " + path_ + " to schema " +
                 std::to_string(version + 1));
        if (version + 1 == 2) recount_figures();
        const std::string pragma = "PRAGMA user_version = " + std::to_string(version + 1);
        exec(db_, pragma.c_str(), "cannot upgrade the history database " + path_);
    }
    transaction.commit();
}

void HistoryStore::recount() {
    Transaction transaction(db_);
    recount_figures();
    transaction.commit();
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
        Statement s(*this, "SELECT cell_id, verdict, end_ms - begin_ms FROM tests");
        while (s.step()) {
            Cell& c = cells[s.integer(0)];
            const Verdict verdict = Verdict(s.integer(1));
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
    exec(db_,
         "UPDATE cells SET ok = 0, ng = 0, aborted = 0, duration_sum = 0, duration_min = NULL, "
         "duration_max = NULL",
         "cannot count the history");
    for (const auto& [id, c] : cells) {
        Statement u(*this,
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
        Statement s(*this, "SELECT name_id, value, ok FROM items");
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
    exec(db_,
         "UPDATE item_names SET count = 0, sum = 0, sum_squares = 0, minimum = NULL, "
         "maximum = NULL, ok = 0",
         "cannot count the history");
    for (const auto& [id, i] : items) {
        Statement u(*this,
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
        Statement s(*this, "SELECT id, ok + ng + aborted FROM cells WHERE name = ?");
        s.bind(1, r.cell);
        if (s.step()) {
            cell_id = s.integer(0);
            cell_row = s.integer(1);
        } else {
            Statement add(*this, "INSERT INTO cells(name) VALUES (?)");
            add.bind(1, r.cell).run();
            cell_id = sqlite3_last_insert_rowid(db_);
        }
    }
    {
        Statement s(*this,
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
        if (sqlite3_changes(db_) == 0) return false;
    }
    const std::int64_t test_id = sqlite3_last_insert_rowid(db_);
    {
        const bool result = r.verdict != Verdict::aborted;
        const std::int64_t duration = r.duration_ms();
        Statement u(*this,
                    "UPDATE cells SET ok = ok + ?1, ng = ng + ?2, aborted = aborted + ?3, "
                    "duration_sum = duration_sum + ?4, "
                    "duration_min = CASE WHEN ?5 THEN min(coalesce(duration_min, ?4), ?4) "
                    "ELSE duration_min END, "
                    "duration_max = CASE WHEN ?5 THEN max(coalesce(duration_max, ?4), ?4) "
                    "ELSE duration_max END WHERE id = ?6");
        u.bind(1, std::int64_t(r.verdict == Verdict::ok))
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
            Statement s(*this, "SELECT id FROM item_names WHERE name = ?");
            s.bind(1, item.name);
            if (s.step()) {
                name_id = s.integer(0);
            } else {
                Statement add(*this, "INSERT INTO item_names(name) VALUES (?)");
                add.bind(1, item.name).run();
                name_id = sqlite3_last_insert_rowid(db_);
            }
        }
        Statement s(*this,
                    "INSERT INTO items(test_id, position, name_id, value, lower, upper, unit, ok) "
                    "VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        s.bind(1, test_id)
            .bind(2, position++)
            .bind(3, name_id)
            .bind(4, item.value)
            .bind(5, item.lower)
            .bind(6, item.upper)
            .bind(7, item.unit)
            .bind(8, std::int64_t(item.ok))
            .run();
        Statement u(*this,
                    "UPDATE item_names SET count = count + 1, sum = sum + ?1, "
                    "sum_squares = sum_squares + ?1 * ?1, "
                    "minimum = min(coalesce(minimum, ?1), ?1), "
                    "maximum = max(coalesce(maximum, ?1), ?1), ok = ok + ?2 WHERE id = ?3");
        u.bind(1, item.value).bind(2, std::int64_t(item.ok)).bind(3, name_id).run();
    }
    if (outbox_) {
        Statement s(*this, "INSERT INTO outbox(test_id) VALUES (?)");
        s.bind(1, test_id).run();
    }
    return true;
}

bool HistoryStore::append(const TestRecord& record) {
    Transaction transaction(db_);
    const bool added = insert(record);
    transaction.commit();
    if (added) changed();
    return added;
}

std::vector<std::string> HistoryStore::cells() const {
    std::vector<std::string> names;
    Statement s(*this, "SELECT name FROM cells WHERE ok + ng + aborted > 0 ORDER BY name");
    while (s.step()) names.push_back(s.text(0));
    return names;
}

std::int64_t HistoryStore::count(const std::string& cell) const {
    Statement s(*this, cell.empty() ? "SELECT coalesce(sum(ok + ng + aborted), 0) FROM cells"
                                    : "SELECT ok + ng + aborted FROM cells WHERE name = ?");
    if (!cell.empty()) s.bind(1, cell);
    return s.step() ? s.integer(0) : 0;
}

std::vector<TestSummary> HistoryStore::page(const std::string& cell, std::int64_t first_row,
                                            int rows) const {
    // Rows are dense in both orders, so a page is a range on an index, never
    // an OFFSET that would walk every row before it.
    Statement s(*this, cell.empty()
                           ? "SELECT t.id, c.name, t.serial, t.begin_ms, t.end_ms, t.verdict, "
                             "t.description FROM tests t JOIN cells c ON c.id = t.cell_id "
                             "WHERE t.id > ?1 ORDER BY t.id LIMIT ?2"
                           : "SELECT t.id, c.name, t.serial, t.begin_ms, t.end_ms, t.verdict, "
                             "t.description FROM cells c JOIN tests t ON t.cell_id = c.id "
                             "WHERE c.name = ?3 AND t.cell_row >= ?1 ORDER BY t.cell_row LIMIT ?2");
    s.bind(1, first_row).bind(2, std::int64_t(rows));
    if (!cell.empty()) s.bind(3, cell);
    std::vector<TestSummary> page;
    while (s.step()) {
        TestSummary t;
        t.id = s.integer(0);
        t.cell = s.text(1);
        t.serial = s.text(2);
        t.begin_ms = s.integer(3);
        t.end_ms = s.integer(4);
        t.verdict = Verdict(s.integer(5));
        t.description = s.text(6);
        page.push_back(std::move(t));
    }
    return page;
}

std::optional<TestRecord> HistoryStore::test(std::int64_t id) const {
    Statement s(*this,
                "SELECT c.name, t.serial, t.begin_ms, t.end_ms, t.verdict, t.description "
                "FROM tests t JOIN cells c ON c.id = t.cell_id WHERE t.id = ?");
    s.bind(1, id);
    if (!s.step()) return std::nullopt;
    TestRecord r;
    r.cell = s.text(0);
    r.serial = s.text(1);
    r.begin_ms = s.integer(2);
    r.end_ms = s.integer(3);
    r.verdict = Verdict(s.integer(4));
    r.description = s.text(5);
    Statement items(
        *this,
        "SELECT n.name, i.value, i.lower, i.upper, i.unit, i.ok FROM items i "
        "JOIN item_names n ON n.id = i.name_id WHERE i.test_id = ? ORDER BY i.position");
    items.bind(1, id);
    while (items.step()) {
        ItemResult item;
        item.name = items.text(0);
        item.value = items.real(1);
        item.lower = items.real(2);
        item.upper = items.real(3);
        item.unit = items.text(4);
        item.ok = items.integer(5) != 0;
        r.items.push_back(std::move(item));
    }
    return r;
}

ItemStatistics HistoryStore::item_statistics(const std::string& item) const {
    ItemStatistics st;
    Statement s(*this,
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
    Statement m(*this,
                "SELECT value FROM items INDEXED BY items_by_value WHERE name_id = ? "
                "ORDER BY value LIMIT ? OFFSET ?");
    m.bind(1, name_id).bind(2, std::int64_t(n % 2 ? 1 : 2)).bind(3, (n - 1) / 2);
    double middle[2] = {0, 0};
    int found = 0;
    while (found < 2 && m.step()) middle[found++] = m.real(0);
    st.median = found == 2 ? (middle[0] + middle[1]) / 2 : middle[0];
    return st;
}

TotalStatistics HistoryStore::total_statistics(const std::string& cell) const {
    TotalStatistics st;
    Statement s(*this, cell.empty()
                           ? "SELECT sum(ok), sum(ng), sum(aborted), sum(duration_sum), "
                             "min(duration_min), max(duration_max) FROM cells"
                           : "SELECT ok, ng, aborted, duration_sum, duration_min, duration_max "
                             "FROM cells WHERE name = ?");
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
}

void HistoryStore::clear() {
    Transaction transaction(db_);
    // Tests not yet on the line server exist nowhere else.
    if (const std::int64_t waiting = outbox_size())
        throw HistoryStoreError(std::to_string(waiting) +
                                " tests still wait to be sent to the line server; the history "
                                "can be cleared once they are there");
    exec(db_,
         "DELETE FROM outbox; DELETE FROM items; DELETE FROM tests; DELETE FROM cells; "
         "DELETE FROM item_names;",
         "cannot clear the history");
    transaction.commit();
    changed();
}

void HistoryStore::for_each(const std::function<void(const TestRecord&)>& each) const {
    Statement s(*this,
                "SELECT t.id, c.name, t.serial, t.begin_ms, t.end_ms, t.verdict, t.description, "
                "n.name, i.value, i.lower, i.upper, i.unit, i.ok FROM tests t "
                "JOIN cells c ON c.id = t.cell_id "
                "LEFT JOIN items i ON i.test_id = t.id "
                "LEFT JOIN item_names n ON n.id = i.name_id ORDER BY t.id, i.position");
    TestRecord r;
    std::int64_t current = 0;
    while (s.step()) {
        const std::int64_t id = s.integer(0);
        if (id != current) {
            if (current) each(r);
            current = id;
            r = TestRecord{};
            r.cell = s.text(1);
            r.serial = s.text(2);
            r.begin_ms = s.integer(3);
            r.end_ms = s.integer(4);
            r.verdict = Verdict(s.integer(5));
            r.description = s.text(6);
        }
        if (s.null(7)) continue;
        ItemResult item;
        item.name = s.text(7);
        item.value = s.real(8);
        item.lower = s.real(9);
        item.upper = s.real(10);
        item.unit = s.text(11);
        item.ok = s.integer(12) != 0;
        r.items.push_back(std::move(item));
    }
    if (current) each(r);
}

HistoryStore::ImportResult HistoryStore::import_from(
    const std::function<void(const std::function<void(const TestRecord&)>& add)>& feed) {
    ImportResult result;
    {
        Transaction transaction(db_);
        feed([&](const TestRecord& r) { ++(insert(r) ? result.added : result.skipped); });
        transaction.commit();
    }
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
    Transaction transaction(db_);
    // Tests stored before the station joined a line go to the server too.
    exec(db_,
         "INSERT OR IGNORE INTO outbox(test_id) SELECT id FROM tests; "
         "INSERT OR REPLACE INTO settings(key, value) VALUES ('outbox', 'on');",
         "cannot prepare the outbox");
    transaction.commit();
    outbox_ = true;
}

std::int64_t HistoryStore::outbox_size() const {
    Statement s(*this, "SELECT count(*) FROM outbox");
    return s.step() ? s.integer(0) : 0;
}

std::string HistoryStore::setting(const std::string& key) const {
    Statement s(*this, "SELECT value FROM settings WHERE key = ?");
    s.bind(1, key);
    return s.step() ? s.text(0) : std::string();
}

void HistoryStore::set_setting(const std::string& key, const std::string& value) {
    Statement s(*this, "INSERT OR REPLACE INTO settings(key, value) VALUES (?, ?)");
    s.bind(1, key).bind(2, value).run();
}

std::string HistoryStore::integrity_check() const {
    Statement s(*this, "PRAGMA integrity_check");
    std::string text;
    while (s.step()) text += (text.empty() ? "" : "\n") + s.text(0);
    return text;
}

std::string default_database_path(const std::string& station) {
    std::string folder;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
        folder = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        folder = std::string(home) + "/.local/share";
    } else {
        folder = ".";
    }
    return folder + "/atsui-station/" + station + ".sqlite";
}

std::string line_copy_path(const std::string& address) {
    std::string folder;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') {
        folder = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        folder = std::string(home) + "/.cache";
    } else {
        folder = ".";
    }
    char name[32];
    std::snprintf(name, sizeof name, "line-%016zx.sqlite", std::hash<std::string>{}(address));
    return folder + "/atsui-station/" + name;
}

std::string host_name() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || !*name) return "station";
    return name;
}

}  // namespace station
