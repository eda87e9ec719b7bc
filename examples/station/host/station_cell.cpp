// SPDX-License-Identifier: MIT
#include "host/station_cell.h"

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/settings.h>
#include <wx/filedlg.h>
#include <wx/gauge.h>
#include <wx/grid.h>
#include <wx/msgdlg.h>
#include <wx/notebook.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "host/keys.h"
#include "host/look.h"
#include "host/station_log.h"
#include "logic/text.h"

namespace station {

namespace {

constexpr int kBlinkMs = 400;
constexpr int kClockMs = 200;  // the elapsed time's refresh
constexpr int kBlinkToggles = 8;

const char* const kItemColumns[] = {wxTRANSLATE("Item Name"), wxTRANSLATE("Value"),
                                    wxTRANSLATE("Lower"),     wxTRANSLATE("Upper"),
                                    wxTRANSLATE("Unit"),      wxTRANSLATE("Result")};
// Headings no wider than what they head, for a narrow cell.
const char* const kCompactItemColumns[] = {wxTRANSLATE("Item"), wxTRANSLATE("Value"),
                                           wxTRANSLATE("Min"),  wxTRANSLATE("Max"),
                                           wxTRANSLATE("Unit"), wxTRANSLATE("Res.")};

// Only a changed cell is redrawn: the grid repaints a cell on every set.
void set_cell(wxGrid* grid, int row, int col, const wxString& value) {
    if (grid->GetCellValue(row, col) != value) grid->SetCellValue(row, col, value);
}

void append_row(wxGrid* grid, const std::initializer_list<wxString>& values) {
    grid->AppendRows(1);
    const int row = grid->GetNumberRows() - 1;
    int col = 0;
    for (const wxString& value : values) grid->SetCellValue(row, col++, value);
}

}  // namespace

StationCell::StationCell(wxWindow* parent, int number, std::uint64_t station_seed, int item_ms,
                         FinishedHandler on_finished, std::unique_ptr<TestRunner> runner,
                         SerialsInTest* serials)
    : Cell(parent),
      number_(number),
      seed_(station_seed),
      item_ms_(item_ms),
      on_finished_(std::move(on_finished)),
      session_(to_utf8(wxString::Format("Cell %d", number)), serials),
      runner_(runner
                  ? std::move(runner)
                  : std::make_unique<CellRunner>(Simulator::seed_for_cell(station_seed, number))) {
    // The name in the records is "Cell N" in every language; the label is the operator's.
    ui_cell_name->SetLabel(wxString::Format(_("Cell %d"), number));

    ui_assertions->AppendCols(std::size(kItemColumns));
    for (int col = 0; col < int(std::size(kItemColumns)); ++col)
        ui_assertions->SetColLabelValue(col, wxGetTranslation(kItemColumns[col]));
    ui_assertions->SetColSize(0, 160);
    // Let the grids scroll rather than widen the cell to all their columns.
    ui_assertions->SetMinSize(wxSize(200, 120));
    ui_history_grid->SetMinSize(wxSize(200, 120));
    leave_on_tab(ui_assertions);
    leave_on_tab(ui_history_grid);
    ui_assertions->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        fit_item_columns();
    });
    // The layer leaves the field at its default width, too narrow for 16 pt.
    ui_elapse_time->SetMinSize(wxSize(ui_elapse_time->GetTextExtent("00:00:00 ").x + 16, -1));

    // Only the station writes its counters; the serial number is the operator's.
    for (wxTextCtrl* figure : {ui_ok_count, ui_ng_count, ui_ok_percent, ui_elapse_time})
        figure->SetEditable(false);

    make_text_readable();

    info_ = new wxStaticText(ui_other_info_panel, wxID_ANY, wxEmptyString);
    ui_other_info_sizer->Add(info_, 1, wxALL | wxALIGN_CENTER_VERTICAL, 5);
    ui_statistics_panel->Show();
    show_statistics();
    StationLog::ensure().attach(this, [this](const wxString& line) { show_log_line(line); });
    ui_view_notebook->Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, [this](wxBookCtrlEvent& event) {
        event.Skip();
        if (logger_shown()) flush_log();
    });
}

StationCell::~StationCell() {
    runner_->stop_and_join();
    if (StationLog* log = StationLog::active()) log->detach(this);
}

