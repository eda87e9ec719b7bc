// SPDX-License-Identifier: MIT
#include "host/station_app.h"

#include <csignal>
#include <cstring>

#include <wx/bmpbndl.h>
#include <wx/cmdline.h>
#include <wx/dialog.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/iconbndl.h>
#include <wx/msgdlg.h>
#include <wx/toplevel.h>

#include "host/command_line.h"
#include "host/language.h"
#include "host/look.h"
#include "host/notice.h"
#include "host/screenshots.h"
#include "host/scripted_run.h"
#include "host/station_frame.h"
#include "host/station_launcher.h"
#include "logic/places.h"
#include "host/settings.h"
#include "host/station_log.h"
#include "host/station_viewer.h"
#include "logic/pg_line.h"
#include "logic/project.h"

namespace station {

StationFrame* open_station(const Options& options, const std::string& project_path) {
    Project project;
    try {
        project = load_project(project_path);
    } catch (const ProjectError& error) {
        report_in_box(nullptr, _("Cannot open the project"),
                      wxString::Format(_("Project not opened: %s"), from_utf8(error.what())));
        return nullptr;
    }
    std::unique_ptr<HistoryStore> store;
    try {
        store = open_history_store(options);
    } catch (const HistoryStoreError& error) {
        report_in_box(nullptr, _("Cannot open the test history"),
                      wxString::Format(_("Test history not opened: %s"), from_utf8(error.what())));
        return nullptr;
    }
    auto* frame = new StationFrame(options, project, project_path, std::move(store));
    remember_window(frame, "station");
    frame->Show();
    wxLogMessage("Project %s opened: %s", from_utf8(project.title), from_utf8(project_path));
    if (Settings* settings = Settings::current()) {
        // Absolute: the next run may start from another working folder.
        const wxString absolute = wxFileName(from_utf8(project_path)).GetAbsolutePath();
        settings->set_last_project(absolute);
        settings->set_folder("projects", wxPathOnly(absolute));
    }
    return frame;
}

namespace {

constexpr const char* kIcon = "atsui-station.svg";

// The icon the desktop entry names, as installed under share/icons by the
// station's prefix or in an XDG data folder; in the build tree, beside the
// executable.
wxString icon_path() {
    const std::vector<std::string> folders = data_folders();
    for (std::size_t i = 0; i < folders.size(); ++i) {
        // Every folder after the executable's is <share>/atsui-station.
        wxString path = from_utf8(folders[i]) + "/" + kIcon;
        if (i > 0) {
            wxFileName share = wxFileName::DirName(from_utf8(folders[i]));
            share.RemoveLastDir();
            path = share.GetPath() + "/icons/hicolor/scalable/apps/" + kIcon;
        }
        if (wxFileName::FileExists(path)) return path;
    }
    return wxEmptyString;
}

wxIconBundle window_icons(const wxString& svg) {
    wxIconBundle icons;
    const wxBitmapBundle drawing = wxBitmapBundle::FromSVGFile(svg, wxSize(64, 64));
    if (!drawing.IsOk()) return icons;
    for (const int side : {16, 24, 32, 48, 64, 128}) {
        wxIcon icon;
        icon.CopyFromBitmap(drawing.GetBitmap(wxSize(side, side)));
        icons.AddIcon(icon);
    }
    return icons;
}

}  // namespace

// The desktop entry's StartupWMClass: wxGTK makes the application's name
// the class of every window (WM_CLASS), which desktops match to the entry.
StationApp::StationApp() { SetAppName("atsui-station"); }
StationApp::~StationApp() = default;

void StationApp::OnInitCmdLine(wxCmdLineParser& parser) { describe_command_line(parser); }

bool StationApp::OnCmdLineParsed(wxCmdLineParser& parser) {
    if (!wxApp::OnCmdLineParsed(parser)) return false;
    if (const wxString problem = read_command_line(parser, options_); !problem.empty()) {
        wxFprintf(stderr, "%s\n", problem);
        return false;
    }
    options_.station = station_name(options_);
    return true;
}

bool StationApp::OnInit() {
    if (!wxApp::OnInit()) return false;
    if (start()) {
        // wx runs the handler from the event loop, not in the signal's context.
        for (const int signal : {SIGTERM, SIGINT, SIGHUP})
            SetSignalHandler(signal, [](int number) {
                static_cast<StationApp*>(wxTheApp)->close_on_signal(number);
            });
        return true;
    }
    shut_down();
    return false;
}

// A session's end or a service stop closes the station as Ctrl+Q does, with
// nobody to answer: running tests end as aborted and are stored, and what
// cannot be stored is named in the log.
void StationApp::close_on_signal(int number) {
    if (closing_on_signal_) return;
    closing_on_signal_ = true;
    wxLogWarning("Signal %d (%s): the station closes", number, strsignal(number));
    set_unattended(true);
    // Questions and boxes first: the windows under them close once their loops have returned.
    for (wxWindow* window : wxTopLevelWindows)
        if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal())
            dialog->EndModal(wxID_CANCEL);
    CallAfter([] {
        const wxWindowList windows = wxTopLevelWindows;
        for (wxWindow* window : windows)
            if (!dynamic_cast<wxDialog*>(window)) window->Close(true);
    });
}

