// SPDX-License-Identifier: MIT
#pragma once

// A test project: the items a station measures, each with its limits and unit.
//
// File format (UTF-8 text, one entry per line):
//
//     # a comment; blank lines are ignored
//     title: Power supply board PSU-12
//     Output voltage ; 11.4 ; 12.6 ; V
//     Ripple         ; 0    ; 0.05 ; V
//
// An item line is "name ; lower ; upper ; unit", the unit may be left out.
// Limits are plain decimal numbers with lower <= upper; names are unique.
//
// An item measured by an instrument names it and the SCPI query that reads
// the value, and the instrument has its own line:
//
//     instrument psu1 = 192.168.0.20:5025
//     instrument dmm1 = sim
//     Output voltage ; 11.4 ; 12.6 ; V ; psu1 ; MEAS:VOLT:DC? (@1)
//
// "HOST" alone means port 5025. "sim", or no address at all, is the
// instrument simulator the station starts itself. Items without an
// instrument are simulated inside the station.
//
// A project is UTF-8 text without NUL, at most kMaxProjectBytes long, with
// at most kMaxItems items; names, units and the other fields are bounded
// too (record.h and below). Anything else is refused naming the line.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "logic/record.h"

namespace station {

struct TestItem {
    std::string name;
    double lower = 0;
    double upper = 0;
    std::string unit;
    std::string instrument;  // empty: simulated inside the station
    std::string query;       // answers one reading
};

struct InstrumentEntry {
    std::string name;
    std::string address;  // "HOST:PORT"; empty: the station's own simulator
};

struct Project {
    std::string title;
    // project_hash() of the text the project was read from, or would be
    // saved as; every record it tests carries it.
    std::string hash;
    std::vector<TestItem> items;
    std::vector<InstrumentEntry> instruments;

    const InstrumentEntry* instrument(const std::string& name) const;
    // Some instrument has no address: the station must start its simulator.
    bool needs_station_simulator() const;
};

// A project that cannot be read; what() names the file or line and the fault.
class ProjectError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr std::size_t kMaxProjectBytes = 1 << 20;
inline constexpr std::size_t kMaxInstrumentNameLength = 64;
inline constexpr std::size_t kMaxQueryLength = 256;
inline constexpr std::size_t kMaxAddressLength = 255;

// "sha256:" and the SHA-256 of text in hex.
std::string project_hash(std::string_view text);

Project parse_project(const std::string& text);
std::string format_project(const Project& project);

// The title defaults to the file's name without its extension.
Project load_project(const std::string& path);
// Replaces the file only once the new text is completely written.
void save_project(const std::string& path, const Project& project);

inline constexpr const char* kProjectExtension = ".atp";

// Project files directly in folder, sorted by file name; empty when the
// folder cannot be read.
std::vector<std::string> find_projects(const std::string& folder);

}  // namespace station
