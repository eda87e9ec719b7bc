// SPDX-License-Identifier: MIT
#include "logic/scan_flow.h"

namespace station {

std::optional<std::size_t> ScanFlow::after_start(const std::vector<bool>& busy,
                                                 std::size_t started) const {
    if (!next_cell_ || busy.empty()) return std::nullopt;
    // Round the station from the started cell: the scanner's order is the cells'.
    for (std::size_t step = 1; step < busy.size(); ++step) {
        const std::size_t cell = (started + step) % busy.size();
        if (!busy[cell]) return cell;
    }
    return std::nullopt;
}

std::optional<std::size_t> ScanFlow::after_start_all(const std::vector<bool>& busy) const {
    for (std::size_t cell = 0; cell < busy.size(); ++cell)
        if (!busy[cell]) return cell;
    return std::nullopt;
}

bool ScanFlow::takes_keyboard_after_verdict(const std::vector<bool>& busy, std::size_t shown,
                                            std::optional<std::size_t> focused) const {
    // A scanner per cell: each scan goes back to its own cell.
    if (!next_cell_) return true;
    // One scanner: a field that can take the next scan keeps the keyboard.
    if (focused && *focused != shown && *focused < busy.size() && !busy[*focused]) return false;
    return true;
}

}  // namespace station
