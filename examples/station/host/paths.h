// SPDX-License-Identifier: MIT
#pragma once

// Where the station finds what it ships with (sample projects, its manual,
// the manual operation plug-in) at run time, wherever it was built or
// installed: nothing points back into the source tree.

#include <vector>

#include <wx/string.h>

namespace station {

// Folders that may hold the station's data, in the order they are searched:
// the executable's own folder (the build tree, where the build copies the
// data beside it), <prefix>/share/atsui-station for an installed station,
// then $XDG_DATA_HOME and $XDG_DATA_DIRS, each with atsui-station.
std::vector<wxString> data_folders();
// The first data folder holding relative (a file or a folder), or empty.
wxString find_data(const wxString& relative);

wxString sample_projects_folder();  // find_data("projects")
wxString manual_path();             // find_data("README.md")
// Where "Manual Operation" looks for the plug-in: the executable's folder
// when an operator put one there, else the installed plug-in folder if it
// holds one, else the executable's folder (which the message then names).
wxString manual_operation_plugin_folder();

}  // namespace station
