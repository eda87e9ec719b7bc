// SPDX-License-Identifier: MIT
#pragma once

// What one test of one unit leaves behind.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace station {

// error: the station could not test the unit (an instrument refused, a
// fault of the station's own); it says nothing of the unit, so it counts
// neither as OK nor as NG.
enum class Verdict { ok, ng, aborted, error };

const char* verdict_text(Verdict verdict);  // "OK", "NG", "Aborted", "Error"
// The verdict as the operator reads it, in the station's language; files keep verdict_text.
std::string verdict_caption(Verdict verdict);
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
    // What tested it; empty when unknown (records of older stations).
    std::string project;       // the project's name
    std::string project_hash;  // hash of the project file's content
    std::string station;       // the station's name
    std::string software;      // the station software's version

    std::int64_t duration_ms() const { return end_ms - begin_ms; }
};

// The longest texts a record may carry, in characters: what enters the
// store from a project, a cell or an import is refused beyond them, so that
// no hostile file can fill the station's memory or its windows.
inline constexpr std::size_t kMaxSerialLength = 64;
inline constexpr std::size_t kMaxCellNameLength = 64;
inline constexpr std::size_t kMaxNameLength = 200;  // item names, project titles
inline constexpr std::size_t kMaxUnitLength = 32;
inline constexpr std::size_t kMaxDescriptionLength = 2000;
inline constexpr std::size_t kMaxStationNameLength = 64;
inline constexpr std::size_t kMaxSoftwareLength = 64;
inline constexpr std::size_t kMaxHashLength = 80;  // "sha256:" and 64 hex digits
inline constexpr std::size_t kMaxItems = 10000;    // items of a project, of a test

bool within_limits(double value, double lower, double upper);

// OK when every item passed, NG otherwise; the description names the failed items.
void conclude(TestRecord& record);

}  // namespace station
