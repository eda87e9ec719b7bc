// SPDX-License-Identifier: MIT
#pragma once

// Where the operator's next scan lands: which cell's serial number field has
// the keyboard after a start, a Start All and a verdict. Cells are given in
// the station's order as busy flags (testing, or the ended test not yet
// shown); an idle cell is one that takes a serial number.

#include <cstddef>
#include <optional>
#include <vector>

namespace station {

class ScanFlow {
public:
    // next_cell: one scanner for many cells; each scan that starts a cell
    // moves the keyboard on to the next idle cell.
    explicit ScanFlow(bool next_cell = false) : next_cell_(next_cell) {}
    bool next_cell() const { return next_cell_; }
    void set_next_cell(bool on) { next_cell_ = on; }

    // After the operator started a test in cell `started`: the cell whose
    // field takes the keyboard, or nothing when it stays where it is.
    std::optional<std::size_t> after_start(const std::vector<bool>& busy,
                                           std::size_t started) const;
    // After Start All: the first cell still waiting for a serial number.
    std::optional<std::size_t> after_start_all(const std::vector<bool>& busy) const;
    // Whether cell `shown`, whose verdict just showed, takes the keyboard.
    // focused: the cell whose serial number field has it, if any.
    bool takes_keyboard_after_verdict(const std::vector<bool>& busy, std::size_t shown,
                                      std::optional<std::size_t> focused) const;

private:
    bool next_cell_;
};

}  // namespace station
