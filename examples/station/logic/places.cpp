// SPDX-License-Identifier: MIT
#include "logic/places.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <system_error>

namespace station {

namespace {

namespace fs = std::filesystem;

constexpr const char* kName = "atsui-station";

std::string home() {
    const char* home = std::getenv("HOME");
    return home && *home ? home : ".";
}

std::string xdg_home(const char* variable, const char* under_home) {
    const char* value = std::getenv(variable);
    const std::string base = value && *value == '/' ? value : home() + "/" + under_home;
    return base + "/" + kName;
}

bool exists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

std::string parent_of(const std::string& folder) { return fs::path(folder).parent_path().string(); }

}  // namespace

std::string config_folder() { return xdg_home("XDG_CONFIG_HOME", ".config"); }
std::string state_folder() { return xdg_home("XDG_STATE_HOME", ".local/state"); }
std::string log_folder() { return state_folder() + "/logs"; }
std::string data_home_folder() { return xdg_home("XDG_DATA_HOME", ".local/share"); }
std::string cache_folder() { return xdg_home("XDG_CACHE_HOME", ".cache"); }

std::string default_database_path(const std::string& station) {
    return data_home_folder() + "/" + station + ".sqlite";
}

std::string line_copy_path(const std::string& address) {
    char name[32];
    std::snprintf(name, sizeof name, "line-%016zx.sqlite", std::hash<std::string>{}(address));
    return cache_folder() + "/" + name;
}

std::string executable_folder() {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path(error).string() : exe.parent_path().string();
}

std::vector<std::string> data_folders() {
    const std::string exe = executable_folder();
    std::vector<std::string> folders{exe, parent_of(exe) + "/share/" + kName, data_home_folder()};
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        const std::string dir = list.substr(start, end - start);
        if (!dir.empty() && dir[0] == '/') folders.push_back(dir + "/" + kName);
        start = end + 1;
    }
    return folders;
}

std::string find_data(const std::string& relative) {
    for (const std::string& folder : data_folders())
        if (exists(folder + "/" + relative)) return folder + "/" + relative;
    return {};
}

std::string sample_projects_folder() { return find_data("projects"); }
std::string manual_path() { return find_data("README.md"); }

std::string plugin_folder(const std::string& plugin_file) {
    const std::string exe = executable_folder();
    if (exists(exe + "/" + plugin_file)) return exe;
    const std::string installed = parent_of(exe) + "/" + STATION_PLUGIN_SUBDIR;
    if (exists(installed + "/" + plugin_file)) return installed;
    return exe;
}

std::string host_name() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || !*name) return "station";
    return name;
}

}  // namespace station
