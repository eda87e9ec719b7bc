// SPDX-License-Identifier: MIT
#include "logic/history_csv.h"

#include <cstdio>
#include <optional>
#include <string_view>

#include "logic/text.h"

namespace station {

namespace {

constexpr const char* kHeader =
    "kind,cell,serial_number,begin,end,result,description,item,value,lower,upper,unit,item_result,"
    "count,project,project_hash,station,software";
constexpr std::size_t kColumns = 18;
// What stations before the end row and the record's origin wrote.
constexpr const char* kOldHeader =
    "kind,cell,serial_number,begin,end,result,description,item,value,lower,upper,unit,item_result";
constexpr std::size_t kOldColumns = 13;

std::string quoted(const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string out = "\"";
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

// A spreadsheet runs a cell that begins with one of these as a formula.
bool needs_guard(const std::string& text) {
    return !text.empty() && std::string_view("=+-@\t\r'").find(text[0]) != std::string_view::npos;
}

// Text as a spreadsheet shows it and never runs.
std::string guarded(const std::string& text) { return needs_guard(text) ? "'" + text : text; }

std::string unguarded(std::string text) {
    if (!text.empty() && text[0] == '\'') text.erase(0, 1);
    return text;
}

void append_row(std::string& out, const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) out += ',';
        out += quoted(fields[i]);
    }
    out += "\r\n";
}

// Reads one CSV row from text at pos; line counts the physical lines.
class RowReader {
public:
    explicit RowReader(const std::string& text) : text_(text) {
        if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0) pos_ = 3;
    }

    bool next(std::vector<std::string>& fields) {
        if (pos_ >= text_.size()) return false;
        fields.assign(1, std::string());
        row_line_ = ++line_;
        bool in_quotes = false;
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (in_quotes) {
                if (c == '"') {
                    if (pos_ < text_.size() && text_[pos_] == '"') {
                        fields.back() += '"';
                        ++pos_;
                    } else {
                        in_quotes = false;
                    }
                } else {
                    if (c == '\n') ++line_;
                    fields.back() += c;
                }
            } else if (c == '"') {
                if (!fields.back().empty()) fail("a quote inside an unquoted field");
                in_quotes = true;
            } else if (c == ',') {
                fields.emplace_back();
            } else if (c == '\n') {
                return true;
            } else if (c == '\r') {
                if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
                return true;
            } else {
                fields.back() += c;
            }
        }
        if (in_quotes) fail("a quoted field is not closed");
        return true;
    }

    int line() const { return row_line_; }
    std::size_t position() const { return pos_; }

    [[noreturn]] void fail(const std::string& message) const {
        throw HistoryFileError("line " + std::to_string(row_line_) + ": " + message);
    }

private:
    const std::string& text_;
    std::size_t pos_ = 0;
    int line_ = 0;
    int row_line_ = 0;
};

}  // namespace

void append_test(std::string& out, const TestRecord& r) {
    append_row(out, {"test", guarded(r.cell), guarded(r.serial), format_utc(r.begin_ms),
                     format_utc(r.end_ms), verdict_text(r.verdict), guarded(r.description), "", "",
                     "", "", "", "", std::to_string(r.items.size()), guarded(r.project),
                     guarded(r.project_hash), guarded(r.station), guarded(r.software)});
    for (const ItemResult& i : r.items)
        append_row(out, {"item", "", "", "", "", "", "", guarded(i.name), format_number(i.value),
                         format_number(i.lower), format_number(i.upper), guarded(i.unit),
                         i.ok ? "OK" : "NG", "", "", "", "", ""});
}

void append_end(std::string& out, std::size_t tests) {
    append_row(out, {"end", "", "", "", "", "", "", "", "", "", "", "", "", std::to_string(tests),
                     "", "", "", ""});
}

std::string history_to_csv(const std::vector<TestRecord>& records) {
    std::string out = std::string(kHeader) + "\r\n";
    for (const TestRecord& r : records) append_test(out, r);
    append_end(out, records.size());
    return out;
}

std::vector<TestRecord> history_from_csv(const std::string& text) {
    std::vector<TestRecord> records;
    read_history_csv_each(text, [&](const TestRecord& r) { records.push_back(r); });
    return records;
}

