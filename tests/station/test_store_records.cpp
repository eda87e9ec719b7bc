// SPDX-License-Identifier: MIT
// What a stored record says about the unit and what tested it: the Error
// verdict on its own, projects told apart, files of older stations upgraded
// without losing a test, and a damaged file refused untouched.

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <random>

#include <gtest/gtest.h>

#include "logic/history_csv.h"
#include "logic/history_store.h"
#include "logic/statistics.h"
#include "test_folder.h"

using namespace station;
namespace fs = std::filesystem;

namespace {

class StoreRecords : public ::testing::Test {
protected:
    void SetUp() override {
        folder = station_test::fresh_folder("store-records");
        path = (folder / "station.sqlite").string();
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path folder;
    std::string path;
};

std::int64_t clock_ms = 1'765'000'000'000;

TestRecord unit_test(const std::string& cell, const std::string& serial, const std::string& project,
                     std::vector<ItemResult> items, std::int64_t duration = 2000) {
    TestRecord r;
    r.cell = cell;
    r.serial = serial;
    r.begin_ms = clock_ms;
    clock_ms += duration + 17;
    r.end_ms = r.begin_ms + duration;
    r.items = std::move(items);
    r.project = project;
    r.project_hash = project.empty() ? "" : "sha256:" + std::string(64, project[0] == 'A' ? 'a' : 'b');
    r.station = project.empty() ? "" : "desk-3";
    r.software = project.empty() ? "" : "atsui_station 1.0.0";
    conclude(r);
    return r;
}

ItemResult reading(const std::string& name, double value, double lower, double upper,
                   const std::string& unit) {
    return {name, value, lower, upper, unit, within_limits(value, lower, upper)};
}

// The station could not test the unit: what it measured before the fault is
// kept with the test.
TestRecord error_test(const std::string& cell, const std::string& serial, const std::string& project,
                      std::vector<ItemResult> items) {
    TestRecord r = unit_test(cell, serial, project, std::move(items), 900);
    r.verdict = Verdict::error;
    r.description = "instrument dmm1 refused the connection";
    return r;
}

std::vector<TestRecord> everything(const HistoryStore& store) {
    std::vector<TestRecord> records;
    store.for_each([&](const TestRecord& r) { records.push_back(r); });
    return records;
}

std::string bytes_of(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A file's content in a form a failed comparison can print.
std::string digest_of(const std::string& file) {
    const std::string bytes = bytes_of(file);
    return std::to_string(bytes.size()) + " bytes, hash " +
           std::to_string(std::hash<std::string>{}(bytes));
}

// The first column of the first row of sql, read without the store.
std::string query(const std::string& file, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    std::string value;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        value = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    sqlite3_finalize(s);
    sqlite3_close(db);
    return value;
}

void run_sql(const std::string& file, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

}  // namespace

TEST_F(StoreRecords, ErrorIsAVerdictOfItsOwnThatCountsInNoResultFigure) {
    std::vector<TestRecord> tests = {
        unit_test("Cell 1", "U1", "A", {reading("Out", 5.0, 4.5, 5.5, "V")}),
        error_test("Cell 1", "U2", "A", {reading("Out", 9.0, 4.5, 5.5, "V")}),
        // The test after an Error one is stored too.
        unit_test("Cell 1", "U3", "A", {reading("Out", 6.0, 4.5, 5.5, "V")}, 3000),
        error_test("Cell 1", "U4", "A", {}),
        unit_test("Cell 1", "U5", "A", {reading("Out", 5.2, 4.5, 5.5, "V")}, 1000),
    };
    {
        HistoryStore store(path);
        for (const TestRecord& r : tests) EXPECT_TRUE(store.append(r)) << r.serial;
    }
    HistoryStore store(path);
    ASSERT_EQ(store.count("Cell 1"), 5);
    const auto rows = store.page("Cell 1", 0, 10);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[1].verdict, Verdict::error);
    EXPECT_EQ(rows[4].serial, "U5");
    EXPECT_EQ(history_to_csv(everything(store)), history_to_csv(tests));

    const TotalStatistics total = store.total_statistics();
    EXPECT_EQ(total.ok, 2u);
    EXPECT_EQ(total.ng, 1u);
    EXPECT_EQ(total.error, 2u);
    EXPECT_EQ(total.aborted, 0u);
    EXPECT_EQ(total.longest_ms, 3000) << "an Error test's time counted as a test time";
    EXPECT_EQ(total.shortest_ms, 1000);
    EXPECT_EQ(total.average_ms, 2000);
    const TotalStatistics in_memory = total_statistics(tests);
    EXPECT_EQ(in_memory.error, total.error);
    EXPECT_EQ(in_memory.average_ms, total.average_ms);

    // The reading of 9.0 V belongs to a test that says nothing of its unit.
    const ItemStatistics out = store.item_statistics("A", "Out", "V");
    EXPECT_EQ(out.count, 3u);
    EXPECT_DOUBLE_EQ(out.maximum, 6.0);
    EXPECT_DOUBLE_EQ(out.median, 5.2);
    EXPECT_EQ(out.ng, 1u);
    EXPECT_DOUBLE_EQ(item_statistics(tests, "A", "Out", "V").median, out.median);

    // Counting again from the tests gives the same figures.
    store.recount();
    EXPECT_EQ(store.total_statistics().error, 2u);
    EXPECT_EQ(store.item_statistics("A", "Out", "V").count, 3u);
}

TEST_F(StoreRecords, RecordsSayWhatTestedThemAndFiguresAreKeptPerProjectItemAndUnit) {
    // Two products on one station: the same item name, in V and in mV.
    std::vector<TestRecord> tests;
    for (int i = 0; i < 40; ++i) {
        const bool a = i % 3 != 0;
        const std::string cell = "Cell " + std::to_string(1 + i % 2);
        tests.push_back(a ? unit_test(cell, "A" + std::to_string(i), "A",
                                      {reading("Output", 12.0 + 0.01 * (i % 7), 11.4, 12.6, "V")})
                          : unit_test(cell, "B" + std::to_string(i), "B",
                                      {reading("Output", 11900.0 + i, 11400, 12600, "mV")}));
    }
    tests.push_back(unit_test("Cell 1", "OLD", "", {reading("Output", 3.0, 0, 5, "V")}));
    HistoryStore store(path);
    store.import(tests);

    EXPECT_EQ(store.projects(), (std::vector<std::string>{"", "A", "B"}));
    for (const auto& [project, unit] :
         {std::pair<std::string, std::string>{"A", "V"}, {"B", "mV"}, {"", "V"}}) {
        SCOPED_TRACE(project + " " + unit);
        const ItemStatistics got = store.item_statistics(project, "Output", unit);
        const ItemStatistics want = item_statistics(tests, project, "Output", unit);
        ASSERT_GT(want.count, 0u);
        EXPECT_EQ(got.count, want.count);
        EXPECT_DOUBLE_EQ(got.maximum, want.maximum);
        EXPECT_DOUBLE_EQ(got.minimum, want.minimum);
        EXPECT_DOUBLE_EQ(got.median, want.median);
        EXPECT_NEAR(got.average, want.average, 1e-9);
    }
    EXPECT_EQ(store.item_statistics("A", "Output", "mV").count, 0u);

    // Every combination of cell and project filter shows the right tests,
    // in stored order, a page at a time.
    for (const std::string cell : {"", "Cell 1", "Cell 2"})
        for (const std::optional<std::string> project :
             {std::optional<std::string>{}, std::optional<std::string>{"A"},
              std::optional<std::string>{"B"}, std::optional<std::string>{""}}) {
            SCOPED_TRACE(cell + " / " + project.value_or("(all)"));
            const HistoryFilter filter{cell, project};
            std::vector<const TestRecord*> want;
            for (const TestRecord& r : tests)
                if ((cell.empty() || r.cell == cell) && (!project || r.project == *project))
                    want.push_back(&r);
            ASSERT_EQ(store.count(filter), std::int64_t(want.size()));
            for (std::size_t first = 0; first < want.size(); first += 4) {
                const auto page = store.page(filter, std::int64_t(first), 4);
                ASSERT_EQ(page.size(), std::min<std::size_t>(4, want.size() - first));
                for (std::size_t i = 0; i < page.size(); ++i) {
                    EXPECT_EQ(page[i].serial, want[first + i]->serial);
                    EXPECT_EQ(page[i].project, want[first + i]->project);
                }
            }
            std::vector<TestRecord> shown;
            for (const TestRecord* r : want) shown.push_back(*r);
            EXPECT_EQ(store.total_statistics(filter).ok, total_statistics(shown).ok);
            EXPECT_EQ(store.total_statistics(filter).longest_ms,
                      total_statistics(shown).longest_ms);
        }

    // The record keeps what tested it.
    const auto stored = store.test(store.page(HistoryFilter{"", "B"}, 0, 1)[0].id);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->project, "B");
    EXPECT_EQ(stored->project_hash, tests[0].project == "B" ? tests[0].project_hash
                                                             : "sha256:" + std::string(64, 'b'));
    EXPECT_EQ(stored->station, "desk-3");
    EXPECT_EQ(stored->software, "atsui_station 1.0.0");
}

// A file as the second version wrote it, with an item that two products
// measured in different units, opened by this station.
TEST_F(StoreRecords, SecondVersionFileUpgradesWithProjectUnknownAndUnitsApart) {
    run_sql(path, R"(
        CREATE TABLE cells(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE,
          ok INTEGER NOT NULL DEFAULT 0, ng INTEGER NOT NULL DEFAULT 0,
          aborted INTEGER NOT NULL DEFAULT 0, duration_sum INTEGER NOT NULL DEFAULT 0,
          duration_min INTEGER, duration_max INTEGER);
        CREATE TABLE item_names(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE,
          count INTEGER NOT NULL DEFAULT 0, sum REAL NOT NULL DEFAULT 0,
          sum_squares REAL NOT NULL DEFAULT 0, minimum REAL, maximum REAL,
          ok INTEGER NOT NULL DEFAULT 0);
        CREATE TABLE tests(id INTEGER PRIMARY KEY, cell_id INTEGER NOT NULL REFERENCES cells(id),
          cell_row INTEGER NOT NULL, serial TEXT NOT NULL, begin_ms INTEGER NOT NULL,
          end_ms INTEGER NOT NULL, verdict INTEGER NOT NULL, description TEXT NOT NULL);
        CREATE UNIQUE INDEX tests_by_cell ON tests(cell_id, cell_row);
        CREATE UNIQUE INDEX tests_once ON tests(cell_id, begin_ms, serial);
        CREATE TABLE items(test_id INTEGER NOT NULL REFERENCES tests(id),
          position INTEGER NOT NULL, name_id INTEGER NOT NULL REFERENCES item_names(id),
          value REAL NOT NULL, lower REAL NOT NULL, upper REAL NOT NULL, unit TEXT NOT NULL,
          ok INTEGER NOT NULL, PRIMARY KEY(test_id, position)) WITHOUT ROWID;
        CREATE INDEX items_by_value ON items(name_id, value);
        CREATE TABLE outbox(test_id INTEGER PRIMARY KEY);
        CREATE TABLE settings(key TEXT PRIMARY KEY, value TEXT) WITHOUT ROWID;
        INSERT INTO cells VALUES (1, 'Cell 1', 2, 1, 0, 6000, 1000, 3000);
        INSERT INTO item_names VALUES (1, 'Output', 3, 12048 + 12.0 + 11.749,
          12048 * 12048 + 144.0 + 11.749 * 11.749, 11.749, 12048, 2);
        INSERT INTO tests VALUES (1, 1, 0, 'A1', 1000, 3000, 0, 'all 1 items within limits');
        INSERT INTO tests VALUES (2, 1, 1, 'B1', 4000, 7000, 1, 'out of limits: Output');
        INSERT INTO tests VALUES (3, 1, 2, 'A2', 8000, 9000, 0, 'all 1 items within limits');
        INSERT INTO items VALUES (1, 0, 1, 12.0, 11.4, 12.6, 'V', 1);
        INSERT INTO items VALUES (2, 0, 1, 12048, 11400, 12000, 'mV', 0);
        INSERT INTO items VALUES (3, 0, 1, 11.749, 11.4, 12.6, 'V', 1);
        INSERT INTO outbox VALUES (3);
        INSERT INTO settings VALUES ('outbox', 'on');
        PRAGMA user_version = 2;)");

    // Giving up half way leaves the old file as it was.
    const auto give_up = [](const std::string& stage) {
        if (stage.find("by unit") != std::string::npos) throw std::runtime_error("cancelled");
    };
    EXPECT_THROW(HistoryStore(path, HistoryStore::Opening{HistoryStore::Mode::read_write, true,
                                                          give_up}),
                 std::runtime_error);
    EXPECT_EQ(query(path, "PRAGMA user_version"), "2");
    EXPECT_EQ(query(path, "SELECT group_concat(name_id || unit) FROM items"), "1V,1mV,1V");

    std::vector<std::string> stages;
    HistoryStore store(path, HistoryStore::Opening{HistoryStore::Mode::read_write, true,
                                                   [&](const std::string& stage) {
                                                       if (stages.empty() || stages.back() != stage)
                                                           stages.push_back(stage);
                                                   }});
    ASSERT_FALSE(stages.empty());
    EXPECT_NE(stages.back().find(path), std::string::npos) << stages.back();
    EXPECT_EQ(store.count(), 3);
    EXPECT_EQ(store.projects(), std::vector<std::string>{""});
    const ItemStatistics volts = store.item_statistics("", "Output", "V");
    EXPECT_EQ(volts.count, 2u);
    EXPECT_DOUBLE_EQ(volts.maximum, 12.0);
    EXPECT_DOUBLE_EQ(volts.minimum, 11.749);
    const ItemStatistics millivolts = store.item_statistics("", "Output", "mV");
    EXPECT_EQ(millivolts.count, 1u);
    EXPECT_EQ(millivolts.ng, 1u);
    const TotalStatistics total = store.total_statistics();
    EXPECT_EQ(total.ok, 2u);
    EXPECT_EQ(total.ng, 1u);
    EXPECT_EQ(total.longest_ms, 3000);
    // Old records upgrade with what tested them unknown.
    const auto old = store.test(2);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->project, "");
    EXPECT_EQ(old->station, "");
    EXPECT_EQ(old->items.at(0).unit, "mV");
    EXPECT_EQ(store.outbox_size(), 1);
    EXPECT_EQ(store.integrity_check(), "ok");
    // The cell's rows go on, now with a project.
    EXPECT_TRUE(store.append(unit_test("Cell 1", "A3", "A", {reading("Output", 12.1, 11.4, 12.6, "V")})));
    EXPECT_EQ(store.page("Cell 1", 3, 5).at(0).serial, "A3");
    EXPECT_EQ(store.projects(), (std::vector<std::string>{"", "A"}));
    EXPECT_EQ(store.item_statistics("", "Output", "V").count, 2u);
}

