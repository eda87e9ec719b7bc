// SPDX-License-Identifier: MIT
#pragma once

// Figures the station and its viewer show. Aborted and Error tests are
// history but not results: they count in neither OK nor NG nor the test
// times, and an Error test's readings count in no item's figures.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "logic/record.h"

namespace station {

struct ItemStatistics {
    std::size_t count = 0;  // when 0, the figures below mean nothing
    double maximum = 0;
    double minimum = 0;
    double average = 0;
    double median = 0;
    double variance = 0;  // sample variance (n - 1), 0 for a single value
    double std_deviation = 0;
    std::size_t ok = 0;
    std::size_t ng = 0;
};

// Over every recorded value of the named item.
ItemStatistics item_statistics(const std::vector<TestRecord>& records, const std::string& item);
// Over the values of the item of that name and unit in the project's tests.
ItemStatistics item_statistics(const std::vector<TestRecord>& records, const std::string& project,
                               const std::string& item, const std::string& unit);

struct TotalStatistics {
    std::size_t ok = 0;
    std::size_t ng = 0;
    std::size_t aborted = 0;
    std::size_t error = 0;  // the station could not test the unit
    std::int64_t longest_ms = 0;  // over OK and NG tests; 0 when there is none
    std::int64_t shortest_ms = 0;
    std::int64_t average_ms = 0;
};

TotalStatistics total_statistics(const std::vector<TestRecord>& records);

// The station's running OK/NG counters.
struct Counters {
    std::size_t ok = 0;
    std::size_t ng = 0;
    void count(Verdict verdict);
    std::string yield() const;
};

}  // namespace station