wxString StationCell::cell_name() const { return from_utf8(session_.cell()); }

void StationCell::set_project(const Project& project, const std::string& path) {
    project_ = project;
    project_path_ = path;
    ui_script_path->SetValue(from_utf8(path));
    show_info();
}

void StationCell::set_instruments(const std::string& station_simulator,
                                  InstrumentTimeouts timeouts) {
    station_simulator_ = station_simulator;
    timeouts_ = timeouts;
}

// The layer colours its buttons, captions and counters for a light theme; a
// dark theme keeps those colours but draws light text on them.
void StationCell::make_text_readable() {
    for (wxWindow* coloured :
         {static_cast<wxWindow*>(ui_start), static_cast<wxWindow*>(ui_abort),
          static_cast<wxWindow*>(ui_prompt), static_cast<wxWindow*>(ui_ok_count),
          static_cast<wxWindow*>(ui_ng_count), static_cast<wxWindow*>(ui_ok_percent)})
        coloured->SetForegroundColour(text_on(coloured->GetBackgroundColour()));
    for (wxStaticText* caption : {m_staticText2, m_staticText3, m_staticText4})
        caption->SetForegroundColour(readable_on(caption->GetForegroundColour(),
                                                 caption->GetParent()->GetBackgroundColour()));
}

void StationCell::show_prompt(const wxString& text, const wxColour& background,
                              const wxColour& foreground) {
    // GTK rebuilds a button's label on every SetLabel, and the blink keeps the text.
    if (ui_prompt->GetLabel() != text) ui_prompt->SetLabel(text);
    ui_prompt->SetBackgroundColour(background);
    ui_prompt->SetForegroundColour(foreground.IsOk() ? readable_on(foreground, background)
                                                     : text_on(background));
    ui_prompt->Refresh();
}

bool StationCell::logger_shown() const {
    return ui_view_notebook->GetCurrentPage() == ui_logger_panel;
}

// A hidden text view still lays itself out on every append, and with many
// cells that work lands in the frames that show their readings: the lines
// wait until the operator opens the Logger tab.
void StationCell::show_log_line(const wxString& line) {
    if (logger_shown())
        ui_test_logger->AppendText(line);
    else
        pending_log_ += line;
}

void StationCell::clear_log() {
    pending_log_.clear();
    if (logger_shown())
        ui_test_logger->Clear();
    else
        clear_log_pending_ = true;
}

void StationCell::flush_log() {
    if (clear_log_pending_) ui_test_logger->Clear();
    clear_log_pending_ = false;
    if (!pending_log_.empty()) ui_test_logger->AppendText(pending_log_);
    pending_log_.clear();
}

void StationCell::log(const wxString& line, wxLogLevel level) {
    log_for_cell(this, cell_name(), level, line);
}

void StationCell::show_key(const wxString& key) {
    if (!key_) {
        key_ = new wxStaticText(this, wxID_ANY, key);
        wxSizer* row = ui_cell_name->GetContainingSizer();
        std::size_t after = 0;
        while (after < row->GetItemCount() && row->GetItem(after)->GetWindow() != ui_cell_name)
            ++after;
        row->Insert(after + 1, key_, 0, wxLEFT | wxRIGHT | wxALIGN_CENTER_VERTICAL, 5);
    }
    key_->SetLabel(key);
    if (compact_) {
        key_->Hide();
        ui_serial_number->SetHint(key);
    }
    ui_serial_number->SetToolTip(wxString::Format(_("%s puts the cursor here from anywhere in the station"), key));
    Layout();
}

