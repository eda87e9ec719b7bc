// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <wx/timer.h>

#include "host/options.h"

class wxTopLevelWindow;

namespace station {

class StationFrame;

// A scripted session through every window, writing one PNG per window.
// Steps run from a timer, so a modal dialog that one step opens is captured
// and closed by the next step, from inside the dialog's event loop.
class ScreenshotSession : public wxEvtHandler {
public:
    explicit ScreenshotSession(const Options& options);
    ~ScreenshotSession() override;

    void start();
    bool failed() const { return failed_; }

private:
    struct Step {
        std::function<bool()> ready;  // waited for before the action, if set
        std::function<void()> action;
        int pause_ms;  // after the action
    };

    void build_script();
    void next(wxTimerEvent& event);
    void capture(wxTopLevelWindow* window, const wxString& name);
    void capture_modal(const wxString& name, int answer);
    bool all_cells_idle() const;
    void start_round(int round);

    Options options_;
    std::string temporary_database_;
    std::vector<Step> steps_;
    std::size_t index_ = 0;
    int waited_ms_ = 0;
    wxTimer timer_;
    StationFrame* station_ = nullptr;
    bool failed_ = false;
};

}  // namespace station
