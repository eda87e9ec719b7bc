// SPDX-License-Identifier: MIT
#include "host/station_frame.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <typeinfo>

#include <wx/accel.h>
#include <wx/display.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>
#include <wx/version.h>

#include <atsui/version.h>

#include <atsui/station/about_dialog.h>
#include <atsui/station/manual_operation_dialog.h>
#include <atsui/station/ticker_exception_dialog.h>

#include "host/command_line.h"
#include "host/keys.h"
#include "host/look.h"
#include "host/manual_operation.h"
#include "host/notice.h"
#include "host/opening_progress.h"
#include "host/parameters_dialog.h"
#include "host/settings.h"
#include "logic/places.h"
#include "host/station_cell.h"
#include "host/station_log.h"
#include "host/station_viewer.h"
#include "logic/simulator.h"
#include "logic/text.h"

namespace station {

namespace {

// F keys and Ctrl with letters that no text field edits with, so the
// serial number field keeps Ctrl+A, Ctrl+C and the rest, and a scanner's
// Enter still reaches its cell.
void set_key(wxMenuItem* item, int modifiers, int key) {
    // SetAccel keeps the layer's label and adds the key after a tab: wxGTK
    // shows a menu item's key only from there.
    wxAcceleratorEntry accel(modifiers, key, item->GetId());
    item->SetAccel(&accel);
}

std::string type_name(const std::exception& error) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(
        abi::__cxa_demangle(typeid(error).name(), nullptr, nullptr, &status), std::free);
    return status == 0 && name ? name.get() : typeid(error).name();
}

}  // namespace

std::string station_name(const Options& options) {
    return options.station.empty() ? host_name() : options.station;
}

bool is_server_address(const std::string& database) {
    return database.rfind("postgresql://", 0) == 0 || database.rfind("postgres://", 0) == 0;
}

std::unique_ptr<HistoryStore> open_history_store(const Options& options, HistoryStore::Mode mode) {
    const std::string path = options.database.empty() || is_server_address(options.database)
                                 ? default_database_path(station_name(options))
                                 : options.database;
    // An old file's upgrade, or the check of a big one, takes seconds: shown.
    OpeningProgress progress;
    HistoryStore::Opening opening;
    opening.mode = mode;
    opening.progress = [&](const std::string& stage) { progress(stage); };
    return std::make_unique<HistoryStore>(path, opening);
}

// The layer's lines name another product, maker and version.
void say_about(tov_atsui::AboutDialog& dialog) {
    dialog.SetTitle(wxString::Format(_("About %s"), kProductName));
    dialog.m_staticText11->SetLabel(wxString::Format(_("%s: units tested, history kept"), kProductName));
    dialog.m_staticText12->SetLabel(_("Copyright (c) 2026 The tov_atsui developers, MIT License"));
    dialog.m_staticText13->SetLabel(_("Manual: README.md, beside the program"));
    dialog.m_staticText14->SetLabel(wxString::Format(_("Version : %s"), station_version()));
    dialog.m_staticText15->SetLabel(wxString::Format(_("Built with tov_atsui %s and %s"),
                                                     ATSUI_VERSION_STRING, wxVERSION_STRING));
    // The layer sized the box for its own lines.
    for (wxWindow* line : {dialog.m_staticText11, dialog.m_staticText12, dialog.m_staticText13,
                           dialog.m_staticText14, dialog.m_staticText15})
        line->InvalidateBestSize();
    dialog.SetMinSize(wxDefaultSize);
    dialog.GetSizer()->SetSizeHints(&dialog);
}

