// SPDX-License-Identifier: MIT
#pragma once

// Construction idioms shared by the windows. Private: not installed.

#include <cstddef>
#include <functional>

#include <wx/colour.h>
#include <wx/font.h>
#include <wx/string.h>

class wxGrid;
class wxSizer;
class wxStaticText;
class wxTimer;
class wxWindow;
class wxWindowBase;

// Hidden from the shared library's symbol table: the module's interface is
// its eight window classes and nothing else.
#pragma GCC visibility push(hidden)
namespace tov_atsui::detail {

// Throws std::invalid_argument naming the class when parent is null, is being
// destroyed (its deletion would take the new window with it at the next idle
// time) or has no client area to hold children (a button, a menu bar: the
// toolkit asserts and the first child crashes). Used in a panel's base
// initialiser, so nothing is created for a refused parent.
wxWindow* require_parent(wxWindow* parent, const char* class_name);

// For top-level windows, whose parent may be null: throws std::logic_error
// when no GUI application is running (the toolkit would crash in its first
// call) and std::invalid_argument for a parent that is being destroyed.
wxWindow* top_level_parent(wxWindow* parent, const char* class_name);

// Throws std::invalid_argument for an id the toolkit rejects with an
// assertion (outside wxID_ANY, 0..32766 and the automatic range).
int require_window_id(int id, const char* class_name);

// Destroy() of a top-level window that may have a modal dialog running on top
// of it: the toolkit would delete the dialog inside its own ShowModal (a
// dialog on the host's stack is then freed as if from the heap). Ends such
// dialogs with wxID_CANCEL and calls destroy once their modal loop is left;
// with none running, calls destroy at once.
bool destroy_after_modal_children(wxWindow* window, const std::function<bool()>& destroy);

// Whether window may move under new_parent: not to no parent, not into
// itself or one of its own descendants (the toolkit loops forever there).
// When it may, it leaves a sizer of another window, which would otherwise
// keep laying it out and refuse to let the new parent's sizer take it.
bool prepare_reparent(wxWindow* window, wxWindowBase* new_parent);

// Text outside ASCII enters through UTF-8, whatever the process locale is.
inline wxString utf8(const char* text) { return wxString::FromUTF8(text); }

// Default family, normal style and weight, no underline.
wxFont plain_font(int points, const wxString& face = wxEmptyString);

// The cell's "DejaVu Sans" faces; points <= 0 means the platform's normal size.
wxFont cell_font(int points = 0);

// Status colours: OK and yield, NG.
wxColour ok_colour();
wxColour ng_colour();

// A static text that never wraps.
wxStaticText* make_label(wxWindow* parent, const wxString& label);

// SetSizer, Layout, then Fit the sizer to the panel.
void finish_panel(wxWindow* panel, wxSizer* sizer);

// How frames and dialogs close their construction: SetSizer, Layout, Fit
// the sizer to the window, Centre(wxBOTH).
void finish_window(wxWindow* window, wxSizer* sizer);

// Makes owner the timer's owner under the timer's own id.
void own_timer(wxTimer& timer, wxWindow* owner);

struct GridColumn {
    const char* label;
    int width;
};

// The read-only grid set-up that all the layer's grids share: no rows, the
// given columns, editing off, column resizing only, centred 30-pixel labels,
// cells left-aligned and vertically centred.
void set_up_readonly_grid(wxGrid* grid, const GridColumn* columns, std::size_t count,
                          int row_label_size);

template <std::size_t N>
void set_up_readonly_grid(wxGrid* grid, const GridColumn (&columns)[N], int row_label_size) {
    set_up_readonly_grid(grid, columns, N, row_label_size);
}

// Columns of both history grids (a cell's and the viewer's).
inline constexpr GridColumn kHistoryColumns[] = {{"Begin Time", 150},
                                                 {"End Time", 150},
                                                 {"Serial Number", 200},
                                                 {"Result", 150},
                                                 {"Description", 200}};

}  // namespace tov_atsui::detail
#pragma GCC visibility pop