bool StationCell::start(bool keyboard_on_refusal) {
    if (!session_.busy() && runner_->busy()) {
        log(_("Start refused: the last test is still stopping"), wxLOG_Warning);
        return false;
    }
    const wxString typed = ui_serial_number->GetValue();
    if (const std::string problem =
            session_.begin(to_utf8(typed), project_, project_path_, now_ms());
        !problem.empty()) {
        log(wxString::Format(_("Start refused: %s"), from_utf8(problem)), wxLOG_Warning);
        if (session_.busy()) return false;  // the banner shows the running test
        ui_blink_timer.Stop();
        show_prompt(from_utf8(problem), attention_colour());
        if (keyboard_on_refusal) ui_serial_number->SetFocus();
        return false;
    }
    Project& running = session_.running_project();
    for (InstrumentEntry& entry : running.instruments)
        if (entry.address.empty()) entry.address = station_simulator_;

    ui_blink_timer.Stop();
    lay_out_items();
    clear_log();
    ui_gauge->SetRange(int(running.items.size()));
    ui_gauge->SetValue(0);
    ui_elapse_time->SetValue(from_utf8(format_duration(0)));
    ui_start->Disable();
    ui_serial_number->SetEditable(false);
    show_state();
    log(from_utf8(session_.start_line()));

    // The worker's posts go through this cell's own queue: the cell joins
    // the worker before it goes, and a post of an ended run is dropped.
    const int run = ++run_;
    TestRunner::Callbacks callbacks;
    callbacks.measured = [this, run](std::size_t, const ItemResult& result) {
        CallAfter([this, run, result] { on_measured(run, result); });
    };
    callbacks.finished = [this, run](const RunOutcome& outcome) {
        CallAfter([this, run, outcome] { on_run_finished(run, outcome); });
    };
    runner_->start(running, item_ms_, timeouts_, std::move(callbacks));
    ui_refresh_timer.Start(kClockMs);
    return true;
}

// A row per item from the start, its value and result filled in as measured:
// the operator sees what is still to come, and a reading redraws two grid
// cells instead of the grid, its scroll bars and labels.
void StationCell::lay_out_items() {
    const auto& items = session_.running_project().items;
    const int rows = ui_assertions->GetNumberRows(), wanted = int(items.size());
    if (rows > wanted) ui_assertions->DeleteRows(wanted, rows - wanted);
    if (rows < wanted) ui_assertions->AppendRows(wanted - rows);
    for (int row = 0; row < wanted; ++row) {
        const TestItem& item = items[std::size_t(row)];
        set_cell(ui_assertions, row, 0, from_utf8(item.name));
        set_cell(ui_assertions, row, 1, wxEmptyString);
        set_cell(ui_assertions, row, 2, from_utf8(format_number(item.lower)));
        set_cell(ui_assertions, row, 3, from_utf8(format_number(item.upper)));
        set_cell(ui_assertions, row, 4, from_utf8(item.unit));
        set_cell(ui_assertions, row, 5, wxEmptyString);
    }
    if (wanted > 0) ui_assertions->MakeCellVisible(0, 0);
    fit_item_columns();
}

// Sixteen cells on one screen leave a grid some 300 pixels: the figures,
// unit and result keep their whole text, the name takes what is left and
// ends in an ellipsis, and the row numbers give up their room.
void StationCell::fit_item_columns() {
    if (!compact_) return;
    wxGrid* grid = ui_assertions;
    wxClientDC dc(grid->GetGridWindow());
    dc.SetFont(grid->GetDefaultCellFont());
    const int margin = FromDIP(8);
    int used = 0;
    for (int col = 1; col < grid->GetNumberCols(); ++col) {
        dc.SetFont(grid->GetLabelFont());
        int widest = dc.GetTextExtent(grid->GetColLabelValue(col)).x;
        dc.SetFont(grid->GetDefaultCellFont());
        for (int row = 0; row < grid->GetNumberRows(); ++row)
            widest = std::max(widest, dc.GetTextExtent(grid->GetCellValue(row, col)).x);
        // A reading may take a sign and a digit more than its limits.
        if (col == 1) widest += dc.GetTextExtent("-0").x;
        grid->SetColSize(col, widest + margin);
        used += widest + margin;
    }
    const int available = grid->GetClientSize().x - grid->GetRowLabelSize() -
                          wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, grid) - FromDIP(2);
    grid->SetColSize(0, std::max(FromDIP(40), available - used));
}

void StationCell::start_queued() {
    if (!start_queued_) return;
    start_queued_ = false;
    // Start All's caller says where the keyboard goes once every cell had its turn.
    start(false);
}

