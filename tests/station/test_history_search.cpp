// SPDX-License-Identifier: MIT
// Finding a unit in the history store: serial prefixes of either case, days,
// both orders, and every test of one unit across cells and projects; and the
// report of a test as HTML that no record can turn into markup.

#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "logic/history_store.h"
#include "logic/report_html.h"
#include "test_folder.h"

using namespace station;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kDay = 24 * 3600 * 1000;
constexpr std::int64_t kStart = 1'765'000'000'000;

TestRecord test_of(const std::string& cell, const std::string& serial, std::int64_t begin,
                   const std::string& project, bool ok = true) {
    TestRecord r;
    r.cell = cell;
    r.serial = serial;
    r.begin_ms = begin;
    r.end_ms = begin + 2000;
    r.project = project;
    r.items = {{"Output", ok ? 12.0 : 13.0, 11.4, 12.6, "V", ok}};
    conclude(r);
    return r;
}

std::vector<std::string> serials(const std::vector<TestSummary>& rows) {
    std::vector<std::string> s;
    for (const TestSummary& t : rows) s.push_back(t.serial);
    return s;
}

class HistorySearch : public ::testing::Test {
protected:
    void SetUp() override {
        folder = station_test::fresh_folder("history-search");
        path = (folder / "station.sqlite").string();
        store = std::make_unique<HistoryStore>(path);
        // One unit (AB-1) tested on three days, in two cells and two
        // projects; its neighbours by prefix, case and byte order.
        store->import({test_of("Cell 1", "AB-1", kStart, "Board"),
                       test_of("Cell 2", "ab-2", kStart + 1000, "Board", false),
                       test_of("Cell 1", "AB-10", kStart + kDay, "Board"),
                       test_of("Cell 2", "AB-1", kStart + kDay + 1000, "Rework", false),
                       test_of("Cell 1", "AC-1", kStart + 2 * kDay, "Board"),
                       test_of("Cell 1", "A@-1", kStart + 2 * kDay + 1000, "Board"),
                       test_of("Cell 1", "A[-1", kStart + 2 * kDay + 2000, "Board"),
                       test_of("Cell 2", "AB-1", kStart + 3 * kDay, "Board")});
    }
    void TearDown() override {
        store.reset();
        fs::remove_all(folder);
    }

    std::vector<std::string> found(const HistoryFilter& filter,
                                   HistoryOrder order = HistoryOrder::oldest_first) const {
        return serials(store->page(filter, 0, 100, order));
    }

    fs::path folder;
    std::string path;
    std::unique_ptr<HistoryStore> store;
};

HistoryFilter serial_filter(const std::string& serial) {
    HistoryFilter f;
    f.serial = serial;
    return f;
}

}  // namespace

TEST_F(HistorySearch, SerialPrefixMatchesEitherCaseAndNothingBeyond) {
    using V = std::vector<std::string>;
    EXPECT_EQ(found(serial_filter("ab-1")), (V{"AB-1", "AB-10", "AB-1", "AB-1"}));
    EXPECT_EQ(found(serial_filter("AB-")), (V{"AB-1", "ab-2", "AB-10", "AB-1", "AB-1"}));
    EXPECT_EQ(store->count(serial_filter("AB-")), 5);
    // '@' sorts before the letters and '[' after the capitals: neither is
    // taken for a letter of the other case.
    EXPECT_EQ(found(serial_filter("A@")), (V{"A@-1"}));
    EXPECT_EQ(found(serial_filter("a[")), (V{"A[-1"}));
    EXPECT_TRUE(found(serial_filter("ZZ")).empty());
    EXPECT_EQ(store->count(serial_filter("ZZ")), 0);
    // Bytes past ASCII compare as bytes; a prefix of 0xFF has no end.
    EXPECT_TRUE(found(serial_filter("\xc3\xa9")).empty());
    EXPECT_TRUE(found(serial_filter("\xff")).empty());

    // With the cell and the project.
    HistoryFilter f = serial_filter("ab-1");
    f.cell = "Cell 2";
    EXPECT_EQ(found(f), (V{"AB-1", "AB-1"}));
    f.project = "Rework";
    EXPECT_EQ(found(f), (V{"AB-1"}));
    EXPECT_EQ(store->total_statistics(f).ng, 1u);
    EXPECT_EQ(store->total_statistics(f).ok, 0u);
    EXPECT_EQ(store->total_statistics(f).longest_ms, 2000);
}

TEST_F(HistorySearch, DaysAreHalfOpenAndCombineWithTheSerial) {
    using V = std::vector<std::string>;
    HistoryFilter f;
    f.from_ms = kStart + kDay;
    f.to_ms = kStart + 2 * kDay;
    EXPECT_EQ(found(f), (V{"AB-10", "AB-1"}));
    EXPECT_EQ(store->count(f), 2);
    f.to_ms.reset();
    EXPECT_EQ(store->count(f), 6);
    f.serial = "ab-1";
    EXPECT_EQ(found(f, HistoryOrder::newest_first), (V{"AB-1", "AB-1", "AB-10"}));
    const TotalStatistics totals = store->total_statistics(f);
    EXPECT_EQ(totals.ok + totals.ng, 3u);
    EXPECT_EQ(totals.ng, 1u);
    f.from_ms.reset();
    f.to_ms = kStart + 1;
    EXPECT_EQ(found(f), (V{"AB-1"}));
}

