// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <wx/log.h>

#include <atsui/station/cell.h>

#include "logic/cell_runner.h"
#include "logic/project.h"
#include "logic/record.h"
#include "logic/statistics.h"

class wxStaticText;

namespace station {

// One test cell: takes a serial number, measures the project's items on a
// worker thread of its own (CellRunner), shows each reading as the worker
// posts it, shows the verdict and keeps the cell's own history. Only the
// GUI thread touches the cell's windows; the refresh timer shows the time.
class StationCell : public tov_atsui::Cell {
public:
    // Stores the finished test, then calls show_verdict(record): the
    // operator sees a verdict only once its test is committed. It may do
    // both later, e.g. to commit the verdicts that arrive together at once.
    using FinishedHandler = std::function<void(StationCell&, const TestRecord&)>;

    // The cell draws from its own stream of the station's seed.
    StationCell(wxWindow* parent, int number, std::uint64_t station_seed, int item_ms,
                FinishedHandler on_finished);
    // Joins the worker: none of its posts can reach a destroyed cell.
    ~StationCell() override;

    wxString cell_name() const;
    // Testing, or the finished test not yet stored and shown.
    bool running() const { return running_ || storing_; }
    // The items are being measured (the refresh timer drives the cell).
    bool measuring() const { return running_; }
    const Project& project() const { return project_; }
    const std::string& project_path() const { return project_path_; }
    const Counters& counters() const { return counters_; }

    // A running test keeps the project it started with.
    void set_project(const Project& project, const std::string& path);
    // Where instruments without an address are reached (the station's own
    // simulator; empty while it is not running), and how long they may take.
    void set_instruments(const std::string& station_simulator, InstrumentTimeouts timeouts);
    // See Options::readings_on_gui_thread; takes effect at the next start.
    void set_readings_on_gui_thread(bool on) { readings_on_gui_thread_ = on; }
    // The worker of the last test has not finished yet (it is ending after
    // an abort, within one wait slice).
    bool worker_busy() const { return runner_.busy(); }
    // Stops the worker without waiting, ahead of closing.
    void stop_worker() { runner_.stop(); }
    // False, with the reason in the prompt or the log, when the test cannot start.
    bool start();
    // Start All: the start comes later (see DisplayPacer), unless an abort
    // comes first.
    void queue_start() { start_queued_ = true; }
    void start_queued();
    void abort();
    // The verdict of the test handed to the FinishedHandler, once stored.
    void show_verdict(const TestRecord& record);
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
    void on_measured(int run, const ItemResult& result);
    void on_run_finished(int run, const RunOutcome& outcome);
    // Verdict::ok: completed, the items decide. A fault fails the test.
    void end_test(Verdict verdict, const std::string& fault = {});
    void show_statistics();
    void show_info();

    int number_;
    std::uint64_t seed_;
    int item_ms_;
    FinishedHandler on_finished_;
    std::string station_simulator_;
    InstrumentTimeouts timeouts_;
    bool readings_on_gui_thread_ = false;

    Project project_;
    std::string project_path_;

    bool running_ = false;
    bool storing_ = false;  // ended, waiting for its commit
    bool start_queued_ = false;
    int run_ = 0;  // tags the worker's posts: those of an aborted run are dropped
    Project running_project_;
    TestRecord current_;

    Counters counters_;
    wxColour verdict_colour_;
    int blinks_left_ = 0;
    wxString pending_log_;  // for the Logger tab, once shown
    bool clear_log_pending_ = false;
    wxStaticText* info_ = nullptr;
    bool compact_ = false;
    CellRunner runner_;  // last: its worker posts to everything above
};

}  // namespace station
