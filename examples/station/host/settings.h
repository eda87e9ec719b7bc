// SPDX-License-Identifier: MIT
#pragma once

// What the station remembers between runs: settings.ini under the XDG
// config folder, and the places and sizes of its windows and sashes.

#include <wx/string.h>

class wxFileConfig;
class wxSplitterWindow;
class wxTopLevelWindow;

namespace station {

struct Options;

class Settings {
public:
    // A damaged file is moved aside to <path>.damaged and the defaults are
    // used; problem() says so, for the log. The file is never a reason not to run.
    explicit Settings(const wxString& path);
    // Writes the file. A file that cannot be written is reported once, in
    // the log; the station runs on.
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    static wxString default_path();  // config_folder()/settings.ini
    // The settings windows are remembered in; nullptr: nothing is remembered.
    static Settings* current();
    static void set_current(Settings* settings);

    const wxString& path() const { return path_; }
    const wxString& problem() const { return problem_; }

    int cells() const;
    int item_ms() const;
    int log_days() const;
    bool next_cell_after_scan() const;
    wxString last_project() const;
    wxString folder(const wxString& what) const;  // "projects", "data": last folder chosen

    void set_last_project(const wxString& path);
    void set_folder(const wxString& what, const wxString& folder);
    void set_next_cell_after_scan(bool on);
    // Cells and item time the command line did not give, and the scanner's flow.
    void fill(Options& options) const;
    bool flush();

    wxFileConfig& config() { return *config_; }

private:
    wxString validate() const;
    void write_defaults();

    wxString path_;
    wxString problem_;
    wxFileConfig* config_ = nullptr;  // also wx's global config, for wxPersistenceManager
    bool writable_ = true;  // false: path_ is a folder, nothing is written
    bool warned_ = false;   // the last write failed and the log says so
};

// Registers the window with wxPersistenceManager and restores its last
// place and size, when there are settings (no-ops otherwise).
void remember_window(wxTopLevelWindow* window, const wxString& name);
// Sashes are restored once the splitter has its size and the layer has set
// its first position; saved when the splitter goes.
void remember_sash(wxSplitterWindow* splitter, const wxString& name);

}  // namespace station
