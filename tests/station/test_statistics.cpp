// SPDX-License-Identifier: MIT
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "logic/statistics.h"
#include "logic/text.h"

using namespace station;

namespace {

TestRecord test_with(Verdict verdict, std::int64_t duration_ms,
                     std::initializer_list<std::pair<double, bool>> gains) {
    TestRecord r;
    r.cell = "Cell 1";
    r.begin_ms = 1000;
    r.end_ms = 1000 + duration_ms;
    r.verdict = verdict;
    for (const auto& [value, ok] : gains) r.items.push_back({"Gain", value, 0, 6, "dB", ok});
    r.items.push_back({"Other", 100, 0, 1, "V", false});
    return r;
}

}  // namespace

TEST(ItemFigures, OverEveryRecordedValueOfTheItem) {
    // 2 4 4 4 5 5 7 9: mean 5, squares sum to 32, sample variance 32 / 7.
    const std::vector<TestRecord> records = {
        test_with(Verdict::ok, 1000, {{2, true}, {4, true}, {4, true}}),
        test_with(Verdict::ng, 1000, {{4, true}, {5, true}}),
        test_with(Verdict::aborted, 10, {{5, true}, {7, false}, {9, false}}),
    };
    const ItemStatistics s = item_statistics(records, "Gain");
    EXPECT_EQ(s.count, 8u);
    EXPECT_EQ(s.maximum, 9);
    EXPECT_EQ(s.minimum, 2);
    EXPECT_DOUBLE_EQ(s.average, 5);
    EXPECT_DOUBLE_EQ(s.median, 4.5);
    EXPECT_DOUBLE_EQ(s.variance, 32.0 / 7);
    EXPECT_DOUBLE_EQ(s.std_deviation, std::sqrt(32.0 / 7));
    EXPECT_EQ(s.ok, 6u);
    EXPECT_EQ(s.ng, 2u);

    const ItemStatistics odd =
        item_statistics({test_with(Verdict::ok, 1, {{3, true}, {1, true}, {8, true}})}, "Gain");
    EXPECT_EQ(odd.median, 3);
    const ItemStatistics one = item_statistics({test_with(Verdict::ok, 1, {{3, true}})}, "Gain");
    EXPECT_EQ(one.variance, 0);
    EXPECT_EQ(one.median, 3);
    EXPECT_EQ(item_statistics(records, "Missing").count, 0u);
    EXPECT_EQ(item_statistics({}, "Gain").count, 0u);
}

TEST(TotalFigures, AbortedTestsAreNeitherResultsNorTimes) {
    const std::vector<TestRecord> records = {
        test_with(Verdict::ok, 1200, {}), test_with(Verdict::ng, 3000, {}),
        test_with(Verdict::aborted, 50000, {}), test_with(Verdict::aborted, 1, {}),
        test_with(Verdict::ok, 900, {})};
    const TotalStatistics s = total_statistics(records);
    EXPECT_EQ(s.ok, 2u);
    EXPECT_EQ(s.ng, 1u);
    EXPECT_EQ(s.aborted, 2u);
    EXPECT_EQ(s.longest_ms, 3000);
    EXPECT_EQ(s.shortest_ms, 900);
    EXPECT_EQ(s.average_ms, (1200 + 3000 + 900) / 3);

    const TotalStatistics none = total_statistics({test_with(Verdict::aborted, 5, {})});
    EXPECT_EQ(none.ok + none.ng, 0u);
    EXPECT_EQ(none.longest_ms, 0);
    EXPECT_EQ(none.average_ms, 0);
}

TEST(Counters, CountResultsAndShowTheYield) {
    Counters c;
    EXPECT_EQ(c.yield(), "0%");
    c.count(Verdict::aborted);
    EXPECT_EQ(c.ok + c.ng, 0u);
    EXPECT_EQ(c.yield(), "0%");
    c.count(Verdict::ok);
    EXPECT_EQ(c.yield(), "100%");
    c.count(Verdict::ng);
    c.count(Verdict::ok);
    EXPECT_EQ(c.ok, 2u);
    EXPECT_EQ(c.ng, 1u);
    EXPECT_EQ(c.yield(), "66.7%");
    for (int i = 0; i < 5; ++i) c.count(Verdict::ok);
    EXPECT_EQ(c.yield(), "87.5%");
}

TEST(Verdicts, ItemsDecideAndTheDescriptionNamesTheFailures) {
    TestRecord r;
    r.items = {{"A", 1, 0, 2, "", true}, {"B", 3, 0, 2, "", false}, {"C", -1, 0, 2, "", false}};
    conclude(r);
    EXPECT_EQ(r.verdict, Verdict::ng);
    EXPECT_NE(r.description.find("B, C"), std::string::npos) << r.description;
    r.items.resize(1);
    conclude(r);
    EXPECT_EQ(r.verdict, Verdict::ok);
    EXPECT_TRUE(within_limits(2, 0, 2));
    EXPECT_TRUE(within_limits(0, 0, 2));
    EXPECT_FALSE(within_limits(2.0000001, 0, 2));
    for (Verdict v : {Verdict::ok, Verdict::ng, Verdict::aborted})
        EXPECT_EQ(parse_verdict(verdict_text(v)), v);
    EXPECT_FALSE(parse_verdict("ok"));
}

// A test that fails every one of thousands of long-named items still has a
// description a record can carry.
TEST(Verdicts, TheDescriptionOfManyFailuresStaysWithinItsBound) {
    TestRecord r;
    for (int i = 0; i < 5000; ++i)
        r.items.push_back({std::string(150, 'x') + std::to_string(i), 9, 0, 1, "V", false});
    conclude(r);
    EXPECT_EQ(r.verdict, Verdict::ng);
    EXPECT_LE(text_length(r.description), kMaxDescriptionLength);
    EXPECT_NE(r.description.find(r.items[0].name), std::string::npos);
    EXPECT_NE(r.description.find("more"), std::string::npos) << r.description.substr(0, 100);
}
