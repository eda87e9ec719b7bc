// SPDX-License-Identifier: MIT
#include "host/station_app.h"

#include <chrono>

#include <wx/cmdline.h>
#include <wx/msgdlg.h>

#include "host/look.h"
#include "host/screenshots.h"
#include "host/station_frame.h"
#include "host/station_launcher.h"
#include "host/station_viewer.h"
#include "logic/pg_line.h"
#include "logic/project.h"

namespace station {

StationFrame* open_station(const Options& options, const std::string& project_path) {
    Project project;
    try {
        project = load_project(project_path);
    } catch (const ProjectError& error) {
        wxMessageBox(from_utf8(error.what()), "Cannot open the project", wxOK | wxICON_ERROR);
        return nullptr;
    }
    std::unique_ptr<HistoryStore> store;
    try {
        store = open_history_store(options);
    } catch (const HistoryStoreError& error) {
        wxMessageBox(from_utf8(error.what()), "Cannot open the test history", wxOK | wxICON_ERROR);
        return nullptr;
    }
    auto* frame = new StationFrame(options, project, project_path, std::move(store));
    frame->Show();
    return frame;
}

StationApp::StationApp() = default;
StationApp::~StationApp() = default;

void StationApp::OnInitCmdLine(wxCmdLineParser& parser) {
    wxApp::OnInitCmdLine(parser);
    parser.AddLongOption("project", "open this project at once, without the launcher");
    parser.AddLongOption("projects", "folder the launcher lists projects from");
    parser.AddLongOption("cells", "number of test cells (1 to 16, default 4)",
                         wxCMD_LINE_VAL_NUMBER);
    parser.AddLongOption("seed", "seed of the simulated measurements (default: from the clock)",
                         wxCMD_LINE_VAL_NUMBER);
    parser.AddLongOption("item-ms", "milliseconds per measured item (default 400)",
                         wxCMD_LINE_VAL_NUMBER);
    parser.AddLongOption("ticker-fault-after", "make the ticker's health check fail on tick N",
                         wxCMD_LINE_VAL_NUMBER);
    parser.AddLongOption("database", "SQLite file of the test history, or a postgresql:// address");
    parser.AddLongOption("station", "this station's name on a line (default: the host name)");
    parser.AddSwitch("", "viewer", "open only the test data viewer");
    parser.AddLongOption("repeat", "test N units in every cell, then close", wxCMD_LINE_VAL_NUMBER);
    parser.AddLongOption("screenshots",
                         "run a scripted session, write one PNG per window into "
                         "this folder and exit");
}

bool StationApp::OnCmdLineParsed(wxCmdLineParser& parser) {
    if (!wxApp::OnCmdLineParsed(parser)) return false;
    wxString text;
    long number = 0;
    if (parser.Found("project", &text)) options_.project = to_utf8(text);
    options_.projects_folder = STATION_PROJECTS_DIR;
    if (parser.Found("projects", &text)) options_.projects_folder = to_utf8(text);
    if (parser.Found("screenshots", &text)) options_.screenshots = to_utf8(text);
    if (parser.Found("database", &text)) options_.database = to_utf8(text);
    if (parser.Found("station", &text)) options_.station = to_utf8(text);
    options_.station = station_name(options_);
    options_.viewer_only = parser.Found("viewer");
    if (parser.Found("repeat", &number)) {
        if (number < 1) {
            wxFprintf(stderr, "--repeat must be at least 1\n");
            return false;
        }
        options_.repeat = int(number);
    }
    if (parser.Found("cells", &number)) {
        if (number < 1 || number > kMaxCells) {
            wxFprintf(stderr, "--cells must be between 1 and %d\n", kMaxCells);
            return false;
        }
        options_.cells = int(number);
    }
    if (parser.Found("item-ms", &number)) {
        if (number < 10 || number > 60000) {
            wxFprintf(stderr, "--item-ms must be between 10 and 60000\n");
            return false;
        }
        options_.item_ms = int(number);
    }
    if (parser.Found("ticker-fault-after", &number)) {
        if (number < 1) {
            wxFprintf(stderr, "--ticker-fault-after must be at least 1\n");
            return false;
        }
        options_.ticker_fault_after = int(number);
    }
    if (parser.Found("seed", &number)) {
        if (number < 0) {
            wxFprintf(stderr, "--seed must not be negative\n");
            return false;
        }
        options_.seed = std::uint64_t(number);
    } else if (!options_.screenshots.empty()) {
        options_.seed = 5;  // the committed gallery is reproducible
    } else {
        options_.seed =
            std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count() & 0x7fffffff);
    }
    return true;
}

bool StationApp::OnInit() {
    if (!wxApp::OnInit()) return false;
    if (!options_.screenshots.empty()) {
        session_ = std::make_unique<ScreenshotSession>(options_);
        session_->start();
        return true;
    }
    if (options_.viewer_only) {
        try {
            std::unique_ptr<HistoryStore> store;
            if (is_server_address(options_.database)) {
                store = std::make_unique<HistoryStore>(line_copy_path(options_.database));
                try {
                    copy_line_history(options_.database, *store);
                } catch (const LineServerError& error) {
                    wxMessageBox(from_utf8(error.what()) +
                                     "\n\nShowing the tests copied from the line before.",
                                 "Line server", wxOK | wxICON_WARNING);
                }
                (new StationViewerFrame(std::move(store)))->Show();
                return true;
            }
            try {
                store = open_history_store(options_);
            } catch (const HistoryStoreError&) {
                // Reviewing needs no writing: a read-only copy is still worth showing.
                store = open_history_store(options_, HistoryStore::Mode::read_only);
            }
            (new StationViewerFrame(std::move(store)))->Show();
        } catch (const HistoryStoreError& error) {
            wxMessageBox(from_utf8(error.what()), "Cannot open the test history",
                         wxOK | wxICON_ERROR);
            return false;
        }
        return true;
    }
    if (!options_.project.empty()) return open_station(options_, options_.project) != nullptr;

    const Options options = options_;
    auto* launcher = new StationLauncher(
        options_.projects_folder,
        [options](const std::string& path) { return open_station(options, path) != nullptr; });
    launcher->Show();
    return true;
}

int StationApp::OnRun() {
    const int status = wxApp::OnRun();
    return session_ && session_->failed() ? 1 : status;
}

// The session's timer must go while the toolkit is still up.
int StationApp::OnExit() {
    session_.reset();
    return wxApp::OnExit();
}

}  // namespace station
