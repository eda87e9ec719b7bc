// SPDX-License-Identifier: MIT
#pragma once

// The whole test history as CSV (RFC 4180, UTF-8). One "test" row per test,
// followed by one "item" row per measured item:
//
//     kind,cell,serial_number,begin,end,result,description,item,value,lower,upper,unit,item_result
//     test,Cell 1,SN0001,2026-12-08T14:00:00.000Z,2026-12-08T14:00:02.500Z,OK,...,,,,,,
//     item,,,,,,,Output voltage,12.03,11.4,12.6,V,OK
//
// Numbers are written in their shortest exact form and times in UTC to the
// millisecond, so reading a written file gives back the same history.

#include <stdexcept>
#include <string>
#include <vector>

#include "logic/record.h"

namespace station {

class HistoryFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string history_to_csv(const std::vector<TestRecord>& records);
// Throws HistoryFileError naming the line of the first fault.
std::vector<TestRecord> history_from_csv(const std::string& text);

void write_history_csv(const std::string& path, const std::vector<TestRecord>& records);
std::vector<TestRecord> read_history_csv(const std::string& path);

}  // namespace station
