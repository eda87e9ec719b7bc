// SPDX-License-Identifier: MIT
#pragma once

// The station's test history, kept in an SQLite database: one file per
// station, every finished test committed in its own transaction. Windows ask
// the store and never hold the history themselves; one callback tells them
// that it changed.
//
// Tests keep the order in which they were stored: row r of "all cells" is the
// r-th stored test, row r of one cell the r-th test of that cell. Running
// figures per cell and project, and per project, item and unit, are kept
// beside the tests, so counts, filters and statistics cost the same at a
// thousand tests as at a million.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "logic/places.h"
#include "logic/record.h"
#include "logic/statistics.h"

struct sqlite3;

namespace station {

namespace sqlite {
class Database;
class Error;
class Statement;
}  // namespace sqlite

// Every fault of the store: the message names the file and says what to do;
// kind() says what went wrong, for whoever decides whether to try again.
class HistoryStoreError : public std::runtime_error {
public:
    enum class Kind {
        other,
        cannot_open,  // the file or its folder cannot be opened or created
        busy,         // another connection holds the file's lock: try again later
        full,         // the disk (or the file's size limit) is full: try again later
        read_only,    // the file, or its folder, cannot be written
        damaged,      // SQLite finds the file corrupt
        foreign,      // not an SQLite file, or another program's database
        newer,        // written by a newer station
        io,           // the system failed to read or write the file
    };
    explicit HistoryStoreError(const std::string& what, Kind kind = Kind::other)
        : std::runtime_error(what), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// One row of the history grid: a test without its items.
struct TestSummary {
    std::int64_t id = 0;
    std::string cell;
    std::string serial;
    std::int64_t begin_ms = 0;
    std::int64_t end_ms = 0;
    Verdict verdict = Verdict::aborted;
    std::string description;
    std::string project;  // empty: not known (a record of an older station)
};

// Which tests a view shows: those of one cell, or of all cells when cell is
// empty; of one project, or of all when project is unset ("" is the project
// of records that do not say).
struct HistoryFilter {
    HistoryFilter() = default;
    HistoryFilter(std::string cell_, std::optional<std::string> project_ = std::nullopt)
        : cell(std::move(cell_)), project(std::move(project_)) {}

    std::string cell;
    std::optional<std::string> project;
    // Serials that begin with this text, letters of either case (all when empty).
    std::string serial;
    // Tests that began at or after from_ms and before to_ms (UTC ms).
    std::optional<std::int64_t> from_ms, to_ms;

    // A search needs a query over the tests; the other filters are counted ahead.
    bool searched() const { return !serial.empty() || from_ms || to_ms; }
};

// Stored order: the order in which the station finished the tests.
enum class HistoryOrder { oldest_first, newest_first };

// A test the line server refused, kept in the outbox with the server's reason.
struct RefusedTest {
    std::int64_t id = 0;
    std::string cell;
    std::string serial;
    std::int64_t begin_ms = 0;
    std::string reason;
};

class HistoryStore {
public:
    static constexpr int kSchemaVersion = 5;

    enum class Mode { read_write, read_only };

    struct Opening {
        Mode mode = Mode::read_write;
        // Before anything is written, PRAGMA quick_check: a damaged file is
        // refused as it is. A second connection to a file the station has
        // just opened and checked may leave it out.
        bool check = true;
        // Told now and then, with what is being done, while opening takes
        // long (the check, an upgrade of an old file); may throw to give
        // up, which leaves the file as it was.
        std::function<void(const std::string& stage)> progress;
    };

    // Opens or creates the database. Refuses, with a HistoryStoreError, a file
    // that is not a station database, a damaged one, one written by a newer
    // station, and a read-only file when asked to write; such a file is left
    // as it is, byte for byte.
    explicit HistoryStore(const std::string& path, Mode mode = Mode::read_write);
    HistoryStore(const std::string& path, const Opening& opening);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    const std::string& path() const { return path_; }

    // Commits one finished test; when this returns, the test survives a crash.
    // Returns false when the test was already stored (same cell, serial and
    // begin time), which makes retries harmless.
    bool append(const TestRecord& record);

    // How long a write waits for another connection's lock before it fails
    // with HistoryStoreError::Kind::busy (5 s unless set).
    void set_busy_timeout(int ms);

    // Cells that have tests, sorted.
    std::vector<std::string> cells() const;
    // Projects that have tests, sorted; "" stands for records that do not say.
    std::vector<std::string> projects() const;
    std::int64_t count(const HistoryFilter& filter) const;
    std::int64_t count(const std::string& cell = {}) const { return count(HistoryFilter{cell, {}}); }
    // Rows first_row... of the filter's tests.
    std::vector<TestSummary> page(const HistoryFilter& filter, std::int64_t first_row, int rows,
                                  HistoryOrder order = HistoryOrder::oldest_first) const;
    std::vector<TestSummary> page(const std::string& cell, std::int64_t first_row, int rows) const {
        return page(HistoryFilter{cell, {}}, first_row, rows);
    }
    std::optional<TestRecord> test(std::int64_t id) const;

