// SPDX-License-Identifier: MIT
#pragma once

// The windows under measurement and the ways of building each: ours (the
// compiled window), XRC (where a document exists) and the floor (the same
// widgets rebuilt bare from a recording of ours).

#include <functional>
#include <string>
#include <vector>

#include "window_tree.h"

class wxFrame;
class wxWindow;

namespace atsui_bench {

struct WindowKind {
    std::string name;  // as in the report: the class name
    bool panel;        // a child panel rather than a frame or dialog
    std::function<wxWindow*(wxWindow* parent)> ours;
    std::function<wxWindow*(wxWindow* parent)> xrc;  // empty when there is no document
    WindowNode recording;                            // filled by record_floors()
};

// The eight windows, in the order the module defines them.
std::vector<WindowKind>& window_kinds();
WindowKind& window_kind(const std::string& name);

// Records ours of every window once (on host, for panels and dialogs), so
// that the floor can be rebuilt.
void record_floors(wxWindow* host);

wxWindow* build_floor(const WindowKind& kind, wxWindow* parent);

// Where ui_cell_panel sits among the main frame's content windows, for
// finding it in the floor's frame.
size_t station_cell_area_index();

// Destroys a window at once, frames and dialogs included (their deletion
// otherwise waits for idle time).
void destroy_window(wxWindow* w);

// Places a new cell in the main frame's cell area, as a station does.
void add_cell(wxFrame* frame, wxWindow* cell);

}  // namespace atsui_bench