StationFrame::StationFrame(const Options& options, const Project& project,
                           const std::string& project_path, std::unique_ptr<HistoryStore> store,
                           RunnerFactory runners)
    : Frame(nullptr),
      plugin_folder(from_utf8(station::plugin_folder(kManualOperationPlugin))),
      options_(options),
      project_(project),
      project_path_(project_path),
      store_(store ? std::move(store) : open_history_store(options)),
      save_([this](const std::vector<TestRecord>& records) { store_->import(records); }),
      scan_flow_(options.next_cell_after_scan) {
    store_->set_on_changed([this] { history_changed(); });
    // Commits run on the GUI thread: a file another program keeps locked
    // must not freeze the window for long. What is not stored is kept and
    // tried again on the retry timer.
    store_->set_busy_timeout(kCommitWaitMs);
    if (is_server_address(options_.database)) {
        store_->enable_outbox();
        // wxLog keeps another thread's messages until the GUI thread's next
        // idle time, so the log's targets are only ever touched there.
        forwarder_ = std::make_unique<PgForwarder>(
            store_->path(), options_.database, station_name(options_),
            [](PgForwarder::Level level, const std::string& text) {
                wxLogGeneric(level == PgForwarder::Level::info      ? wxLOG_Message
                             : level == PgForwarder::Level::warning ? wxLOG_Warning
                                                                    : wxLOG_Error,
                             "%s", from_utf8(text));
            });
        outbox_timer_.SetOwner(this);
        Bind(
            wxEVT_TIMER, [this](wxTimerEvent&) { show_outbox(); }, outbox_timer_.GetId());
        outbox_timer_.Start(500);
    }
    retry_timer_.SetOwner(this);
    Bind(
        wxEVT_TIMER, [this](wxTimerEvent&) { store_finished(); }, retry_timer_.GetId());
    SetTitle(wxString(kProductName) + " - " + from_utf8(project_.title));
    CreateStatusBar(is_server_address(options.database) ? 2 : 1);
    add_keys_and_help();

    project_label_ = new wxStaticText(this, wxID_ANY, wxEmptyString);
    project_label_->SetFont(project_label_->GetFont().Larger().Bold());
    ui_additional_top_sizer->Add(project_label_, 0, wxALL | wxALIGN_CENTER_VERTICAL, 5);
    project_label_->SetLabel(wxString::Format(_("Project: %s"), from_utf8(project_.title)));

    wxSizer* area = ui_cell_panel->GetSizer();
    area->Detach(m_panel9);
    m_panel9->Destroy();
    m_panel9 = nullptr;
    for (int n = 1; n <= options_.cells; ++n) {
        auto* cell = new StationCell(
            ui_cell_panel, n, options_.seed, options_.item_ms,
            [this](StationCell& c, const TestRecord& r) { record(c, r); },
            runners ? runners(Simulator::seed_for_cell(options_.seed, n)) : nullptr, &serials_);
        cell->set_project(project_, project_path_);
        cell->set_stamp({station_name(options_), std::string("atsui_station ") + STATION_VERSION});
        cell->show_key(cell_key(n).text);
        cell->set_on_started([this](StationCell& started) { on_cell_started(started); });
        area->Add(cell, 1, wxEXPAND | wxALL, 5);
        cells_.push_back(cell);
    }
    add_cell_keys();
    prepare_instruments();
    // The layer's green and red figures are chosen for a light theme.
    for (wxWindow* figure :
         std::initializer_list<wxWindow*>{ui_ok_count_label, ui_ok_count, ui_ng_count_label,
                                          ui_ng_count, m_staticText8, ui_ok_percent})
        figure->SetForegroundColour(
            readable_on(figure->GetForegroundColour(), figure->GetBackgroundColour()));
    show_counters();
    SetSize(FromDIP(wxSize(1400, 1000)));
    arrange_many_cells();
    Layout();
    Centre();
    ui_initializer_trigger.StartOnce(50);
}

// All workers are asked to stop first, so the cells' joins overlap rather
// than add up.
StationFrame::~StationFrame() {
    retry_timer_.Stop();
    // A frame deleted without closing (a host's or a test's): its last commit.
    if (save_.waiting() > 0 || !save_.unsaved().empty()) {
        finished_.clear();
        save_.commit();
        for (const std::string& name : save_.unsaved_names())
            wxLogError("Test %s lost: not stored when the station closed (%s)", from_utf8(name),
                       from_utf8(save_.error()));
    }
    for (StationCell* cell : cells_) cell->stop_worker();
    DestroyChildren();
}

