// SPDX-License-Identifier: MIT
#include "host/opening_progress.h"

#include <wx/log.h>
#include <wx/progdlg.h>

#include "host/look.h"

namespace station {

OpeningProgress::OpeningProgress(wxWindow* parent, std::chrono::milliseconds quiet)
    : parent_(parent), start_(std::chrono::steady_clock::now()), quiet_(quiet) {}

OpeningProgress::~OpeningProgress() = default;

void OpeningProgress::operator()(const std::string& stage) {
    // A quick opening shows nothing: no window flashes at every start.
    if (!dialog_ && std::chrono::steady_clock::now() - start_ < quiet_) {
        stage_ = stage;
        return;
    }
    if (!dialog_) {
        // No Cancel: giving up half way would leave the station without its history.
        dialog_ = std::make_unique<wxProgressDialog>(
            _("Opening the test history"), from_utf8(stage), 100, parent_,
            wxPD_AUTO_HIDE | wxPD_ELAPSED_TIME | wxPD_SMOOTH);
        wxLogMessage("%s", from_utf8(stage));
    } else if (stage != stage_) {
        wxLogMessage("%s", from_utf8(stage));
    }
    stage_ = stage;
    // Pulse also lets the window draw itself while the file is worked on.
    dialog_->Pulse(from_utf8(stage));
}

}  // namespace station
