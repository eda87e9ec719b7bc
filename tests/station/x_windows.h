// SPDX-License-Identifier: MIT
#pragma once

// The top-level windows of one process as the X server has them, told apart
// by the _NET_WM_PID the toolkit sets on each: a window another test left
// behind, however it is titled, is never taken for this process's.

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

namespace station_test {

inline std::string command_output(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char line[1024];
        while (fgets(line, sizeof line, pipe)) out += line;
        pclose(pipe);
    }
    return out;
}

// One line of `xwininfo -root -children` per window of process pid:
// id, "title", class, geometry.
inline std::vector<std::string> top_level_windows_of(pid_t pid) {
    std::vector<std::string> found;
    const std::string children = command_output("xwininfo -root -children");
    const std::string owner = "_NET_WM_PID(CARDINAL) = " + std::to_string(pid) + "\n";
    std::size_t start = 0;
    while (start < children.size()) {
        std::size_t end = children.find('\n', start);
        if (end == std::string::npos) end = children.size();
        const std::string line = children.substr(start, end - start);
        start = end + 1;
        const std::size_t id = line.find("0x");
        if (id == std::string::npos || line.find('"') == std::string::npos) continue;
        const std::string window = line.substr(id, line.find(' ', id) - id);
        if (command_output("xprop -id " + window + " _NET_WM_PID") == owner) found.push_back(line);
    }
    return found;
}

// `xwininfo -id` of the window of process pid titled title, "" when it has
// none.
inline std::string window_info(pid_t pid, const std::string& title) {
    for (const std::string& line : top_level_windows_of(pid)) {
        if (line.find("\"" + title + "\"") == std::string::npos) continue;
        const std::size_t id = line.find("0x");
        return command_output("xwininfo -id " + line.substr(id, line.find(' ', id) - id));
    }
    return {};
}

// Every line of top_level_windows_of(pid), joined, for finding titles and for
// failure messages.
inline std::string top_level_window_names(pid_t pid) {
    std::string names;
    for (const std::string& line : top_level_windows_of(pid)) names += line + "\n";
    return names;
}

}  // namespace station_test
