// SPDX-License-Identifier: MIT
// An item's capability, histogram and trend from a real store seeded with
// known values, against the same figures computed here from those values.

#include <sqlite3.h>

#include <cmath>
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "logic/item_figures.h"
#include "test_folder.h"

using namespace station;
namespace fs = std::filesystem;

namespace {

constexpr double kLower = 11.4, kUpper = 12.6;

class ItemCapability : public ::testing::Test {
protected:
    void SetUp() override {
        folder = station_test::fresh_folder("item-figures");
        path = (folder / "station.sqlite").string();
    }
    void TearDown() override { fs::remove_all(folder); }

    // One test of one item, at the next second.
    void add(HistoryStore& store, const std::string& cell, double value,
             const std::string& project = "PSU", Verdict verdict = Verdict::ok) {
        TestRecord r;
        r.cell = cell;
        r.project = project;
        r.serial = "SN" + std::to_string(++serial);
        r.begin_ms = 1'765'000'000'000 + serial * 1000;
        r.end_ms = r.begin_ms + 500;
        r.items.push_back({"Output", value, kLower, kUpper, "V", within_limits(value, kLower, kUpper)});
        r.items.push_back({"Other", 1, 0, 2, "V", true});
        conclude(r);
        if (verdict != Verdict::ok) r.verdict = verdict;
        store.append(r);
    }

    fs::path folder;
    std::string path;
    int serial = 0;
};

struct Expected {
    double mean = 0, sigma = 0;
};

Expected expected(const std::vector<double>& values) {
    Expected e;
    for (double v : values) e.mean += v;
    e.mean /= double(values.size());
    double squares = 0;
    for (double v : values) squares += (v - e.mean) * (v - e.mean);
    e.sigma = std::sqrt(squares / double(values.size() - 1));
    return e;
}

const ItemKey kOutput{"PSU", "Output", "V"};
const ItemLimits kLimits = ItemLimits::of(kLower, kUpper);

}  // namespace