// A station must not write into a file SQLite finds damaged: checked before
// anything is written, refused, and the file left exactly as it was.
TEST_F(StoreRecords, DamagedFileIsRefusedAndLeftByteForByte) {
    // A page near the start (a table's root) and one in the middle of the
    // items, which a new test would not touch; in a file in WAL mode, as
    // the station leaves it, and in one in rollback mode, as a copy may be.
    for (const bool wal : {true, false})
        for (const bool middle : {false, true}) {
            SCOPED_TRACE(std::string(wal ? "WAL" : "rollback") + (middle ? ", middle page" : ", page 3"));
            fs::remove(path);
            {
                HistoryStore store(path);
                std::vector<TestRecord> tests;
                for (int i = 0; i < 300; ++i)
                    tests.push_back(unit_test("Cell " + std::to_string(1 + i % 4),
                                              "SN" + std::to_string(i), "A",
                                              {reading("Output", 12.0, 11.4, 12.6, "V"),
                                               reading("Ripple", 0.01, 0, 0.05, "V")}));
                store.import(tests);
            }
            if (!wal) run_sql(path, "PRAGMA journal_mode = DELETE");
            ASSERT_FALSE(fs::exists(path + "-wal")) << "the store did not fold its journal back";
            std::string bytes = bytes_of(path);
            const std::size_t pages = bytes.size() / 4096;
            ASSERT_GT(pages, 8u);
            const std::size_t page = middle ? pages / 2 : 2;  // counted from 0
            // Overwritten, as a failing disk or a stray write would leave it.
            for (std::size_t i = page * 4096; i < (page + 1) * 4096; ++i)
                bytes[i] = char(0xA5 ^ (i & 0xff));
            std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
            const std::string damaged = digest_of(path);
            try {
                HistoryStore store(path);
                store.append(unit_test("Cell 1", "AFTER", "A", {}));
                ADD_FAILURE() << "the damaged file was opened and written";
            } catch (const HistoryStoreError& error) {
                EXPECT_EQ(error.kind(), HistoryStoreError::Kind::damaged) << error.what();
                EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
                EXPECT_NE(std::string(error.what()).find("damaged"), std::string::npos)
                    << error.what();
            }
            EXPECT_EQ(digest_of(path), damaged) << "the damaged file was changed";
        }
}

