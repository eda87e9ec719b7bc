// SPDX-License-Identifier: MIT
// Shows every window of the layer as built, with a little sample content.
// With --screenshots DIR it writes one PNG per window and exits.

#include <atsui/atsui.h>

#include <functional>
#include <vector>

#include <wx/wx.h>
#include <wx/cmdline.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/filename.h>
#include <wx/grid.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/utils.h>

namespace {

using tov_atsui::Cell;
using tov_atsui::Frame;

// A window to show and, in screenshot mode, the file to write.
struct Shot {
    wxString name;
    std::function<wxTopLevelWindow*()> open;
};

Frame* open_station(int cells) {
    auto* frame = new Frame(nullptr);
    wxSizer* area = frame->ui_cell_panel->GetSizer();
    area->Detach(frame->m_panel9);
    frame->m_panel9->Destroy();
    for (int n = 1; n <= cells; ++n) {
        auto* cell = new Cell(frame->ui_cell_panel);
        cell->ui_cell_name->SetLabel(wxString::Format("Cell %d", n));
        // Let the grids scroll rather than widen the cell to all their columns.
        cell->ui_history_grid->SetMinSize(wxSize(200, 120));
        cell->ui_assertions->SetMinSize(wxSize(200, 120));
        area->Add(cell, 1, wxEXPAND | wxALL, 5);
    }
    frame->SetSize(1400, 900);
    frame->Centre();
    frame->Show();
    return frame;
}

wxTopLevelWindow* show(wxTopLevelWindow* window) {
    window->Show();
    return window;
}

// Projects arrive out of order; the list shows them sorted.
wxTopLevelWindow* open_launcher() {
    auto* launcher = new tov_atsui::ATSLauncher(nullptr);
    for (const char* name : {"psu_burn_in", "motor_eol", "adc_calibration", "rf_power_sweep",
                             "board_ict", "display_gamma"})
        launcher->ui_project_list->InsertItem(launcher->ui_project_list->GetItemCount(), name);
    launcher->ui_project_path->SetValue("/srv/ats/projects/adc_calibration");
    return show(launcher);
}

wxTopLevelWindow* open_ticker_exception() {
    auto* dialog = new tov_atsui::TickerExceptionDialog(nullptr);
    dialog->ui_exception_trace->SetValue(
        "Traceback (most recent call last):\n"
        "  File \"ticker.py\", line 42, in tick\n"
        "    reading = dmm.measure_voltage()\n"
        "  File \"instruments/dmm.py\", line 118, in measure_voltage\n"
        "    raise TimeoutError(\"DMM did not answer within 2 s\")\n"
        "TimeoutError: DMM did not answer within 2 s");
    return show(dialog);
}

// The host's steps for the test data viewer: an empty frame, the panel in
// its root sizer, a size, then show.
wxTopLevelWindow* open_viewer() {
    auto* frame = new tov_atsui::TestDataViewerFrame(nullptr);
    frame->SetTitle("Test Data");
    frame->ui_root_sizer->Add(new tov_atsui::TestDataViewerPanel(frame), 1, wxEXPAND);
    frame->SetSize(1400, 760);
    frame->Centre();
    frame->Show();
    return frame;
}

std::vector<Shot> shots() {
    return {
        {"launcher", [] { return open_launcher(); }},
        {"station", [] { return open_station(4); }},
        {"viewer", [] { return open_viewer(); }},
        {"ticker_exception", [] { return open_ticker_exception(); }},
        {"about", [] { return show(new tov_atsui::AboutDialog(nullptr)); }},
        {"manual_operation", [] { return show(new tov_atsui::ManualOperationDialog(nullptr)); }},
    };
}

#if defined(__WXMSW__)
// Windows has no `import`: the screen as Windows has it, through a screen
// DC. A wxMSW built without libpng writes BMP; the file name says which.
wxString capture(wxTopLevelWindow* window, const wxString& file) {
    const wxRect r = window->GetScreenRect();
    wxBitmap shot(r.width, r.height, 24);
    {
        wxScreenDC screen;
        wxMemoryDC memory(shot);
        memory.Blit(0, 0, r.width, r.height, &screen, r.x, r.y);
    }
    wxFileName name(file);
    wxBitmapType type = wxBITMAP_TYPE_PNG;
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) {
        name.SetExt("bmp");
        type = wxBITMAP_TYPE_BMP;
    }
    return shot.SaveFile(name.GetFullPath(), type) ? name.GetFullPath() : wxString();
}
#else
wxString capture(wxTopLevelWindow* window, const wxString& file) {
    const wxRect r = window->GetScreenRect();
    const wxString command = wxString::Format(
        "import -window root -crop %dx%d+%d+%d +repage \"%s\"", r.width, r.height, r.x, r.y, file);
    return wxExecute(command, wxEXEC_SYNC) == 0 ? file : wxString();
}
#endif

class GalleryApp : public wxApp {
public:
    bool OnInit() override {
        if (!wxApp::OnInit()) return false;
        shots_ = shots();
        if (dir_.empty()) {
            for (const Shot& shot : shots_) shot.open();
            return true;
        }
        wxFileName::Mkdir(dir_, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
        timer_.Bind(wxEVT_TIMER, &GalleryApp::next, this);
        timer_.StartOnce(100);
        return true;
    }

    void OnInitCmdLine(wxCmdLineParser& parser) override {
        wxApp::OnInitCmdLine(parser);
        parser.AddOption("", "screenshots", "write one PNG per window into this folder and exit");
    }

    bool OnCmdLineParsed(wxCmdLineParser& parser) override {
        parser.Found("screenshots", &dir_);
        return wxApp::OnCmdLineParsed(parser);
    }

private:
    // Opens the next window, lets it settle, captures it, closes it.
    void next(wxTimerEvent&) {
        if (open_) {
            const wxString file = wxFileName(dir_, shots_[index_].name + ".png").GetFullPath();
            if (const wxString written = capture(open_, file); !written.empty())
                wxPrintf("wrote %s\n", written);
            else {
                wxFprintf(stderr, "could not capture %s\n", file);
                failed_ = true;
            }
            open_->Destroy();
            open_ = nullptr;
            ++index_;
        }
        if (index_ >= shots_.size()) {
            ExitMainLoop();
            return;
        }
        open_ = shots_[index_].open();
        timer_.StartOnce(700);
    }

    int OnExit() override { return failed_ ? 1 : 0; }

    std::vector<Shot> shots_;
    wxString dir_;
    wxTimer timer_;
    wxTopLevelWindow* open_ = nullptr;
    size_t index_ = 0;
    bool failed_ = false;
};

}  // namespace

wxIMPLEMENT_APP(GalleryApp);
