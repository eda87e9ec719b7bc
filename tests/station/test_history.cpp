// SPDX-License-Identifier: MIT
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
        EXPECT_EQ(a[t].project, b[t].project);
        EXPECT_EQ(a[t].project_hash, b[t].project_hash);
        EXPECT_EQ(a[t].station, b[t].station);
        EXPECT_EQ(a[t].software, b[t].software);
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
    h.back().project = "PSU-12";
    h.back().project_hash = "sha256:" + std::string(64, 'a');
    h.back().station = "line-3";
    h.back().software = "1.0.0";
    // Texts a spreadsheet would run, and texts that begin like the guard.
    h.push_back(make_test("@Cell", "=HYPERLINK(\"http://x\",\"y\")", 1765200011000,
                          {item("-5 V rail", -5, -5.25, -4.75, "+V"), item("=1+1", 2, 0, 3, "@")}));
    h.back().project = "-project";
    h.back().station = "\tstation";
    h.back().software = "\r1";
    h.back().project_hash = "'";
    for (const char* serial : {"+1+1", "@SUM(1)", "-2", "\t=1", "\r=1", "'=1+1", "''", "'"})
        h.push_back(make_test("Cell 3", serial, 1765200012000 + h.size(), {item("V", 1, 0, 2)}));
    // The station could not test the unit: its readings so far need not decide.
    TestRecord error = make_test("Cell 3", "ERR-1", 1765200020000, {item("Ripple", 9, 0, 0.12)});
    error.verdict = Verdict::error;
    error.description = "=instrument psu1 refused the connection";
    h.push_back(error);
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

namespace {

// What a test must find in the message of a refused file.
void expect_refused(const std::string& text, const std::string& expected) {
    try {
        history_from_csv(text);
        ADD_FAILURE() << "accepted: " << text;
    } catch (const HistoryFileError& error) {
        EXPECT_NE(std::string(error.what()).find(expected), std::string::npos)
            << "for " << text << "\ngot: " << error.what();
    }
}

const std::string kOldHeader =
    "kind,cell,serial_number,begin,end,result,description,item,value,lower,upper,unit,"
    "item_result\r\n";

// The fields of each CSV row (RFC 4180), read apart from the station's reader.
std::vector<std::vector<std::string>> csv_rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                rows.back().back() += text[++i];
            else if (c == '"')
                quoted = false;
            else
                rows.back().back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            rows.emplace_back(1);
        } else {
            rows.back().back() += c;
        }
    }
    if (rows.back().size() == 1 && rows.back()[0].empty()) rows.pop_back();
    return rows;
}

std::string csv_text(const std::vector<std::vector<std::string>>& rows) {
    std::string out;
    for (const auto& fields : rows) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            out += i ? ",\"" : "\"";
            for (char c : fields[i]) out += c == '"' ? std::string("\"\"") : std::string(1, c);
            out += '"';
        }
        out += "\r\n";
    }
    return out;
}

}  // namespace

