// SPDX-License-Identifier: MIT
// A station frame with two cells, driven from outside through AT-SPI by
// drive_station.py. Each start of a cell prints one line on stdout,
// "started <cell name> <serial number>", which is what the driver checks.
// It says "ready" once its event loop runs. SIGTERM closes the frame
// and ends the program normally, so the driver sees how the windows go down
// with the accessibility bridge on; after a while it closes by itself, so
// that a lost driver cannot leave it running.

#include <atsui/atsui.h>

#include <wx/app.h>
#include <wx/log.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

volatile std::sig_atomic_t g_asked_to_end = 0;

class HostCell : public tov_atsui::Cell {
public:
    using Cell::Cell;
    void on_start_cell_test(wxCommandEvent&) override {
        std::printf("started %s %s\n", ui_cell_name->GetLabel().utf8_string().c_str(),
                    ui_serial_number->GetValue().utf8_string().c_str());
        std::fflush(stdout);
    }
};

class HostFrame : public tov_atsui::Frame {
public:
    HostFrame() : Frame(nullptr) {
        wxSizer* grid = ui_cell_panel->GetSizer();
        grid->Detach(m_panel9);
        m_panel9->Destroy();
        for (int i = 0; i < 2; ++i) {
            auto* cell = new HostCell(ui_cell_panel);
            cell->ui_cell_name->SetLabel(wxString::Format("Cell %d", i + 1));
            grid->Add(cell, 1, wxEXPAND | wxALL, 5);
        }
        SetSize(FromDIP(wxSize(1000, 700)));
    }
};

class HostApp : public wxApp {
public:
    bool OnInit() override {
        // A message box would wait for a person who is not there.
        delete wxLog::SetActiveTarget(new wxLogStderr);
        wxSetAssertHandler([](const wxString& file, int line, const wxString&, const wxString& cond,
                              const wxString& msg) {
            std::fprintf(stderr, "toolkit assertion %s:%d %s %s\n", file.utf8_string().c_str(),
                         line, cond.utf8_string().c_str(), msg.utf8_string().c_str());
            std::exit(3);
        });
        auto* frame = new HostFrame;
        frame->Show();
        std::signal(SIGTERM, [](int) { g_asked_to_end = 1; });
        poll_.Bind(wxEVT_TIMER, [this, frame](wxTimerEvent&) {
            if (g_asked_to_end) end(frame);
        });
        poll_.Start(50);
        CallAfter([] {
            std::printf("ready\n");
            std::fflush(stdout);
        });
        const char* limit = std::getenv("ATSUI_HOST_SECONDS");
        watchdog_.Bind(wxEVT_TIMER, [this, frame](wxTimerEvent&) { end(frame); });
        watchdog_.StartOnce(1000 * (limit ? std::atoi(limit) : 120));
        return true;
    }

private:
    // The program ends when its last frame is gone.
    void end(HostFrame* frame) {
        poll_.Stop();
        watchdog_.Stop();
        frame->Close(true);
    }

    wxTimer poll_;
    wxTimer watchdog_;
};

}  // namespace

wxIMPLEMENT_APP(HostApp);
