// SPDX-License-Identifier: MIT
#include "host/station_viewer.h"

#include <algorithm>
#include <map>
#include <vector>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/filedlg.h>
#include <wx/grid.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/progdlg.h>
#include <wx/radiobox.h>
#include <wx/sizer.h>
#include <wx/splitter.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "host/history_search.h"
#include "host/item_plot.h"
#include "host/keys.h"
#include "host/language.h"
#include "host/look.h"
#include "host/settings.h"
#include "host/report_printing.h"
#include "host/unit_history.h"
#include "logic/history_csv.h"
#include "logic/report_html.h"
#include "logic/statistics.h"
#include "logic/text.h"
#include "logic/workbook.h"

namespace station {

namespace {

// Functions, not constants: the words are looked up once the language is chosen.
wxString all_choice() { return _("all"); }
wxString unknown_project() { return _("(not recorded)"); }
wxString csv_wildcard() { return _("CSV files (*.csv)|*.csv|All files (*)|*"); }

wxString figure(double value) { return wxString::Format("%.6g", value); }
wxString seconds(std::int64_t ms) { return wxString::Format(_("%.2f s"), double(ms) / 1000); }
wxString count(std::size_t n) { return wxString::Format("%zu", n); }

wxString data_folder();
void remember_data_folder(const wxString& folder);

void clear_rows(wxGrid* grid) {
    if (grid->GetNumberRows() > 0) grid->DeleteRows(0, grid->GetNumberRows());
}

}  // namespace

// The history grid's rows, read from the store a page at a time as the grid
// draws them: the grid never holds more than a few pages, whatever the size
// of the history.
class HistoryTable : public wxGridTableBase {
public:
    HistoryTable(const HistoryStore& store, const wxGrid& grid) : store_(store) {
        for (int col = 0; col < kColumns; ++col) labels_[col] = grid.GetColLabelValue(col);
        ok_ = new wxGridCellAttr;
        const wxColour background = grid.GetDefaultCellBackgroundColour();
        ok_->SetTextColour(readable_on(ok_colour(), background));
        ng_ = new wxGridCellAttr;
        ng_->SetTextColour(readable_on(ng_colour(), background));
        error_ = new wxGridCellAttr;
        error_->SetTextColour(readable_on(error_colour(), background));
    }
    ~HistoryTable() override {
        ok_->DecRef();
        ng_->DecRef();
        error_->DecRef();
    }

    // Reads the row count again and tells the grid how it changed.
    void reload(const HistoryFilter& filter, HistoryOrder order) {
        filter_ = filter;
        order_ = order;
        pages_.clear();
        const int before = rows_;
        // A search's rows are its ids, found once; a page is then read by id.
        found_ = filter_.searched() ? store_.find(filter_, order_) : HistoryStore::Found{};
        rows_ = filter_.searched() ? int(found_.ids.size()) : int(store_.count(filter_));
        if (!GetView()) return;
        if (rows_ > before) {
            wxGridTableMessage message(this, wxGRIDTABLE_NOTIFY_ROWS_APPENDED, rows_ - before);
            GetView()->ProcessTableMessage(message);
        } else if (rows_ < before) {
            wxGridTableMessage message(this, wxGRIDTABLE_NOTIFY_ROWS_DELETED, rows_,
                                       before - rows_);
            GetView()->ProcessTableMessage(message);
        }
        GetView()->ForceRefresh();
    }

    // The totals of the rows shown, when they are a search's.
    const TotalStatistics* found_totals() const {
        return filter_.searched() ? &found_.totals : nullptr;
    }

    const TestSummary* at(int row) const {
        if (row < 0 || row >= rows_) return nullptr;
        const std::int64_t first = row / kPageRows * std::int64_t(kPageRows);
        auto page = pages_.find(first);
        if (page == pages_.end()) {
            // A handful of pages covers a screen and its scrolling neighbours.
            if (pages_.size() >= kPagesKept) pages_.erase(pages_.begin());
            std::vector<TestSummary> rows;
            if (filter_.searched())
                rows = store_.summaries(
                    found_.ids.data() + first,
                    std::min<std::size_t>(kPageRows, found_.ids.size() - std::size_t(first)));
            else
                rows = store_.page(filter_, first, kPageRows, order_);
            page = pages_.emplace(first, std::move(rows)).first;
        }
        const std::size_t index = std::size_t(row - first);
        return index < page->second.size() ? &page->second[index] : nullptr;
    }

