// SPDX-License-Identifier: MIT
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>
#include <wx/wfstream.h>
#include <wx/zipstrm.h>
#include <wx/sstream.h>

#include "logic/history_csv.h"
#include "logic/text.h"
#include "logic/workbook.h"

using namespace station;
namespace fs = std::filesystem;

namespace {

TestRecord make_test(const std::string& cell, const std::string& serial, std::int64_t begin,
                     std::vector<ItemResult> items) {
    TestRecord r;
    r.cell = cell;
    r.serial = serial;
    r.begin_ms = begin;
    r.end_ms = begin + 2345;
    r.items = std::move(items);
    conclude(r);
    return r;
}

ItemResult item(const std::string& name, double value, double lower, double upper,
                const std::string& unit = "V") {
    return {name, value, lower, upper, unit, within_limits(value, lower, upper)};
}

// Every field, so a lossy round trip cannot hide.
void expect_same(const std::vector<TestRecord>& a, const std::vector<TestRecord>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t t = 0; t < a.size(); ++t) {
        SCOPED_TRACE("test " + std::to_string(t));
        EXPECT_EQ(a[t].cell, b[t].cell);
        EXPECT_EQ(a[t].serial, b[t].serial);
        EXPECT_EQ(a[t].begin_ms, b[t].begin_ms);
        EXPECT_EQ(a[t].end_ms, b[t].end_ms);
        EXPECT_EQ(a[t].verdict, b[t].verdict);
        EXPECT_EQ(a[t].description, b[t].description);
        ASSERT_EQ(a[t].items.size(), b[t].items.size());
        for (std::size_t i = 0; i < a[t].items.size(); ++i) {
            EXPECT_EQ(a[t].items[i].name, b[t].items[i].name);
            EXPECT_EQ(a[t].items[i].value, b[t].items[i].value);
            EXPECT_EQ(a[t].items[i].lower, b[t].items[i].lower);
            EXPECT_EQ(a[t].items[i].upper, b[t].items[i].upper);
            EXPECT_EQ(a[t].items[i].unit, b[t].items[i].unit);
            EXPECT_EQ(a[t].items[i].ok, b[t].items[i].ok);
        }
    }
}

fs::path temp_file(const std::string& name) {
    return fs::temp_directory_path() / ("station-" + std::to_string(::getpid()) + "-" + name);
}

std::vector<TestRecord> awkward_history() {
    std::vector<TestRecord> h;
    h.push_back(make_test("Cell 1", "SN,with \"quotes\"", 1765200000123,
                          {item("Output, 12 V", 12.03, 11.4, 12.6), item("Ripple", 0.1, 0, 0.12)}));
    h.push_back(make_test(
        "Cell 2", "\xE5\x8D\x95\xE5\x85\x83-7", 1765200001999,
        {item("Offset", -0.30000000000000004, -0.3, 0.3, "K"), item("Tiny", 1e-300, 0, 1, "")}));
    TestRecord aborted;
    aborted.cell = "Cell 1";
    aborted.serial = "=1+1";
    aborted.begin_ms = 1765200009000;
    aborted.end_ms = 1765200009000;
    aborted.verdict = Verdict::aborted;
    aborted.description = "line one\nline two\r\nand a trailing comma,";
    h.push_back(aborted);
    // A quote with no comma beside it: inches, and a serial that holds one.
    h.push_back(make_test("Cell 2", "RACK-19\"-4", 1765200010500,
                          {item("Lid gap", 0.25, 0.2, 0.3, "\""), item("Skew", 1, 0, 2, "'")}));
    return h;
}

}  // namespace

TEST(HistoryCsv, RoundTripLosesNothing) {
    const auto history = awkward_history();
    ASSERT_EQ(history[0].verdict, Verdict::ok);
    ASSERT_EQ(history[1].verdict, Verdict::ng);
    expect_same(history, history_from_csv(history_to_csv(history)));
    expect_same({}, history_from_csv(history_to_csv({})));

    const fs::path file = temp_file("history-roundtrip.csv");
    write_history_csv(file.string(), history);
    expect_same(history, read_history_csv(file.string()));
    fs::remove(file);
}