TEST_F(ItemCapability, FiguresHistogramAndTrendOfTheFilteredTestsMatchTheirValues) {
    std::mt19937 random(23);
    std::normal_distribution<double> cell1(12.1, 0.12), cell2(11.9, 0.05);
    std::vector<double> all, only_cell1, serials_sn1, in_hour;
    const std::int64_t from = 1'765'000'000'000 + 100'000, to = from + 3'600'000;
    {
        HistoryStore store(path);
        for (int i = 0; i < 400; ++i) {
            const bool first = i % 3 != 0;
            const double v = first ? cell1(random) : cell2(random);
            add(store, first ? "Cell 1" : "Cell 2", v);
            all.push_back(v);
            if (first) only_cell1.push_back(v);
            // add() named it "SN<serial>" and began it at serial seconds.
            if (std::to_string(serial).rfind("1", 0) == 0) serials_sn1.push_back(v);
            const std::int64_t begin = 1'765'000'000'000 + serial * 1000;
            if (begin >= from && begin < to) in_hour.push_back(v);
        }
        // Neither an Error test's reading nor another project's counts.
        add(store, "Cell 1", 100, "PSU", Verdict::error);
        add(store, "Cell 1", -100, "Amplifier");
    }
    HistoryStore store(path);
    const ItemFigures figures(store);
    HistoryFilter by_serial{"", "PSU"}, by_time{"", "PSU"};
    by_serial.serial = "sn1";  // either case, as the search takes it
    by_time.from_ms = from;
    by_time.to_ms = to;
    for (const auto& [filter, values] :
         {std::pair{HistoryFilter{"", "PSU"}, all}, std::pair{HistoryFilter{"", {}}, all},
          std::pair{HistoryFilter{"Cell 1", "PSU"}, only_cell1}, std::pair{by_serial, serials_sn1},
          std::pair{by_time, in_hour}}) {
        SCOPED_TRACE("cell '" + filter.cell + "' serial '" + filter.serial + "'");
        const Expected e = expected(values);
        const Capability c = figures.capability(kOutput, filter, kLimits);
        EXPECT_EQ(c.readings, std::int64_t(values.size()));
        EXPECT_EQ(c.values, std::int64_t(values.size()));
        ASSERT_TRUE(c.mean.value && c.sigma.value && c.cp.value && c.cpk.value);
        EXPECT_NEAR(*c.mean.value, e.mean, 1e-12);
        EXPECT_NEAR(*c.sigma.value, e.sigma, 1e-12);
        EXPECT_NEAR(*c.cp.value, (kUpper - kLower) / (6 * e.sigma), 1e-9);
        EXPECT_NEAR(*c.cpk.value, std::min(kUpper - e.mean, e.mean - kLower) / (3 * e.sigma), 1e-9);
        EXPECT_EQ(c.minimum, *std::min_element(values.begin(), values.end()));
        EXPECT_EQ(c.maximum, *std::max_element(values.begin(), values.end()));

        const int bins = ItemFigures::bins_for(c.values);
        EXPECT_EQ(bins, int(std::ceil(std::sqrt(double(values.size())))));
        const Histogram h = figures.histogram(kOutput, filter, c.minimum, c.maximum, bins);
        ASSERT_EQ(h.counts.size(), std::size_t(bins));
        EXPECT_EQ(h.total(), c.values);
        std::vector<std::int64_t> counted(std::size_t(bins), 0);
        for (double v : values)
            ++counted[std::size_t(std::min(int((v - h.first) / h.width), bins - 1))];
        EXPECT_EQ(h.counts, counted);

        // As the viewer asks: one pass for a filtered cell, bins over the item's range.
        const ItemFigures::Picture p = figures.picture(kOutput, filter, kLimits);
        EXPECT_EQ(p.capability.values, c.values);
        EXPECT_NEAR(*p.capability.mean.value, e.mean, 1e-12);
        EXPECT_NEAR(*p.capability.sigma.value, e.sigma, 1e-12);
        EXPECT_NEAR(*p.capability.cpk.value, *c.cpk.value, 1e-9);
        EXPECT_EQ(p.histogram.total(), c.values);
        std::vector<std::int64_t> binned(p.histogram.counts.size(), 0);
        for (double v : values)
            ++binned[std::size_t(std::min(int((v - p.histogram.first) / p.histogram.width),
                                          int(binned.size()) - 1))];
        EXPECT_EQ(p.histogram.counts, binned);
        EXPECT_LE(p.histogram.first, c.minimum);

        const std::vector<TrendPoint> trend = figures.trend(kOutput, filter, 50);
        ASSERT_EQ(trend.size(), std::min<std::size_t>(50, values.size()));
        for (std::size_t i = 0; i < trend.size(); ++i)
            EXPECT_EQ(trend[i].value, values[values.size() - trend.size() + i]) << i;
        EXPECT_TRUE(std::is_sorted(trend.begin(), trend.end(), [](auto& a, auto& b) {
            return a.begin_ms < b.begin_ms;
        }));
    }
    // A cell with no readings of the item, and another project's filter.
    for (const HistoryFilter& none : {HistoryFilter{"Cell 9", {}}, HistoryFilter{"", "Amplifier"}}) {
        const Capability c = figures.capability(kOutput, none, kLimits);
        EXPECT_EQ(c.readings, 0);
        EXPECT_EQ(figure_text(c.mean), "\u2014");
        EXPECT_EQ(c.cpk.why_not, "no readings");
        EXPECT_EQ(figures.histogram(kOutput, none, 0, 1, 4).total(), 0);
        EXPECT_EQ(figures.picture(kOutput, none, kLimits).capability.cpk.why_not, "no readings");
        EXPECT_TRUE(figures.trend(kOutput, none, 10).empty());
    }
}