    // A searched filter's tests: their ids in order, and their totals, read
    // in one pass over an index (serial or begin time), so the cost follows
    // the tests found, not the history.
    struct Found {
        std::vector<std::int64_t> ids;
        TotalStatistics totals;
    };
    Found find(const HistoryFilter& filter, HistoryOrder order) const;
    // The tests of those ids, in the same order (ids not stored are left out).
    std::vector<TestSummary> summaries(const std::int64_t* ids, std::size_t count) const;
    // Every test of one unit (its serial exactly), whatever the cell or the
    // project, with its items, newest first.
    std::vector<TestRecord> unit_history(const std::string& serial) const;

    // Over every stored value of the item of that name and unit in the
    // project's tests, whatever the cell; tests that ended in Error leave
    // their readings out.
    ItemStatistics item_statistics(const std::string& project, const std::string& item,
                                   const std::string& unit) const;
    TotalStatistics total_statistics(const HistoryFilter& filter) const;
    TotalStatistics total_statistics(const std::string& cell = {}) const {
        return total_statistics(HistoryFilter{cell, {}});
    }

    void clear();

    // Calls each for every test in stored order, with its items.
    void for_each(const std::function<void(const TestRecord&)>& each) const;

    // Adds tests in one transaction: all or none. Tests already stored are
    // skipped. progress(done) may throw to cancel, which stores nothing.
    struct ImportResult {
        std::size_t added = 0;
        std::size_t skipped = 0;
    };
    ImportResult import(const std::vector<TestRecord>& records,
                        const std::function<void(std::size_t done)>& progress = {});
    // The same, with tests produced one by one by feed(add).
    ImportResult import_from(
        const std::function<void(const std::function<void(const TestRecord&)>& add)>& feed);

    // Tests waiting to be forwarded to a line server. Forwarding is off until
    // enable_outbox(); from then on every stored test waits in the outbox.
    void enable_outbox();
    // Tests that wait to be sent (refused ones not counted).
    std::int64_t outbox_size() const;
    struct OutboxTest {
        std::int64_t id = 0;  // the test's id in the store
        TestRecord record;
    };
    // The oldest tests waiting in the outbox, at most limit of them.
    std::vector<OutboxTest> outbox(std::size_t limit) const;
    // The server committed them: they leave the outbox.
    void sent(const std::vector<std::int64_t>& ids);
    // The server refused the test for a reason of its own (a value it cannot
    // take): it stays in the outbox, set apart, so that the others go on.
    void refuse(std::int64_t id, const std::string& reason);
    std::vector<RefusedTest> refused() const;
    // Refused tests wait again (each start of the forwarder gives them one try).
    void retry_refused();

    // Small facts kept with the history (e.g. how far a copy of a line got).
    std::string setting(const std::string& key) const;
    void set_setting(const std::string& key, const std::string& value);

    // Told after every change (append, import, clear), on the caller's thread.
    void set_on_changed(std::function<void()> on_changed) { on_changed_ = std::move(on_changed); }

    // Counts the figures again from the tests, after tests were written to
    // handle() directly (a bulk load).
    void recount();

    // A query of the caller's own on this connection: use() binds and steps
    // the prepared statement; SQLite's failures become the store's.
    void read(std::string_view sql, const std::function<void(sqlite::Statement&)>& use) const;

    // Runs PRAGMA integrity_check; "ok" when the file is sound.
    std::string integrity_check() const;

    sqlite3* handle() const;

private:
    struct Figures;
    void open(const Opening& opening);
    void check(const Opening& opening);
    void migrate(const Opening& opening);
    void upgrade_to_3();
    void count_cells();
    void write_item_figures(const std::map<std::int64_t, Figures>& figures);
    void recount_figures();
    std::int64_t id_of(std::string_view select, std::string_view insert,
                       std::initializer_list<std::string_view> values);
    void stage(const std::string& text);
    bool insert(const TestRecord& record);
    void changed();
    // One statement of this connection; statements are kept by their text.
    sqlite::Statement statement(std::string_view sql) const;
    // The store's own error for a failure of SQLite while doing something.
    HistoryStoreError error(const sqlite::Error& error, const std::string& doing) const;
    // Runs work, turning SQLite's failures into the store's.
    template <class Work>
    auto guarded(const char* doing, Work&& work) const -> decltype(work());
    // A test row (read with kTestColumns) and its items as a record.
    static TestRecord read_test(const sqlite::Statement& row, int first_column);
    void read_items(std::int64_t test_id, TestRecord& record) const;

    std::string path_;
    std::unique_ptr<sqlite::Database> db_;
    bool outbox_ = false;
    std::function<void()> on_changed_;
    std::function<void(const std::string&)> progress_;
    std::string stage_;
};


}  // namespace station