namespace {

// A field quoted in a message: short, and every byte printable.
std::string shown(const std::string& field) {
    return escape_bad_bytes(field.substr(0, 40)) + (field.size() > 40 ? "..." : "");
}

// A count written by this station: digits only, not absurdly large.
std::optional<std::size_t> parse_count(const std::string& text) {
    if (text.empty() || text.size() > 12) return std::nullopt;
    std::size_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + std::size_t(c - '0');
    }
    return n;
}

// "all 5 items within limits", as conclude() words an OK test: the number of
// items that files of older stations say a test had.
std::optional<std::size_t> items_said(const std::string& description) {
    constexpr std::string_view kBefore = "all ", kAfter = " items within limits";
    const std::string_view d = description;
    if (d.size() <= kBefore.size() + kAfter.size() || d.substr(0, kBefore.size()) != kBefore ||
        d.substr(d.size() - kAfter.size()) != kAfter)
        return std::nullopt;
    return parse_count(
        std::string(d.substr(kBefore.size(), d.size() - kBefore.size() - kAfter.size())));
}

}  // namespace

void read_history_csv_each(const std::string& text,
                           const std::function<void(const TestRecord&)>& each,
                           const std::function<void(std::size_t, std::size_t)>& progress) {
    RowReader reader(text);
    std::vector<std::string> f;
    if (!reader.next(f)) throw HistoryFileError("the file is empty");
    std::string header;
    for (std::size_t i = 0; i < f.size(); ++i) header += (i ? "," : "") + f[i];
    const bool old = header == kOldHeader;
    if (!old && header != kHeader)
        reader.fail("this is not a station history file (unexpected header)");
    const std::size_t columns = old ? kOldColumns : kColumns;
    // Older stations wrote text as it was; this one guards it (see above).
    const auto text_field = [&](std::size_t column, const char* what, std::size_t bound) {
        std::string value = old ? f[column] : unguarded(f[column]);
        const std::string problem = text_problem(value, bound);
        if (!problem.empty()) reader.fail(std::string(what) + " " + problem);
        return value;
    };

    // Only the test being read is held: a file of a million tests streams.
    std::optional<TestRecord> pending;
    std::optional<std::size_t> pending_count;
    int pending_line = 0;
    std::size_t rows = 0, tests = 0;
    bool ended = false;
    const auto finish = [&] {
        if (!pending) return;
        const auto fail = [&](const std::string& message) {
            throw HistoryFileError("line " + std::to_string(pending_line) + ": " + message);
        };
        const std::size_t items = pending->items.size();
        if (pending_count && *pending_count != items)
            fail("the test says it has " + std::to_string(*pending_count) + " items, but " +
                 std::to_string(items) + " follow it (the file was cut short or edited)");
        const bool measured = pending->verdict == Verdict::ok || pending->verdict == Verdict::ng;
        if (old && measured) {
            const auto said = items_said(pending->description);
            if (items == 0 && said != std::size_t(0))
                fail("the test has no items (the file was cut short or edited)");
            if (said && *said != items)
                fail("the test says it has " + std::to_string(*said) + " items, but " +
                     std::to_string(items) + " follow it (the file was cut short or edited)");
        }
        // Aborted and Error tests end wherever they stopped: their items
        // need not decide the result.
        if (measured) {
            TestRecord copy = *pending;
            conclude(copy);
            if (copy.verdict != pending->verdict)
                fail("the result of the test does not match its items");
        }
        each(*pending);
        ++tests;
        pending.reset();
    };
    while (reader.next(f)) {
        if (f.size() == 1 && f[0].empty()) continue;  // blank line
        if (ended) reader.fail("a row follows the end row");
        if (f.size() != columns)
            reader.fail("expected " + std::to_string(columns) + " fields, found " +
                        std::to_string(f.size()));
        if (progress && ++rows % 4096 == 0) progress(reader.position(), text.size());
        if (f[0] == "test") {
            finish();
            TestRecord r;
            r.cell = text_field(1, "the cell", kMaxCellNameLength);
            r.serial = text_field(2, "the serial number", kMaxSerialLength);
            const auto begin = parse_utc(f[3]);
            const auto end = parse_utc(f[4]);
            const auto verdict = parse_verdict(f[5]);
            if (r.cell.empty()) reader.fail("the test has no cell");
            if (!begin || !end) reader.fail("a time is not of the form 2026-12-08T14:00:00.000Z");
            if (*end < *begin) reader.fail("the test ends before it begins");
            if (!verdict)
                reader.fail("result \"" + shown(f[5]) + "\" is not OK, NG, Aborted or Error");
            r.begin_ms = *begin;
            r.end_ms = *end;
            r.verdict = *verdict;
            r.description = text_field(6, "the description", kMaxDescriptionLength);
            pending_count.reset();
            if (!old) {
                pending_count = parse_count(f[13]);
                if (!pending_count) reader.fail("the count of items is not a number");
                if (*pending_count > kMaxItems)
                    reader.fail("a test has at most " + std::to_string(kMaxItems) + " items");
                r.project = text_field(14, "the project", kMaxNameLength);
                r.project_hash = text_field(15, "the project's hash", kMaxHashLength);
                r.station = text_field(16, "the station", kMaxStationNameLength);
                r.software = text_field(17, "the software", kMaxSoftwareLength);
            }
            pending = std::move(r);
            pending_line = reader.line();
        } else if (f[0] == "item") {
            if (!pending) reader.fail("an item row comes before any test row");
            if (pending->items.size() == kMaxItems)
                reader.fail("a test has at most " + std::to_string(kMaxItems) + " items");
            ItemResult i;
            i.name = text_field(7, "the item name", kMaxNameLength);
            const auto value = parse_number(f[8]);
            const auto lower = parse_number(f[9]);
            const auto upper = parse_number(f[10]);
            if (i.name.empty()) reader.fail("the item has no name");
            if (!value || !lower || !upper) reader.fail("value or limits are not numbers");
            if (*lower > *upper) reader.fail("lower limit is above the upper limit");
            if (f[12] != "OK" && f[12] != "NG") reader.fail("item result is not OK or NG");
            i.value = *value;
            i.lower = *lower;
            i.upper = *upper;
            i.unit = text_field(11, "the unit", kMaxUnitLength);
            i.ok = f[12] == "OK";
            if (i.ok != within_limits(i.value, i.lower, i.upper))
                reader.fail("the item result does not match its value and limits");
            pending->items.push_back(std::move(i));
        } else if (f[0] == "end" && !old) {
            finish();
            const auto count = parse_count(f[13]);
            if (!count) reader.fail("the count of tests is not a number");
            if (*count != tests)
                reader.fail("the file says it holds " + std::to_string(*count) + " tests, but " +
                            std::to_string(tests) + " were read (the file was edited)");
            ended = true;
        } else {
            reader.fail("unknown row kind \"" + shown(f[0]) + "\"");
        }
    }
    finish();
    if (!old && !ended)
        throw HistoryFileError("line " + std::to_string(reader.line()) +
                               ": the file ends there without its end row: it was cut short");
    if (progress) progress(text.size(), text.size());
}

