// SPDX-License-Identifier: MIT
// The history store against real database files: what a station writes comes
// back the same, figures agree with the in-memory ones, and a bad, foreign,
// newer, read-only or full file is refused without losing what it holds.

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
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

class HistoryStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = station_test::fresh_folder("history-store");
        path = (folder / "station.sqlite").string();
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path folder;
    std::string path;
};

// Tests as cells produce them: interleaved cells, OK, NG and aborted.
std::vector<TestRecord> make_tests(int n, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0, 0.2);
    std::vector<TestRecord> tests;
    std::int64_t clock = 1'765'000'000'000;
    for (int i = 0; i < n; ++i) {
        TestRecord r;
        r.cell = "Cell " + std::to_string(1 + random() % 3);
        r.serial = "SN" + std::to_string(i);
        r.begin_ms = clock;
        clock += 1000 + random() % 5000;
        r.end_ms = clock;
        const int items = random() % 10 == 0 ? 1 : 3;  // some tests are aborted early
        const char* names[] = {"Voltage", "Current", "Gain \"dB\", left"};
        for (int k = 0; k < items; ++k) {
            ItemResult item{names[k], 5 + k + noise(random), 4.7 + k, 5.3 + k, "V", false};
            item.ok = within_limits(item.value, item.lower, item.upper);
            r.items.push_back(item);
        }
        if (items == 1) {
            r.verdict = Verdict::aborted;
            r.description = "aborted after 1 of 3 items";
        } else {
            conclude(r);
        }
        tests.push_back(r);
    }
    return tests;
}

std::vector<TestRecord> everything(const HistoryStore& store) {
    std::vector<TestRecord> records;
    store.for_each([&](const TestRecord& r) { records.push_back(r); });
    return records;
}

}  // namespace

TEST_F(HistoryStoreTest, WhatIsStoredComesBackInOrderByCellAndSurvivesReopening) {
    const auto tests = make_tests(600, 1);
    int changes = 0;
    {
        HistoryStore store(path);
        store.set_on_changed([&] { ++changes; });
        for (const TestRecord& r : tests) EXPECT_TRUE(store.append(r));
        // A retry of a stored test stores nothing and tells nobody.
        EXPECT_FALSE(store.append(tests[17]));
    }
    EXPECT_EQ(changes, 600);

    HistoryStore store(path);
    EXPECT_EQ(store.count(), 600);
    EXPECT_EQ(history_to_csv(everything(store)), history_to_csv(tests));
    EXPECT_EQ(store.cells(), (std::vector<std::string>{"Cell 1", "Cell 2", "Cell 3"}));

    // Every row of every filter, read a page at a time, is the right test.
    for (const std::string cell : {"", "Cell 1", "Cell 2", "Cell 3"}) {
        SCOPED_TRACE(cell);
        std::vector<const TestRecord*> expected;
        for (const TestRecord& r : tests)
            if (cell.empty() || r.cell == cell) expected.push_back(&r);
        ASSERT_EQ(store.count(cell), std::int64_t(expected.size()));
        for (std::size_t first = 0; first < expected.size(); first += 64) {
            const auto page = store.page(cell, std::int64_t(first), 64);
            ASSERT_EQ(page.size(), std::min<std::size_t>(64, expected.size() - first));
            for (std::size_t i = 0; i < page.size(); ++i) {
                const TestRecord& want = *expected[first + i];
                EXPECT_EQ(page[i].serial, want.serial);
                EXPECT_EQ(page[i].cell, want.cell);
                EXPECT_EQ(page[i].verdict, want.verdict);
            }
        }
        EXPECT_TRUE(store.page(cell, std::int64_t(expected.size()), 64).empty());
        const auto last = store.page(cell, std::int64_t(expected.size()) - 1, 1);
        ASSERT_EQ(last.size(), 1u);
        const auto full = store.test(last[0].id);
        ASSERT_TRUE(full);
        EXPECT_EQ(history_to_csv({*full}), history_to_csv({*expected.back()}));
    }
    EXPECT_FALSE(store.test(100000));
    EXPECT_EQ(store.integrity_check(), "ok");
}

