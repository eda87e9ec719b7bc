// SPDX-License-Identifier: MIT
#include "host/station_viewer.h"

#include <algorithm>
#include <set>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/filedlg.h>
#include <wx/grid.h>
#include <wx/msgdlg.h>
#include <wx/radiobox.h>
#include <wx/sizer.h>
#include <wx/splitter.h>
#include <wx/textctrl.h>

#include "host/look.h"
#include "logic/history_csv.h"
#include "logic/statistics.h"
#include "logic/text.h"
#include "logic/workbook.h"

namespace station {

namespace {

const wxString kAllCells = "all";
const wxString kCsvWildcard = "CSV files (*.csv)|*.csv|All files (*)|*";

wxString figure(double value) { return wxString::Format("%.6g", value); }
wxString seconds(std::int64_t ms) { return wxString::Format("%.2f s", double(ms) / 1000); }
wxString count(std::size_t n) { return wxString::Format("%zu", n); }

void clear_rows(wxGrid* grid) {
    if (grid->GetNumberRows() > 0) grid->DeleteRows(0, grid->GetNumberRows());
}

}  // namespace

StationViewerPanel::StationViewerPanel(wxWindow* parent, std::vector<TestRecord>& history,
                                       std::function<void()> on_history_changed)
    : TestDataViewerPanel(parent),
      history_(history),
      on_history_changed_(std::move(on_history_changed)) {
    ui_statistics_analyzer->Show();
    ui_history->Bind(wxEVT_GRID_SELECT_CELL, &StationViewerPanel::on_test_selected, this);
    ui_assertions->Bind(wxEVT_GRID_SELECT_CELL, &StationViewerPanel::on_item_selected, this);
    Layout();
    refresh();
}

std::vector<TestRecord> StationViewerPanel::shown_tests() const {
    std::vector<TestRecord> shown;
    for (std::size_t index : rows_) shown.push_back(history_[index]);
    return shown;
}

const TestRecord* StationViewerPanel::test_at_row(int row) const {
    if (row < 0 || row >= int(rows_.size())) return nullptr;
    return &history_[rows_[row]];
}

void StationViewerPanel::refresh() {
    const wxString filter = ui_cell_filter->GetStringSelection();
    std::set<std::string> cells;
    for (const TestRecord& record : history_) cells.insert(record.cell);
    ui_cell_filter->Clear();
    ui_cell_filter->Append(kAllCells);
    for (const std::string& cell : cells) ui_cell_filter->Append(from_utf8(cell));
    if (!ui_cell_filter->SetStringSelection(filter)) ui_cell_filter->SetStringSelection(kAllCells);

    const wxString shown_cell = ui_cell_filter->GetStringSelection();
    rows_.clear();
    clear_rows(ui_history);
    for (std::size_t i = 0; i < history_.size(); ++i) {
        const TestRecord& r = history_[i];
        if (shown_cell != kAllCells && from_utf8(r.cell) != shown_cell) continue;
        rows_.push_back(i);
        ui_history->AppendRows(1);
        const int row = ui_history->GetNumberRows() - 1;
        ui_history->SetRowLabelValue(row, from_utf8(r.cell));
        ui_history->SetCellValue(row, 0, from_utf8(format_local(r.begin_ms)));
        ui_history->SetCellValue(row, 1, from_utf8(format_local(r.end_ms)));
        ui_history->SetCellValue(row, 2, from_utf8(r.serial));
        ui_history->SetCellValue(row, 3, verdict_text(r.verdict));
        ui_history->SetCellValue(row, 4, from_utf8(r.description));
        if (r.verdict != Verdict::aborted)
            ui_history->SetCellTextColour(row, 3,
                                          r.verdict == Verdict::ok ? ok_colour() : ng_colour());
    }
    selected_row_ = -1;
    clear_rows(ui_assertions);
    show_item_statistics();
    show_total_statistics();
}

void StationViewerPanel::on_test_selected(wxGridEvent& event) {
    event.Skip();
    if (event.GetRow() != selected_row_) show_items(event.GetRow());
}

void StationViewerPanel::show_items(int row) {
    selected_row_ = row;
    clear_rows(ui_assertions);
    const TestRecord* test = test_at_row(row);
    if (!test) return;
    for (const ItemResult& item : test->items) {
        ui_assertions->AppendRows(1);
        const int r = ui_assertions->GetNumberRows() - 1;
        ui_assertions->SetCellValue(r, 0, from_utf8(item.name));
        ui_assertions->SetCellValue(r, 1, from_utf8(format_number(item.value)));
        ui_assertions->SetCellValue(r, 2, from_utf8(format_number(item.lower)));
        ui_assertions->SetCellValue(r, 3, from_utf8(format_number(item.upper)));
        ui_assertions->SetCellValue(r, 4, from_utf8(item.unit));
        ui_assertions->SetCellValue(r, 5, item.ok ? "OK" : "NG");
        ui_assertions->SetCellTextColour(r, 5, item.ok ? ok_colour() : ng_colour());
    }
}

void StationViewerPanel::on_item_selected(wxGridEvent& event) {
    event.Skip();
    const TestRecord* test = selected_test();
    if (!test || event.GetRow() < 0 || event.GetRow() >= int(test->items.size())) return;
    selected_item_ = test->items[event.GetRow()].name;
    show_item_statistics();
}

void StationViewerPanel::show_item_statistics() {
    wxTextCtrl* fields[] = {
        ui_single_item_max,      ui_single_item_min,      ui_single_item_average,
        ui_single_item_middle,   ui_single_item_variance, ui_single_item_std_deviation,
        ui_single_item_ok_count, ui_single_item_ng_count, ui_single_item_yield};
    const ItemStatistics s = item_statistics(history_, selected_item_);
    if (selected_item_.empty() || s.count == 0) {
        for (wxTextCtrl* field : fields) field->SetValue(wxEmptyString);
        return;
    }
    const wxString values[] = {
        figure(s.maximum), figure(s.minimum),  figure(s.average),
        figure(s.median),  figure(s.variance), figure(s.std_deviation),
        count(s.ok),       count(s.ng),        from_utf8(format_percent(s.ok, s.ok + s.ng))};
    for (std::size_t i = 0; i < std::size(fields); ++i) fields[i]->SetValue(values[i]);
}

void StationViewerPanel::show_total_statistics() {
    const TotalStatistics s = total_statistics(shown_tests());
    const bool any = s.ok + s.ng > 0;
    ui_total_statistics_ok_count->SetValue(count(s.ok));
    ui_total_statistics_ng_count->SetValue(count(s.ng));
    ui_total_statistics_yield->SetValue(from_utf8(format_percent(s.ok, s.ok + s.ng)));
    ui_total_statistics_max_test_time->SetValue(any ? seconds(s.longest_ms) : wxString());
    ui_total_statistics_min_test_time->SetValue(any ? seconds(s.shortest_ms) : wxString());
    ui_total_statistics_average_test_time->SetValue(any ? seconds(s.average_ms) : wxString());
}

void StationViewerPanel::m_splitter2OnIdle(wxIdleEvent& event) {
    TestDataViewerPanel::m_splitter2OnIdle(event);
    // Wide enough for the wider of the two statistics panels, shown or not.
    int needed = 0;
    for (wxWindow* pane : {ui_single_item_analyze_panel, ui_total_statistics_panel})
        if (wxSizer* sizer = pane->GetSizer()) needed = std::max(needed, sizer->CalcMin().x);
    m_splitter2->SetSashPosition(-(needed + m_splitter2->GetSashSize() + FromDIP(16)));
}

void StationViewerPanel::on_cell_filter_changed(wxCommandEvent&) { refresh(); }

void StationViewerPanel::on_refresh_statistics_analyzer(wxCommandEvent&) {
    const bool total = ui_statistics_analyzer->GetSelection() == 1;
    ui_single_item_analyze_panel->Show(!total);
    ui_total_statistics_panel->Show(total);
    show_total_statistics();
    ui_statistics_and_analyze_panel->Layout();
}

void StationViewerPanel::fail(const wxString& title, const std::exception& error) {
    wxMessageBox(from_utf8(error.what()) + "\n\nNothing was changed.", title, wxOK | wxICON_ERROR,
                 this);
}

void StationViewerPanel::export_to(const std::string& path) const {
    write_history_csv(path, history_);
}

void StationViewerPanel::import_from(const std::string& path) {
    std::vector<TestRecord> imported = read_history_csv(path);
    history_ = std::move(imported);
    selected_item_.clear();
    refresh();
    if (on_history_changed_) on_history_changed_();
}

void StationViewerPanel::on_export_data(wxCommandEvent&) {
    wxFileDialog dialog(this, utf8_caption("导出数据"), wxEmptyString, "history.csv", kCsvWildcard,
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK) return;
    try {
        export_to(chosen_path(dialog));
    } catch (const std::exception& error) {
        fail("Export failed", error);
    }
}

void StationViewerPanel::on_import_data(wxCommandEvent&) {
    wxFileDialog dialog(this, utf8_caption("导入数据"), wxEmptyString, wxEmptyString, kCsvWildcard,
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return;
    try {
        import_from(chosen_path(dialog));
    } catch (const std::exception& error) {
        fail("Import failed", error);
    }
}

void StationViewerPanel::on_clear_data(wxCommandEvent&) {
    if (history_.empty()) return;
    wxMessageDialog ask(this, wxString::Format("Clear all %zu recorded tests?", history_.size()),
                        utf8_caption("清空数据"), wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION);
    if (ask.ShowModal() != wxID_YES) return;
    history_.clear();
    selected_item_.clear();
    refresh();
    if (on_history_changed_) on_history_changed_();
}

void StationViewerPanel::on_save_single_uut_test_data(wxCommandEvent&) {
    const TestRecord* test = selected_test();
    if (!test) {
        wxMessageBox("Select a test in the history first.", utf8_caption("保存单品数据"),
                     wxOK | wxICON_INFORMATION, this);
        return;
    }
    wxFileDialog dialog(this, utf8_caption("保存单品数据"), wxEmptyString,
                        from_utf8(test->serial) + ".xlsx", "Excel workbooks (*.xlsx)|*.xlsx",
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK) return;
    try {
        write_unit_workbook(chosen_path(dialog), *test);
    } catch (const std::exception& error) {
        fail("Saving the workbook failed", error);
    }
}

StationViewerFrame::StationViewerFrame(wxWindow* parent, std::vector<TestRecord>& history,
                                       std::function<void()> on_history_changed)
    : TestDataViewerFrame(parent) {
    panel = new StationViewerPanel(this, history, std::move(on_history_changed));
    ui_root_sizer->Add(panel, 1, wxEXPAND);
    SetSize(FromDIP(wxSize(1440, 760)));
    Layout();
    Centre();
}

void StationViewerFrame::on_close_window(wxCloseEvent&) { Destroy(); }

}  // namespace station