bool StationApp::open(const std::string& project_path) {
    StationFrame* frame = open_station(options_, project_path);
    if (!frame) return false;
    if (options_.repeat > 0) run_ = std::make_unique<ScriptedRun>(frame, options_.repeat, options_.station);
    return true;
}

bool StationApp::start() {
    // A scripted run has nobody to answer a message box.
    set_unattended(options_.repeat > 0);
    // The scripted gallery must look the same on every machine: it neither
    // reads nor writes what the operator's station remembers.
    const bool remembering = options_.screenshots.empty();
    if (remembering) {
        settings_ = std::make_unique<Settings>(Settings::default_path());
        Settings::set_current(settings_.get());
        settings_->fill(options_);
        if (options_.projects_folder.empty())
            options_.projects_folder = to_utf8(settings_->folder("projects"));
    }
    if (options_.projects_folder.empty())
        options_.projects_folder = sample_projects_folder();
    const int log_days = settings_ ? settings_->log_days() : kLogDaysDefault;
    // Messages go to the day's file and the cells' tabs, never into message
    // boxes of wx's own: the station words what an operator must answer.
    wxLog::SetLogLevel(options_.verbose ? wxLOG_Max : wxLOG_Info);
    delete wxLog::SetActiveTarget(new StationLog(from_utf8(log_folder()), log_days, new wxLogStderr,
                                                 options_.verbose ? wxLOG_Max : wxLOG_Warning));
    if (settings_ && !settings_->problem().empty()) wxLogWarning("%s", settings_->problem());
    // Every window the station opens, dialogs included, shows the station's
    // icon: each one's creation ends here unless the window takes it itself.
    if (const wxString svg = icon_path(); !svg.empty()) {
        if (const wxIconBundle icons = window_icons(svg); !icons.IsEmpty()) {
            Bind(wxEVT_CREATE, [icons](wxWindowCreateEvent& event) {
                // wxDynamicCast static_casts before it checks, which UBSan's
                // vptr check rightly calls undefined for a menu bar.
                auto* window = dynamic_cast<wxTopLevelWindow*>(event.GetWindow());
                if (window && !window->GetIcon().IsOk()) window->SetIcons(icons);
                event.Skip();
            });
        } else {
            wxLogWarning("The station's icon %s is no SVG drawing; the windows show none.", svg);
        }
    } else {
        wxLogMessage("No %s beside the station or in its data folders: the windows show no icon.",
                     kIcon);
    }
    wxLogMessage(
        "Station %s started: %s, %d cells, %d ms per item, seed %llu, history %s",
        from_utf8(options_.station),
        options_.project.empty() ? wxString("launcher") : from_utf8(options_.project),
        options_.cells, options_.item_ms, (unsigned long long)options_.seed,
        options_.database.empty() ? wxString("default file")
                                  : from_utf8(redacted_address(options_.database)));
    wxLogDebug("Log folder %s, kept %d days; settings %s", from_utf8(log_folder()), log_days,
               settings_ ? settings_->path() : wxString("not used"));
    // Before the first window: every window, the layer's captions too, in one language.
    if (const wxString problem = use_language(options_.language); !problem.empty()) {
        wxLogWarning("%s", problem);
    }
    if (!options_.screenshots.empty()) {
        session_ = std::make_unique<ScreenshotSession>(options_);
        session_->start();
        return true;
    }
    if (options_.viewer_only) {
        try {
            std::unique_ptr<HistoryStore> store;
            if (is_server_address(options_.database)) {
                // The copy is the server's whatever the password given to reach it.
                store = std::make_unique<HistoryStore>(
                    line_copy_path(redacted_address(options_.database)));
                try {
                    copy_line_history(options_.database, *store);
                } catch (const LineServerError& error) {
                    wxMessageBox(from_utf8(error.what()) + "\n\n" +
                                     _("Showing the tests copied from the line before."),
                                 _("Line server"), wxOK | wxICON_WARNING);
                }
                (new StationViewerFrame(std::move(store)))->show_remembered();
                return true;
            }
            try {
                store = open_history_store(options_);
            } catch (const HistoryStoreError&) {
                // Reviewing needs no writing: a read-only copy is still worth showing.
                store = open_history_store(options_, HistoryStore::Mode::read_only);
            }
            (new StationViewerFrame(std::move(store)))->show_remembered();
        } catch (const HistoryStoreError& error) {
            report_in_box(nullptr, _("Cannot open the test history"),
                          wxString::Format(_("Test history not opened: %s"),
                                           from_utf8(error.what())));
            return false;
        }
        return true;
    }
    if (!options_.project.empty()) return open(options_.project);

    auto* launcher = new StationLauncher(options_.projects_folder,
                                         [this](const std::string& path) { return open(path); });
    if (Settings* settings = Settings::current())
        launcher->choose(to_utf8(settings->last_project()));
    launcher->Show();
    return true;
}

int StationApp::OnRun() {
    const int status = wxApp::OnRun();
    if (session_ && session_->failed()) return 1;
    return status != 0 ? status : failure_status();
}

int StationApp::OnExit() {
    shut_down();
    return wxApp::OnExit();
}

// Timers must go while the toolkit is still up.
void StationApp::shut_down() {
    if (shut_down_) return;
    shut_down_ = true;
    run_.reset();
    session_.reset();
    wxLogMessage("Station closed");
    wxLog::FlushActive();
    settings_.reset();
}

}  // namespace station
