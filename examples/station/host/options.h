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
};

inline constexpr int kMaxCells = 16;

}  // namespace station