TEST(HistoryCsv, BadFilesAreRefusedNamingTheLine) {
    const std::string good = history_to_csv(awkward_history());
    const std::string header = good.substr(0, good.find("\r\n") + 2);
    const std::string test_row =
        "test,Cell 1,SN1,2026-12-08T14:00:00.000Z,2026-12-08T14:00:01.000Z,OK,d,,,,,,\r\n";
    const struct {
        std::string text;
        const char* expected;
    } cases[] = {
        {"", "empty"},
        {"a,b,c\r\n", "line 1: this is not a station history file"},
        {header + "test,Cell 1,SN1\r\n", "line 2: expected 13 fields"},
        {header + "item,,,,,,,v,1,0,2,V,OK\r\n", "line 2: an item row comes before"},
        {header + "row,,,,,,,,,,,,\r\n", "line 2: unknown row kind"},
        {header + "test,Cell 1,SN1,yesterday,2026-12-08T14:00:01.000Z,OK,d,,,,,,\r\n",
         "line 2: a time"},
        {header +
             "test,Cell 1,SN1,2026-02-31T14:00:00.000Z,2026-12-08T14:00:01.000Z,OK,d,,,,,,\r\n",
         "line 2: a time"},
        {header +
             "test,Cell 1,SN1,2026-12-08T14:00:02.000Z,2026-12-08T14:00:01.000Z,OK,d,,,,,,\r\n",
         "line 2: the test ends before"},
        {header +
             "test,Cell 1,SN1,2026-12-08T14:00:00.000Z,2026-12-08T14:00:01.000Z,PASS,d,,,,,,\r\n",
         "line 2: result \"PASS\""},
        {header + "test,,SN1,2026-12-08T14:00:00.000Z,2026-12-08T14:00:01.000Z,OK,d,,,,,,\r\n",
         "line 2: the test has no cell"},
        {header + test_row + "item,,,,,,,v,abc,0,2,V,OK\r\n", "line 3: value or limits"},
        {header + test_row + "item,,,,,,,v,1,3,2,V,OK\r\n", "line 3: lower limit is above"},
        {header + test_row + "item,,,,,,,v,5,0,2,V,OK\r\n",
         "line 3: the item result does not match"},
        {header + test_row + "item,,,,,,,v,1,0,2,V,maybe\r\n", "line 3: item result is not"},
        {header + test_row + "item,,,,,,,v,5,0,2,V,NG\r\n",
         "line 3: the result of the test before"},
        {header + test_row + "item,,,,,,,\"v,1,0,2,V,OK\r\n",
         "line 3: a quoted field is not closed"},
        {header + test_row + "item,,,,,,,v\"x,1,0,2,V,OK\r\n", "line 3: a quote inside"},
    };
    for (const auto& c : cases) {
        try {
            history_from_csv(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const HistoryFileError& error) {
            EXPECT_NE(std::string(error.what()).find(c.expected), std::string::npos)
                << "for " << c.text << "\ngot: " << error.what();
        }
    }
    EXPECT_THROW(read_history_csv("/nonexistent/history.csv"), HistoryFileError);
}

TEST(HistoryCsv, FailedWriteKeepsTheOldFile) {
    const fs::path file = temp_file("history-keep.csv");
    write_history_csv(file.string(), awkward_history());
    fs::create_directory(file.string() + ".part");
    EXPECT_THROW(write_history_csv(file.string(), {}), std::runtime_error);
    EXPECT_EQ(read_history_csv(file.string()).size(), awkward_history().size());
    fs::remove(file.string() + ".part");
    fs::remove(file);
}

TEST(Times, UtcTextIsExactAndStrict) {
    for (std::int64_t ms :
         {std::int64_t(0), std::int64_t(1765200000123), std::int64_t(951782400999)})
        EXPECT_EQ(parse_utc(format_utc(ms)), ms) << format_utc(ms);
    EXPECT_EQ(format_utc(0), "1970-01-01T00:00:00.000Z");
    EXPECT_FALSE(parse_utc("2026-12-08 14:00:00.000Z"));
    EXPECT_FALSE(parse_utc("2026-13-08T14:00:00.000Z"));
    EXPECT_FALSE(parse_utc("2026-12-08T14:00:00.00xZ"));
    EXPECT_EQ(format_duration(3723999), "01:02:03");
    EXPECT_EQ(format_duration(-5), "00:00:00");
}

// Files carry UTC whatever zone the station runs in: a daylight saving gap
// or a half-hour shift must not move a test's time.
TEST(Times, UtcTextIsTheSameInEveryTimeZone) {
    const char* saved = std::getenv("TZ");
    const std::string before = saved ? saved : "";
    // Around Europe's spring and autumn changes of 2026, every quarter hour.
    const std::int64_t spring = std::int64_t(1774746000) * 1000, autumn = 1792890000LL * 1000;
    for (const char* zone : {"UTC", "Europe/Berlin", "America/New_York", "Australia/Lord_Howe"}) {
        ::setenv("TZ", zone, 1);
        ::tzset();
        for (std::int64_t base : {spring, autumn, std::int64_t(1775365200) * 1000})
            for (std::int64_t ms = base - 3 * 3600000; ms <= base + 3 * 3600000; ms += 900000)
                EXPECT_EQ(parse_utc(format_utc(ms + 7)), ms + 7) << zone << " " << format_utc(ms);
    }
    EXPECT_EQ(format_utc(1774746000000 - 1), "2026-03-29T00:59:59.999Z");
    if (saved)
        ::setenv("TZ", before.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

namespace {

std::string zip_entry(const std::string& path, const std::string& name) {
    wxFFileInputStream file(path);
    wxZipInputStream zip(file);
    std::unique_ptr<wxZipEntry> entry;
    while (entry.reset(zip.GetNextEntry()), entry) {
        if (entry->GetName() == name) {
            wxStringOutputStream out(nullptr, wxConvUTF8);
            zip.Read(out);
            return out.GetString().utf8_string();
        }
    }
    return {};
}

}  // namespace

TEST(Workbook, HoldsTheUnitsDataAsTextAndNumbers) {
    const TestRecord unit = awkward_history()[0];
    TestRecord formula = unit;
    formula.serial = "=HYPERLINK(\"http://x\")";
    const fs::path file = temp_file("unit.xlsx");
    write_unit_workbook(file.string(), formula);

    const std::string sheet = zip_entry(file.string(), "xl/worksheets/sheet1.xml");
    const std::string strings = zip_entry(file.string(), "xl/sharedStrings.xml");
    ASSERT_FALSE(sheet.empty());
    EXPECT_EQ(sheet.find("<f>"), std::string::npos) << "an operator's text became a formula";
    EXPECT_NE(strings.find("<t>=HYPERLINK(\"http://x\")</t>"), std::string::npos) << strings;
    for (const ItemResult& i : unit.items) EXPECT_NE(strings.find(i.name), std::string::npos);
    EXPECT_NE(strings.find(verdict_text(unit.verdict)), std::string::npos);
    EXPECT_NE(sheet.find("<v>" + format_number(unit.items[0].value) + "</v>"), std::string::npos)
        << sheet;
    fs::remove(file);

    EXPECT_THROW(write_unit_workbook("/nonexistent/folder/unit.xlsx", unit), WorkbookError);
}
