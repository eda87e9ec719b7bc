// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include <wx/weakref.h>

#include <atsui/station/frame.h>

#include "host/options.h"
#include "logic/project.h"
#include "logic/record.h"
#include "logic/statistics.h"

class wxStaticText;

namespace station {

class StationCell;
class StationViewerFrame;

// The station's main window: N cells on one project, the OK/NG/Yield
// counters, the whole history, the ticker and every menu.
class StationFrame : public tov_atsui::Frame {
public:
    StationFrame(const Options& options, const Project& project, const std::string& project_path);
    // Cells and the viewer refer to this window's members: they go first.
    ~StationFrame() override;

    const std::vector<StationCell*>& cells() const { return cells_; }
    std::vector<TestRecord>& history() { return history_; }
    const Counters& counters() const { return counters_; }
    const Project& project() const { return project_; }
    const std::string& project_path() const { return project_path_; }
    bool tests_running() const;
    int ticker_ticks() const { return ticks_; }

    // Opens the test data window, or brings the open one to the front.
    StationViewerFrame* show_viewer();
    StationViewerFrame* viewer() const { return viewer_.get(); }
    // The viewer changed the history (import, clear).
    void history_changed();

    // Where "Manual Operation" looks for the custom dialog's plug-in.
    wxString plugin_folder;

    void on_close_app(wxEvent& event) override;
    void on_show_manual_operation_dialog(wxCommandEvent& event) override;
    void on_start_ticker(wxCommandEvent& event) override;
    void on_clear_statistics(wxCommandEvent& event) override;
    void on_change_debug_mode(wxCommandEvent& event) override;
    void on_export_assertion_config(wxCommandEvent& event) override;
    void on_show_test_data_window(wxCommandEvent& event) override;
    void on_edit_test_parameters(wxCommandEvent& event) override;
    void on_reload_test_parameters(wxCommandEvent& event) override;
    void on_save_test_parameters(wxCommandEvent& event) override;
    void on_show_about_dialog(wxCommandEvent& event) override;
    void on_ticker_timer_event(wxTimerEvent& event) override;
    void on_trigger_initializer(wxTimerEvent& event) override;
    void on_start_all(wxCommandEvent& event) override;
    void on_abort_all(wxCommandEvent& event) override;

private:
    void record(StationCell& cell, const TestRecord& record);
    void show_counters();
    void apply_project(const Project& project, const wxString& how);
    void health_check();
    void report(const wxString& text);

    Options options_;
    Project project_;
    std::string project_path_;
    std::vector<StationCell*> cells_;
    std::vector<TestRecord> history_;
    Counters counters_;
    int ticks_ = 0;
    wxStaticText* project_label_ = nullptr;
    wxWeakRef<StationViewerFrame> viewer_;
};

}  // namespace station
