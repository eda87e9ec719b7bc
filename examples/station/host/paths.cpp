// SPDX-License-Identifier: MIT
#include "host/paths.h"

#include <wx/filename.h>
#include <wx/tokenzr.h>
#include <wx/utils.h>

#include "host/manual_operation.h"

namespace station {

namespace {

constexpr const char* kName = "atsui-station";

wxString parent_of(const wxString& folder) {
    wxFileName name = wxFileName::DirName(folder);
    name.RemoveLastDir();
    return name.GetPath();
}

bool exists(const wxString& path) {
    return wxFileName::FileExists(path) || wxFileName::DirExists(path);
}

}  // namespace

std::vector<wxString> data_folders() {
    const wxString exe = executable_folder();
    std::vector<wxString> folders{exe, parent_of(exe) + "/share/" + kName};
    wxString home;
    if (!wxGetEnv("XDG_DATA_HOME", &home) || !wxIsAbsolutePath(home))
        home = wxFileName::GetHomeDir() + "/.local/share";
    folders.push_back(home + "/" + kName);
    wxString dirs;
    if (!wxGetEnv("XDG_DATA_DIRS", &dirs) || dirs.empty()) dirs = "/usr/local/share:/usr/share";
    for (const wxString& dir : wxStringTokenize(dirs, ":"))
        if (wxIsAbsolutePath(dir)) folders.push_back(dir + "/" + kName);
    return folders;
}

wxString find_data(const wxString& relative) {
    for (const wxString& folder : data_folders())
        if (exists(folder + "/" + relative)) return folder + "/" + relative;
    return wxEmptyString;
}

wxString sample_projects_folder() { return find_data("projects"); }
wxString manual_path() { return find_data("README.md"); }

wxString manual_operation_plugin_folder() {
    const wxString exe = executable_folder();
    if (wxFileName::FileExists(exe + "/" + kManualOperationPlugin)) return exe;
    const wxString installed = parent_of(exe) + "/" + STATION_PLUGIN_SUBDIR;
    if (wxFileName::FileExists(installed + "/" + kManualOperationPlugin)) return installed;
    return exe;
}

}  // namespace station
