// SPDX-License-Identifier: MIT
#pragma once

// What the viewer draws of one item: its capability figures, a histogram and
// a trend, over the tests the viewer's filter shows. SQLite aggregates them
// where the readings are: no reading is copied out for the figures or the
// histogram, and the trend reads a bounded number of the newest tests.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "logic/history_store.h"

namespace station {

// An item as the store keeps its figures: by project, name and unit.
struct ItemKey {
    std::string project, name, unit;
};

// A limit that is not a finite number is no limit (one-sided items).
struct ItemLimits {
    std::optional<double> lower, upper;
    static ItemLimits of(double lower, double upper);
};

// A figure, or why there is none.
struct Figure {
    std::optional<double> value;
    std::string why_not;  // empty when there is a value
    static Figure none(std::string why) { return {std::nullopt, std::move(why)}; }
};

struct Capability {
    std::int64_t readings = 0;  // the item's readings in the filtered tests
    std::int64_t values = 0;    // those that are finite numbers
    double minimum = 0, maximum = 0;  // over values, when values > 0
    Figure mean, sigma, cp, cpk;      // sigma: sample standard deviation (n - 1)
};

// Cp and Cpk from mean, sigma and the limits; the others as given.
// Cp needs both limits; Cpk takes the nearer of those there are.
Capability capability(std::int64_t readings, std::int64_t values, double minimum,
                      double maximum, double mean, double sigma, const ItemLimits& limits);

// "1.234" for a value, the dash for none; the reason goes beside it.
std::string figure_text(const Figure& figure, int digits = 4);

struct Histogram {
    double first = 0;  // left edge of bin 0
    double width = 0;  // of every bin; 0 when all values are equal (one bin)
    std::vector<std::int64_t> counts;
    std::int64_t total() const;
};

struct TrendPoint {
    std::int64_t begin_ms = 0;
    double value = 0;
    bool ok = false;
};

class ItemFigures {
public:
    // Gives the store's connection the aggregate the histogram counts with.
    explicit ItemFigures(const HistoryStore& store);

    // Over the item's readings in the tests filter shows; tests that ended
    // in Error leave theirs out, as in every other figure. Throws
    // HistoryStoreError.
    Capability capability(const ItemKey& key, const HistoryFilter& filter,
                          const ItemLimits& limits) const;
    // The finite values between minimum and maximum in bins of equal width
    // (a capability()'s range); the counts add up to its values.
    Histogram histogram(const ItemKey& key, const HistoryFilter& filter, double minimum,
                        double maximum, int bins) const;
    // Both at once, as the viewer shows them: with a filter on the tests,
    // one pass over the readings gives the figures and the bins (an
    // aggregate of this module's, no sorting), which then span the item's
    // whole range (every cell alike).
    struct Picture {
        Capability capability;
        Histogram histogram;
    };
    Picture picture(const ItemKey& key, const HistoryFilter& filter,
                    const ItemLimits& limits) const;
    // The newest tests' readings, at most tests of them, oldest first.
    std::vector<TrendPoint> trend(const ItemKey& key, const HistoryFilter& filter,
                                  int tests) const;

    // Bins for n values: about the square root of n, at most kMaxBins.
    static int bins_for(std::int64_t values);
    static constexpr int kMaxBins = 40;

private:
    struct Key {
        std::int64_t id = 0;
        double centre = 0;  // the item's running mean, to keep the sums small
        // The running figures over every test of the project, when finite.
        std::int64_t count = 0;
        double sum = 0, squares = 0, minimum = 0, maximum = 0;
        bool finite = false;
    };
    std::optional<Key> find(const ItemKey& key, const HistoryFilter& filter) const;

    const HistoryStore& store_;
};

}  // namespace station
