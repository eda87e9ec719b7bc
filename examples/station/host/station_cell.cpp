// SPDX-License-Identifier: MIT
#include "host/station_cell.h"

#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/gauge.h>
#include <wx/grid.h>
#include <wx/msgdlg.h>
#include <wx/notebook.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "host/look.h"
#include "host/station_log.h"
#include "logic/text.h"

namespace station {

namespace {

constexpr int kBlinkMs = 400;
constexpr int kClockMs = 200;  // the elapsed time's refresh
constexpr int kBlinkToggles = 8;
constexpr std::size_t kMaxSerialLength = 64;

const char* const kItemColumns[] = {"Item Name", "Value", "Lower", "Upper", "Unit", "Result"};

// Serial numbers end up in file names' neighbours, CSV and workbooks: no
// control characters, and a length a scanner could produce.
wxString serial_problem(const wxString& serial) {
    if (serial.empty()) return "Enter a serial number to start";
    if (serial.length() > kMaxSerialLength) return "Serial number too long";
    for (wxUniChar c : serial)
        if (c < 0x20 || c == 0x7f) return "Serial number has control characters";
    return wxEmptyString;
}

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
                         FinishedHandler on_finished)
    : Cell(parent),
      number_(number),
      seed_(station_seed),
      item_ms_(item_ms),
      on_finished_(std::move(on_finished)),
      runner_(Simulator::seed_for_cell(station_seed, number)) {
    ui_cell_name->SetLabel(cell_name());

    ui_assertions->AppendCols(std::size(kItemColumns));
    for (int col = 0; col < int(std::size(kItemColumns)); ++col)
        ui_assertions->SetColLabelValue(col, kItemColumns[col]);
    ui_assertions->SetColSize(0, 160);
    // Let the grids scroll rather than widen the cell to all their columns.
    ui_assertions->SetMinSize(wxSize(200, 120));
    ui_history_grid->SetMinSize(wxSize(200, 120));
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
    runner_.stop_and_join();
    if (StationLog* log = StationLog::active()) log->detach(this);
}

wxString StationCell::cell_name() const { return wxString::Format("Cell %d", number_); }

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

bool StationCell::start() {
    if (running_) {
        log("Start refused: a test is already running", wxLOG_Warning);
        return false;
    }
    if (storing_) {
        log("Start refused: the last test is still being stored", wxLOG_Warning);
        return false;
    }
    const wxString serial = ui_serial_number->GetValue().Strip(wxString::both);
    if (const wxString problem = serial_problem(serial); !problem.empty()) {
        ui_blink_timer.Stop();
        log("Start refused: " + problem, wxLOG_Warning);
        show_prompt(problem, attention_colour());
        ui_serial_number->SetFocus();
        return false;
    }
    if (project_.items.empty()) {
        log("Start refused: no test project", wxLOG_Warning);
        show_prompt("No test project", attention_colour());
        return false;
    }
    if (runner_.busy()) {
        log("Start refused: the last test is still stopping", wxLOG_Warning);
        return false;
    }

    running_ = true;
    running_project_ = project_;
    for (InstrumentEntry& entry : running_project_.instruments)
        if (entry.address.empty()) entry.address = station_simulator_;
    current_ = TestRecord{};
    current_.cell = to_utf8(cell_name());
    current_.serial = to_utf8(serial);
    current_.begin_ms = now_ms();

    ui_blink_timer.Stop();
    lay_out_items();
    clear_log();
    ui_gauge->SetRange(int(running_project_.items.size()));
    ui_gauge->SetValue(0);
    ui_elapse_time->SetValue(from_utf8(format_duration(0)));
    ui_start->Disable();
    ui_serial_number->SetEditable(false);
    show_prompt("Testing " + serial + " ...", busy_colour());
    log(wxString::Format("Test of %s started: %s, %zu items", serial,
                         from_utf8(running_project_.title), running_project_.items.size()));

    // The worker's posts go through this cell's own queue: the cell joins
    // the worker before it goes, and a post of an ended run is dropped.
    const int run = ++run_;
    CellRunner::Callbacks callbacks;
    callbacks.measured = [this, run](std::size_t, const ItemResult& result) {
        CallAfter([this, run, result] { on_measured(run, result); });
    };
    callbacks.finished = [this, run](const RunOutcome& outcome) {
        CallAfter([this, run, outcome] { on_run_finished(run, outcome); });
    };
    if (readings_on_gui_thread_) {
        runner_.start_here(running_project_, timeouts_, std::move(callbacks));
        ui_refresh_timer.Start(item_ms_);
    } else {
        runner_.start(running_project_, item_ms_, timeouts_, std::move(callbacks));
        ui_refresh_timer.Start(kClockMs);
    }
    return true;
}

// A row per item from the start, its value and result filled in as measured:
// the operator sees what is still to come, and a reading redraws two grid
// cells instead of the grid, its scroll bars and labels.
void StationCell::lay_out_items() {
    const auto& items = running_project_.items;
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
}

void StationCell::start_queued() {
    if (!start_queued_) return;
    start_queued_ = false;
    start();
}

void StationCell::on_measured(int run, const ItemResult& result) {
    if (run != run_ || !running_) return;
    current_.items.push_back(result);
    ui_gauge->SetValue(int(current_.items.size()));

    const wxString verdict = result.ok ? "OK" : "NG";
    const int row = int(current_.items.size()) - 1;
    set_cell(ui_assertions, row, 1, from_utf8(format_number(result.value)));
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
    if (run != run_ || !running_) return;
    switch (outcome.kind) {
        case RunOutcome::Kind::completed: end_test(Verdict::ok); break;
        case RunOutcome::Kind::failed:
            end_test(Verdict::ng, "instrument fault at " + outcome.item + ": " + outcome.reason);
            break;
        case RunOutcome::Kind::stopped: end_test(Verdict::aborted); break;
    }
}

void StationCell::on_refresh_timer_event(wxTimerEvent&) {
    if (!running_) return;
    if (readings_on_gui_thread_) runner_.step();
    // The text moves once a second; the other ticks would redraw it all the same.
    const wxString elapsed = from_utf8(format_duration(now_ms() - current_.begin_ms));
    if (ui_elapse_time->GetValue() != elapsed) ui_elapse_time->SetValue(elapsed);
}

// The verdict shows at once; the worker sees the stop within one wait slice
// (worker_busy() tells when it is gone).
void StationCell::abort() {
    start_queued_ = false;
    if (!running_) return;
    runner_.stop();
    end_test(Verdict::aborted);
}

// Verdict::ok here means "completed": the items decide between OK and NG.
void StationCell::end_test(Verdict verdict, const std::string& fault) {
    ui_refresh_timer.Stop();
    running_ = false;
    current_.end_ms = now_ms();
    if (verdict == Verdict::aborted) {
        current_.verdict = Verdict::aborted;
        current_.description = "aborted after " + std::to_string(current_.items.size()) + " of " +
                               std::to_string(running_project_.items.size()) + " items";
    } else if (!fault.empty()) {
        current_.verdict = Verdict::ng;
        current_.description = fault;
        log(from_utf8(fault), wxLOG_Error);
    } else {
        conclude(current_);
    }
    storing_ = true;
    if (on_finished_)
        on_finished_(*this, current_);
    else
        show_verdict(current_);
}

void StationCell::show_verdict(const TestRecord& record) {
    if (!storing_) return;
    storing_ = false;
    ui_start->Enable();
    ui_serial_number->SetEditable(true);
    ui_serial_number->Clear();
    ui_elapse_time->SetValue(from_utf8(format_duration(record.duration_ms())));
    const wxString serial = from_utf8(record.serial);
    switch (record.verdict) {
        case Verdict::ok: verdict_colour_ = ok_colour(); break;
        case Verdict::ng: verdict_colour_ = ng_colour(); break;
        case Verdict::aborted:
        case Verdict::error: verdict_colour_ = idle_colour(); break;
    }
    show_prompt(serial + ": " + verdict_text(record.verdict), verdict_colour_);
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
    log(wxString::Format("Test of %s ended: %s (%s)", serial, verdict_text(record.verdict),
                         from_utf8(record.description)));

    append_row(ui_history_grid,
               {from_utf8(format_local(record.begin_ms)), from_utf8(format_local(record.end_ms)),
                serial, verdict_text(record.verdict), from_utf8(record.description)});
    counters_.count(record.verdict);
    show_statistics();
    ui_serial_number->SetFocus();
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
    counters_ = Counters{};
    show_statistics();
}

void StationCell::show_statistics() {
    ui_ok_count->SetValue(wxString::Format("%zu", counters_.ok));
    ui_ng_count->SetValue(wxString::Format("%zu", counters_.ng));
    ui_ok_percent->SetValue(from_utf8(counters_.yield()));
    ui_cell_name->SetToolTip(
        compact_ ? wxString::Format("OK %s, NG %s, Yield %s", ui_ok_count->GetValue(),
                                    ui_ng_count->GetValue(), ui_ok_percent->GetValue())
                 : wxString());
}

void StationCell::set_compact(bool on) {
    compact_ = on;
    ui_statistics_panel->Show(!on);
    // A short grid scrolled by whole rows shows whole rows, not a sliver of one.
    ui_assertions->SetScrollLineY(on ? ui_assertions->GetDefaultRowSize()
                                     : ui_history_grid->GetScrollLineY());
    show_statistics();
    Layout();
}

void StationCell::show_info() {
    info_->SetLabel(wxString::Format("%s: %zu items, %d ms per item, seed %llu",
                                     from_utf8(project_.title), project_.items.size(), item_ms_,
                                     static_cast<unsigned long long>(seed_)));
}

void StationCell::set_debug_mode(bool on) {
    ui_script_panel->Show(on);
    ui_other_info_panel->Show(on);
    Layout();
}

void StationCell::on_start_cell_test(wxCommandEvent&) { start(); }
void StationCell::on_abort_cell_test(wxCommandEvent&) { abort(); }

void StationCell::on_browse_script(wxCommandEvent&) {
    if (running_) {
        log("Project not changed: a test is running", wxLOG_Warning);
        return;
    }
    wxFileDialog dialog(this, "Test project for " + cell_name(),
                        wxPathOnly(from_utf8(project_path_)), wxEmptyString, kProjectWildcard,
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return;
    const std::string path = chosen_path(dialog);
    try {
        set_project(load_project(path), path);
        log("Project " + from_utf8(project_.title) + " loaded from " + from_utf8(path));
    } catch (const ProjectError& error) {
        log("Project not loaded: " + from_utf8(error.what()), wxLOG_Error);
        wxMessageBox(from_utf8(error.what()), "Cannot load the project", wxOK | wxICON_ERROR, this);
    }
}

}  // namespace station