TEST(HistoryCsv, BadFilesAreRefusedNamingTheLine) {
    const std::string good = history_to_csv(awkward_history());
    const std::string header = good.substr(0, good.find("\r\n") + 2);
    const std::string test_row =
        "test,Cell 1,SN1,2026-12-08T14:00:00.000Z,2026-12-08T14:00:01.000Z,OK,d,,,,,,,1,,,,\r\n";
    const std::string rest = ",,,,,\r\n";  // the columns an item row leaves empty
    const std::string end = "end,,,,,,,,,,,,,1,,,,\r\n";
    const std::string time = "2026-12-08T14:00:00.000Z,2026-12-08T14:00:01.000Z";
    const struct {
        std::string text;
        const char* expected;
    } cases[] = {
        {"", "empty"},
        {"a,b,c\r\n", "line 1: this is not a station history file"},
        {header + "test,Cell 1,SN1\r\n", "line 2: expected 18 fields"},
        {header + "item,,,,,,,v,1,0,2,V,OK" + rest, "line 2: an item row comes before"},
        {header + "row,,,,,,,,,,,,,,,,,\r\n", "line 2: unknown row kind"},
        {header + "test,Cell 1,SN1,yesterday,2026-12-08T14:00:01.000Z,OK,d,,,,,,,0,,,,\r\n",
         "line 2: a time"},
        {header + "test,Cell 1,SN1,2026-02-31T14:00:00.000Z,2026-12-08T14:00:01.000Z,OK,d,,,,,,,"
                  "0,,,,\r\n",
         "line 2: a time"},
        {header + "test,Cell 1,SN1,2026-12-08T14:00:02.000Z,2026-12-08T14:00:01.000Z,OK,d,,,,,,,"
                  "0,,,,\r\n",
         "line 2: the test ends before"},
        {header + "test,Cell 1,SN1," + time + ",PASS,d,,,,,,,0,,,,\r\n", "line 2: result \"PASS\""},
        {header + "test,,SN1," + time + ",OK,d,,,,,,,0,,,,\r\n", "line 2: the test has no cell"},
        {header + "test,Cell 1,SN1," + time + ",OK,d,,,,,,,x,,,,\r\n",
         "line 2: the count of items is not a number"},
        {header + test_row + "item,,,,,,,v,abc,0,2,V,OK" + rest, "line 3: value or limits"},
        {header + test_row + "item,,,,,,,v,1,3,2,V,OK" + rest, "line 3: lower limit is above"},
        {header + test_row + "item,,,,,,,v,5,0,2,V,OK" + rest,
         "line 3: the item result does not match"},
        {header + test_row + "item,,,,,,,v,1,0,2,V,maybe" + rest, "line 3: item result is not"},
        {header + test_row + "item,,,,,,,v,5,0,2,V,NG" + rest + end,
         "line 2: the result of the test does not match"},
        {header + test_row + "item,,,,,,,\"v,1,0,2,V,OK" + rest,
         "line 3: a quoted field is not closed"},
        {header + test_row + "item,,,,,,,v\"x,1,0,2,V,OK" + rest, "line 3: a quote inside"},
        {header + test_row + "item,,,,,,,v,1,0,2,V,OK" + rest + "end,,,,,,,,,,,,,2,,,,\r\n",
         "line 4: the file says it holds 2 tests, but 1 were read"},
        {header + test_row + "item,,,,,,,v,1,0,2,V,OK" + rest + end + test_row,
         "line 5: a row follows the end row"},
        // What files of older stations are held to.
        {kOldHeader + "test,Cell 1,SN1," + time + ",OK,d,,,,,,\r\n",
         "line 2: the test has no items"},
        {kOldHeader + "test,Cell 1,SN1," + time +
             ",OK,all 2 items within limits,,,,,,\r\nitem,,,,,,,v,1,0,2,V,OK\r\n",
         "line 2: the test says it has 2 items, but 1 follow it"},
        {kOldHeader + "test,Cell 1,SN1," + time + ",OK,d,,,,,,,1,,,,\r\n",
         "line 2: expected 13 fields, found 18"},
    };
    for (const auto& c : cases) expect_refused(c.text, c.expected);
    EXPECT_THROW(read_history_csv("/nonexistent/history.csv"), HistoryFileError);
}

// A file cut at any row boundary (a copy that stopped, a disk that filled)
// is refused whole, naming the line, and never read as fewer tests or items.
TEST(HistoryCsv, FilesCutShortAreRefused) {
    const std::string good = history_to_csv(awkward_history());
    ASSERT_EQ(history_from_csv(good).size(), awkward_history().size());
    std::size_t cuts = 0;
    for (std::size_t at = good.find("\r\n"); at + 2 < good.size(); at = good.find("\r\n", at + 2)) {
        ++cuts;
        try {
            const auto read = history_from_csv(good.substr(0, at + 2));
            ADD_FAILURE() << "a file cut after byte " << at + 2 << " read as " << read.size()
                          << " tests";
        } catch (const HistoryFileError& error) {
            EXPECT_EQ(std::string(error.what()).rfind("line ", 0), 0u) << error.what();
        }
    }
    EXPECT_GT(cuts, awkward_history().size());

    // A test that had no items says so, and reads back without them.
    TestRecord none;
    none.cell = "Cell 1";
    none.serial = "EMPTY";
    none.begin_ms = none.end_ms = 1796738400000;  // 2026-12-08T14:00:00Z
    conclude(none);
    expect_same({none}, history_from_csv(history_to_csv({none})));
    expect_same({none}, history_from_csv(kOldHeader +
                                         "test,Cell 1,EMPTY,2026-12-08T14:00:00.000Z,"
                                         "2026-12-08T14:00:00.000Z,OK,all 0 items within limits,"
                                         ",,,,,\r\n"));
}

