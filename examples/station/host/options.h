// SPDX-License-Identifier: MIT
#pragma once

// How the station was asked to run (its command line).

#include <cstdint>
#include <string>

namespace station {

struct Options {
    int cells = 4;
    std::uint64_t seed = 0;  // 0: a fresh seed from the clock
    std::string project;     // opens the station directly, skipping the launcher
    std::string projects_folder;
    int ticker_fault_after = 0;  // 0: the ticker never fails
    int item_ms = 400;           // time per measured item
    int ticker_ms = 1000;
    std::string screenshots;  // folder for a scripted screenshot session
    std::string database;     // SQLite file or postgresql:// address; empty: the default file
    std::string station;      // this station's name on a line; empty: the host name
    bool viewer_only = false;
    int repeat = 0;  // tests per cell run one after another, then the station closes
    bool verbose = false;
    std::string language;  // --lang; empty: the user's locale
    // One scanner for all cells: a scan that starts a cell moves the keyboard
    // on to the next idle cell (a setting).
    bool next_cell_after_scan = false;
    // Settings the command line gave: they win over the remembered ones.
    struct {
        bool cells = false;
        bool item_ms = false;
    } given;
    int instrument_reply_ms = 3000;  // an instrument slower than this has failed
    // The simulator run for instruments without an address; empty: the one
    // next to the station's executable.
    std::string instrument_simulator;
};

inline constexpr int kMaxCells = 16;
inline constexpr int kLogDaysDefault = 30;

}  // namespace station
