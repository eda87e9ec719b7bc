// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <wx/log.h>
#include <wx/timer.h>
#include <wx/weakref.h>

#include <atsui/station/about_dialog.h>
#include <atsui/station/frame.h>

#include "host/display_pacer.h"
#include "host/options.h"
#include "logic/cell_runner.h"
#include "logic/cell_session.h"
#include "logic/history_store.h"
#include "logic/pg_forwarder.h"
#include "logic/project.h"
#include "logic/record.h"
#include "logic/save_policy.h"
#include "logic/scan_flow.h"
#include "logic/simulator_process.h"
#include "logic/statistics.h"

class wxStaticText;

namespace station {

class StationCell;
class StationViewerFrame;

// Fills the layer's about box with the station's name, version and maker.
void say_about(tov_atsui::AboutDialog& dialog);

// The SQLite file that options name, or the station's default one (also the
// outbox when the station forwards to a server). Throws HistoryStoreError.
std::unique_ptr<HistoryStore> open_history_store(
    const Options& options, HistoryStore::Mode mode = HistoryStore::Mode::read_write);
std::string station_name(const Options& options);
bool is_server_address(const std::string& database);

// The station's main window: N cells on one project, the OK/NG/Yield
// counters, the whole history, the ticker and every menu. What becomes of
// the finished tests is its SavePolicy's to decide; the frame commits when
// it says and shows the outcome.
class StationFrame : public tov_atsui::Frame {
public:
    // Makes the runner of a cell's tests from the cell's simulation seed.
    using RunnerFactory = std::function<std::unique_ptr<TestRunner>(std::uint64_t cell_seed)>;
    // A cell showed a verdict; saved: its test is in the store.
    using ShownHandler = std::function<void(StationCell&, const TestRecord&, bool saved)>;

    // Without a store, the frame opens the one options name (HistoryStoreError).
    // Without runners, each cell runs its tests on a worker of its own.
    StationFrame(const Options& options, const Project& project, const std::string& project_path,
                 std::unique_ptr<HistoryStore> store = nullptr, RunnerFactory runners = {});
    // Cells and the viewer refer to this window's members: they go first.
    ~StationFrame() override;

    const std::vector<StationCell*>& cells() const { return cells_; }
    HistoryStore& store() { return *store_; }
    PgForwarder* forwarder() const { return forwarder_.get(); }
    // Tests shown whose commit failed; they are tried again on a timer.
    std::size_t unsaved() const { return save_.unsaved().size(); }
    const SavePolicy& save_policy() const { return save_; }
    // Called after every verdict a cell shows.
    void set_on_shown(ShownHandler on_shown) { on_shown_ = std::move(on_shown); }
    const Counters& counters() const { return counters_; }
    const Project& project() const { return project_; }
    const std::string& project_path() const { return project_path_; }
    bool tests_running() const;
    // Agreed to close: no new test may start.
    bool closing() const { return closing_; }
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
    // "Next Cell After a Scan": one scanner for all cells.
    wxMenuItem* next_cell_item() const { return next_cell_item_; }
    const ScanFlow& scan_flow() const { return scan_flow_; }

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
    // How long a commit waits for another connection's write lock.
    static constexpr int kCommitWaitMs = 1000;

private:
    void record(StationCell& cell, const TestRecord& record);
    // Commits the finished tests in one transaction (and retries the unsaved
    // ones), then shows their verdicts.
    void store_finished();
    void show_save_result(const SavePolicy::Result& result, bool had_unsaved);
    // Closing: false when the operator keeps the station open.
    bool agree_to_close(wxCloseEvent& close);
    void show_counters();
    void arrange_many_cells();
    void apply_project(const Project& project, const wxString& how);
    void health_check();
    void add_keys_and_help();
    void add_cell_keys();
    // Each cell busy or not, in the cells' order, for the ScanFlow.
    std::vector<bool> busy_cells() const;
    // The cell whose serial number field has the keyboard, if any.
    std::optional<std::size_t> cell_with_keyboard() const;
    void give_keyboard(std::optional<std::size_t> cell);
    void on_cell_started(StationCell& cell);
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
    wxTimer retry_timer_;  // the unsaved tests' next try
    void show_outbox();
    SerialsInTest serials_;
    SavePolicy save_;
    ShownHandler on_shown_;
    struct Finished {
        StationCell* cell;
        TestRecord record;
    };
    std::vector<Finished> finished_;  // verdicts waiting for their commit
    DisplayPacer pacer_{kCellsPerSlice, kSliceMs};
    Counters counters_;
    int ticks_ = 0;
    bool closing_ = false;
    wxStaticText* project_label_ = nullptr;
    wxMenuItem* start_all_item_ = nullptr;
    wxMenuItem* abort_all_item_ = nullptr;
    wxMenuItem* next_cell_item_ = nullptr;
    ScanFlow scan_flow_;
    wxWeakRef<StationViewerFrame> viewer_;
    std::unique_ptr<SimulatorProcess> simulator_;
};

}  // namespace station
