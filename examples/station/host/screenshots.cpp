// SPDX-License-Identifier: MIT
#include "host/screenshots.h"

#include <wx/dialog.h>
#include <wx/filename.h>
#include <wx/grid.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/radiobox.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>
#include <wx/utils.h>

#include "host/look.h"
#include "host/station_app.h"
#include "host/station_cell.h"
#include "host/station_frame.h"
#include "host/station_launcher.h"
#include "host/station_viewer.h"

namespace station {

namespace {

constexpr int kSettleMs = 700;
constexpr int kPollMs = 100;
constexpr int kWaitLimitMs = 60000;

void send_menu(wxFrame* frame, wxMenuItem* item) {
    wxCommandEvent event(wxEVT_MENU, item->GetId());
    event.SetEventObject(frame);
    if (item->IsCheckable()) {
        item->Check(!item->IsChecked());
        event.SetInt(item->IsChecked());
    }
    frame->GetEventHandler()->ProcessEvent(event);
}

void send_tool(wxFrame* frame, wxToolBarToolBase* tool) {
    wxCommandEvent event(wxEVT_TOOL, tool->GetId());
    event.SetEventObject(frame);
    frame->GetEventHandler()->ProcessEvent(event);
}

wxDialog* modal_dialog() {
    for (wxWindow* window : wxTopLevelWindows)
        if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal())
            return dialog;
    return nullptr;
}

// A run under a GTK_THEME names its pictures after the theme, so that they
// sit beside the default theme's ones.
wxString theme_suffix() {
    wxString theme;
    if (!wxGetEnv("GTK_THEME", &theme) || theme.empty()) return wxEmptyString;
    theme.Replace(":", "-");
    return "-" + theme.Lower();
}

}  // namespace

ScreenshotSession::ScreenshotSession(const Options& options) : options_(options) {
    // A short session whatever the command line asked for.
    options_.item_ms = 150;
    options_.ticker_ms = 200;
    options_.ticker_fault_after = 2;
    // The gallery shows this session's tests only, never the station's own history.
    if (options_.database.empty()) {
        options_.database = wxFileName::CreateTempFileName("atsui-screenshots").utf8_string();
        wxRemoveFile(from_utf8(options_.database));
        temporary_database_ = options_.database;
    }
    timer_.SetOwner(this);
    Bind(wxEVT_TIMER, &ScreenshotSession::next, this);
}

ScreenshotSession::~ScreenshotSession() {
    // SQLite removes its -wal and -shm files itself on a clean close; removing
    // a missing file would log an error, a modal box that holds the exit.
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const wxString file = from_utf8(temporary_database_ + suffix);
        if (!temporary_database_.empty() && wxFileExists(file)) wxRemoveFile(file);
    }
}