void StationCell::on_measured(int run, const ItemResult& result) {
    if (run != run_ || !session_.measured(result)) return;
    const int done = int(session_.record().items.size());
    ui_gauge->SetValue(done);

    const wxString verdict = result.ok ? _("OK") : _("NG");
    const int row = done - 1;
    const wxString value = from_utf8(format_number(result.value));
    set_cell(ui_assertions, row, 1, value);
    if (compact_ &&
        ui_assertions->GetTextExtent(value).x + FromDIP(8) > ui_assertions->GetColSize(1))
        fit_item_columns();
    ui_assertions->SetCellTextColour(row, 5,
                                     readable_on(result.ok ? ok_colour() : ng_colour(),
                                                 ui_assertions->GetDefaultCellBackgroundColour()));
    set_cell(ui_assertions, row, 5, verdict);
    ui_assertions->MakeCellVisible(row, 0);
    log(wxString::Format("%s = %s %s  [%s, %s]  %s", from_utf8(result.name),
                         from_utf8(format_number(result.value)), from_utf8(result.unit),
                         from_utf8(format_number(result.lower)),
                         from_utf8(format_number(result.upper)), verdict),
        wxLOG_Info);
}

void StationCell::on_run_finished(int run, const RunOutcome& outcome) {
    if (run != run_ || !session_.testing()) return;
    session_.finish(outcome, now_ms());
    if (outcome.kind == RunOutcome::Kind::failed)
        log(from_utf8(session_.record().description), wxLOG_Error);
    end_test();
}

void StationCell::on_refresh_timer_event(wxTimerEvent&) {
    if (!session_.testing()) return;
    // The text moves once a second; the other ticks would redraw it all the same.
    const wxString elapsed = from_utf8(format_duration(now_ms() - session_.record().begin_ms));
    if (ui_elapse_time->GetValue() != elapsed) ui_elapse_time->SetValue(elapsed);
}

// The verdict shows at once; the worker sees the stop within one wait slice
// (worker_busy() tells when it is gone).
void StationCell::abort() {
    start_queued_ = false;
    if (!session_.testing()) return;
    runner_->stop();
    session_.abort(now_ms());
    end_test();
}

void StationCell::end_test() {
    ui_refresh_timer.Stop();
    if (on_finished_)
        on_finished_(*this, session_.record());
    else
        show_verdict(session_.record());
}

wxColour StationCell::state_colour() const {
    switch (session_.state()) {
        case CellState::idle: return GetBackgroundColour();
        case CellState::testing:
        case CellState::storing: return busy_colour();
        case CellState::not_saved: return attention_colour();
        case CellState::error: return error_colour();
        case CellState::stored: break;
    }
    switch (session_.record().verdict) {
        case Verdict::ok: return ok_colour();
        case Verdict::ng: return ng_colour();
        case Verdict::error: return error_colour();
        case Verdict::aborted: break;
    }
    return idle_colour();
}

void StationCell::show_state() {
    verdict_colour_ = state_colour();
    show_prompt(from_utf8(session_.banner()), verdict_colour_);
}

void StationCell::show_verdict(const TestRecord& record, bool saved) {
    if (session_.state() != CellState::storing) return;
    session_.shown(saved);
    ui_start->Enable();
    ui_serial_number->SetEditable(true);
    ui_serial_number->Clear();
    ui_elapse_time->SetValue(from_utf8(format_duration(record.duration_ms())));
    show_state();
    // The operator's first question about an NG unit: which item?
    for (std::size_t row = 0; row < record.items.size(); ++row)
        if (!record.items[row].ok) {
            ui_assertions->MakeCellVisible(int(row), 0);
            break;
        }
    if (record.verdict != Verdict::aborted) {
        blinks_left_ = kBlinkToggles;
        ui_blink_timer.Start(kBlinkMs);
    }
    log(from_utf8(session_.end_line()), saved ? wxLOG_Message : wxLOG_Warning);

    const wxString serial = from_utf8(record.serial);
    append_row(ui_history_grid,
               {from_utf8(format_local(record.begin_ms)), from_utf8(format_local(record.end_ms)),
                serial, from_utf8(CellSession::result_text(record.verdict, saved)),
                from_utf8(record.description)});
    if (!saved)
        unsaved_rows_[{record.begin_ms, record.serial}] = ui_history_grid->GetNumberRows() - 1;
    show_statistics();
}

