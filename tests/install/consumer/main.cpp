// SPDX-License-Identifier: MIT
// A host built against the installed package: subclasses a window, builds
// all eight and exits.
#include <atsui/atsui.h>
#include <wx/wx.h>

namespace {

struct Station : tov_atsui::Frame {
    using Frame::Frame;
    int starts = 0;
    void on_start_all(wxCommandEvent&) override { ++starts; }
};

class ConsumerApp : public wxApp {
public:
    bool OnInit() override {
        auto* station = new Station(nullptr);
        auto* cell = new tov_atsui::Cell(station->ui_cell_panel);
        station->ui_cell_panel->GetSizer()->Add(cell, 1, wxEXPAND | wxALL, 5);
        station->ui_toolbar->OnLeftClick(station->ui_start_all->GetId(), false);
        auto* viewer = new tov_atsui::TestDataViewerFrame(station);
        viewer->ui_root_sizer->Add(new tov_atsui::TestDataViewerPanel(viewer), 1, wxEXPAND);
        delete new tov_atsui::TickerExceptionDialog(station);
        delete new tov_atsui::AboutDialog(station);
        delete new tov_atsui::ManualOperationDialog(station);
        delete new tov_atsui::ATSLauncher(nullptr);
        ok_ = station->starts == 1;
        station->Destroy();
        return true;
    }
    // Nothing to run: report and leave.
    int OnRun() override { return ok_ ? 0 : 1; }

private:
    bool ok_ = false;
};

}  // namespace

wxIMPLEMENT_APP(ConsumerApp);
