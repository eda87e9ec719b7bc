// SPDX-License-Identifier: MIT
#include "logic/project.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>

#include <openssl/evp.h>

#include "logic/instrument.h"
#include "logic/record.h"
#include "logic/text.h"

namespace station {

namespace {

std::vector<std::string_view> split_fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(';', start);
        fields.push_back(trim(line.substr(start, end - start)));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return fields;
}

[[noreturn]] void fail(int line, const std::string& message) {
    throw ProjectError("line " + std::to_string(line) + ": " + message);
}

// A field of a line must be text the store can take, and not too long.
void check_field(int line, const std::string& what, std::string_view text, std::size_t longest) {
    if (const std::string problem = text_problem(text, longest); !problem.empty())
        fail(line, what + " " + problem);
}

constexpr std::string_view kInstrumentKeyword = "instrument";
constexpr std::string_view kStationSimulator = "sim";

bool is_instrument_line(std::string_view line) {
    return line.substr(0, kInstrumentKeyword.size()) == kInstrumentKeyword &&
           line.size() > kInstrumentKeyword.size() &&
           (line[kInstrumentKeyword.size()] == ' ' || line[kInstrumentKeyword.size()] == '\t') &&
           line.find(';') == std::string_view::npos;
}

InstrumentEntry parse_instrument_line(int number, std::string_view line) {
    line = trim(line.substr(kInstrumentKeyword.size()));
    const auto equals = line.find('=');
    InstrumentEntry entry;
    entry.name = std::string(trim(line.substr(0, equals)));
    if (entry.name.empty()) fail(number, "the instrument has no name");
    check_field(number, "the instrument name", entry.name, kMaxInstrumentNameLength);
    if (entry.name.find_first_of(" \t") != std::string::npos)
        fail(number, "instrument name \"" + entry.name + "\" has a space");
    if (equals == std::string_view::npos) return entry;
    const std::string_view address = trim(line.substr(equals + 1));
    if (address.empty() || address == kStationSimulator) return entry;
    check_field(number, "the instrument address", address, kMaxAddressLength);
    const auto parsed = parse_instrument_address(address);
    if (!parsed)
        fail(number,
             "instrument address \"" + std::string(address) + "\" is not HOST or HOST:PORT");
    entry.address = parsed->text();
    return entry;
}

// SCPI queries end their header in '?'; anything else would never answer.
bool is_query(std::string_view command) {
    const std::string_view header = command.substr(0, command.find_first_of(" \t"));
    return !header.empty() && header.back() == '?';
}

}  // namespace

const InstrumentEntry* Project::instrument(const std::string& name) const {
    for (const InstrumentEntry& entry : instruments)
        if (entry.name == name) return &entry;
    return nullptr;
}

bool Project::needs_station_simulator() const {
    for (const TestItem& item : items)
        if (const InstrumentEntry* entry = instrument(item.instrument))
            if (entry->address.empty()) return true;
    return false;
}

std::string project_hash(std::string_view text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(text.data(), text.size(), digest, &size, EVP_sha256(), nullptr) != 1)
        throw ProjectError("cannot compute the project's hash");
    static const char* const kHex = "0123456789abcdef";
    std::string hash = "sha256:";
    for (unsigned int i = 0; i < size; ++i) {
        hash += kHex[digest[i] >> 4];
        hash += kHex[digest[i] & 15];
    }
    return hash;
}