void StationFrame::prepare_instruments() {
    if (!simulator_ && project_.needs_station_simulator()) {
        const std::string program = options_.instrument_simulator.empty()
                                        ? executable_folder() + "/atsui_instrument_sim"
                                        : options_.instrument_simulator;
        try {
            simulator_ = std::make_unique<SimulatorProcess>(program);
            // For whoever runs the station from a script: which process to watch.
            std::printf("instrument simulator pid %d port %d\n", int(simulator_->pid()),
                        simulator_->port());
            std::fflush(stdout);
        } catch (const SimulatorProcessError& error) {
            // The items on those instruments fail, each test saying why.
            std::fprintf(stderr, "atsui_station: %s\n", error.what());
            report(this, wxString::Format(_("Instrument simulator not started: %s"),
                                         from_utf8(error.what())));
        }
    }
    InstrumentTimeouts timeouts;
    timeouts.reply_ms = options_.instrument_reply_ms;
    for (StationCell* cell : cells_)
        cell->set_instruments(simulator_ ? simulator_->address() : std::string(), timeouts);
}

// A menu item's help shows in the status bar's first field while the item is
// highlighted; the station's own messages come back when the menu closes.
void StationFrame::add_keys_and_help() {
    auto* cells = new wxMenu();
    start_all_item_ = cells->Append(wxID_ANY, _("Start All Cells"),
                                    _("Start a test in every idle cell that has a serial number"));
    abort_all_item_ = cells->Append(wxID_ANY, _("Abort All Cells"), _("Abort every running test"));
    cells->AppendSeparator();
    next_cell_item_ = cells->AppendCheckItem(
        wxID_ANY, _("Next Cell After a Scan"),
        _("One scanner for all cells: each scan that starts a cell moves on to the next idle "
          "cell's serial number"));
    next_cell_item_->Check(scan_flow_.next_cell());
    m_menubar1->Insert(2, cells, _("Cells"));
    Bind(wxEVT_MENU, &StationFrame::on_start_all, this, start_all_item_->GetId());
    Bind(wxEVT_MENU, &StationFrame::on_abort_all, this, abort_all_item_->GetId());
    Bind(
        wxEVT_MENU,
        [this](wxCommandEvent&) {
            scan_flow_.set_next_cell(next_cell_item_->IsChecked());
            if (Settings* settings = Settings::current())
                settings->set_next_cell_after_scan(scan_flow_.next_cell());
            else
                wxLogMessage("Setting changed: next cell after a scan %s",
                             scan_flow_.next_cell() ? "on" : "off");
        },
        next_cell_item_->GetId());

    // Abort takes a modifier: one stray key must not end every test.
    set_key(start_all_item_, wxACCEL_NORMAL, WXK_F5);
    set_key(abort_all_item_, wxACCEL_SHIFT, WXK_F5);
    set_key(m_menuItem7, wxACCEL_CTRL, 'T');
    set_key(m_menuItem5, wxACCEL_CTRL, 'L');
    set_key(ui_exit_menu_item, wxACCEL_CTRL, 'Q');
    ui_toolbar->SetToolShortHelp(ui_start_all->GetId(), _("Start All Cells (F5)"));
    ui_toolbar->SetToolShortHelp(ui_abort_all->GetId(), _("Abort All Cells (Shift+F5)"));
    ui_toolbar->SetToolLongHelp(ui_start_all->GetId(), start_all_item_->GetHelp());
    ui_toolbar->SetToolLongHelp(ui_abort_all->GetId(), abort_all_item_->GetHelp());

    ui_exit_menu_item->SetHelp(_("Close the station; asks first while tests are running"));
    ui_manual_operation_menu_item->SetHelp(_("Operate the fixture and instruments by hand"));
    m_menuItem4->SetHelp(_("Check every few moments that each running cell is driven"));
    m_menuItem5->SetHelp(
        _("Set the OK, NG and yield counters of the station and its cells to zero; "
          "the stored tests stay"));
    ui_in_debug_mode->SetHelp(_("Show each cell's test project and details"));
    ui_export_assertion_config->SetHelp(_("Save the test parameters in use to another file"));
    m_menuItem7->SetHelp(_("Browse, filter and export the stored tests"));
    m_menuItem8->SetHelp(_("Change the test items and their limits for this session"));
    m_menuItem9->SetHelp(_("Read the test parameters again from the project file"));
    m_menuItem11->SetHelp(_("Write the test parameters in use to the project file"));
    ui_about_menu_item->SetHelp(_("Show the program's version and copyright"));
}

