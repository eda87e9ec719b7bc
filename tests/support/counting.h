// SPDX-License-Identifier: MIT
#pragma once

// Hosts that record, by name, every handler a window calls, and handle the
// event (no Skip). One subclass per window with handlers.

#include <atsui/atsui.h>

#include "support/harness.h"

namespace atsui_test {

struct CountingCell : tov_atsui::Cell {
    using Cell::Cell;
    CallLog log;
    void on_refresh_timer_event(wxTimerEvent&) override { log.hit("on_refresh_timer_event"); }
    void on_blink_timer_event(wxTimerEvent&) override { log.hit("on_blink_timer_event"); }
    void on_start_cell_test(wxCommandEvent&) override { log.hit("on_start_cell_test"); }
    void on_abort_cell_test(wxCommandEvent&) override { log.hit("on_abort_cell_test"); }
    void on_browse_script(wxCommandEvent&) override { log.hit("on_browse_script"); }
};

struct CountingFrame : tov_atsui::Frame {
    using Frame::Frame;
    CallLog log;
    // What the check item's event said when it arrived.
    bool debug_checked_in_handler = false;

    void on_close_app(wxEvent&) override { log.hit("on_close_app"); }
    void on_show_manual_operation_dialog(wxCommandEvent&) override {
        log.hit("on_show_manual_operation_dialog");
    }
    void on_start_ticker(wxCommandEvent&) override { log.hit("on_start_ticker"); }
    void on_clear_statistics(wxCommandEvent&) override { log.hit("on_clear_statistics"); }
    void on_change_debug_mode(wxCommandEvent& e) override {
        log.hit("on_change_debug_mode");
        debug_checked_in_handler = e.IsChecked();
    }
    void on_export_assertion_config(wxCommandEvent&) override {
        log.hit("on_export_assertion_config");
    }
    void on_show_test_data_window(wxCommandEvent&) override { log.hit("on_show_test_data_window"); }
    void on_edit_test_parameters(wxCommandEvent&) override { log.hit("on_edit_test_parameters"); }
    void on_reload_test_parameters(wxCommandEvent&) override {
        log.hit("on_reload_test_parameters");
    }
    void on_save_test_parameters(wxCommandEvent&) override { log.hit("on_save_test_parameters"); }
    void on_show_about_dialog(wxCommandEvent&) override { log.hit("on_show_about_dialog"); }
    void on_ticker_timer_event(wxTimerEvent&) override { log.hit("on_ticker_timer_event"); }
    void on_trigger_initializer(wxTimerEvent&) override { log.hit("on_trigger_initializer"); }
    void on_start_all(wxCommandEvent&) override { log.hit("on_start_all"); }
    void on_abort_all(wxCommandEvent&) override { log.hit("on_abort_all"); }
};

struct CountingViewerPanel : tov_atsui::TestDataViewerPanel {
    using TestDataViewerPanel::TestDataViewerPanel;
    CallLog log;
    void on_clear_data(wxCommandEvent&) override { log.hit("on_clear_data"); }
    void on_export_data(wxCommandEvent&) override { log.hit("on_export_data"); }
    void on_import_data(wxCommandEvent&) override { log.hit("on_import_data"); }
    void on_save_single_uut_test_data(wxCommandEvent&) override {
        log.hit("on_save_single_uut_test_data");
    }
    void on_cell_filter_changed(wxCommandEvent&) override { log.hit("on_cell_filter_changed"); }
    void on_refresh_statistics_analyzer(wxCommandEvent&) override {
        log.hit("on_refresh_statistics_analyzer");
    }
};

struct CountingLauncher : tov_atsui::ATSLauncher {
    using ATSLauncher::ATSLauncher;
    CallLog log;
    void on_click_projects(wxCommandEvent&) override { log.hit("on_click_projects"); }
    void on_click_learn(wxCommandEvent&) override { log.hit("on_click_learn"); }
    void on_browse(wxCommandEvent&) override { log.hit("on_browse"); }
    void on_open(wxCommandEvent&) override { log.hit("on_open"); }
};

}  // namespace atsui_test
