// SPDX-License-Identifier: MIT
#include "logic/history_csv.h"

#include <cstdio>
#include <optional>

#include "logic/text.h"

namespace station {

namespace {

constexpr const char* kHeader =
    "kind,cell,serial_number,begin,end,result,description,item,value,lower,upper,unit,item_result";
constexpr std::size_t kColumns = 13;

std::string quoted(const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string out = "\"";
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
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
    append_row(out, {"test", r.cell, r.serial, format_utc(r.begin_ms), format_utc(r.end_ms),
                     verdict_text(r.verdict), r.description, "", "", "", "", "", ""});
    for (const ItemResult& i : r.items)
        append_row(out,
                   {"item", "", "", "", "", "", "", i.name, format_number(i.value),
                    format_number(i.lower), format_number(i.upper), i.unit, i.ok ? "OK" : "NG"});
}

std::string history_to_csv(const std::vector<TestRecord>& records) {
    std::string out = std::string(kHeader) + "\r\n";
    for (const TestRecord& r : records) append_test(out, r);
    return out;
}

std::vector<TestRecord> history_from_csv(const std::string& text) {
    std::vector<TestRecord> records;
    read_history_csv_each(text, [&](const TestRecord& r) { records.push_back(r); });
    return records;
}

void read_history_csv_each(const std::string& text,
                           const std::function<void(const TestRecord&)>& each,
                           const std::function<void(std::size_t, std::size_t)>& progress) {
    RowReader reader(text);
    std::vector<std::string> f;
    if (!reader.next(f)) throw HistoryFileError("the file is empty");
    std::string header;
    for (std::size_t i = 0; i < f.size(); ++i) header += (i ? "," : "") + f[i];
    if (header != kHeader) reader.fail("this is not a station history file (unexpected header)");

    // Only the test being read is held: a file of a million tests streams.
    std::optional<TestRecord> pending;
    std::size_t rows = 0;
    const auto finish = [&] {
        if (!pending) return;
        if (pending->verdict != Verdict::aborted) {
            TestRecord copy = *pending;
            conclude(copy);
            if (copy.verdict != pending->verdict)
                reader.fail("the result of the test before does not match its items");
        }
        each(*pending);
        pending.reset();
    };
    while (reader.next(f)) {
        if (f.size() == 1 && f[0].empty()) continue;  // blank line
        if (f.size() != kColumns)
            reader.fail("expected " + std::to_string(kColumns) + " fields, found " +
                        std::to_string(f.size()));
        if (progress && ++rows % 4096 == 0) progress(reader.position(), text.size());
        if (f[0] == "test") {
            finish();
            TestRecord r;
            r.cell = f[1];
            r.serial = f[2];
            const auto begin = parse_utc(f[3]);
            const auto end = parse_utc(f[4]);
            const auto verdict = parse_verdict(f[5]);
            if (r.cell.empty()) reader.fail("the test has no cell");
            if (!begin || !end) reader.fail("a time is not of the form 2026-12-08T14:00:00.000Z");
            if (*end < *begin) reader.fail("the test ends before it begins");
            if (!verdict) reader.fail("result \"" + f[5] + "\" is not OK, NG or Aborted");
            r.begin_ms = *begin;
            r.end_ms = *end;
            r.verdict = *verdict;
            r.description = f[6];
            pending = std::move(r);
        } else if (f[0] == "item") {
            if (!pending) reader.fail("an item row comes before any test row");
            ItemResult i;
            i.name = f[7];
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
            i.unit = f[11];
            i.ok = f[12] == "OK";
            if (i.ok != within_limits(i.value, i.lower, i.upper))
                reader.fail("the item result does not match its value and limits");
            pending->items.push_back(std::move(i));
        } else {
            reader.fail("unknown row kind \"" + f[0] + "\"");
        }
    }
    finish();
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
    if (buffer_.size() > (1u << 20)) flush();
}

void HistoryCsvWriter::flush() {
    out_.write(buffer_.data(), std::streamsize(buffer_.size()));
    buffer_.clear();
    if (!out_) throw HistoryFileError("cannot write " + path_);
}

void HistoryCsvWriter::commit() {
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