void StationCell::saved_later(const TestRecord& record) {
    const auto row = unsaved_rows_.find({record.begin_ms, record.serial});
    if (row == unsaved_rows_.end()) return;
    ui_history_grid->SetCellValue(row->second, 3,
                                  from_utf8(CellSession::result_text(record.verdict, true)));
    unsaved_rows_.erase(row);
    const CellState before = session_.state();
    session_.saved_later(record);
    log(wxString::Format(_("Test of %s stored after all"), from_utf8(record.serial)));
    if (session_.state() != before) {
        ui_blink_timer.Stop();
        show_state();
    }
}

void StationCell::on_blink_timer_event(wxTimerEvent&) {
    if (--blinks_left_ <= 0) {
        ui_blink_timer.Stop();
        show_prompt(ui_prompt->GetLabel(), verdict_colour_);
        return;
    }
    const bool lit = blinks_left_ % 2 == 0;
    show_prompt(ui_prompt->GetLabel(), lit ? verdict_colour_ : GetBackgroundColour(),
                lit ? wxNullColour : verdict_colour_);
}

void StationCell::clear_statistics() {
    session_.clear_counters();
    show_statistics();
}

void StationCell::show_statistics() {
    const Counters& counters = session_.counters();
    ui_ok_count->SetValue(wxString::Format("%zu", counters.ok));
    ui_ng_count->SetValue(wxString::Format("%zu", counters.ng));
    ui_ok_percent->SetValue(from_utf8(counters.yield()));
    ui_cell_name->SetToolTip(
        compact_ ? wxString::Format(_("OK %s, NG %s, Yield %s"), ui_ok_count->GetValue(),
                                    ui_ng_count->GetValue(), ui_ok_percent->GetValue())
                 : wxString());
}

void StationCell::set_compact(bool on) {
    compact_ = on;
    ui_statistics_panel->Show(!on);
    if (on) {
        ui_assertions->SetRowLabelSize(0);
        ui_assertions->SetDefaultCellFitMode(wxGridFitMode::Ellipsize());
        for (int col = 0; col < int(std::size(kCompactItemColumns)); ++col)
            ui_assertions->SetColLabelValue(col, wxGetTranslation(kCompactItemColumns[col]));
        // The bottom row has no room beside the name, time and progress.
        if (key_) {
            key_->Hide();
            ui_serial_number->SetHint(key_->GetLabel());
        }
    }
    // A short grid scrolled by whole rows shows whole rows, not a sliver of one.
    ui_assertions->SetScrollLineY(on ? ui_assertions->GetDefaultRowSize()
                                     : ui_history_grid->GetScrollLineY());
    show_statistics();
    Layout();
    fit_item_columns();
}

void StationCell::show_info() {
    info_->SetLabel(wxString::Format(_("%s: %zu items, %d ms per item, seed %llu"),
                                     from_utf8(project_.title), project_.items.size(), item_ms_,
                                     static_cast<unsigned long long>(seed_)));
}

void StationCell::set_debug_mode(bool on) {
    ui_script_panel->Show(on);
    ui_other_info_panel->Show(on);
    Layout();
}

void StationCell::on_start_cell_test(wxCommandEvent&) {
    if (start() && on_started_) on_started_(*this);
}
void StationCell::on_abort_cell_test(wxCommandEvent&) { abort(); }

void StationCell::on_browse_script(wxCommandEvent&) {
    if (session_.testing()) {
        log(_("Project not changed: a test is running"), wxLOG_Warning);
        return;
    }
    wxFileDialog dialog(this, wxString::Format(_("Test project for %s"), ui_cell_name->GetLabel()),
                        wxPathOnly(from_utf8(project_path_)), wxEmptyString, kProjectWildcard,
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return;
    const std::string path = chosen_path(dialog);
    try {
        set_project(load_project(path), path);
        log(wxString::Format(_("Project %s loaded from %s"), from_utf8(project_.title),
                            from_utf8(path)));
    } catch (const ProjectError& error) {
        log(wxString::Format(_("Project not loaded: %s"), from_utf8(error.what())), wxLOG_Error);
        wxMessageBox(from_utf8(error.what()), _("Cannot load the project"), wxOK | wxICON_ERROR,
                     this);
    }
}

}  // namespace station
