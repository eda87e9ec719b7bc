// SPDX-License-Identifier: MIT
#include "logic/project.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>

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

}  // namespace

Project parse_project(const std::string& text) {
    Project project;
    std::set<std::string> names;
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        std::string_view line = trim(raw);
        if (number == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") line = trim(line.substr(3));
        if (line.empty() || line.front() == '#') continue;
        if (line.substr(0, 6) == "title:") {
            project.title = std::string(trim(line.substr(6)));
            continue;
        }
        const auto fields = split_fields(line);
        if (fields.size() < 3 || fields.size() > 4)
            fail(number, "expected \"name ; lower ; upper ; unit\"");
        TestItem item;
        item.name = std::string(fields[0]);
        if (item.name.empty()) fail(number, "the item has no name");
        const auto lower = parse_number(fields[1]);
        const auto upper = parse_number(fields[2]);
        if (!lower) fail(number, "lower limit \"" + std::string(fields[1]) + "\" is not a number");
        if (!upper) fail(number, "upper limit \"" + std::string(fields[2]) + "\" is not a number");
        if (*lower > *upper) fail(number, "lower limit is above the upper limit");
        item.lower = *lower;
        item.upper = *upper;
        if (fields.size() == 4) item.unit = std::string(fields[3]);
        if (!names.insert(item.name).second)
            fail(number, "item \"" + item.name + "\" appears twice");
        project.items.push_back(std::move(item));
    }
    if (project.items.empty()) throw ProjectError("the project names no test items");
    return project;
}

std::string format_project(const Project& project) {
    std::string text = "# name ; lower ; upper ; unit\n";
    if (!project.title.empty()) text += "title: " + project.title + "\n";
    for (const TestItem& item : project.items) {
        text += item.name + " ; " + format_number(item.lower) + " ; " + format_number(item.upper);
        if (!item.unit.empty()) text += " ; " + item.unit;
        text += "\n";
    }
    return text;
}

Project load_project(const std::string& path) {
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