// The cells' keys are the frame's, not menu items': sixteen more items
// would bury the menu's own.
void StationFrame::add_cell_keys() {
    std::vector<wxAcceleratorEntry> keys;
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const CellKey key = cell_key(int(i) + 1);
        const int id = NewControlId();
        keys.emplace_back(key.modifiers, key.key, id);
        Bind(
            wxEVT_MENU, [this, i](wxCommandEvent&) { give_keyboard(i); }, id);
    }
    SetAcceleratorTable(wxAcceleratorTable(int(keys.size()), keys.data()));
}

std::vector<bool> StationFrame::busy_cells() const {
    std::vector<bool> busy;
    for (const StationCell* cell : cells_) busy.push_back(cell->running());
    return busy;
}

std::optional<std::size_t> StationFrame::cell_with_keyboard() const {
    const wxWindow* focus = wxWindow::FindFocus();
    for (std::size_t i = 0; i < cells_.size(); ++i)
        if (focus == cells_[i]->ui_serial_number) return i;
    return std::nullopt;
}

void StationFrame::give_keyboard(std::optional<std::size_t> cell) {
    if (!cell || *cell >= cells_.size()) return;
    wxTextCtrl* serial = cells_[*cell]->ui_serial_number;
    serial->SetFocus();
    // A half-typed serial is typed over by the next scan.
    serial->SelectAll();
}

void StationFrame::on_cell_started(StationCell& cell) {
    for (std::size_t i = 0; i < cells_.size(); ++i)
        if (cells_[i] == &cell) give_keyboard(scan_flow_.after_start(busy_cells(), i));
}

// Two columns of cells in a 1400 x 1000 window squeeze eight cells' grids
// to nothing. More cells take the whole screen, in more columns; past eight,
// the cells leave their statistics to the frame's totals and the viewer.
void StationFrame::arrange_many_cells() {
    constexpr std::size_t kCellsAsBuilt = 4;
    constexpr std::size_t kCellsWithStatistics = 8;
    if (cells_.size() <= kCellsAsBuilt) return;
    const bool compact = cells_.size() > kCellsWithStatistics;
    for (StationCell* cell : cells_) cell->set_compact(compact);
    // The title names the project too; its row is worth a grid row per cell.
    if (compact) project_label_->Hide();
    if (auto* columns = dynamic_cast<wxGridSizer*>(ui_cell_panel->GetSizer()))
        columns->SetCols(compact ? 6 : 4);
    SetSize(wxDisplay(this).GetClientArea());
}

bool StationFrame::tests_running() const {
    for (const StationCell* cell : cells_)
        if (cell->running()) return true;
    return false;
}

// Verdicts that arrive together share one commit: one sync of the disk
// instead of one per cell. An abort is the operator's, and shows at once.
void StationFrame::record(StationCell& cell, const TestRecord& record) {
    finished_.push_back({&cell, record});
    save_.add(record);
    if (record.verdict == Verdict::aborted)
        store_finished();
    else if (finished_.size() == 1)
        CallAfter([this] { store_finished(); });
}

void StationFrame::store_finished() {
    if (save_.waiting() == 0 && save_.unsaved().empty()) return;
    std::vector<Finished> batch;
    batch.swap(finished_);
    const bool had_unsaved = !save_.unsaved().empty();
    const SavePolicy::Result result = save_.commit();
    show_save_result(result, had_unsaved);
    for (const Finished& f : batch) {
        bool saved = true;
        for (const TestRecord& failed : result.failed)
            if (failed.begin_ms == f.record.begin_ms && failed.serial == f.record.serial &&
                failed.cell == f.record.cell)
                saved = false;
        counters_.count(f.record.verdict);
        pacer_.post([this, cell = f.cell, record = f.record, saved] {
            cell->show_verdict(record, saved);
            for (std::size_t i = 0; i < cells_.size(); ++i)
                if (cells_[i] == cell &&
                    scan_flow_.takes_keyboard_after_verdict(busy_cells(), i, cell_with_keyboard()))
                    cell->ui_serial_number->SetFocus();
            if (on_shown_) on_shown_(*cell, record, saved);
        });
    }
    show_counters();
}

