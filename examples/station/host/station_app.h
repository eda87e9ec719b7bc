// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <string>

#include <wx/app.h>

#include "host/options.h"

namespace station {

class ScreenshotSession;
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
    Options options_;
    std::unique_ptr<ScreenshotSession> session_;
    std::unique_ptr<Settings> settings_;
};

}  // namespace station
