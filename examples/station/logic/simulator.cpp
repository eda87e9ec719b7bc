// SPDX-License-Identifier: MIT
#include "logic/simulator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace station {

namespace {
constexpr double kOutOfLimitsChance = 0.06;
}

double Simulator::uniform() { return double(engine_() >> 11) * 0x1.0p-53; }

double Simulator::measure(const TestItem& item) {
    const double span = item.upper - item.lower;
    const double middle = item.lower + span / 2;
    double value;
    if (uniform() < kOutOfLimitsChance) {
        const double beyond = span * (0.02 + 0.2 * uniform());
        value = uniform() < 0.5 ? item.lower - beyond : item.upper + beyond;
    } else {
        // Sum of three uniforms: bell-shaped, inside +-45 % of the span.
        const double spread = (uniform() + uniform() + uniform()) / 3 - 0.5;
        value = middle + spread * span * 0.9;
    }
    // Instruments report a fixed resolution, about a thousandth of the span.
    // Printing to that many decimals and reading back gives the double
    // nearest the decimal, which then prints without binary noise.
    const int decimals = span > 0 ? std::max(0, 3 - int(std::floor(std::log10(span)))) : 3;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return std::strtod(text, nullptr);
}

std::uint64_t Simulator::seed_for_cell(std::uint64_t station_seed, int cell_number) {
    // splitmix64 of the pair: neighbouring seeds give unrelated streams.
    std::uint64_t z = station_seed + 0x9E3779B97F4A7C15ull * std::uint64_t(cell_number + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace station
