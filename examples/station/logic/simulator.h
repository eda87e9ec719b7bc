// SPDX-License-Identifier: MIT
#pragma once

// Stands in for instruments: a seeded generator gives the same readings for
// the same seed on every machine (the draw is ours, not a standard
// distribution, whose results differ between libraries).

#include <cstdint>
#include <random>

#include "logic/project.h"

namespace station {

class Simulator {
public:
    explicit Simulator(std::uint64_t seed) : engine_(seed) {}

    // Mostly near the middle of the limits; now and then outside them.
    double measure(const TestItem& item);

    // A per-cell seed, so cells stay reproducible whatever order they run in.
    static std::uint64_t seed_for_cell(std::uint64_t station_seed, int cell_number);

private:
    double uniform();  // [0, 1)
    std::mt19937_64 engine_;
};

}  // namespace station
