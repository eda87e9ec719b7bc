// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <wx/log.h>
#include <wx/timer.h>
#include <wx/weakref.h>

#include <atsui/station/frame.h>

#include "host/display_pacer.h"
#include "host/options.h"
#include "logic/history_store.h"
#include "logic/pg_forwarder.h"
#include "logic/project.h"
#include "logic/record.h"
#include "logic/simulator_process.h"
#include "logic/statistics.h"

class wxStaticText;

namespace station {

class StationCell;
class StationViewerFrame;

// The SQLite file that options name, or the station's default one (also the
// outbox when the station forwards to a server). Throws HistoryStoreError.
std::unique_ptr<HistoryStore> open_history_store(
    const Options& options, HistoryStore::Mode mode = HistoryStore::Mode::read_write);
std::string station_name(const Options& options);
bool is_server_address(const std::string& database);

// The station's main window: N cells on one project, the OK/NG/Yield
// counters, the whole history, the ticker and every menu.
class StationFrame : public tov_atsui::Frame {
public:
    // Without a store, the frame opens the one options name (HistoryStoreError).
    StationFrame(const Options& options, const Project& project, const std::string& project_path,
                 std::unique_ptr<HistoryStore> store = nullptr);
    // Cells and the viewer refer to this window's members: they go first.
    ~StationFrame() override;

    const std::vector<StationCell*>& cells() const { return cells_; }
    HistoryStore& store() { return *store_; }
    PgForwarder* forwarder() const { return forwarder_.get(); }
    // Tests whose commit failed; the next finished test retries them first.
    std::size_t unsaved() const { return unsaved_.size(); }
    const Counters& counters() const { return counters_; }
    const Project& project() const { return project_; }
    const std::string& project_path() const { return project_path_; }
    bool tests_running() const;
    // Starts every idle cell that has a serial number, each in an event of its own.
    void start_all();
    // The instrument simulator this station started, if any.
    const SimulatorProcess* simulator_process() const { return simulator_.get(); }
    int ticker_ticks() const { return ticks_; }

    // Opens the test data window, or brings the open one to the front.
    StationViewerFrame* show_viewer();
    StationViewerFrame* viewer() const { return viewer_.get(); }
    // The store changed (a test, an import, a clear).
    void history_changed();

    // Where "Manual Operation" looks for the custom dialog's plug-in.
    wxString plugin_folder;

    // The "Cells" menu's items: the tool bar's two tools, with their keys.
    wxMenuItem* start_all_item() const { return start_all_item_; }
    wxMenuItem* abort_all_item() const { return abort_all_item_; }

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

    // Start All and the verdicts that arrive together go to the cells this
    // many at a time, a slice apart (see DisplayPacer).
    static constexpr std::size_t kCellsPerSlice = 4;
    static constexpr int kSliceMs = 20;

private:
    void record(StationCell& cell, const TestRecord& record);
    // Commits the finished tests in one transaction, then shows their verdicts.
    void store_finished();
    void repeat(StationCell& cell);
    void show_counters();
    void arrange_many_cells();
    void apply_project(const Project& project, const wxString& how);
    void health_check();
    // In the status bar and the log.
    void report(const wxString& text, wxLogLevel level = wxLOG_Message);
    void add_keys_and_help();
    // Starts the instrument simulator when the project needs it and tells
    // the cells where instruments are.
    void prepare_instruments();

    Options options_;
    Project project_;
    std::string project_path_;
    std::vector<StationCell*> cells_;
    std::unique_ptr<HistoryStore> store_;
    std::unique_ptr<PgForwarder> forwarder_;  // only on a line
    wxTimer outbox_timer_;
    wxTimer repeat_retry_;  // a scripted run's start that a cell refused
    void show_outbox();
    int drain_checks_ = 0;
    bool run_done_ = false;
    std::vector<TestRecord> unsaved_;
    struct Finished {
        StationCell* cell;
        TestRecord record;
    };
    std::vector<Finished> finished_;  // verdicts waiting for their commit
    DisplayPacer pacer_{kCellsPerSlice, kSliceMs};
    Counters counters_;
    int ticks_ = 0;
    wxStaticText* project_label_ = nullptr;
    wxMenuItem* start_all_item_ = nullptr;
    wxMenuItem* abort_all_item_ = nullptr;
    wxWeakRef<StationViewerFrame> viewer_;
    std::unique_ptr<SimulatorProcess> simulator_;
};

}  // namespace station