TEST_F(StoreRecords, RefusedTestsWaitApartWithTheServersReasonAndCanBeTriedAgain) {
    HistoryStore store(path);
    store.enable_outbox();
    for (int i = 0; i < 5; ++i)
        store.append(unit_test("Cell 1", "R" + std::to_string(i), "A",
                               {reading("Output", 12.0, 11.4, 12.6, "V")}));
    const auto batch = store.outbox(10);
    ASSERT_EQ(batch.size(), 5u);
    store.refuse(batch[1].id, "invalid byte sequence for encoding \"UTF8\": 0xff");
    store.refuse(batch[3].id, "");
    EXPECT_EQ(store.outbox_size(), 3);
    const auto waiting = store.outbox(10);
    ASSERT_EQ(waiting.size(), 3u);
    EXPECT_EQ(waiting[1].record.serial, "R2");
    const auto refused = store.refused();
    ASSERT_EQ(refused.size(), 2u);
    EXPECT_EQ(refused[0].serial, "R1");
    EXPECT_EQ(refused[0].cell, "Cell 1");
    EXPECT_NE(refused[0].reason.find("UTF8"), std::string::npos);
    EXPECT_FALSE(refused[1].reason.empty()) << "a refusal without a reason";
    // Refused tests are still the station's to keep: the history cannot be
    // cleared while they wait.
    store.sent({waiting[0].id, waiting[1].id, waiting[2].id});
    EXPECT_EQ(store.outbox_size(), 0);
    EXPECT_THROW(store.clear(), HistoryStoreError);
    store.retry_refused();
    EXPECT_EQ(store.outbox_size(), 2);
    EXPECT_TRUE(store.refused().empty());
}
