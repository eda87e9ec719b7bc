// SPDX-License-Identifier: MIT
#include "windows.h"

#include <atsui/atsui.h>

#include <wx/gauge.h>
#include <wx/grid.h>
#include <wx/notebook.h>
#include <wx/statbmp.h>
#include <wx/statline.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#if defined(__WXMSW__)
#include <wx/msw/wrapwin.h>
#include <psapi.h>
#else
#include <unistd.h>
#endif

#include "support/harness.h"

namespace atsui_reliability {

using namespace tov_atsui;

namespace {

template <typename W>
WindowKind kind(const char* name, bool top_level) {
    return {name, top_level, [](wxWindow* parent) -> wxWindow* { return new W(parent); }};
}

wxWindow* frame_with_cells(wxWindow* parent) {
    auto* frame = new Frame(parent);
    wxSizer* area = frame->ui_cell_panel->GetSizer();
    for (int i = 0; i < 8; ++i) area->Add(new Cell(frame->ui_cell_panel), 1, wxEXPAND | wxALL, 5);
    // As a host does once its cells are in: the frame was fitted to the
    // empty cell area.
    frame->Fit();
    frame->Layout();
    return frame;
}

// The widgets of a Cell, in the same panels, with the same fonts, colours
// and grid columns, built with the toolkit's calls alone: no accessible
// names, timers, lifecycle hooks or handlers of the layer.
wxWindow* bare_cell(wxWindow* parent) {
    const wxFont font(wxNORMAL_FONT->GetPointSize(), wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL,
                      wxFONTWEIGHT_NORMAL, false, "DejaVu Sans");
    wxFont banner = font, bottom = font;
    banner.SetPointSize(20);
    bottom.SetPointSize(16);
    const auto text = [](wxWindow* in, long style, const char* value = "") {
        return new wxTextCtrl(in, wxID_ANY, value, wxDefaultPosition, wxDefaultSize, style);
    };
    const auto hidden = [](wxWindow* in) {
        auto* panel = new wxPanel(in);
        panel->Hide();
        return panel;
    };
    const auto grid = [](wxWindow* in, int cols) {
        auto* g = new wxGrid(in, wxID_ANY);
        g->CreateGrid(0, cols);
        g->EnableEditing(false);
        for (int col = 0; col < cols; ++col) g->SetColSize(col, 150);
        return g;
    };
    const auto lay_out = [](wxWindow* panel, wxSizer* sizer) {
        panel->SetSizer(sizer);
        panel->Layout();
        sizer->Fit(panel);
    };
    const int row = wxALL | wxALIGN_CENTER_VERTICAL;

    auto* cell = new wxPanel(parent);
    auto* column = new wxBoxSizer(wxVERTICAL);

    wxPanel* info = hidden(cell);
    auto* info_rows = new wxBoxSizer(wxVERTICAL);
    info_rows->Add(new wxStaticLine(info), 0, wxALL | wxEXPAND, 5);
    lay_out(info, info_rows);
    column->Add(info, 0, wxEXPAND);

    wxPanel* statistics = hidden(cell);
    auto* box =
        new wxStaticBoxSizer(new wxStaticBox(statistics, wxID_ANY, "Statistics"), wxHORIZONTAL);
    for (const char* caption : {"OK", "NG", "Yield"}) {
        const wxColour colour = caption[0] == 'N' ? wxColour(255, 0, 0) : wxColour(0, 128, 64);
        auto* label = new wxStaticText(box->GetStaticBox(), wxID_ANY, caption);
        label->SetForegroundColour(colour);
        box->Add(label, 0, row, 5);
        wxTextCtrl* figure = text(box->GetStaticBox(), 0);
        figure->SetBackgroundColour(colour);
        box->Add(figure, 0, row, 5);
    }
    lay_out(statistics, box);
    column->Add(statistics, 0, wxEXPAND | wxALL, 5);

    auto* controls = new wxBoxSizer(wxHORIZONTAL);
    auto* serial_panel = new wxPanel(cell);
    auto* serial_row = new wxBoxSizer(wxHORIZONTAL);
    auto* sn = new wxStaticText(serial_panel, wxID_ANY, "SN:");
    sn->SetFont(font);
    serial_row->Add(sn, 0, row, 5);
    wxTextCtrl* serial = text(serial_panel, wxTE_PROCESS_ENTER);
    serial->SetFont(font);
    serial_row->Add(serial, 1, row, 5);
    lay_out(serial_panel, serial_row);
    controls->Add(serial_panel, 0, wxEXPAND);
    for (const char* caption : {"Start", "Abort"}) {
        auto* button = new wxButton(cell, wxID_ANY, caption);
        button->SetFont(font);
        button->SetBackgroundColour(caption[0] == 'S' ? wxColour(0, 255, 0)
                                                      : wxColour(0, 255, 255));
        controls->Add(button, 0, row, 5);
    }
    column->Add(controls, 0, wxEXPAND, 5);

    wxPanel* script = hidden(cell);
    auto* script_row = new wxBoxSizer(wxHORIZONTAL);
    script_row->Add(new wxStaticText(script, wxID_ANY, "Script"), 0, row, 5);
    script_row->Add(text(script, wxTE_READONLY), 1, row, 5);
    script_row->Add(new wxButton(script, wxID_ANY, "Browse..."), 0, row, 5);
    lay_out(script, script_row);
    column->Add(script, 0, wxEXPAND);

    auto* prompt =
        new wxButton(cell, wxID_ANY, "Ready", wxDefaultPosition, wxDefaultSize, wxBORDER_NONE);
    prompt->SetFont(banner);
    prompt->SetBackgroundColour(wxColour(0, 255, 0));
    column->Add(prompt, 0, wxALL | wxEXPAND, 5);

    auto* views = new wxNotebook(cell, wxID_ANY);
    // Columns of each page's grid; the log is a text instead.
    const struct {
        const char* name;
        int cols;
    } pages[] = {{"Measure", 0}, {"Logger", -1}, {"History", 5}};
    for (const auto& page : pages) {
        auto* panel = new wxPanel(views);
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        if (page.cols >= 0)
            sizer->Add(grid(panel, page.cols), 1, wxEXPAND);
        else
            sizer->Add(text(panel, wxTE_MULTILINE | wxTE_READONLY), 1, wxEXPAND);
        lay_out(panel, sizer);
        views->AddPage(panel, page.name, page.cols == 0);
    }
    column->Add(views, 1, wxEXPAND);

    auto* bottom_row = new wxBoxSizer(wxHORIZONTAL);
    auto* name = new wxStaticText(cell, wxID_ANY, "Cell 1");
    name->SetFont(bottom);
    bottom_row->Add(name, 0, row, 5);
    wxTextCtrl* elapsed = text(cell, wxTE_CENTER | wxTE_READONLY, "00:00:00");
    elapsed->SetFont(bottom);
    bottom_row->Add(elapsed, 0, row, 5);
    bottom_row->Add(new wxGauge(cell, wxID_ANY, 100), 1, wxALL | wxEXPAND, 5);
    column->Add(bottom_row, 0, wxEXPAND, 5);

    auto* across = new wxBoxSizer(wxHORIZONTAL);
    across->Add(column, 1, wxEXPAND, 5);
    wxPanel* image = hidden(cell);
    auto* image_row = new wxBoxSizer(wxHORIZONTAL);
    image_row->Add(
        new wxStaticLine(image, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLI_VERTICAL), 0,
        wxEXPAND | wxLEFT | wxRIGHT, 5);
    image_row->Add(new wxStaticBitmap(image, wxID_ANY, wxNullBitmap), 0, wxALL | wxEXPAND, 5);
    lay_out(image, image_row);
    across->Add(image, 0, wxEXPAND | wxALL, 5);
    lay_out(cell, across);
    return cell;
}

}  // namespace

const WindowKind& bare_cell_kind() {
    static const WindowKind kind{"Cell's widgets, bare", false, bare_cell};
    return kind;
}

const std::vector<WindowKind>& window_kinds() {
    static const std::vector<WindowKind> kinds = [] {
        std::vector<WindowKind> k;
        k.push_back(kind<Frame>("Frame", true));
        k.push_back({"Frame with 8 Cells", true, frame_with_cells});
        k.push_back(kind<Cell>("Cell", false));
        k.push_back(kind<TickerExceptionDialog>("TickerExceptionDialog", true));
        k.push_back(kind<AboutDialog>("AboutDialog", true));
        k.push_back(kind<ManualOperationDialog>("ManualOperationDialog", true));
        k.push_back(kind<TestDataViewerPanel>("TestDataViewerPanel", false));
        k.push_back(kind<TestDataViewerFrame>("TestDataViewerFrame", true));
        k.push_back(kind<ATSLauncher>("ATSLauncher", true));
        return k;
    }();
    return kinds;
}

void show_and_lay_out(wxWindow* window) {
    wxWindow* top = wxGetTopLevelParent(window);
    window->Show();
    top->Show();
    window->Layout();
    top->Layout();
    atsui_test::pump(0);
}

bool is_top_level_alive(wxWindow* window) {
    return wxTopLevelWindows.Find(window) != nullptr || wxTheApp->IsScheduledForDestruction(window);
}

void destroy_for_good(wxWindow* window) {
    if (!window->IsTopLevel()) {
        window->Destroy();
        return;
    }
    window->Destroy();
    atsui_test::pump_until([&] { return !is_top_level_alive(window); }, 5000);
}

std::vector<wxTimer*> timers_of(wxWindow* window) {
    std::vector<wxTimer*> timers;
    if (auto* frame = dynamic_cast<Frame*>(window)) {
        timers.push_back(&frame->ui_ticker_timer);
        timers.push_back(&frame->ui_initializer_trigger);
    }
    if (auto* cell = dynamic_cast<Cell*>(window)) {
        timers.push_back(&cell->ui_refresh_timer);
        timers.push_back(&cell->ui_blink_timer);
    }
    for (wxWindow* child : window->GetChildren())
        for (wxTimer* timer : timers_of(child)) timers.push_back(timer);
    return timers;
}

long resident_kib() {
#if defined(__WXMSW__)
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return static_cast<long>(counters.WorkingSetSize / 1024);
#else
    long pages_total = 0, pages_resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages_total, &pages_resident) != 2) pages_resident = 0;
        std::fclose(statm);
    }
    return pages_resident * (sysconf(_SC_PAGESIZE) / 1024);
#endif
}

int env_int(const char* name, int fallback) {
    const char* value = std::getenv(name);
    if (!value || !*value) return fallback;
    return std::atoi(value);
}

void report_line(const std::string& line) {
    const char* path = std::getenv("ATSUI_RELIABILITY_REPORT");
    if (!path || !*path) return;
    std::ofstream out(path, std::ios::app);
    out << line << '\n';
}

}  // namespace atsui_reliability
