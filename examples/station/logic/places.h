// SPDX-License-Identifier: MIT
#pragma once

// Where the station's things are, in one place: its XDG folders (settings,
// logs, history, caches), the folders it ships its data in (beside the
// executable in a build tree, under the install prefix, in the XDG data
// folders), and the machine's name. Nothing points back into the source
// tree. Paths are UTF-8.

#include <string>
#include <vector>

namespace station {

// The XDG base folders with the station's own subfolder; a variable that is
// unset or relative (invalid by the XDG rules) gives the default under $HOME.
std::string config_folder();  // $XDG_CONFIG_HOME/atsui-station (~/.config)
std::string state_folder();   // $XDG_STATE_HOME/atsui-station (~/.local/state)
std::string log_folder();     // state_folder()/logs
std::string data_home_folder();  // $XDG_DATA_HOME/atsui-station (~/.local/share)
std::string cache_folder();   // $XDG_CACHE_HOME/atsui-station (~/.cache)

// data_home_folder()/<station>.sqlite: a station's own history.
std::string default_database_path(const std::string& station);
// Where the history browser keeps its copy of a line server's tests:
// cache_folder()/line-<hash of the address>.sqlite.
std::string line_copy_path(const std::string& address);

// The folder of the running executable.
std::string executable_folder();
// Folders that may hold the station's data, in the order they are searched:
// the executable's own folder (the build tree, where the build copies the
// data beside it), <prefix>/share/atsui-station for an installed station,
// then $XDG_DATA_HOME and $XDG_DATA_DIRS, each with atsui-station.
std::vector<std::string> data_folders();
// The first data folder holding relative (a file or a folder), or "".
std::string find_data(const std::string& relative);
std::string sample_projects_folder();  // find_data("projects")
std::string manual_path();             // find_data("README.md")
// Where a plug-in file is looked for: the executable's folder when an
// operator put one there, else <prefix>/lib/<arch>/atsui-station if it
// holds one, else the executable's folder (which a message then names).
std::string plugin_folder(const std::string& plugin_file);

// This machine's host name, the default station name.
std::string host_name();

}  // namespace station
