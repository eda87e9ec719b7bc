// SPDX-License-Identifier: MIT
#pragma once

// The station's keyboard beyond its menus: the key that brings each cell's
// serial number field, and Tab out of the read-only grids.

#include <wx/string.h>

class wxGrid;

namespace station {

// Alt+1 .. Alt+9 and Alt+0 for the first ten cells, Ctrl+Alt+1 .. Ctrl+Alt+6
// for the rest: digits are what an operator reads on the cell, and neither
// the menus (F5, Shift+F5, Ctrl with letters) nor a text field use them.
struct CellKey {
    int modifiers;  // wxACCEL_*
    int key;
    wxString text;  // as the cell shows it
};
CellKey cell_key(int number);

// Tab and Shift+Tab move on to the next or previous control at once: the
// grids only show, and walking their cells would trap the keyboard.
void leave_on_tab(wxGrid* grid);

}  // namespace station