TEST_F(HistoryStoreTest, FiguresAgreeWithTheTestsTheyDescribe) {
    const auto tests = make_tests(501, 2);
    HistoryStore store(path);
    for (const TestRecord& r : tests) store.append(r);

    for (const std::string item : {"Voltage", "Gain \"dB\", left"}) {
        SCOPED_TRACE(item);
        const ItemStatistics want = item_statistics(tests, item);
        const ItemStatistics got = store.item_statistics("", item, "V");
        EXPECT_EQ(got.count, want.count);
        EXPECT_EQ(got.ok, want.ok);
        EXPECT_EQ(got.ng, want.ng);
        EXPECT_DOUBLE_EQ(got.maximum, want.maximum);
        EXPECT_DOUBLE_EQ(got.minimum, want.minimum);
        EXPECT_DOUBLE_EQ(got.median, want.median);
        EXPECT_NEAR(got.average, want.average, 1e-12);
        EXPECT_NEAR(got.variance, want.variance, 1e-9);
    }
    EXPECT_EQ(store.item_statistics("", "Nothing", "V").count, 0u);

    for (const std::string cell : {"", "Cell 2"}) {
        std::vector<TestRecord> shown;
        for (const TestRecord& r : tests)
            if (cell.empty() || r.cell == cell) shown.push_back(r);
        const TotalStatistics want = total_statistics(shown);
        const TotalStatistics got = store.total_statistics(cell);
        EXPECT_EQ(got.ok, want.ok);
        EXPECT_EQ(got.ng, want.ng);
        EXPECT_EQ(got.aborted, want.aborted);
        EXPECT_EQ(got.longest_ms, want.longest_ms);
        EXPECT_EQ(got.shortest_ms, want.shortest_ms);
        EXPECT_EQ(got.average_ms, want.average_ms);
    }

    // An even count takes the mean of the two middle values.
    store.clear();
    EXPECT_EQ(store.count(), 0);
    EXPECT_TRUE(store.cells().empty());
    EXPECT_EQ(store.total_statistics().ok, 0u);
    auto few = make_tests(40, 3);
    few.erase(std::remove_if(few.begin(), few.end(),
                             [](const TestRecord& r) { return r.items.size() != 3; }),
              few.end());
    if (few.size() % 2) few.pop_back();
    store.import(few);
    EXPECT_DOUBLE_EQ(store.item_statistics("", "Current", "V").median,
                     item_statistics(few, "Current").median);
}

TEST_F(HistoryStoreTest, ImportAddsAllOrNothingAndNeverDuplicates) {
    const auto tests = make_tests(300, 4);
    HistoryStore store(path);
    for (int i = 0; i < 100; ++i) store.append(tests[std::size_t(i)]);

    // A fault half way (here: the reader gives up) leaves the store as it was.
    const std::string before = history_to_csv(everything(store));
    EXPECT_THROW(store.import_from([&](const auto& add) {
        for (int i = 100; i < 200; ++i) add(tests[std::size_t(i)]);
        throw HistoryFileError("line 999: value or limits are not numbers");
    }),
                 HistoryFileError);
    EXPECT_EQ(history_to_csv(everything(store)), before);
    EXPECT_EQ(store.count(), 100);

    // Importing everything adds what is new, skips what is there.
    std::size_t reported = 0;
    const auto result = store.import(tests, [&](std::size_t done) { reported = done; });
    EXPECT_EQ(result.added, 200u);
    EXPECT_EQ(result.skipped, 100u);
    EXPECT_EQ(reported, tests.size());
    EXPECT_EQ(history_to_csv(everything(store)), history_to_csv(tests));
    EXPECT_EQ(store.import(tests).added, 0u);
    EXPECT_EQ(store.count(), 300);

    // Export streams the store into a file that reads back the same.
    const std::string csv = (folder / "export.csv").string();
    {
        HistoryCsvWriter writer(csv);
        store.for_each([&](const TestRecord& r) { writer.write(r); });
        writer.commit();
    }
    EXPECT_EQ(history_to_csv(read_history_csv(csv)), history_to_csv(tests));
    EXPECT_FALSE(fs::exists(csv + ".part"));
}