// Guidance on CSV injection: a text field never begins with what a
// spreadsheet runs, and the text comes back as it was.
TEST(HistoryCsv, SpreadsheetsNeverRunAnExportedText) {
    const auto history = awkward_history();
    const std::string csv = history_to_csv(history);
    expect_same(history, history_from_csv(csv));

    const auto rows = csv_rows(csv);
    ASSERT_GT(rows.size(), history.size());
    const std::size_t text_columns[] = {1, 2, 6, 7, 11, 14, 15, 16, 17};
    const std::size_t number_columns[] = {8, 9, 10};
    std::size_t guarded = 0;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        ASSERT_EQ(rows[r].size(), 18u) << "row " << r;
        for (std::size_t c : text_columns) {
            const std::string& field = rows[r][c];
            if (field.empty()) continue;
            EXPECT_EQ(std::string_view("=+-@\t\r").find(field[0]), std::string_view::npos)
                << "row " << r << " column " << c << ": " << field;
            guarded += field[0] == '\'';
        }
        // Numbers stay numbers (a negative value is not a formula).
        if (rows[r][0] == "item")
            for (std::size_t c : number_columns)
                EXPECT_TRUE(parse_number(rows[r][c])) << rows[r][c];
    }
    EXPECT_GE(guarded, 15u);
    EXPECT_NE(csv.find(",'+1+1,"), std::string::npos);
    EXPECT_NE(csv.find(",''=1+1,"), std::string::npos);  // '=1+1 itself: guarded again

    // Files of older stations were written as the text was: read as it was.
    const auto read = history_from_csv(kOldHeader +
                                       "test,Cell 1,=1+1,2026-12-08T14:00:00.000Z,"
                                       "2026-12-08T14:00:00.000Z,Aborted,'kept,,,,,,\r\n");
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].serial, "=1+1");
    EXPECT_EQ(read[0].description, "'kept");
    EXPECT_EQ(read[0].project, "");
}

// Text enters the store from a file only as UTF-8 without NUL and within
// its bound: the message names the line and the field.
TEST(HistoryCsv, TextBeyondWhatTheStoreTakesIsRefused) {
    TestRecord unit;
    unit.cell = "Cell 1";
    unit.serial = "SN1";
    unit.begin_ms = unit.end_ms = 1765200000000;
    unit.items = {item("Output", 1, 0, 2)};
    conclude(unit);
    const auto rows = csv_rows(history_to_csv({unit}));
    ASSERT_EQ(rows.size(), 4u);
    // The file with one field replaced, as a hostile editor would.
    const auto with = [&](std::size_t field, const std::string& text) {
        auto edited = rows;
        edited[field == 7 || field == 11 ? 2 : 1][field] = text;
        return csv_text(edited);
    };
    const struct {
        std::size_t field;
        std::string text;
        const char* expected;
    } cases[] = {
        {2, "SN\xFF", "line 2: the serial number is not UTF-8 text (byte 0xFF at byte 3)"},
        {2, std::string("SN\0X", 4), "line 2: the serial number holds a NUL byte at byte 3"},
        {2, std::string(kMaxSerialLength + 1, 'S'), "line 2: the serial number is longer than 64"},
        {1, std::string(kMaxCellNameLength + 1, 'C'), "line 2: the cell is longer than 64"},
        {6, std::string(kMaxDescriptionLength + 1, 'd'), "line 2: the description is longer"},
        {7, std::string(kMaxNameLength + 1, 'n'), "line 3: the item name is longer than 200"},
        {7, "Out\xC3(", "line 3: the item name is not UTF-8"},
        {11, std::string(kMaxUnitLength + 1, 'u'), "line 3: the unit is longer than 32"},
        {11, std::string("m\0V", 3), "line 3: the unit holds a NUL"},
        {14, "\xED\xA0\x80", "line 2: the project is not UTF-8"},  // a surrogate
        {15, std::string(kMaxHashLength + 1, 'h'), "line 2: the project's hash is longer"},
        {16, std::string(kMaxStationNameLength + 1, 's'), "line 2: the station is longer"},
        {17, std::string(kMaxSoftwareLength + 1, 'v'), "line 2: the software is longer"},
    };
    for (const auto& c : cases) expect_refused(with(c.field, c.text), c.expected);
    // At the bound is still taken: characters count, not bytes.
    const std::string longest = std::string(kMaxSerialLength - 1, 'S') + "\xE5\x8D\x95";
    EXPECT_EQ(history_from_csv(with(2, longest)).at(0).serial, longest);
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
    EXPECT_NE(strings.find("<t>not recorded</t>"), std::string::npos) << strings;

    // What tested the unit, and a test the station could not make.
    TestRecord stamped = awkward_history()[3];
    stamped.verdict = Verdict::error;
    write_unit_workbook(file.string(), stamped);
    const std::string stamped_strings = zip_entry(file.string(), "xl/sharedStrings.xml");
    for (const std::string& text : {stamped.project, stamped.project_hash, stamped.station,
                                    stamped.software, std::string("Error")})
        EXPECT_NE(stamped_strings.find("<t>" + text + "</t>"), std::string::npos) << text;
    EXPECT_EQ(stamped_strings.find("not recorded"), std::string::npos);
    fs::remove(file);

    EXPECT_THROW(write_unit_workbook("/nonexistent/folder/unit.xlsx", unit), WorkbookError);
}
