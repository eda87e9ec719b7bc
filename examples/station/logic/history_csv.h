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

#include <fstream>
#include <functional>
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

// Reads test by test, calling each for every test as soon as its items are
// read, and progress(bytes read, bytes in all) now and then.
void read_history_csv_each(const std::string& text,
                           const std::function<void(const TestRecord&)>& each,
                           const std::function<void(std::size_t, std::size_t)>& progress = {});

// Writes a history file test by test, through a temporary file that replaces
// path only on commit(), so a failed export leaves no half-written file.
class HistoryCsvWriter {
public:
    explicit HistoryCsvWriter(const std::string& path);
    ~HistoryCsvWriter();
    void write(const TestRecord& record);
    void commit();

private:
    void flush();
    std::string path_;
    std::string temporary_;
    std::ofstream out_;
    std::string buffer_;
};

void write_history_csv(const std::string& path, const std::vector<TestRecord>& records);
std::vector<TestRecord> read_history_csv(const std::string& path);

}  // namespace station