TEST_F(HistoryStoreTest, RefusesFilesItCannotUseAndLeavesThemAsTheyAre) {
    const auto refused = [&](const std::string& file, const std::string& why) {
        try {
            HistoryStore store(file);
            ADD_FAILURE() << "opened " << file;
        } catch (const HistoryStoreError& error) {
            EXPECT_NE(std::string(error.what()).find(why), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(file), std::string::npos) << error.what();
        }
    };
    const auto content = [](const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };

    // Not a database at all.
    const std::string text = (folder / "notes.sqlite").string();
    std::ofstream(text) << std::string(5000, 'x');
    refused(text, "not a station history database");
    EXPECT_EQ(content(text), std::string(5000, 'x'));

    // Another program's database.
    const std::string foreign = (folder / "foreign.sqlite").string();
    {
        sqlite3* db = nullptr;
        sqlite3_open(foreign.c_str(), &db);
        sqlite3_exec(db, "CREATE TABLE invoices(id INTEGER); INSERT INTO invoices VALUES (7);",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    const std::string foreign_bytes = content(foreign);
    refused(foreign, "another program");
    EXPECT_EQ(content(foreign), foreign_bytes);

    // A station file that a newer station wrote.
    {
        HistoryStore store(path);
        store.append(make_tests(1, 5)[0]);
        sqlite3_exec(store.handle(), "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
    }
    refused(path, "newer station");
    {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        const std::string current =
            "PRAGMA user_version = " + std::to_string(HistoryStore::kSchemaVersion);
        sqlite3_exec(db, current.c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    EXPECT_EQ(HistoryStore(path).count(), 1);
}

TEST_F(HistoryStoreTest, ReadOnlyFileIsReadButNotWritten) {
    {
        HistoryStore store(path);
        store.append(make_tests(1, 6)[0]);
    }
    // Root writes any file: take a plain user's place in a child process.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::getuid() == 0) {
            ::chown(folder.c_str(), 65534, 65534);
            for (const auto& entry : fs::directory_iterator(folder))
                ::chown(entry.path().c_str(), 65534, 65534);
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(10);
        }
        ::chmod(path.c_str(), 0444);
        try {
            HistoryStore store(path);
            _exit(11);
        } catch (const HistoryStoreError& error) {
            if (std::string(error.what()).find("read-only") == std::string::npos) _exit(12);
        }
        try {
            if (HistoryStore(path, HistoryStore::Mode::read_only).count() != 1) _exit(13);
        } catch (...) {
            _exit(14);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: cannot drop root, 11: opened for writing, "
                                         "12: unclear message, 13/14: cannot read";
    ::chmod(path.c_str(), 0644);
    EXPECT_EQ(HistoryStore(path).count(), 1);
}

TEST_F(HistoryStoreTest, FullDiskFailsTheCommitAndKeepsWhatWasStored) {
    const auto tests = make_tests(400, 7);
    HistoryStore store(path);
    for (int i = 0; i < 20; ++i) store.append(tests[std::size_t(i)]);
    const std::string before = history_to_csv(everything(store));

    // The file may grow no further: every write past the limit fails, as on
    // a full disk.
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit{};
    getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit limit = old_limit;
    limit.rlim_cur = rlim_t(fs::file_size(path) + fs::file_size(path + "-wal"));
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    std::size_t failures = 0;
    for (std::size_t i = 20; i < 400 && failures == 0; ++i) {
        try {
            store.append(tests[i]);
        } catch (const HistoryStoreError& error) {
            ++failures;
            EXPECT_NE(std::string(error.what()).find("history"), std::string::npos);
        }
    }
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    ASSERT_EQ(failures, 1u) << "the file never reached its limit";

    // What was committed before is all there, and the file is sound.
    const auto stored = everything(store);
    ASSERT_GE(stored.size(), 20u);
    EXPECT_EQ(history_to_csv(std::vector<TestRecord>(stored.begin(), stored.begin() + 20)), before);
    EXPECT_EQ(store.integrity_check(), "ok");
    // With room again, the next test is stored.
    EXPECT_TRUE(store.append(tests[399]));
    EXPECT_EQ(HistoryStore(path).integrity_check(), "ok");
}

TEST_F(HistoryStoreTest, FirstVersionFileIsUpgradedWithItsFigures) {
    // A file as the first version wrote it: tests, items, names, no figures.
    {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        ASSERT_EQ(sqlite3_exec(db, R"(
            CREATE TABLE cells(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
            CREATE TABLE item_names(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
            CREATE TABLE tests(id INTEGER PRIMARY KEY, cell_id INTEGER NOT NULL,
              cell_row INTEGER NOT NULL, serial TEXT NOT NULL, begin_ms INTEGER NOT NULL,
              end_ms INTEGER NOT NULL, verdict INTEGER NOT NULL, description TEXT NOT NULL);
            CREATE UNIQUE INDEX tests_by_cell ON tests(cell_id, cell_row);
            CREATE UNIQUE INDEX tests_once ON tests(cell_id, begin_ms, serial);
            CREATE TABLE items(test_id INTEGER NOT NULL, position INTEGER NOT NULL,
              name_id INTEGER NOT NULL, value REAL NOT NULL, lower REAL NOT NULL,
              upper REAL NOT NULL, unit TEXT NOT NULL, ok INTEGER NOT NULL,
              PRIMARY KEY(test_id, position)) WITHOUT ROWID;
            INSERT INTO cells VALUES (1, 'Cell 1');
            INSERT INTO item_names VALUES (1, 'Voltage');
            INSERT INTO tests VALUES (1, 1, 0, 'A', 1000, 3000, 0, 'all 1 items within limits');
            INSERT INTO tests VALUES (2, 1, 1, 'B', 4000, 5000, 1, 'out of limits: Voltage');
            INSERT INTO items VALUES (1, 0, 1, 5.0, 4.5, 5.5, 'V', 1);
            INSERT INTO items VALUES (2, 0, 1, 6.0, 4.5, 5.5, 'V', 0);
            PRAGMA user_version = 1;)",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    HistoryStore store(path);
    EXPECT_EQ(store.count("Cell 1"), 2);
    const TotalStatistics total = store.total_statistics();
    EXPECT_EQ(total.ok, 1u);
    EXPECT_EQ(total.ng, 1u);
    EXPECT_EQ(total.longest_ms, 2000);
    EXPECT_EQ(total.shortest_ms, 1000);
    const ItemStatistics voltage = store.item_statistics("", "Voltage", "V");
    EXPECT_EQ(voltage.count, 2u);
    EXPECT_DOUBLE_EQ(voltage.median, 5.5);
    EXPECT_EQ(voltage.ng, 1u);
    // New tests continue each cell's rows.
    TestRecord next = make_tests(1, 8)[0];
    next.cell = "Cell 1";
    store.append(next);
    ASSERT_EQ(store.page("Cell 1", 2, 10).size(), 1u);
    EXPECT_EQ(store.page("Cell 1", 2, 10)[0].serial, next.serial);
}

TEST_F(HistoryStoreTest, OutboxHoldsEveryTestUntilSentAndBlocksClearing) {
    const auto tests = make_tests(5, 9);
    HistoryStore store(path);
    store.append(tests[0]);
    // Joining a line sends what was stored before, too.
    store.enable_outbox();
    store.append(tests[1]);
    EXPECT_EQ(store.outbox_size(), 2);
    EXPECT_EQ(HistoryStore(path).outbox_size(), 2) << "the outbox did not survive reopening";
    EXPECT_THROW(store.clear(), HistoryStoreError);
    EXPECT_EQ(store.count(), 2);
    store.append(tests[1]);
    EXPECT_EQ(store.outbox_size(), 2) << "a retry queued a test twice";
}

// Whoever reads a fault must learn which file and what kind of fault: the
// kind decides whether trying again can help.
TEST_F(HistoryStoreTest, EveryFaultNamesTheFileAndItsKind) {
    const auto fault = [](const std::string& file, HistoryStore::Mode mode =
                                                       HistoryStore::Mode::read_write) {
        try {
            HistoryStore store(file, mode);
        } catch (const HistoryStoreError& error) {
            EXPECT_NE(std::string(error.what()).find(file), std::string::npos) << error.what();
            return error.kind();
        }
        ADD_FAILURE() << "opened " << file;
        return HistoryStoreError::Kind::other;
    };
    using Kind = HistoryStoreError::Kind;
    const std::string text = (folder / "notes.sqlite").string();
    std::ofstream(text) << std::string(5000, 'x');
    EXPECT_EQ(fault(text), Kind::foreign);
    EXPECT_EQ(fault((folder / "missing.sqlite").string(), HistoryStore::Mode::read_only),
              Kind::cannot_open);
    {
        HistoryStore store(path);
        store.append(make_tests(1, 10)[0]);
        sqlite3_exec(store.handle(), "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
    }
    EXPECT_EQ(fault(path), Kind::newer);

    // A folder the station may not write in: neither a new file nor the
    // journal of an existing one can be made there.
    const fs::path locked = folder / "locked";
    fs::create_directories(locked);
    { HistoryStore(( locked / "old.sqlite").string()).append(make_tests(1, 11)[0]); }
    fs::remove(locked / "old.sqlite-wal");
    fs::remove(locked / "old.sqlite-shm");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::getuid() == 0) {
            ::chown(locked.c_str(), 65534, 65534);
            ::chown((locked / "old.sqlite").c_str(), 65534, 65534);
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(10);
        }
        ::chmod(locked.c_str(), 0555);
        const auto names = [](const std::string& file, const HistoryStoreError& error) {
            return std::string(error.what()).find(file) != std::string::npos;
        };
        for (const std::string file :
             {(locked / "new.sqlite").string(), (locked / "old.sqlite").string()}) {
            try {
                HistoryStore store(file);
                store.append(make_tests(1, 12)[0]);
                _exit(11);
            } catch (const HistoryStoreError& error) {
                if (!names(file, error)) {
                    std::fprintf(stderr, "%s\n", error.what());
                    _exit(12);
                }
            }
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ::chmod(locked.c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "10: cannot drop root, 11: wrote in a read-only folder, 12: the file is not named";
}

// A reader may read the store again from inside a walk over it (an export
// that looks a test up): the walk goes on where it was.
TEST_F(HistoryStoreTest, ReadingInsideAWalkKeepsTheWalkInPlace) {
    const auto tests = make_tests(30, 13);
    HistoryStore store(path);
    store.import(tests);
    std::size_t outer = 0, inner = 0;
    store.for_each([&](const TestRecord&) {
        ++outer;
        store.for_each([&](const TestRecord&) { ++inner; });
    });
    EXPECT_EQ(outer, tests.size());
    EXPECT_EQ(inner, tests.size() * tests.size());
}

TEST_F(HistoryStoreTest, OutboxGivesItsTestsWithTheirItemsUntilTheyAreSent) {
    const auto tests = make_tests(7, 14);
    HistoryStore store(path);
    store.enable_outbox();
    for (const TestRecord& r : tests) store.append(r);
    const auto first = store.outbox(4);
    ASSERT_EQ(first.size(), 4u);
    EXPECT_EQ(history_to_csv({first[0].record, first[1].record, first[2].record, first[3].record}),
              history_to_csv({tests[0], tests[1], tests[2], tests[3]}));
    store.sent({first[0].id, first[1].id, first[2].id, first[3].id});
    EXPECT_EQ(store.outbox_size(), 3);
    const auto rest = store.outbox(10);
    ASSERT_EQ(rest.size(), 3u);
    EXPECT_EQ(rest[0].record.serial, tests[4].serial);
    EXPECT_EQ(rest[2].record.items.size(), tests[6].items.size());
}
