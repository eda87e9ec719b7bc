// SPDX-License-Identifier: MIT
#include "windows.h"

#include <atsui/atsui.h>

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

}  // namespace

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
