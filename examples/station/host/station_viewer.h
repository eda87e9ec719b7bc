// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <atsui/viewer/test_data_viewer_frame.h>
#include <atsui/viewer/test_data_viewer_panel.h>

#include "logic/record.h"

class wxGridEvent;

namespace station {

// The station's history in the viewer: tests by cell, the items of the
// selected test, statistics of the selected item or of all shown tests.
class StationViewerPanel : public tov_atsui::TestDataViewerPanel {
public:
    StationViewerPanel(wxWindow* parent, std::vector<TestRecord>& history,
                       std::function<void()> on_history_changed);

    // Shows the history again, keeping the cell filter where possible.
    void refresh();
    // Both throw std::runtime_error; a failed import leaves the history as it was.
    void export_to(const std::string& path) const;
    void import_from(const std::string& path);
    // The test shown in the history grid's row, or nullptr.
    const TestRecord* test_at_row(int row) const;
    const TestRecord* selected_test() const { return test_at_row(selected_row_); }

    void on_clear_data(wxCommandEvent& event) override;
    void on_export_data(wxCommandEvent& event) override;
    void on_import_data(wxCommandEvent& event) override;
    void on_save_single_uut_test_data(wxCommandEvent& event) override;
    void on_cell_filter_changed(wxCommandEvent& event) override;
    void on_refresh_statistics_analyzer(wxCommandEvent& event) override;
    // The tables need the width more than the nine statistics fields do.
    void m_splitter2OnIdle(wxIdleEvent& event) override;

private:
    void on_test_selected(wxGridEvent& event);
    void on_item_selected(wxGridEvent& event);
    void show_items(int row);
    void show_item_statistics();
    void show_total_statistics();
    std::vector<TestRecord> shown_tests() const;
    void fail(const wxString& title, const std::exception& error);

    std::vector<TestRecord>& history_;
    std::function<void()> on_history_changed_;
    std::vector<std::size_t> rows_;  // history index of each grid row
    int selected_row_ = -1;
    std::string selected_item_;
};

class StationViewerFrame : public tov_atsui::TestDataViewerFrame {
public:
    StationViewerFrame(wxWindow* parent, std::vector<TestRecord>& history,
                       std::function<void()> on_history_changed);

    StationViewerPanel* panel;

    void on_close_window(wxCloseEvent& event) override;
};

}  // namespace station
