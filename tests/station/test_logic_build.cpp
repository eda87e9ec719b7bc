// SPDX-License-Identifier: MIT
// The station's logic is built without windows: this program links it and
// nothing of the GUI, and what the loader brought in shows it. And where
// the logic keeps its files.

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "logic/cell_session.h"
#include "logic/places.h"

TEST(StationLogic, LoadsNoGuiLibrary) {
    // Something of the logic, so that it is linked in and used.
    EXPECT_EQ(station::serial_problem("UNIT-1"), "");

    std::ifstream maps("/proc/self/maps");
    ASSERT_TRUE(maps) << "cannot read /proc/self/maps";
    bool wx_base = false;
    std::set<std::string> gui;
    for (std::string line; std::getline(maps, line);) {
        if (line.find("libwx_baseu") != std::string::npos) wx_base = true;
        for (const char* library : {"libwx_gtk", "libgtk-", "libgdk-", "libX11"})
            if (line.find(library) != std::string::npos) gui.insert(line.substr(line.rfind(' ') + 1));
    }
    EXPECT_TRUE(gui.empty()) << "GUI libraries are loaded, the first " << *gui.begin();
    EXPECT_TRUE(wx_base) << "the logic's wxBase is not loaded: the check looks at the wrong thing";
}

// The station's folders follow the XDG rules: a variable that is set and
// absolute wins, an unset or relative one gives the default under $HOME.
TEST(StationPlaces, FoldersFollowTheXdgRules) {
    const char* const variables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME",
                                     "XDG_CACHE_HOME"};
    std::map<std::string, std::optional<std::string>> saved;
    for (const char* v : variables)
        saved[v] = std::getenv(v) ? std::optional<std::string>(std::getenv(v)) : std::nullopt;

    setenv("HOME", "/home/op", 1);
    setenv("XDG_CONFIG_HOME", "/etc/cfg", 1);
    setenv("XDG_STATE_HOME", "relative/state", 1);
    unsetenv("XDG_DATA_HOME");
    setenv("XDG_CACHE_HOME", "", 1);
    EXPECT_EQ(station::config_folder(), "/etc/cfg/atsui-station");
    EXPECT_EQ(station::log_folder(), "/home/op/.local/state/atsui-station/logs");
    EXPECT_EQ(station::default_database_path("st-7"), "/home/op/.local/share/atsui-station/st-7.sqlite");
    const std::string copy = station::line_copy_path("postgresql://line/ats");
    EXPECT_EQ(copy.rfind("/home/op/.cache/atsui-station/line-", 0), 0u) << copy;
    EXPECT_NE(copy, station::line_copy_path("postgresql://other/ats"));
    EXPECT_FALSE(station::host_name().empty());
    EXPECT_EQ(station::data_folders().front(), station::executable_folder());

    for (const auto& [name, value] : saved)
        value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
}
