// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <atsui/launcher/ats_launcher.h>

class wxKeyEvent;
class wxListEvent;

namespace station {

// The start window: lists the projects of a folder and opens one.
class StationLauncher : public tov_atsui::ATSLauncher {
public:
    // on_open gets a project path that loaded without fault and returns true
    // when the project is open, whereupon the launcher closes.
    using OpenHandler = std::function<bool(const std::string&)>;
    StationLauncher(const std::string& folder, OpenHandler on_open);

    void show_folder(const std::string& folder);
    // Selects the project (the last one opened) if the folder lists it,
    // and puts its path in the path field either way.
    void choose(const std::string& project);
    const std::string& folder() const { return folder_; }
    const std::vector<std::string>& projects() const { return projects_; }

    void on_click_projects(wxCommandEvent& event) override;
    void on_click_learn(wxCommandEvent& event) override;
    void on_browse(wxCommandEvent& event) override;
    void on_open(wxCommandEvent& event) override;

private:
    void show_path(const std::string& path);
    void on_selected(wxListEvent& event);
    void on_activated(wxListEvent& event);
    void on_key(wxKeyEvent& event);
    void open_chosen();

    std::string folder_;
    std::vector<std::string> projects_;
    OpenHandler on_open_;
};

}  // namespace station
