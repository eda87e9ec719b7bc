// SPDX-License-Identifier: MIT
#pragma once

// Reports on paper, as HTML of the small kind wxHtml lays out: a test's
// report and a unit's history. Every text that comes from a record is
// escaped, so that a serial or an item name never becomes markup.

#include <string>
#include <string_view>
#include <vector>

#include "logic/record.h"

namespace station {

// &, <, >, " and ' as entities.
std::string html_escape(std::string_view text);

// Station, project, serial, cell, times, verdict and every item with value,
// limits, unit and result.
std::string test_report_html(const TestRecord& test);
// Every test of one unit, each as in its report, in the order given.
std::string unit_history_html(const std::string& serial, const std::vector<TestRecord>& tests);

}  // namespace station
