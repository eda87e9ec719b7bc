// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include <wx/log.h>

#include <atsui/station/cell.h>

#include "logic/cell_runner.h"
#include "logic/cell_session.h"
#include "logic/project.h"
#include "logic/record.h"
#include "logic/statistics.h"

class wxStaticText;

namespace station {

// One test cell: shows what its session (CellSession) decides. It takes a
// serial number, has the project's items measured by its runner (a worker
// thread of its own), shows each reading as the worker posts it, shows the
// verdict once the test's commit was tried, and keeps the cell's own
// history. Only the GUI thread touches the cell's windows; the refresh
// timer shows the time.
class StationCell : public tov_atsui::Cell {
public:
    // Tries to store the finished test, then calls show_verdict(record,
    // saved): the operator sees a verdict only once its commit was tried.
    // It may do both later, e.g. to commit the verdicts that arrive together at once.
    using FinishedHandler = std::function<void(StationCell&, const TestRecord&)>;
    // The operator started a test here (a scan's Enter or Start).
    using StartedHandler = std::function<void(StationCell&)>;

    // The cell draws from its own stream of the station's seed, through a
    // CellRunner unless runner is given. serials: the station's, so that a
    // unit tests in one cell at a time.
    StationCell(wxWindow* parent, int number, std::uint64_t station_seed, int item_ms,
                FinishedHandler on_finished, std::unique_ptr<TestRunner> runner = nullptr,
                SerialsInTest* serials = nullptr);
    // Joins the worker: none of its posts can reach a destroyed cell.
    ~StationCell() override;

    wxString cell_name() const;
    const CellSession& session() const { return session_; }
    // What the records of this cell's tests name as their station and software.
    void set_stamp(TestStamp stamp) { session_.set_stamp(std::move(stamp)); }
    // Testing, or the finished test not yet stored and shown.
    bool running() const { return session_.busy(); }
    // The items are being measured (the refresh timer drives the cell).
    bool measuring() const { return session_.testing(); }
    const Project& project() const { return project_; }
    const std::string& project_path() const { return project_path_; }
    const Counters& counters() const { return session_.counters(); }

    // A running test keeps the project it started with.
    void set_project(const Project& project, const std::string& path);
    // Where instruments without an address are reached (the station's own
    // simulator; empty while it is not running), and how long they may take.
    void set_instruments(const std::string& station_simulator, InstrumentTimeouts timeouts);
    // The worker of the last test has not finished yet (it is ending after
    // an abort, within one wait slice).
    bool worker_busy() const { return runner_->busy(); }
    // Stops the worker without waiting, ahead of closing.
    void stop_worker() { runner_->stop(); }
    // False, with the reason in the prompt or the log, when the test cannot
    // start; the serial number field then takes the keyboard if asked to.
    bool start(bool keyboard_on_refusal = true);
    void set_on_started(StartedHandler on_started) { on_started_ = std::move(on_started); }
    // The key that brings this cell's serial number field, shown beside its name.
    void show_key(const wxString& key);
    wxStaticText* key_label() const { return key_; }
    // Start All: the start comes later (see DisplayPacer), unless an abort
    // comes first.
    void queue_start() { start_queued_ = true; }
    void start_queued();
    void abort();
    // The verdict of the test handed to the FinishedHandler, once its
    // commit was tried; saved: it is in the store.
    void show_verdict(const TestRecord& record, bool saved = true);
    // A test this cell showed as not saved is in the store now.
    void saved_later(const TestRecord& record);
    void clear_statistics();
    void set_debug_mode(bool on);
    // Without the statistics strip, for many cells on one screen; the figures
    // move to the cell name's tooltip.
    void set_compact(bool on);

    void on_refresh_timer_event(wxTimerEvent& event) override;
    void on_blink_timer_event(wxTimerEvent& event) override;
    void on_start_cell_test(wxCommandEvent& event) override;
    void on_abort_cell_test(wxCommandEvent& event) override;
    void on_browse_script(wxCommandEvent& event) override;

private:
    // Without a foreground, black or white text, whichever reads on the background.
    void show_prompt(const wxString& text, const wxColour& background,
                     const wxColour& foreground = wxNullColour);
    void make_text_readable();
    // Into the Logger tab and the station's log file.
    void log(const wxString& line, wxLogLevel level = wxLOG_Message);
    bool logger_shown() const;
    void show_log_line(const wxString& line);
    void clear_log();
    void flush_log();
    void lay_out_items();
    // A compact cell's item columns fit its width (see the definition).
    void fit_item_columns();
    void on_measured(int run, const ItemResult& result);
    void on_run_finished(int run, const RunOutcome& outcome);
    // Hands the ended test on to be stored.
    void end_test();
    // The banner in the session's words and the colour of its state.
    void show_state();
    wxColour state_colour() const;
    void show_statistics();
    void show_info();

    int number_;
    std::uint64_t seed_;
    int item_ms_;
    FinishedHandler on_finished_;
    StartedHandler on_started_;
    std::string station_simulator_;
    InstrumentTimeouts timeouts_;

    Project project_;
    std::string project_path_;

    CellSession session_;
    bool start_queued_ = false;
    int run_ = 0;  // tags the worker's posts: those of an aborted run are dropped
    // History rows of tests shown as not saved, by begin time and serial.
    std::map<std::pair<std::int64_t, std::string>, int> unsaved_rows_;

    wxColour verdict_colour_;
    int blinks_left_ = 0;
    wxString pending_log_;  // for the Logger tab, once shown
    bool clear_log_pending_ = false;
    wxStaticText* info_ = nullptr;
    wxStaticText* key_ = nullptr;
    bool compact_ = false;
    std::unique_ptr<TestRunner> runner_;  // last: its worker posts to everything above
};

}  // namespace station