TEST_F(ItemCapability, FiguresThatCannotBeSayWhyInsteadOfInfinityOrNaN) {
    HistoryStore store(path);
    const ItemFigures figures(store);
    const HistoryFilter cell1{"Cell 1", "PSU"}, cell2{"Cell 2", "PSU"}, cell3{"Cell 3", "PSU"};
    add(store, "Cell 1", 12.0);  // one value: no sigma
    for (int i = 0; i < 5; ++i) add(store, "Cell 2", 12.25);  // no spread
    add(store, "Cell 3", INFINITY);  // a reading that is no number
    add(store, "Cell 3", INFINITY);

    Capability c = figures.capability(kOutput, cell1, kLimits);
    EXPECT_EQ(figure_text(c.mean, 6), "12");
    EXPECT_EQ(c.sigma.why_not, "needs 2 values");
    EXPECT_EQ(figure_text(c.cpk), "\u2014");

    c = figures.capability(kOutput, cell2, kLimits);
    EXPECT_EQ(*c.sigma.value, 0.0);
    EXPECT_EQ(c.cp.why_not, "no spread (sigma 0)");
    EXPECT_EQ(c.cpk.why_not, "no spread (sigma 0)");
    // Equal values fill one bin.
    const Histogram h = figures.histogram(kOutput, cell2, c.minimum, c.maximum, 7);
    EXPECT_EQ(h.counts, std::vector<std::int64_t>{5});

    c = figures.capability(kOutput, cell3, kLimits);
    EXPECT_EQ(c.readings, 2);
    EXPECT_EQ(c.values, 0);
    EXPECT_EQ(c.mean.why_not, "no numeric values");
    EXPECT_TRUE(figures.trend(kOutput, cell3, 10).empty());

    // One-sided limits: Cpk from the one there is, Cp needs both.
    const double m = 12, s = 0.1;
    c = capability(10, 10, 11.8, 12.2, m, s, ItemLimits::of(-INFINITY, 12.6));
    EXPECT_EQ(c.cp.why_not, "needs both limits");
    EXPECT_NEAR(*c.cpk.value, 0.6 / 0.3, 1e-12);
    c = capability(10, 10, 11.8, 12.2, m, s, ItemLimits::of(11.4, NAN));
    EXPECT_NEAR(*c.cpk.value, 0.6 / 0.3, 1e-12);
    c = capability(10, 10, 11.8, 12.2, m, s, ItemLimits::of(NAN, INFINITY));
    EXPECT_EQ(c.cp.why_not, "no limits");
    EXPECT_EQ(c.cpk.why_not, "no limits");
    c = capability(10, 10, 11.8, 12.2, m, s, ItemLimits::of(13, 12));
    EXPECT_EQ(c.cpk.why_not, "lower limit above upper");
    // A mean off the limits gives a negative Cpk, not a clamp.
    c = capability(10, 10, 12.7, 12.9, 12.8, s, kLimits);
    EXPECT_NEAR(*c.cpk.value, -0.2 / 0.3, 1e-12);
    // Values that add up past the largest double.
    c = capability(2, 2, 1e308, 1.7e308, INFINITY, INFINITY, kLimits);
    EXPECT_EQ(c.mean.why_not, "values too large to add up");
    for (const Figure& f : {c.mean, c.sigma, c.cp, c.cpk}) EXPECT_EQ(figure_text(f), "\u2014");
}

TEST_F(ItemCapability, FileOfTheSchemaBeforeGetsTheIndexTheFiguresNeed) {
    {
        HistoryStore store(path);
        add(store, "Cell 1", 12.0);
        add(store, "Cell 1", 12.2);
        // What a station of schema 3 left behind.
        ASSERT_EQ(sqlite3_exec(store.handle(),
                               "DROP INDEX items_by_key_test; PRAGMA user_version = 3;", nullptr,
                               nullptr, nullptr),
                  SQLITE_OK);
    }
    EXPECT_THROW(HistoryStore(path, HistoryStore::Mode::read_only), HistoryStoreError);
    HistoryStore store(path);
    const Capability c = ItemFigures(store).capability(kOutput, {"Cell 1", "PSU"}, kLimits);
    ASSERT_TRUE(c.mean.value);
    EXPECT_NEAR(*c.mean.value, 12.1, 1e-12);
    EXPECT_EQ(store.integrity_check(), "ok");
}
