// SPDX-License-Identifier: MIT
#include "logic/statistics.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "logic/text.h"

namespace station {

namespace {

ItemStatistics item_statistics_where(
    const std::vector<TestRecord>& records,
    const std::function<bool(const TestRecord&, const ItemResult&)>& counts) {
    ItemStatistics s;
    std::vector<double> values;
    for (const TestRecord& record : records)
        if (record.verdict != Verdict::error)
            for (const ItemResult& result : record.items)
                if (counts(record, result)) {
                    values.push_back(result.value);
                    ++(result.ok ? s.ok : s.ng);
                }
    s.count = values.size();
    if (values.empty()) return s;

    std::sort(values.begin(), values.end());
    s.minimum = values.front();
    s.maximum = values.back();
    double sum = 0;
    for (double v : values) sum += v;
    s.average = sum / double(values.size());
    const std::size_t half = values.size() / 2;
    s.median = values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
    if (values.size() > 1) {
        double squares = 0;
        for (double v : values) squares += (v - s.average) * (v - s.average);
        s.variance = squares / double(values.size() - 1);
    }
    s.std_deviation = std::sqrt(s.variance);
    return s;
}

}  // namespace

ItemStatistics item_statistics(const std::vector<TestRecord>& records, const std::string& item) {
    return item_statistics_where(
        records, [&](const TestRecord&, const ItemResult& result) { return result.name == item; });
}

ItemStatistics item_statistics(const std::vector<TestRecord>& records, const std::string& project,
                               const std::string& item, const std::string& unit) {
    return item_statistics_where(records, [&](const TestRecord& record, const ItemResult& result) {
        return record.project == project && result.name == item && result.unit == unit;
    });
}

TotalStatistics total_statistics(const std::vector<TestRecord>& records) {
    TotalStatistics s;
    std::int64_t sum = 0;
    bool first = true;
    for (const TestRecord& record : records) {
        if (record.verdict == Verdict::aborted || record.verdict == Verdict::error) {
            ++(record.verdict == Verdict::aborted ? s.aborted : s.error);
            continue;
        }
        ++(record.verdict == Verdict::ok ? s.ok : s.ng);
        const std::int64_t duration = record.duration_ms();
        sum += duration;
        s.longest_ms = first ? duration : std::max(s.longest_ms, duration);
        s.shortest_ms = first ? duration : std::min(s.shortest_ms, duration);
        first = false;
    }
    const std::size_t tests = s.ok + s.ng;
    if (tests > 0) s.average_ms = sum / std::int64_t(tests);
    return s;
}

void Counters::count(Verdict verdict) {
    if (verdict == Verdict::ok) ++ok;
    if (verdict == Verdict::ng) ++ng;
}

std::string Counters::yield() const { return format_percent(ok, ok + ng); }

}  // namespace station