// Every test the store refused is named in the log; the status bar keeps
// the count until they are stored, and a box tells the operator once.
void StationFrame::show_save_result(const SavePolicy::Result& result, bool had_unsaved) {
    for (const TestRecord& failed : result.failed)
        wxLogWarning("Test %s NOT stored in %s: %s; the station keeps it and tries again",
                     from_utf8(describe_test(failed)), from_utf8(store_->path()),
                     from_utf8(result.error));
    if (had_unsaved)
        for (const TestRecord& stored : result.stored)
            for (StationCell* cell : cells_)
                if (to_utf8(cell->cell_name()) == stored.cell) cell->saved_later(stored);
    if (!result.stored.empty() && forwarder_) forwarder_->wake();
    const std::size_t unsaved = save_.unsaved().size();
    if (unsaved == 0) {
        retry_timer_.Stop();
        if (had_unsaved) report(this, wxString::Format(_("All tests stored in %s"), from_utf8(store_->path())));
        return;
    }
    const wxString text =
        wxString::Format(wxPLURAL("%zu test NOT stored in %s: %s", "%zu tests NOT stored in %s: %s",
                                  unsaved),
                         unsaved, from_utf8(store_->path()), from_utf8(save_.error()));
    if (result.began_failing)
        // After the verdicts are on screen: the box waits for the operator.
        CallAfter([this, text] {
            report_in_box(this, _("Tests not stored"),
                          text + "\n\n" +
                              _("The cells show them as not saved. The station keeps them "
                                "in memory and stores them as soon as the database can be "
                                "written; closing the station now would lose them."));
        });
    else if (GetStatusBar())
        SetStatusText(text);
    retry_timer_.StartOnce(save_.retry_delay_ms());
}

// The line's state, polled: the worker never waits for the window, nor the
// window for the server.
void StationFrame::show_outbox() {
    const std::int64_t waiting = forwarder_->waiting();
    const std::string problem = forwarder_->problem();
    wxString text = waiting <= 0
                        ? _("Line server: all tests sent")
                        : wxString::Format(wxPLURAL("Line server: %lld test waits",
                                                    "Line server: %lld tests wait", waiting),
                                           (long long)waiting);
    if (!problem.empty()) text += " (" + from_utf8(problem) + ")";
    if (GetStatusBar() && GetStatusBar()->GetStatusText(1) != text) SetStatusText(text, 1);
}

void StationFrame::show_counters() {
    ui_ok_count->SetValue(wxString::Format("%zu", counters_.ok));
    ui_ng_count->SetValue(wxString::Format("%zu", counters_.ng));
    ui_ok_percent->SetValue(from_utf8(counters_.yield()));
}

void StationFrame::history_changed() {
    if (viewer_) viewer_->panel->refresh();
}

void StationFrame::on_close_app(wxEvent& event) {
    if (event.GetEventType() != wxEVT_CLOSE_WINDOW) {
        Close();
        return;
    }
    auto& close = static_cast<wxCloseEvent&>(event);
    // The waiting verdicts, and one more try for the unsaved tests.
    store_finished();
    if (!agree_to_close(close)) {
        close.Veto();
        return;
    }
    closing_ = true;
    for (StationCell* cell : cells_) cell->abort();
    store_finished();
    if (const std::size_t lost = save_.unsaved().size(); lost > 0) {
        for (const std::string& name : save_.unsaved_names())
            wxLogError("Test %s lost: not stored when the station closed (%s)", from_utf8(name),
                       from_utf8(save_.error()));
        wxLogError("%zu %s not stored in %s", lost, lost == 1 ? "test was" : "tests were",
                   from_utf8(store_->path()));
        note_failure();
    }
    ui_ticker_timer.Stop();
    outbox_timer_.Stop();
    retry_timer_.Stop();
    if (viewer_) viewer_->Destroy();
    Destroy();
}

