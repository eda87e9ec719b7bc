// SPDX-License-Identifier: MIT
#pragma once

// A window's widget tree as data: what each widget is, where it sits and what
// it shows. Recorded from a built window, it rebuilds "the floor": the same
// widgets on the same parents with nothing else (no sizers, fonts, colours,
// grid set-up or bindings). Comparing two recordings tells whether two ways of
// building a window give the same widgets.

#include <string>
#include <vector>

#include <wx/arrstr.h>
#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/font.h>
#include <wx/gdicmn.h>
#include <wx/string.h>

class wxTopLevelWindow;
class wxWindow;

namespace atsui_bench {

struct MenuItemNode {
    wxString label;
    int kind;  // wxItemKind
};

struct MenuNode {
    wxString title;
    std::vector<MenuItemNode> items;
};

struct ToolNode {
    wxString label;
    wxString short_help;
    wxBitmap bitmap;
};

struct WindowNode {
    std::string cls;           // wxClassInfo name
    wxWindowID id = wxID_ANY;  // kept only for the toolkit's standard ids
    long style = 0;
    wxString label;  // label, title or value, by kind
    bool shown = true;
    wxSize size = wxDefaultSize;  // top-level windows only

    int range = 0;        // wxGauge
    wxArrayString items;  // wxChoice, wxRadioBox, wxListBox
    int major_dim = 0;    // wxRadioBox
    int selection = -1;   // wxChoice, wxRadioBox, wxNotebook
    wxArrayString pages;  // wxNotebook page texts, in child order
    int split_mode = 0;   // wxSplitterWindow: 0 unsplit, else wxSPLIT_*
    wxBitmap bitmap;      // wxStaticBitmap

    // Appearance, compared by the tests but never replayed.
    wxFont font;
    wxColour fg, bg;
    bool default_button = false;

    std::vector<MenuNode> menus;  // frame's menu bar
    long toolbar_style = 0;       // frame's tool bar, when it has one
    std::vector<ToolNode> tools;

    std::vector<WindowNode> children;
};

// Records window and everything under it, in creation order.
WindowNode record(wxWindow* window);

// Rebuilds a recorded child window on parent, with default positions and
// sizes and nothing but what the widgets need to exist.
wxWindow* rebuild(const WindowNode& node, wxWindow* parent);

// Rebuilds a recorded frame or dialog (parent may be null), at its recorded
// size, with its menu bar and tool bar.
wxTopLevelWindow* rebuild_top(const WindowNode& node, wxWindow* parent);

// Differences between two recordings, one line each; empty when the two
// trees have the same widgets on the same parents with the same kinds,
// styles, texts and visibility. With appearance, fonts, colours and default
// buttons are compared as well.
std::vector<std::string> differences(const WindowNode& expected, const WindowNode& actual,
                                     bool appearance);

// Number of windows in the tree, the root included.
int count_windows(const WindowNode& node);

}  // namespace atsui_bench