void ScreenshotSession::start() {
    wxFileName::Mkdir(from_utf8(options_.screenshots), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    build_script();
    timer_.StartOnce(100);
}

void ScreenshotSession::capture(wxTopLevelWindow* window, const wxString& name) {
    const wxString file =
        wxFileName(from_utf8(options_.screenshots), name + theme_suffix() + ".png").GetFullPath();
    window->Update();
    const wxRect r = window->GetScreenRect();
    const wxString command = wxString::Format(
        "import -window root -crop %dx%d+%d+%d +repage \"%s\"", r.width, r.height, r.x, r.y, file);
    // No events while import runs: a step must not start inside another.
    if (wxExecute(command, wxEXEC_BLOCK) == 0) {
        wxPrintf("wrote %s\n", file);
    } else {
        wxFprintf(stderr, "could not capture %s\n", file);
        failed_ = true;
    }
}

void ScreenshotSession::capture_modal(const wxString& name, int answer) {
    wxDialog* dialog = modal_dialog();
    if (!dialog) {
        wxFprintf(stderr, "no dialog open for %s\n", name);
        failed_ = true;
        return;
    }
    capture(dialog, name);
    dialog->EndModal(answer);
}

bool ScreenshotSession::all_cells_idle() const {
    for (const StationCell* cell : station_->cells())
        if (cell->running()) return false;
    return true;
}

void ScreenshotSession::start_round(int round) {
    int unit = round * 10;
    for (StationCell* cell : station_->cells())
        cell->ui_serial_number->SetValue(wxString::Format("PSU12-%04d", ++unit));
    send_tool(station_, station_->ui_start_all);
}

void ScreenshotSession::build_script() {
    auto* launcher =
        new StationLauncher(options_.projects_folder, [](const std::string&) { return false; });
    const std::string project = options_.projects_folder + "/power_supply.atp";
    auto wait_idle = [this] { return all_cells_idle(); };

    steps_ = {
        {{},
         [launcher] {
             launcher->Show();
             const long item = launcher->ui_project_list->FindItem(-1, "power_supply");
             if (item >= 0)
                 launcher->ui_project_list->SetItemState(
                     item, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                     wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
         },
         kSettleMs},
        {{},
         [this, launcher, project] {
             capture(launcher, "launcher");
             launcher->Destroy();
             station_ = open_station(options_, project);
             if (!station_) failed_ = true;
         },
         kSettleMs},
        {{}, [this] { start_round(0); }, 1000},
        {{}, [this] { capture(station_, "station-testing"); }, 0},
        {wait_idle, [this] { start_round(1); }, 400},
        // Until the verdicts have stopped blinking.
        {wait_idle, [] {}, 3600},
        {{}, [this] { capture(station_, "station-results"); }, 0},
        {{}, [this] { send_menu(station_, station_->ui_in_debug_mode); }, kSettleMs},
        {{},
         [this] {
             capture(station_, "station-debug-mode");
             send_menu(station_, station_->ui_in_debug_mode);
         },
         0},
        // Rounds enough for the viewer's histogram of an item to have a shape.
        {wait_idle, [this] { start_round(2); }, 400},
        {wait_idle, [this] { start_round(3); }, 400},
        {wait_idle, [this] { start_round(4); }, 400},
        {wait_idle, [this] { start_round(5); }, 400},
        {wait_idle, [this] { start_round(6); }, 400},
        {wait_idle, [this] { start_round(7); }, 400},
        {wait_idle, [] {}, 400},
        {{},
         [this] {
             StationViewerFrame* viewer = station_->show_viewer();
             viewer->panel->ui_history->SetGridCursor(2, 0);
             viewer->panel->ui_assertions->SetGridCursor(1, 0);
         },
         kSettleMs},
        {{}, [this] { capture(station_->viewer(), "viewer-single-item"); }, 0},
        {{},
         [this] {
             StationViewerPanel* panel = station_->viewer()->panel;
             panel->ui_statistics_analyzer->SetSelection(1);
             wxCommandEvent event(wxEVT_RADIOBOX, panel->ui_statistics_analyzer->GetId());
             event.SetInt(1);
             event.SetEventObject(panel->ui_statistics_analyzer);
             panel->ui_statistics_analyzer->GetEventHandler()->ProcessEvent(event);
         },
         kSettleMs},
        {{},
         [this] {
             capture(station_->viewer(), "viewer-total");
             station_->viewer()->Close();
         },
         300},
        {{},
         [this] { CallAfter([this] { send_menu(station_, station_->ui_about_menu_item); }); },
         kSettleMs},
        {{}, [this] { capture_modal("about-dialog", wxID_OK); }, 300},
        {{}, [this] { send_menu(station_, station_->m_menuItem4); }, 100},
        {[] { return modal_dialog() != nullptr; }, [] {}, kSettleMs},
        {{}, [this] { capture_modal("ticker-exception-dialog", wxID_CANCEL); }, 300},
        {{},
         [this] {
             CallAfter([this] { send_menu(station_, station_->ui_manual_operation_menu_item); });
         },
         kSettleMs},
        {{}, [this] { capture_modal("manual-operation-dialog", wxID_OK); }, 300},
        {{},
         [this] { CallAfter([this] { send_menu(station_, station_->m_menuItem8); }); },
         kSettleMs},
        {{}, [this] { capture_modal("test-parameters-dialog", wxID_CANCEL); }, 300},
        {{}, [this] { station_->Close(); }, 0},
    };
}

void ScreenshotSession::next(wxTimerEvent&) {
    if (index_ >= steps_.size()) return;
    Step& step = steps_[index_];
    if (step.ready && !step.ready()) {
        waited_ms_ += kPollMs;
        if (waited_ms_ > kWaitLimitMs) {
            wxFprintf(stderr, "screenshot step %zu timed out\n", index_);
            failed_ = true;
            wxTheApp->ExitMainLoop();
            return;
        }
        timer_.StartOnce(kPollMs);
        return;
    }
    waited_ms_ = 0;
    ++index_;
    // Actions open modal dialogs through CallAfter, so every action returns
    // here and the next step then runs inside the dialog's event loop.
    step.action();
    if (failed_ && !station_) {
        wxTheApp->ExitMainLoop();
        return;
    }
    if (index_ < steps_.size()) timer_.StartOnce(std::max(step.pause_ms, 1));
}

}  // namespace station