// Running tests end as aborted; unsaved tests are lost: either needs the
// operator's word, unless the close cannot be refused.
bool StationFrame::agree_to_close(wxCloseEvent& close) {
    if (!close.CanVeto()) return true;
    if (tests_running()) {
        wxMessageDialog ask(this, _("Tests are running. Abort them and exit?"), _("Exit"),
                            wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION);
        if (ask.ShowModal() != wxID_YES) return false;
    }
    if (const std::string question = save_.close_question(); !question.empty()) {
        wxMessageDialog ask(this, from_utf8(question), _("Tests not saved"),
                            wxOK | wxCANCEL | wxCANCEL_DEFAULT | wxICON_WARNING);
        ask.SetOKCancelLabels(_("Close and lose them"), _("Cancel"));
        if (ask.ShowModal() != wxID_OK) {
            report(this, _("Not closed: tests are not saved"), wxLOG_Warning);
            return false;
        }
        wxLogWarning("The operator closes the station with %zu tests not saved",
                     save_.unsaved().size());
    }
    return true;
}

void StationFrame::on_show_manual_operation_dialog(wxCommandEvent&) {
    wxString why;
    if (show_custom_manual_operation_dialog(this, plugin_folder, why)) return;
    report(this, wxString::Format(_("Custom manual operation dialog not shown: %s"), why),
           wxLOG_Warning);
    tov_atsui::ManualOperationDialog dialog(this);
    dialog.ui_message->SetInsertionPoint(0);
    dialog.ui_message->ShowPosition(0);
    dialog.ShowModal();
}

void StationFrame::on_start_ticker(wxCommandEvent&) {
    if (ui_ticker_timer.IsRunning()) return;
    ui_ticker_timer.Start(options_.ticker_ms);
    report(this, _("Ticker started"));
}

// The ticker's health check: every running cell must be driven by its timer.
void StationFrame::health_check() {
    ++ticks_;
    if (options_.ticker_fault_after > 0 && ticks_ == options_.ticker_fault_after)
        throw std::runtime_error(
            tr_format("health check failed on tick %d (fault injected with --ticker-fault-after)",
                      ticks_));
    int running = 0;
    for (const StationCell* cell : cells_) {
        if (!cell->measuring()) continue;
        ++running;
        if (!cell->ui_refresh_timer.IsRunning())
            throw std::logic_error(
                tr_format("%s is running without its timer", to_utf8(cell->ui_cell_name->GetLabel())));
    }
    report(this, wxString::Format(_("Ticker %d: %d of %zu cells testing, %zu tests recorded"), ticks_,
                            running, cells_.size(), (size_t)store_->count()),
           wxLOG_Debug);
}

void StationFrame::on_ticker_timer_event(wxTimerEvent&) {
    try {
        health_check();
    } catch (const std::exception& error) {
        ui_ticker_timer.Stop();
        wxLogError("Ticker stopped on tick %d: %s: %s", ticks_, from_utf8(type_name(error)),
                   from_utf8(error.what()));
        tov_atsui::TickerExceptionDialog dialog(this);
        wxTextCtrl* trace = dialog.ui_exception_trace;
        trace->SetForegroundColour(
            readable_on(trace->GetForegroundColour(), trace->GetBackgroundColour()));
        dialog.ui_exception_trace->SetValue(
            wxString::Format(_("%s: %s\n  in StationFrame::health_check, tick %d at %s\n  from "
                               "StationFrame::on_ticker_timer_event"),
                             from_utf8(type_name(error)), from_utf8(error.what()), ticks_,
                             from_utf8(format_local(now_ms()))));
        if (dialog.ShowModal() == wxID_OK) {
            ui_ticker_timer.Start(options_.ticker_ms);
            report(this, _("Ticker resumed"));
        } else {
            report(this, _("Ticker stopped"));
        }
    }
}

void StationFrame::on_trigger_initializer(wxTimerEvent&) {
    if (!cells_.empty()) cells_.front()->ui_serial_number->SetFocus();
    wxString ready =
        wxString::Format(_("Ready: %s, %zu cells, seed %llu"), from_utf8(project_.title),
                         cells_.size(), static_cast<unsigned long long>(options_.seed));
    if (simulator_)
        ready += wxString::Format(_(", instrument simulator on port %d"), simulator_->port());
    report(this, ready);
    // Already logged (and on stderr) when the log began; the operator sees it here.
    if (const StationLog* log = StationLog::active(); log && !log->problem().empty())
        SetStatusText(log->problem().BeforeFirst('\n'));
}