    int GetNumberRows() override { return rows_; }
    int GetNumberCols() override { return kColumns; }
    bool IsEmptyCell(int, int) override { return false; }
    void SetValue(int, int, const wxString&) override {}
    wxString GetColLabelValue(int col) override { return labels_[col]; }
    wxString GetRowLabelValue(int row) override {
        const TestSummary* t = at(row);
        return t ? cell_caption(t->cell) : wxString();
    }
    wxString GetValue(int row, int col) override {
        const TestSummary* t = at(row);
        if (!t) return wxString();
        switch (col) {
            case 0: return from_utf8(format_local(t->begin_ms));
            case 1: return from_utf8(format_local(t->end_ms));
            case 2: return from_utf8(t->serial);
            case 3: return from_utf8(verdict_caption(t->verdict));
            default: return from_utf8(t->description);
        }
    }
    wxGridCellAttr* GetAttr(int row, int col, wxGridCellAttr::wxAttrKind) override {
        if (col != 3) return nullptr;
        const TestSummary* t = at(row);
        if (!t || t->verdict == Verdict::aborted) return nullptr;
        wxGridCellAttr* attr = t->verdict == Verdict::ok   ? ok_
                               : t->verdict == Verdict::ng ? ng_
                                                           : error_;
        attr->IncRef();
        return attr;
    }

private:
    static constexpr int kColumns = 5;
    static constexpr int kPageRows = 256;
    static constexpr std::size_t kPagesKept = 8;

