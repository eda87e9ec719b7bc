// SPDX-License-Identifier: MIT
#pragma once

// What one test of one unit leaves behind.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace station {

enum class Verdict { ok, ng, aborted };

const char* verdict_text(Verdict verdict);  // "OK", "NG", "Aborted"
std::optional<Verdict> parse_verdict(const std::string& text);

struct ItemResult {
    std::string name;
    double value = 0;
    double lower = 0;
    double upper = 0;
    std::string unit;
    bool ok = false;
};

struct TestRecord {
    std::string cell;
    std::string serial;
    std::int64_t begin_ms = 0;  // UTC, milliseconds since the epoch
    std::int64_t end_ms = 0;
    Verdict verdict = Verdict::aborted;
    std::string description;
    std::vector<ItemResult> items;

    std::int64_t duration_ms() const { return end_ms - begin_ms; }
};

bool within_limits(double value, double lower, double upper);

// OK when every item passed, NG otherwise; the description names the failed items.
void conclude(TestRecord& record);

}  // namespace station
