// SPDX-License-Identifier: MIT
#pragma once

// Small text helpers shared by the station's file formats.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <wx/string.h>
#include <wx/translation.h>

namespace station {

std::string_view trim(std::string_view text);

// Text that enters the store must be UTF-8 without NUL: the offset of the
// first byte that breaks that (a bad sequence, an overlong form, a surrogate,
// a NUL), or nothing when the text is sound.
std::optional<std::size_t> invalid_text_at(std::string_view text);
// text with every byte that breaks UTF-8 (or is NUL) written as \xFF: a
// message can always name what it is about.
std::string escape_bad_bytes(std::string_view text);
// Characters (code points) of UTF-8 text.
std::size_t text_length(std::string_view utf8);
// Why text may not enter the store as a field called what ("is not UTF-8
// text at byte 7", "is longer than 64 characters"), or "" when it may.
std::string text_problem(std::string_view text, std::size_t max_characters);

// Shortest text that reads back as the same double.
std::string format_number(double value);
// The whole of text must be a finite decimal number.
std::optional<double> parse_number(std::string_view text);

// Writes path through a temporary file in the same folder, so a failed write
// never leaves a half-written file behind. Throws std::runtime_error.
void write_file_atomically(const std::string& path, const std::string& content);
// Throws std::runtime_error when the file cannot be read.
std::string read_file(const std::string& path);

// Times are milliseconds since the epoch (UTC).
std::int64_t now_ms();
// "2026-12-08T14:00:05.123Z": exact, for files.
std::string format_utc(std::int64_t ms);
std::optional<std::int64_t> parse_utc(std::string_view text);
// "2026-12-08 15:00:05" in the local time zone: for people.
std::string format_local(std::int64_t ms);
// "01:02:03"
std::string format_duration(std::int64_t ms);
// "66.7%" of part in whole, "0%" for an empty whole.
std::string format_percent(std::size_t part, std::size_t whole);

// A text the operator reads, in the language the station runs in (its gettext
// catalogs); the English text itself when none is loaded. UTF-8 in and out.
std::string tr(const char* english);

namespace text_detail {
inline wxString argument(const std::string& utf8) { return wxString::FromUTF8(utf8); }
template <typename T>
T argument(T value) {
    return value;
}
}  // namespace text_detail

// tr's text as a printf format; std::string arguments are UTF-8.
template <typename... Args>
std::string tr_format(const char* english, const Args&... args) {
    return wxString::Format(wxGetTranslation(wxString::FromUTF8(english)),
                            text_detail::argument(args)...)
        .utf8_string();
}

}  // namespace station
