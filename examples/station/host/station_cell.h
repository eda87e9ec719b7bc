// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <atsui/station/cell.h>

#include "logic/project.h"
#include "logic/record.h"
#include "logic/simulator.h"
#include "logic/statistics.h"

class wxStaticText;

namespace station {

// One test cell: takes a serial number, measures the project's items one per
// refresh tick, shows the verdict and keeps the cell's own history.
class StationCell : public tov_atsui::Cell {
public:
    using FinishedHandler = std::function<void(StationCell&, const TestRecord&)>;

    // The cell draws from its own stream of the station's seed.
    StationCell(wxWindow* parent, int number, std::uint64_t station_seed, int item_ms,
                FinishedHandler on_finished);

    wxString cell_name() const;
    bool running() const { return running_; }
    const Project& project() const { return project_; }
    const std::string& project_path() const { return project_path_; }
    const Counters& counters() const { return counters_; }

    // A running test keeps the project it started with.
    void set_project(const Project& project, const std::string& path);
    // False, with the reason in the prompt or the log, when the test cannot start.
    bool start();
    void abort();
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
    void log(const wxString& line);
    void measure_next_item();
    void end_test(Verdict verdict);
    void show_statistics();
    void show_info();

    int number_;
    std::uint64_t seed_;
    int item_ms_;
    FinishedHandler on_finished_;
    Simulator simulator_;

    Project project_;
    std::string project_path_;

    bool running_ = false;
    Project running_project_;
    TestRecord current_;

    Counters counters_;
    wxColour verdict_colour_;
    int blinks_left_ = 0;
    wxStaticText* info_ = nullptr;
    bool compact_ = false;
};

}  // namespace station
