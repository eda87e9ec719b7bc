// SPDX-License-Identifier: MIT
#pragma once

// The look the windows share: fonts, colours, labels, panels, buttons, grids
// and the closing steps of a construction. Private: not installed. The guards
// of a window's life live in lifecycle.h.

#include <cstddef>

#include <wx/colour.h>
#include <wx/defs.h>
#include <wx/font.h>
#include <wx/string.h>
#include <wx/translation.h>

class wxButton;
class wxGrid;
class wxPanel;
class wxSizer;
class wxStaticBitmap;
class wxStaticText;
class wxTimer;
class wxWindow;

// Hidden from the shared library's symbol table: the module's interface is
// its eight window classes and nothing else.
#pragma GCC visibility push(hidden)
namespace tov_atsui::detail {

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

// A plain panel that takes part in tab traversal.
wxPanel* make_panel(wxWindow* parent);

wxButton* make_button(wxWindow* parent, const wxString& label, long style = 0);

// The dialogs' 20 pt text.
inline constexpr int kDialogPoints = 20;

// A dialog's button that ends it with id: made the default item (the last
// one made wins), in the dialogs' font, added to row with a 5-pixel border.
wxButton* add_default_button(wxWindow* dialog, wxWindowID id, const wxString& label, wxSizer* row,
                             int flags);

// How most items sit in their row: 5-pixel border all round, vertically centred.
inline constexpr int kCentredItem = wxALL | wxALIGN_CENTER_VERTICAL;

// SetSizer, Layout, then Fit the sizer to the panel.
void finish_panel(wxWindow* panel, wxSizer* sizer);

// How frames and dialogs close their construction: SetSizer, Layout, Fit
// the sizer to the window, Centre(wxBOTH).
void finish_window(wxWindow* window, wxSizer* sizer);

// Makes owner the timer's owner under the timer's own id.
void own_timer(wxTimer& timer, wxWindow* owner);

// A picture area that starts empty, for the host to fill: built with no
// bitmap, and drawn as bare background while it has none (wxMSW, painting
// it by hand, would assert on drawing the missing bitmap).
wxStaticBitmap* make_picture(wxWindow* parent, const wxSize& size);

struct GridColumn {
    const char* label;  // UTF-8, marked with wxTRANSLATE: the grid shows it translated
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
inline constexpr GridColumn kHistoryColumns[] = {{wxTRANSLATE("Begin Time"), 150},
                                                 {wxTRANSLATE("End Time"), 150},
                                                 {wxTRANSLATE("Serial Number"), 200},
                                                 {wxTRANSLATE("Result"), 150},
                                                 {wxTRANSLATE("Description"), 200}};

}  // namespace tov_atsui::detail
#pragma GCC visibility pop
