// SPDX-License-Identifier: MIT
// A host built outside the repository: besides the layer it uses wx's HTML
// window, which the package must leave linkable. It reaches members of every
// widget kind with no include of its own beyond the layer's headers, builds
// all eight windows and reports through its exit status.
#include <atsui/atsui.h>
#include <atsui/version.h>
#include <wx/app.h>
#include <wx/html/htmlwin.h>

#include <cstdio>
#include <cstring>

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
        wxSizer* cells = station->ui_cell_panel->GetSizer();
        cells->Detach(station->m_panel9);
        station->m_panel9->Destroy();
        for (int i = 0; i < 2; ++i) {
            auto* cell = new tov_atsui::Cell(station->ui_cell_panel);
            cell->ui_cell_name->SetLabel(wxString::Format("Cell %d", i + 1));
            cell->ui_gauge->SetValue(50);
            cell->ui_history_grid->AppendRows(1);
            cells->Add(cell, 1, wxEXPAND | wxALL, 5);
        }
        station->ui_toolbar->OnLeftClick(station->ui_start_all->GetId(), false);
        station->ui_in_debug_mode->Check(true);

        auto* html = new wxHtmlWindow(station->ui_cell_panel);
        html->SetPage("<p>host</p>");

        auto* viewer = new tov_atsui::TestDataViewerFrame(station);
        auto* panel = new tov_atsui::TestDataViewerPanel(viewer);
        viewer->ui_root_sizer->Add(panel, 1, wxEXPAND);
        const unsigned filters = panel->ui_cell_filter->GetCount();
        panel->ui_cell_filter->Append("Cell 1");
        panel->ui_history->AppendRows(1);
        auto* launcher = new tov_atsui::ATSLauncher(nullptr);
        launcher->ui_project_list->InsertItem(0, "demo");
        delete launcher;
        delete new tov_atsui::TickerExceptionDialog(station);
        delete new tov_atsui::AboutDialog(station);
        delete new tov_atsui::ManualOperationDialog(station);

        ok_ = station->starts == 1 && station->ui_in_debug_mode->IsChecked() &&
              panel->ui_cell_filter->GetCount() == filters + 1 &&
              std::strcmp(ATSUI_VERSION_STRING, EXPECTED_VERSION) == 0;
        std::printf("tov_atsui %s, expected %s; starts %d, debug %d, filters %u\n",
                    ATSUI_VERSION_STRING, EXPECTED_VERSION, station->starts,
                    int(station->ui_in_debug_mode->IsChecked()),
                    unsigned(panel->ui_cell_filter->GetCount()));
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