void write_history_csv(const std::string& path, const std::vector<TestRecord>& records) {
    write_file_atomically(path, history_to_csv(records));
}

HistoryCsvWriter::HistoryCsvWriter(const std::string& path)
    : path_(path), temporary_(path + ".part") {
    if (path.empty()) throw HistoryFileError("no file name given");
    out_.open(temporary_, std::ios::binary | std::ios::trunc);
    if (!out_) throw HistoryFileError("cannot write " + path);
    buffer_ = std::string(kHeader) + "\r\n";
}

HistoryCsvWriter::~HistoryCsvWriter() {
    if (out_.is_open()) {
        out_.close();
        std::remove(temporary_.c_str());
    }
}

void HistoryCsvWriter::write(const TestRecord& record) {
    append_test(buffer_, record);
    ++tests_;
    if (buffer_.size() > (1u << 20)) flush();
}

void HistoryCsvWriter::flush() {
    out_.write(buffer_.data(), std::streamsize(buffer_.size()));
    buffer_.clear();
    if (!out_) throw HistoryFileError("cannot write " + path_);
}

void HistoryCsvWriter::commit() {
    append_end(buffer_, tests_);
    flush();
    out_.close();
    if (!out_ || std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        std::remove(temporary_.c_str());
        throw HistoryFileError("cannot write " + path_);
    }
}

std::vector<TestRecord> read_history_csv(const std::string& path) {
    std::string text;
    try {
        text = read_file(path);
    } catch (const std::runtime_error& error) {
        throw HistoryFileError(error.what());
    }
    return history_from_csv(text);
}

}  // namespace station