Project parse_project(const std::string& text) {
    if (text.size() > kMaxProjectBytes)
        throw ProjectError("the project is " + std::to_string(text.size()) +
                           " bytes long; a project is at most " +
                           std::to_string(kMaxProjectBytes) + " bytes");
    Project project;
    project.hash = project_hash(text);
    std::set<std::string> names;
    std::vector<int> item_lines;
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        // Text the store cannot take never gets past the line it is on.
        if (const auto at = invalid_text_at(raw))
            fail(number, std::string(raw[*at] == '\0' ? "a NUL byte" : "bytes that are not UTF-8") +
                             " at column " + std::to_string(*at + 1));
        std::string_view line = trim(raw);
        if (number == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") line = trim(line.substr(3));
        if (line.empty() || line.front() == '#') continue;
        if (line.substr(0, 6) == "title:") {
            project.title = std::string(trim(line.substr(6)));
            check_field(number, "the title", project.title, kMaxNameLength);
            continue;
        }
        if (is_instrument_line(line)) {
            InstrumentEntry entry = parse_instrument_line(number, line);
            if (project.instrument(entry.name))
                fail(number, "instrument \"" + entry.name + "\" appears twice");
            project.instruments.push_back(std::move(entry));
            continue;
        }
        const auto fields = split_fields(line);
        if (fields.size() < 3 || fields.size() > 6 || fields.size() == 5)
            fail(number,
                 "expected \"name ; lower ; upper ; unit\" or "
                 "\"name ; lower ; upper ; unit ; instrument ; query\"");
        TestItem item;
        item.name = std::string(fields[0]);
        if (item.name.empty()) fail(number, "the item has no name");
        check_field(number, "the item name", item.name, kMaxNameLength);
        const auto lower = parse_number(fields[1]);
        const auto upper = parse_number(fields[2]);
        if (!lower) fail(number, "lower limit \"" + std::string(fields[1]) + "\" is not a number");
        if (!upper) fail(number, "upper limit \"" + std::string(fields[2]) + "\" is not a number");
        if (*lower > *upper) fail(number, "lower limit is above the upper limit");
        item.lower = *lower;
        item.upper = *upper;
        if (fields.size() >= 4) item.unit = std::string(fields[3]);
        check_field(number, "the unit", item.unit, kMaxUnitLength);
        if (fields.size() == 6) {
            item.instrument = std::string(fields[4]);
            item.query = std::string(fields[5]);
            check_field(number, "the query", item.query, kMaxQueryLength);
            if (item.instrument.empty() && !item.query.empty())
                fail(number, "the query names no instrument");
            if (!item.instrument.empty() && !is_query(item.query))
                fail(number, "\"" + item.query + "\" is no query (its header ends in ?)");
        }
        if (!names.insert(item.name).second)
            fail(number, "item \"" + item.name + "\" appears twice");
        if (project.items.size() == kMaxItems)
            fail(number, "a project has at most " + std::to_string(kMaxItems) + " items");
        project.items.push_back(std::move(item));
        item_lines.push_back(number);
    }
    if (project.items.empty()) throw ProjectError("the project names no test items");
    // Instruments may be declared after the items that use them.
    for (std::size_t i = 0; i < project.items.size(); ++i) {
        const TestItem& item = project.items[i];
        if (!item.instrument.empty() && !project.instrument(item.instrument))
            fail(item_lines[i], "instrument \"" + item.instrument +
                                    "\" is not declared (instrument NAME = HOST[:PORT])");
    }
    return project;
}

std::string format_project(const Project& project) {
    std::string text = "# name ; lower ; upper ; unit\n";
    if (!project.title.empty()) text += "title: " + project.title + "\n";
    for (const InstrumentEntry& entry : project.instruments)
        text += std::string(kInstrumentKeyword) + " " + entry.name + " = " +
                (entry.address.empty() ? std::string(kStationSimulator) : entry.address) + "\n";
    for (const TestItem& item : project.items) {
        text += item.name + " ; " + format_number(item.lower) + " ; " + format_number(item.upper);
        if (!item.instrument.empty())
            text += " ; " + item.unit + " ; " + item.instrument + " ; " + item.query;
        else if (!item.unit.empty())
            text += " ; " + item.unit;
        text += "\n";
    }
    return text;
}

Project load_project(const std::string& path) {
    const std::string file = std::filesystem::path(path).filename().string();
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw ProjectError(path + " is a folder, not a project file");
    // Read no further than a project may be long.
    if (const auto size = std::filesystem::file_size(path, error);
        !error && size > kMaxProjectBytes)
        throw ProjectError(file + " is " + std::to_string(size / 1024) +
                           " KB long; a project is at most " +
                           std::to_string(kMaxProjectBytes / 1024) + " KB");
    std::string text;
    try {
        text = read_file(path);
    } catch (const std::runtime_error& error) {
        throw ProjectError(error.what());
    }
    try {
        Project project = parse_project(text);
        if (project.title.empty()) project.title = std::filesystem::path(path).stem().string();
        return project;
    } catch (const ProjectError& error) {
        throw ProjectError(std::filesystem::path(path).filename().string() + ", " + error.what());
    }
}

void save_project(const std::string& path, const Project& project) {
    write_file_atomically(path, format_project(project));
}

std::vector<std::string> find_projects(const std::string& folder) {
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_regular_file(error) && entry.path().extension() == kProjectExtension)
            paths.push_back(entry.path().string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace station