// Newest first is the oldest first read backwards, for every filter, and a
// page deep in the history starts where it should.
TEST_F(HistorySearch, NewestFirstReversesEveryFilter) {
    std::vector<TestRecord> more;
    for (int i = 0; i < 600; ++i)
        more.push_back(test_of(i % 3 ? "Cell 1" : "Cell 3", "N" + std::to_string(i),
                               kStart + 10 * kDay + i * 1000, i % 2 ? "Board" : "Other"));
    store->import(more);
    std::vector<HistoryFilter> filters = {HistoryFilter{}, HistoryFilter{"Cell 1"},
                                          HistoryFilter{"", std::string("Other")},
                                          HistoryFilter{"Cell 3", std::string("Other")},
                                          serial_filter("N1")};
    for (const HistoryFilter& filter : filters) {
        const std::int64_t n = store->count(filter);
        ASSERT_GT(n, 8) << filter.cell;
        const auto oldest = serials(store->page(filter, 0, int(n)));
        auto newest = serials(store->page(filter, 0, int(n), HistoryOrder::newest_first));
        ASSERT_EQ(std::int64_t(oldest.size()), n) << filter.cell;
        std::reverse(newest.begin(), newest.end());
        EXPECT_EQ(newest, oldest) << "cell '" << filter.cell << "', serial '" << filter.serial
                                  << "'";
        const auto deep = serials(store->page(filter, n - 3, 10, HistoryOrder::newest_first));
        EXPECT_EQ(deep, (std::vector<std::string>{oldest[2], oldest[1], oldest[0]}));
    }
}

TEST_F(HistorySearch, UnitHistoryIsOneSerialExactlyInEveryCellAndProjectNewestFirst) {
    const std::vector<TestRecord> tests = store->unit_history("AB-1");
    ASSERT_EQ(tests.size(), 3u);
    EXPECT_EQ(tests[0].begin_ms, kStart + 3 * kDay);
    EXPECT_EQ(tests[1].project, "Rework");
    EXPECT_EQ(tests[1].cell, "Cell 2");
    EXPECT_EQ(tests[2].cell, "Cell 1");
    for (const TestRecord& t : tests) {
        EXPECT_EQ(t.serial, "AB-1");
        ASSERT_EQ(t.items.size(), 1u);
    }
    EXPECT_EQ(tests[1].items[0].value, 13.0);
    EXPECT_TRUE(store->unit_history("ab-1").empty());
    EXPECT_TRUE(store->unit_history("AB-").empty());
}

// The searches use their indexes, not a scan of every test; a file of the
// schema before gains them when a station opens it.
TEST_F(HistorySearch, SearchesReadIndexesAndOlderFilesGainThem) {
    const auto plan = [&](const std::string& sql) {
        std::string text;
        sqlite3_stmt* s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(store->handle(), ("EXPLAIN QUERY PLAN " + sql).c_str(), -1,
                                     &s, nullptr),
                  SQLITE_OK);
        while (sqlite3_step(s) == SQLITE_ROW)
            text += reinterpret_cast<const char*>(sqlite3_column_text(s, 3)) + std::string("\n");
        sqlite3_finalize(s);
        return text;
    };
    EXPECT_NE(plan("SELECT t.id FROM tests t WHERE t.serial COLLATE NOCASE >= 'a' AND t.serial "
                   "COLLATE NOCASE < 'b' AND +t.begin_ms >= 0")
                  .find("tests_by_serial"),
              std::string::npos);
    EXPECT_NE(plan("SELECT count(*) FROM tests t WHERE t.begin_ms >= 0 AND t.begin_ms < 5")
                  .find("COVERING INDEX tests_by_begin"),
              std::string::npos);

    ASSERT_EQ(sqlite3_exec(store->handle(),
                           "DROP INDEX tests_by_serial; DROP INDEX tests_by_begin; "
                           "PRAGMA user_version = 4;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    store.reset();
    store = std::make_unique<HistoryStore>(path);
    EXPECT_NE(plan("SELECT t.id FROM tests t WHERE t.serial COLLATE NOCASE >= 'a'")
                  .find("tests_by_serial"),
              std::string::npos);
    EXPECT_EQ(found(serial_filter("ab-1")).size(), 4u);
}

TEST(ReportHtml, HoldsEveryItemAndEscapesEveryTextOfTheRecord) {
    TestRecord r = test_of("Cell <1>", "S&N\"1'", kStart, "P<script>", false);
    r.station = "line & 1";
    r.items.push_back({"Ripple <pk-pk>", 0.02, 0, 0.05, "V&", true});
    conclude(r);
    const std::string html = test_report_html(r);
    for (const char* text : {"Cell &lt;1&gt;", "S&amp;N&quot;1&#39;", "P&lt;script&gt;",
                             "line &amp; 1", "Ripple &lt;pk-pk&gt;", "V&amp;", "0.02", "0.05",
                             "11.4", "12.6", "Output", "NG"})
        EXPECT_NE(html.find(text), std::string::npos) << text;
    for (const char* raw : {"<script>", "<1>", "<pk-pk>", "S&N"})
        EXPECT_EQ(html.find(raw), std::string::npos) << raw;
    const std::string history = unit_history_html("S<1>", {r, r});
    EXPECT_NE(history.find("S&lt;1&gt;"), std::string::npos);
    EXPECT_NE(history.find("2 tests"), std::string::npos);
}