void StationFrame::on_clear_statistics(wxCommandEvent&) {
    counters_ = Counters{};
    for (StationCell* cell : cells_) cell->clear_statistics();
    show_counters();
    wxLogMessage("Statistics cleared");
}

void StationFrame::on_change_debug_mode(wxCommandEvent&) {
    const bool on = ui_in_debug_mode->IsChecked();
    for (StationCell* cell : cells_) cell->set_debug_mode(on);
    ui_cell_panel->Layout();
    wxLogMessage("Setting changed: debug mode %s", on ? "on" : "off");
}

void StationFrame::on_export_assertion_config(wxCommandEvent&) {
    const wxFileName current(from_utf8(project_path_));
    wxFileDialog dialog(this, _("Export test parameters"), current.GetPath(),
                        current.GetName() + "-parameters.atp", kProjectWildcard,
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK) return;
    try {
        save_project(chosen_path(dialog), project_);
        report(this, wxString::Format(_("Test parameters exported to %s"),
                                     from_utf8(chosen_path(dialog))));
    } catch (const std::exception& error) {
        wxLogError("Test parameters not exported: %s", from_utf8(error.what()));
        wxMessageBox(from_utf8(error.what()), _("Export failed"), wxOK | wxICON_ERROR, this);
    }
}

void StationFrame::apply_project(const Project& project, const wxString& how) {
    project_ = project;
    for (StationCell* cell : cells_) cell->set_project(project_, project_path_);
    prepare_instruments();
    SetTitle(wxString(kProductName) + " - " + from_utf8(project_.title));
    project_label_->SetLabel(wxString::Format(_("Project: %s"), from_utf8(project_.title)));
    Layout();
    report(this, how);
}

void StationFrame::on_edit_test_parameters(wxCommandEvent&) {
    ParametersDialog dialog(this, project_);
    if (dialog.ShowModal() != wxID_OK) return;
    apply_project(dialog.project(),
                  _("Setting changed: test parameters edited; Save Test Parameters keeps them"));
}

void StationFrame::on_reload_test_parameters(wxCommandEvent&) {
    try {
        apply_project(load_project(project_path_), _("Test parameters reloaded"));
    } catch (const ProjectError& error) {
        wxLogError("Test parameters not reloaded: %s", from_utf8(error.what()));
        wxMessageBox(from_utf8(error.what()) + "\n\n" + _("The current parameters stay in use."),
                     _("Reload failed"), wxOK | wxICON_ERROR, this);
    }
}

void StationFrame::on_save_test_parameters(wxCommandEvent&) {
    try {
        save_project(project_path_, project_);
        report(this, wxString::Format(_("Test parameters saved to %s"), from_utf8(project_path_)));
    } catch (const std::exception& error) {
        wxLogError("Test parameters not saved: %s", from_utf8(error.what()));
        wxMessageBox(from_utf8(error.what()), _("Save failed"), wxOK | wxICON_ERROR, this);
    }
}

void StationFrame::on_show_test_data_window(wxCommandEvent&) { show_viewer(); }

StationViewerFrame* StationFrame::show_viewer() {
    if (!viewer_) {
        // Opens on the project in use; the operator may widen it to all.
        viewer_ = new StationViewerFrame(this, *store_, project_.title);
        viewer_->show_remembered();
    }
    viewer_->Show();
    viewer_->Raise();
    return viewer_.get();
}

void StationFrame::on_show_about_dialog(wxCommandEvent&) {
    tov_atsui::AboutDialog dialog(this);
    say_about(dialog);
    dialog.ShowModal();
}

void StationFrame::on_start_all(wxCommandEvent&) { start_all(); }

// A few starts per frame (DisplayPacer); an abort before its turn cancels one.
void StationFrame::start_all() {
    wxLogMessage("Start all");
    for (StationCell* cell : cells_) {
        cell->queue_start();
        pacer_.post([cell] { cell->start_queued(); });
    }
    // With no serial number anywhere, the keyboard waits in the first cell.
    pacer_.post([this] { give_keyboard(scan_flow_.after_start_all(busy_cells())); });
}

void StationFrame::on_abort_all(wxCommandEvent&) {
    wxLogMessage("Abort all");
    for (StationCell* cell : cells_) cell->abort();
}

}  // namespace station
