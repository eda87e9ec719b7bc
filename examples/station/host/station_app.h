// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <string>

#include <wx/app.h>

#include "host/options.h"

namespace station {

class ScreenshotSession;
class ScriptedRun;
class Settings;
class StationFrame;

// Shows the station for the project, or explains in a message box why the
// project cannot be opened and returns nullptr.
StationFrame* open_station(const Options& options, const std::string& project_path);

// Starts at the launcher, or at the station with --project; with
// --screenshots runs the scripted session instead.
class StationApp : public wxApp {
public:
    StationApp();
    ~StationApp() override;

    bool OnInit() override;
    int OnRun() override;
    int OnExit() override;
    void OnInitCmdLine(wxCmdLineParser& parser) override;
    bool OnCmdLineParsed(wxCmdLineParser& parser) override;

private:
    // OnInit's work; false when the station cannot start (it said why).
    bool start();
    // Opens the station on the project; with --repeat, the scripted run on it.
    bool open(const std::string& project_path);
    // What OnExit does, also when OnInit failed (wx then skips OnExit): the
    // settings go before wx deletes its global config, which is theirs.
    void shut_down();
    // SIGTERM, SIGINT, SIGHUP: every window closes as if the operator had
    // closed it and agreed to everything.
    void close_on_signal(int number);

    Options options_;
    std::unique_ptr<ScreenshotSession> session_;
    std::unique_ptr<ScriptedRun> run_;
    std::unique_ptr<Settings> settings_;
    bool shut_down_ = false;
    bool closing_on_signal_ = false;
};

}  // namespace station
