// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <atsui/viewer/test_data_viewer_frame.h>
#include <atsui/viewer/test_data_viewer_panel.h>

#include "logic/history_store.h"
#include "logic/item_figures.h"

class wxGridEvent;

namespace station {

class HistorySearchBar;
class HistoryTable;
class UnitHistoryDialog;
class ItemPlotPanel;

// The station's history in the viewer: tests by cell, the items of the
// selected test, statistics of the selected item or of all shown tests.
// Everything is asked of the store; the grid holds one page of tests at a time.
class StationViewerPanel : public tov_atsui::TestDataViewerPanel {
public:
    // project: the one shown first (std::nullopt: all of them).
    StationViewerPanel(wxWindow* parent, HistoryStore& store,
                       std::optional<std::string> project = std::nullopt);

    // Shows the store again, keeping the cell filter and the scroll position
    // where possible. Whoever owns the store's change callback calls this.
    void refresh();
    // Both throw std::runtime_error; a failed import leaves the store as it was.
    void export_to(const std::string& path) const;
    HistoryStore::ImportResult import_from(const std::string& path);
    // The test shown in the history grid's row.
    std::optional<TestRecord> test_at_row(int row) const;
    std::optional<TestRecord> selected_test() const { return test_at_row(selected_row_); }
    // The cell the filter shows, empty for all cells.
    std::string shown_cell() const;
    // The project the filter shows: std::nullopt for all, "" for records
    // that do not say.
    std::optional<std::string> shown_project() const;
    // The cell, project, serial and days shown.
    HistoryFilter shown_filter() const;
    void show_project(const std::optional<std::string>& project);

    wxChoice* ui_project_filter = nullptr;
    HistorySearchBar* ui_search = nullptr;

    // Every test of the selected test's unit (or of the serial typed in the
    // search), in a window of its own; nullptr when there is no unit to show.
    UnitHistoryDialog* open_unit_history();
    // The selected test's report: printed, or saved as PDF, as the operator picks.
    void print_selected();
    // Throws std::runtime_error naming the file, or when no test is selected.
    void save_report_pdf(const std::string& path) const;
    // Tests that ended in Error, apart from OK and NG.
    wxTextCtrl* ui_total_statistics_error_count = nullptr;
    // The selected item's histogram, trend and capability over the shown tests.
    ItemPlotPanel* ui_item_plot = nullptr;

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
    void list_projects();
    void fail(const wxString& title, const std::exception& error);
    std::string wanted_unit() const;

    HistoryStore& store_;
    HistoryTable* table_ = nullptr;  // owned by the grid
    int row_label_width_ = 0;
    // The cell filter's captions ("Zelle 1") and the names the records keep ("Cell 1").
    std::map<wxString, std::string> cell_names_;
    int selected_row_ = -1;
    std::optional<TestRecord> selected_test_;
    // The item whose figures show, and its limits in the selected test.
    std::optional<ItemKey> selected_item_;
    ItemLimits selected_limits_;
    // Index i of ui_project_filter shows project_choices_[i].
    std::vector<std::optional<std::string>> project_choices_;
    std::optional<std::string> wanted_project_;
};

class StationViewerFrame : public tov_atsui::TestDataViewerFrame {
public:
    StationViewerFrame(wxWindow* parent, HistoryStore& store,
                       std::optional<std::string> project = std::nullopt);
    // The history browser: the frame owns the store and is its only window.
    explicit StationViewerFrame(std::unique_ptr<HistoryStore> store);
    ~StationViewerFrame() override;

    StationViewerPanel* panel;

    // Shows the window where it was last, with its sashes where they were.
    void show_remembered();

    void on_close_window(wxCloseEvent& event) override;

private:
    std::unique_ptr<HistoryStore> own_store_;
};

}  // namespace station
