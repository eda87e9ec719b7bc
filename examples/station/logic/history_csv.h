// SPDX-License-Identifier: MIT
#pragma once

// The whole test history as CSV (RFC 4180, UTF-8). One "test" row per test,
// followed by one "item" row per measured item, and one "end" row last:
//
//     kind,cell,serial_number,begin,end,result,description,item,value,lower,upper,unit,
//         item_result,count,project,project_hash,station,software
//     test,Cell 1,SN0001,2026-12-08T14:00:00.000Z,2026-12-08T14:00:02.500Z,OK,...,2,PSU-12,...
//     item,,,,,,,Output voltage,12.03,11.4,12.6,V,OK,,,,,
//     end,,,,,,,,,,,,,1,,,,
//
// count is the number of items on a test row and the number of tests on the
// end row, so that a file cut short at a row boundary is refused rather than
// read as fewer tests or fewer items.
//
// A text field that a spreadsheet would run as a formula (it begins with
// = + - @, a tab or a carriage return) is written with a ' before it, and so
// is one that begins with ' itself; reading takes one leading ' away, so the
// text comes back as it was.
//
// Numbers are written in their shortest exact form and times in UTC to the
// millisecond, so reading a written file gives back the same history. Files
// of older stations (the first 13 columns, no end row, text as it was) read
// as before.

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
// Throws HistoryFileError naming the line (and the field) of the first fault:
// text that is not UTF-8, holds NUL or is longer than its bound (record.h)
// is refused, as is a test whose items do not match its count or result.
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
    std::size_t tests_ = 0;
};

void write_history_csv(const std::string& path, const std::vector<TestRecord>& records);
std::vector<TestRecord> read_history_csv(const std::string& path);

}  // namespace station