    const HistoryStore& store_;
    HistoryFilter filter_;
    HistoryOrder order_ = HistoryOrder::newest_first;
    HistoryStore::Found found_;
    int rows_ = 0;
    wxString labels_[kColumns];
    mutable std::map<std::int64_t, std::vector<TestSummary>> pages_;
    wxGridCellAttr* ok_;
    wxGridCellAttr* ng_;
    wxGridCellAttr* error_;
};

StationViewerPanel::StationViewerPanel(wxWindow* parent, HistoryStore& store,
                                       std::optional<std::string> project)
    : TestDataViewerPanel(parent), store_(store), wanted_project_(std::move(project)) {
    ui_statistics_analyzer->Show();
    // Records of two products do not mix: a project filter beside the cell's.
    wxSizer* commands = ui_cell_filter->GetContainingSizer();
    wxWindow* row = ui_cell_filter->GetParent();
    std::size_t at = 0;
    while (at < commands->GetItemCount() && commands->GetItem(at)->GetWindow() != ui_cell_filter)
        ++at;
    auto* project_label = new wxStaticText(row, wxID_ANY, _("Project"));
    ui_project_filter = new wxChoice(row, wxID_ANY);
    // A project's name may be long: the row keeps its width.
    ui_project_filter->SetMinSize(wxSize(FromDIP(180), -1));
    commands->Insert(at + 1, project_label, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    commands->Insert(at + 2, ui_project_filter, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    ui_project_filter->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
        wanted_project_ = shown_project();
        selected_item_.reset();
        refresh();
    });
    // Finding a unit: a row of its own under the filters.
    ui_search = new HistorySearchBar(row);
    row->GetSizer()->Insert(1, ui_search, 0, wxEXPAND | wxLEFT | wxRIGHT, 5);
    ui_search->on_changed = [this] { refresh(); };
    ui_search->on_unit_history = [this] { open_unit_history(); };
    ui_search->on_print = [this] { print_selected(); };
    // Tests the station could not make are neither OK nor NG: counted apart.
    wxWindow* totals = ui_total_statistics_ok_count->GetParent();
    wxSizer* pairs = ui_total_statistics_ok_count->GetContainingSizer();
    pairs->Add(new wxStaticText(totals, wxID_ANY, from_utf8(tr("Error数量"))), 0,
               wxALIGN_CENTER_VERTICAL | wxALL, 5);
    ui_total_statistics_error_count = new wxTextCtrl(
        totals, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxTE_READONLY);
    pairs->Add(ui_total_statistics_error_count, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    ui_item_plot = new ItemPlotPanel(ui_statistics_and_analyze_panel);
    ui_statistics_and_analyze_sizer->Insert(1, ui_item_plot, 1, wxEXPAND | wxALL, 5);
    // The grid forgets its column widths with its table.
    std::vector<int> widths;
    for (int col = 0; col < ui_history->GetNumberCols(); ++col)
        widths.push_back(ui_history->GetColSize(col));
    row_label_width_ = ui_history->GetRowLabelSize();
    table_ = new HistoryTable(store_, *ui_history);
    ui_history->SetTable(table_, true);
    for (std::size_t col = 0; col < widths.size(); ++col)
        ui_history->SetColSize(int(col), widths[col]);
    leave_on_tab(ui_history);
    leave_on_tab(ui_assertions);
    ui_history->Bind(wxEVT_GRID_SELECT_CELL, &StationViewerPanel::on_test_selected, this);
    ui_assertions->Bind(wxEVT_GRID_SELECT_CELL, &StationViewerPanel::on_item_selected, this);
    ui_history->Bind(wxEVT_GRID_CELL_LEFT_DCLICK, [this](wxGridEvent& event) {
        show_items(event.GetRow());
        open_unit_history();
    });
    ui_history->Bind(wxEVT_GRID_LABEL_LEFT_DCLICK, [this](wxGridEvent& event) {
        if (event.GetRow() < 0) return event.Skip();
        show_items(event.GetRow());
        open_unit_history();
    });
    Layout();
    refresh();
}

std::string StationViewerPanel::shown_cell() const {
    const auto cell = cell_names_.find(ui_cell_filter->GetStringSelection());
    return cell == cell_names_.end() ? std::string() : cell->second;
}

std::optional<std::string> StationViewerPanel::shown_project() const {
    const int at = ui_project_filter->GetSelection();
    if (at < 0 || std::size_t(at) >= project_choices_.size()) return std::nullopt;
    return project_choices_[std::size_t(at)];
}

HistoryFilter StationViewerPanel::shown_filter() const {
    return ui_search->narrow({shown_cell(), shown_project()});
}

void StationViewerPanel::show_project(const std::optional<std::string>& project) {
    wanted_project_ = project;
    selected_item_.reset();
    refresh();
}

void StationViewerPanel::list_projects() {
    // The project asked for stays listed, tests or not: the viewer of a
    // station opens on the project it runs before it has tested anything.
    std::vector<std::string> names = store_.projects();
    if (wanted_project_ && std::find(names.begin(), names.end(), *wanted_project_) == names.end())
        names.insert(std::lower_bound(names.begin(), names.end(), *wanted_project_),
                     *wanted_project_);
    project_choices_.assign(1, std::nullopt);
    ui_project_filter->Clear();
    ui_project_filter->Append(all_choice());
    int selection = 0;
    for (const std::string& name : names) {
        if (wanted_project_ == name) selection = int(project_choices_.size());
        project_choices_.push_back(name);
        // Records of older stations do not say which project they tested.
        ui_project_filter->Append(name.empty() ? unknown_project() : from_utf8(name));
    }
    ui_project_filter->SetSelection(selection);
}

std::optional<TestRecord> StationViewerPanel::test_at_row(int row) const {
    const TestSummary* t = table_->at(row);
    if (!t) return std::nullopt;
    return store_.test(t->id);
}

void StationViewerPanel::refresh() {
    const wxString filter = from_utf8(shown_cell());
    ui_cell_filter->Clear();
    cell_names_.clear();
    ui_cell_filter->Append(all_choice());
    // Cells of a line read "<station> / <cell>": the row labels widen to show them.
    int label_width = row_label_width_;
    wxClientDC dc(ui_history->GetGridRowLabelWindow());
    dc.SetFont(ui_history->GetLabelFont());
    for (const std::string& cell : store_.cells()) {
        cell_names_[cell_caption(cell)] = cell;
        ui_cell_filter->Append(cell_caption(cell));
        label_width = std::max(label_width, dc.GetTextExtent(cell_caption(cell)).x + FromDIP(12));
    }
    if (ui_history->GetRowLabelSize() != label_width) ui_history->SetRowLabelSize(label_width);
    if (filter.empty() || !ui_cell_filter->SetStringSelection(cell_caption(to_utf8(filter))))
        ui_cell_filter->SetStringSelection(all_choice());
    list_projects();

    table_->reload(shown_filter(), ui_search->order());
    // The selected test keeps its items shown as long as it is still a row.
    if (selected_row_ >= 0 && (!selected_test_ || !table_->at(selected_row_) ||
                               table_->at(selected_row_)->begin_ms != selected_test_->begin_ms))
        show_items(-1);
    show_item_statistics();
    show_total_statistics();
}

void StationViewerPanel::on_test_selected(wxGridEvent& event) {
    event.Skip();
    if (event.GetRow() != selected_row_) show_items(event.GetRow());
}

void StationViewerPanel::show_items(int row) {
    selected_row_ = row;
    selected_test_ = test_at_row(row);
    clear_rows(ui_assertions);
    const std::optional<TestRecord>& test = selected_test_;
    if (!test) return;
    for (const ItemResult& item : test->items) {
        ui_assertions->AppendRows(1);
        const int r = ui_assertions->GetNumberRows() - 1;
        ui_assertions->SetCellValue(r, 0, from_utf8(item.name));
        ui_assertions->SetCellValue(r, 1, from_utf8(format_number(item.value)));
        ui_assertions->SetCellValue(r, 2, from_utf8(format_number(item.lower)));
        ui_assertions->SetCellValue(r, 3, from_utf8(format_number(item.upper)));
        ui_assertions->SetCellValue(r, 4, from_utf8(item.unit));
        ui_assertions->SetCellValue(r, 5, item.ok ? _("OK") : _("NG"));
        ui_assertions->SetCellTextColour(
            r, 5,
            readable_on(item.ok ? ok_colour() : ng_colour(),
                        ui_assertions->GetDefaultCellBackgroundColour()));
    }
}

void StationViewerPanel::on_item_selected(wxGridEvent& event) {
    event.Skip();
    const std::optional<TestRecord>& test = selected_test_;
    if (!test || event.GetRow() < 0 || event.GetRow() >= int(test->items.size())) return;
    const ItemResult& item = test->items[std::size_t(event.GetRow())];
    selected_item_ = ItemKey{test->project, item.name, item.unit};
    selected_limits_ = ItemLimits::of(item.lower, item.upper);
    show_item_statistics();
}

void StationViewerPanel::show_item_statistics() {
    wxTextCtrl* fields[] = {
        ui_single_item_max,      ui_single_item_min,      ui_single_item_average,
        ui_single_item_middle,   ui_single_item_variance, ui_single_item_std_deviation,
        ui_single_item_ok_count, ui_single_item_ng_count, ui_single_item_yield};
    const ItemStatistics s =
        selected_item_ ? store_.item_statistics(selected_item_->project, selected_item_->name,
                                                selected_item_->unit)
                       : ItemStatistics{};
    if (selected_item_)
        ui_item_plot->show(store_, *selected_item_, shown_filter(), selected_limits_);
    else
        ui_item_plot->clear();
    if (s.count == 0) {
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
    // A search counted its tests as it found them.
    const TotalStatistics* found = table_->found_totals();
    const TotalStatistics s = found ? *found : store_.total_statistics(shown_filter());
    const bool any = s.ok + s.ng > 0;
    ui_total_statistics_ok_count->SetValue(count(s.ok));
    ui_total_statistics_ng_count->SetValue(count(s.ng));
    ui_total_statistics_error_count->SetValue(count(s.error));
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
    // The window may still grow after this (a remembered or a window
    // manager's size): the growth goes to the tables, not to the figures.
    m_splitter2->SetSashGravity(1.0);
}

void StationViewerPanel::on_cell_filter_changed(wxCommandEvent&) { refresh(); }

void StationViewerPanel::on_refresh_statistics_analyzer(wxCommandEvent&) {
    const bool total = ui_statistics_analyzer->GetSelection() == 1;
    ui_single_item_analyze_panel->Show(!total);
    ui_item_plot->Show(!total);
    ui_total_statistics_panel->Show(total);
    show_total_statistics();
    ui_statistics_and_analyze_panel->Layout();
}

std::string StationViewerPanel::wanted_unit() const {
    if (selected_test_) return selected_test_->serial;
    // A whole serial typed in the search.
    return to_utf8(ui_search->ui_serial->GetValue().Strip(wxString::both));
}

UnitHistoryDialog* StationViewerPanel::open_unit_history() {
    const std::string serial = wanted_unit();
    if (serial.empty()) {
        wxMessageBox(_("Select a test in the history, or type a unit's serial number, first."),
                     _("Unit history"), wxOK | wxICON_INFORMATION, this);
        return nullptr;
    }
    try {
        auto* dialog = new UnitHistoryDialog(this, store_, serial);
        dialog->Show();
        return dialog;
    } catch (const std::exception& error) {
        fail(_("Unit history failed"), error);
        return nullptr;
    }
}

void StationViewerPanel::print_selected() {
    if (!selected_test_) {
        wxMessageBox(_("Select a test in the history first."), _("Report"),
                     wxOK | wxICON_INFORMATION, this);
        return;
    }
    enum { print = 1, pdf };
    wxMenu menu;
    menu.Append(print, _("Print..."));
    menu.Append(pdf, _("Save as PDF..."));
    const int chosen = GetPopupMenuSelectionFromUser(menu, ui_search->ui_report->GetPosition() +
                                                               ui_search->GetPosition());
    if (chosen == print) print_test_report(this, *selected_test_);
    if (chosen != pdf) return;
    wxFileDialog dialog(this, _("Save the report as PDF"), data_folder(),
                        from_utf8(selected_test_->serial) + ".pdf", _("PDF files (*.pdf)|*.pdf"),
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK) return;
    remember_data_folder(dialog.GetDirectory());
    try {
        save_report_pdf(chosen_path(dialog));
    } catch (const std::exception& error) {
        wxLogError("%s", from_utf8(error.what()));
        wxMessageBox(from_utf8(error.what()), _("Save as PDF"), wxOK | wxICON_ERROR, this);
    }
}

void StationViewerPanel::save_report_pdf(const std::string& path) const {
    if (!selected_test_) throw std::runtime_error("no test is selected in the history");
    write_pdf(from_utf8(test_report_html(*selected_test_)), path,
              wxString::Format(_("Test report %s"), from_utf8(selected_test_->serial)));
    wxLogMessage("Saved the report of %s to %s", from_utf8(selected_test_->serial),
                 from_utf8(path));
}

namespace {

// Where the operator last took data from or put it.
wxString data_folder() {
    const Settings* settings = Settings::current();
    return settings ? settings->folder("data") : wxString();
}

void remember_data_folder(const wxString& folder) {
    if (Settings* settings = Settings::current()) settings->set_folder("data", folder);
}

}  // namespace

void StationViewerPanel::fail(const wxString& title, const std::exception& error) {
    wxLogError("%s: %s", title, from_utf8(error.what()));
    wxMessageBox(from_utf8(error.what()) + "\n\n" + _("Nothing was changed."), title, wxOK | wxICON_ERROR,
                 this);
}

void StationViewerPanel::export_to(const std::string& path) const {
    HistoryCsvWriter writer(path);
    std::size_t tests = 0;
    store_.for_each([&](const TestRecord& record) {
        writer.write(record);
        ++tests;
    });
    writer.commit();
    wxLogMessage("Exported %zu tests to %s", tests, from_utf8(path));
}

HistoryStore::ImportResult StationViewerPanel::import_from(const std::string& path) {
    std::string text;
    try {
        text = read_file(path);
    } catch (const std::runtime_error& error) {
        throw HistoryFileError(error.what());
    }
    // The import is one transaction: any fault, or Cancel, stores nothing.
    wxProgressDialog progress(
        layer_caption("导入数据"), wxString::Format(_("Importing %s"), from_utf8(path)), 1000, this,
        wxPD_APP_MODAL | wxPD_AUTO_HIDE | wxPD_CAN_ABORT | wxPD_ELAPSED_TIME | wxPD_REMAINING_TIME);
    const HistoryStore::ImportResult result = store_.import_from([&](const auto& add) {
        read_history_csv_each(text, add, [&](std::size_t done, std::size_t all) {
            if (!progress.Update(int(done * 1000 / std::max<std::size_t>(all, 1))))
                throw HistoryFileError(tr("the import was cancelled"));
        });
    });
    selected_item_.reset();
    refresh();
    wxLogMessage("Imported %s: %zu tests added, %zu already stored", from_utf8(path), result.added,
                 result.skipped);
    return result;
}

void StationViewerPanel::on_export_data(wxCommandEvent&) {
    wxFileDialog dialog(this, layer_caption("导出数据"), data_folder(), "history.csv", csv_wildcard(),
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK) return;
    remember_data_folder(dialog.GetDirectory());
    try {
        export_to(chosen_path(dialog));
    } catch (const std::exception& error) {
        fail(_("Export failed"), error);
    }
}

void StationViewerPanel::on_import_data(wxCommandEvent&) {
    wxFileDialog dialog(this, layer_caption("导入数据"), data_folder(), wxEmptyString, csv_wildcard(),
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return;
    remember_data_folder(dialog.GetDirectory());
    try {
        const HistoryStore::ImportResult result = import_from(chosen_path(dialog));
        wxMessageBox(
            wxString::Format(_("%zu tests added, %zu already stored."), result.added, result.skipped),
            layer_caption("导入数据"), wxOK | wxICON_INFORMATION, this);
    } catch (const std::exception& error) {
        fail(_("Import failed"), error);
    }
}

void StationViewerPanel::on_clear_data(wxCommandEvent&) {
    const std::int64_t tests = store_.count();
    if (tests == 0) return;
    wxMessageDialog ask(this, wxString::Format(_("Clear all %lld recorded tests?"), (long long)tests),
                        layer_caption("清空数据"), wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION);
    if (ask.ShowModal() != wxID_YES) return;
    selected_item_.reset();
    try {
        store_.clear();
        wxLogMessage("Test history cleared: %lld tests", (long long)tests);
    } catch (const std::exception& error) {
        fail(_("Clearing failed"), error);
    }
    refresh();
}

void StationViewerPanel::on_save_single_uut_test_data(wxCommandEvent&) {
    const std::optional<TestRecord>& test = selected_test_;
    if (!test) {
        wxMessageBox(_("Select a test in the history first."), layer_caption("保存单品数据"),
                     wxOK | wxICON_INFORMATION, this);
        return;
    }
    wxFileDialog dialog(this, layer_caption("保存单品数据"), data_folder(),
                        from_utf8(test->serial) + ".xlsx", _("Excel workbooks (*.xlsx)|*.xlsx"),
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK) return;
    try {
        remember_data_folder(dialog.GetDirectory());
        write_unit_workbook(chosen_path(dialog), *test);
        wxLogMessage("Exported the test of %s to %s", from_utf8(test->serial),
                     from_utf8(chosen_path(dialog)));
    } catch (const std::exception& error) {
        fail(_("Saving the workbook failed"), error);
    }
}

StationViewerFrame::StationViewerFrame(wxWindow* parent, HistoryStore& store,
                                       std::optional<std::string> project)
    : TestDataViewerFrame(parent) {
    panel = new StationViewerPanel(this, store, std::move(project));
    ui_root_sizer->Add(panel, 1, wxEXPAND);
    SetSize(FromDIP(wxSize(1440, 760)));
    Layout();
    Centre();
    SetTitle(wxString::Format(_("Test data - %s"), from_utf8(store.path())));
    // Ahead of the focused grid, which takes Escape for its selection.
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
        const bool escape = event.GetKeyCode() == WXK_ESCAPE && !event.HasAnyModifiers();
        const bool ctrl_w = event.GetKeyCode() == 'W' && event.GetModifiers() == wxMOD_CONTROL;
        if (escape || ctrl_w)
            Close();
        else
            event.Skip();
    });
}

StationViewerFrame::StationViewerFrame(std::unique_ptr<HistoryStore> store)
    : StationViewerFrame(nullptr, *store) {
    own_store_ = std::move(store);
    own_store_->set_on_changed([this] { panel->refresh(); });
}

void StationViewerFrame::show_remembered() {
    remember_window(this, "viewer");
    remember_sash(panel->m_splitter2, "viewer_columns");
    remember_sash(panel->m_splitter1, "viewer_rows");
    Show();
}

// The panel's table reads the store until the panel is gone.
StationViewerFrame::~StationViewerFrame() { DestroyChildren(); }

void StationViewerFrame::on_close_window(wxCloseEvent&) { Destroy(); }

}  // namespace station
