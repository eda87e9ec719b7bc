// SPDX-License-Identifier: MIT
#pragma once

// Upper bounds on how long something may take, stretched by the factor in
// ATSUI_TEST_TIME_SCALE. The sanitizer presets set it: ThreadSanitizer
// slows every thread several times over, and those runs check races and
// memory, not speed.

#include <cstdlib>

inline int time_scale() {
    const char* text = std::getenv("ATSUI_TEST_TIME_SCALE");
    const int scale = text ? std::atoi(text) : 1;
    return scale >= 1 ? scale : 1;
}
