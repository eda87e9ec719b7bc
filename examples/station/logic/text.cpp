// SPDX-License-Identifier: MIT
#include "logic/text.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <unistd.h>

#include <wx/datetime.h>

namespace station {

std::string_view trim(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<std::size_t> invalid_text_at(std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned char lead = bytes[i];
        if (lead == 0) return i;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;   // overlong
            if (lead == 0xED) high = 0x9F;  // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;   // overlong
            if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
        } else {
            return i;
        }
        if (size - i < length) return i;
        if (bytes[i + 1] < low || bytes[i + 1] > high) return i;
        for (std::size_t k = 2; k < length; ++k)
            if (bytes[i + k] < 0x80 || bytes[i + k] > 0xBF) return i;
        i += length;
    }
    return std::nullopt;
}

std::string escape_bad_bytes(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        const auto bad = invalid_text_at(text);
        const std::size_t good = bad ? *bad : text.size();
        out.append(text.substr(0, good));
        if (!bad) break;
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[good]));
        out += escaped;
        text.remove_prefix(good + 1);
    }
    return out;
}

std::size_t text_length(std::string_view utf8) {
    std::size_t n = 0;
    for (const char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::string text_problem(std::string_view text, std::size_t max_characters) {
    if (const auto at = invalid_text_at(text)) {
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(text[*at]));
        return text[*at] == '\0' ? "holds a NUL byte at byte " + std::to_string(*at + 1)
                                 : std::string("is not UTF-8 text (byte ") + byte + " at byte " +
                                       std::to_string(*at + 1) + ")";
    }
    if (text_length(text) > max_characters)
        return "is longer than " + std::to_string(max_characters) + " characters";
    return {};
}

std::string format_number(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::optional<double> parse_number(std::string_view text) {
    // from_chars takes no leading '+', which people do write in limits.
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

void write_file_atomically(const std::string& path, const std::string& content) {
    if (path.empty()) throw std::runtime_error("no file name given");
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) throw std::runtime_error("cannot write " + path);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(temporary.c_str());
            throw std::runtime_error("cannot write " + path);
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        throw std::runtime_error("cannot replace " + path);
    }
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) throw std::runtime_error("cannot read " + path);
    return content.str();
}

std::int64_t now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

namespace {

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

}  // namespace

std::string format_utc(std::int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(floor_div(ms, 1000));
    const int millis = static_cast<int>(ms - std::int64_t(seconds) * 1000);
    const wxString text = wxDateTime(seconds).Format("%Y-%m-%dT%H:%M:%S", wxDateTime::UTC);
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, ".%03dZ", millis);
    return std::string(text.utf8_str()) + buffer;
}

std::optional<std::int64_t> parse_utc(std::string_view text) {
    // Exactly the shape format_utc writes.
    if (text.size() != 24 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != '.' || text[23] != 'Z')
        return std::nullopt;
    const auto field = [&](std::size_t at, std::size_t length) -> int {
        int value = 0;
        const char* begin = text.data() + at;
        const auto result = std::from_chars(begin, begin + length, value);
        return (result.ec == std::errc() && result.ptr == begin + length) ? value : -1;
    };
    const int year = field(0, 4), month = field(5, 2), day = field(8, 2), hour = field(11, 2),
              minute = field(14, 2), second = field(17, 2), millis = field(20, 3);
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60 || millis < 0)
        return std::nullopt;
    std::tm utc{};
    utc.tm_year = year - 1900;
    utc.tm_mon = month - 1;
    utc.tm_mday = day;
    utc.tm_hour = hour;
    utc.tm_min = minute;
    utc.tm_sec = second;
    // Not wxDateTime: it goes from UTC through local time and lands an hour
    // off in a daylight saving gap (a half hour off all summer on Lord Howe).
    const std::time_t seconds = timegm(&utc);
    // timegm normalises 31 February into March; such a date is not a date.
    if (utc.tm_mday != day || utc.tm_mon != month - 1) return std::nullopt;
    return std::int64_t(seconds) * 1000 + millis;
}

std::string format_local(std::int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(floor_div(ms, 1000));
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[40];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

std::string format_duration(std::int64_t ms) {
    const std::int64_t total = ms < 0 ? 0 : ms / 1000;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld",
                  static_cast<long long>(total / 3600), static_cast<long long>(total / 60 % 60),
                  static_cast<long long>(total % 60));
    return buffer;
}

std::string format_percent(std::size_t part, std::size_t whole) {
    if (whole == 0) return "0%";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", 100.0 * double(part) / double(whole));
    std::string text = buffer;
    if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0)
        text.resize(text.size() - 2);
    return text + "%";
}

std::string tr(const char* english) {
    return wxGetTranslation(wxString::FromUTF8(english)).utf8_string();
}

}  // namespace station
