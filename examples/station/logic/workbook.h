// SPDX-License-Identifier: MIT
#pragma once

// The data of one unit as an Excel workbook (.xlsx), through libxlsxwriter.

#include <stdexcept>
#include <string>

#include "logic/record.h"

namespace station {

class WorkbookError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One sheet: the test's details, then a table of its items. Text is written
// as text, never as formulas, whatever an operator typed. Throws WorkbookError.
void write_unit_workbook(const std::string& path, const TestRecord& record);

}  // namespace station
