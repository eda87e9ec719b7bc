// SPDX-License-Identifier: MIT
#include "windows.h"

#include <stdexcept>

#include <atsui/atsui.h>
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/toplevel.h>

#include "xrc_windows.h"

namespace atsui_bench {

namespace {

template <typename W>
std::function<wxWindow*(wxWindow*)> make() {
    return [](wxWindow* parent) -> wxWindow* { return new W(parent); };
}

// The main window and the launcher are the station's first windows; the
// others are opened from the main window.
template <typename W>
std::function<wxWindow*(wxWindow*)> make_first() {
    return [](wxWindow*) -> wxWindow* { return new W(nullptr); };
}

size_t g_cell_area_index = 0;

}  // namespace

std::vector<WindowKind>& window_kinds() {
    using namespace tov_atsui;
    static std::vector<WindowKind> kinds = {
        {"Cell", true, make<Cell>(), make<XrcCell>(), {}},
        {"Frame", false, make_first<Frame>(), {}, {}},
        {"TickerExceptionDialog", false, make<TickerExceptionDialog>(), {}, {}},
        {"AboutDialog", false, make<AboutDialog>(), {}, {}},
        {"ManualOperationDialog", false, make<ManualOperationDialog>(), {}, {}},
        {"TestDataViewerPanel", true, make<TestDataViewerPanel>(), make<XrcViewerPanel>(), {}},
        {"TestDataViewerFrame", false, make<TestDataViewerFrame>(), {}, {}},
        {"ATSLauncher", false, make_first<ATSLauncher>(), {}, {}},
    };
    return kinds;
}

WindowKind& window_kind(const std::string& name) {
    for (WindowKind& kind : window_kinds())
        if (kind.name == name) return kind;
    throw std::invalid_argument("no window " + name);
}

void record_floors(wxWindow* host) {
    for (WindowKind& kind : window_kinds()) {
        wxWindow* w = kind.ours(host);
        kind.recording = record(w);
        if (auto* frame = dynamic_cast<tov_atsui::Frame*>(w)) {
            const wxWindowList& children = frame->GetChildren();
            g_cell_area_index = static_cast<size_t>(children.IndexOf(frame->ui_cell_panel));
        }
        destroy_window(w);
    }
}

void destroy_window(wxWindow* w) {
    w->Destroy();
    wxTheApp->ProcessIdle();
}

size_t station_cell_area_index() { return g_cell_area_index; }

wxWindow* build_floor(const WindowKind& kind, wxWindow* parent) {
    if (kind.panel) return rebuild(kind.recording, parent);
    const bool first = kind.name == "Frame" || kind.name == "ATSLauncher";
    return rebuild_top(kind.recording, first ? nullptr : parent);
}

void add_cell(wxFrame* frame, wxWindow* cell) {
    auto* station = static_cast<tov_atsui::Frame*>(frame);
    station->ui_cell_panel->GetSizer()->Add(cell, 1, wxEXPAND | wxALL, 5);
}

}  // namespace atsui_bench
