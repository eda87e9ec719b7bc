// SPDX-License-Identifier: MIT
#include "window_tree.h"

#include <sstream>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/gauge.h>
#include <wx/grid.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/radiobox.h>
#include <wx/splitter.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>
#include <wx/toplevel.h>

namespace atsui_bench {

namespace {

// Widgets whose children are the toolkit's own parts, not the window's.
bool is_composite(const wxWindow* w) {
    return wxDynamicCast(w, wxGrid) != nullptr || wxDynamicCast(w, wxListCtrl) != nullptr;
}

bool is_standard_id(wxWindowID id) { return id >= wxID_LOWEST && id <= wxID_HIGHEST; }

void record_into(wxWindow* w, WindowNode& node);

void record_frame_bars(wxFrame* frame, WindowNode& node) {
    if (wxMenuBar* bar = frame->GetMenuBar()) {
        for (size_t m = 0; m < bar->GetMenuCount(); ++m) {
            MenuNode menu{bar->GetMenuLabel(m), {}};
            for (wxMenuItem* item : bar->GetMenu(m)->GetMenuItems())
                menu.items.push_back({item->GetItemLabel(), item->GetKind()});
            node.menus.push_back(menu);
        }
    }
    if (wxToolBar* bar = frame->GetToolBar()) {
        node.toolbar_style = bar->GetWindowStyleFlag();
        for (size_t t = 0; t < bar->GetToolsCount(); ++t) {
            const wxToolBarToolBase* tool = bar->GetToolByPos(static_cast<int>(t));
            node.tools.push_back({tool->GetLabel(), tool->GetShortHelp(), tool->GetNormalBitmap()});
        }
    }
}

void record_into(wxWindow* w, WindowNode& node) {
    node.cls = wxString(w->GetClassInfo()->GetClassName()).utf8_string();
    node.id = is_standard_id(w->GetId()) ? w->GetId() : wxID_ANY;
    node.style = w->GetWindowStyleFlag();
    node.shown = w->IsShown();
    node.font = w->GetFont();
    node.fg = w->GetForegroundColour();
    node.bg = w->GetBackgroundColour();
    node.label = w->GetLabel();

    if (auto* text = wxDynamicCast(w, wxTextCtrl)) node.label = text->GetValue();
    if (auto* top = wxDynamicCast(wxGetTopLevelParent(w), wxTopLevelWindow))
        node.default_button = top->GetDefaultItem() == w;
    if (auto* gauge = wxDynamicCast(w, wxGauge)) node.range = gauge->GetRange();
    if (auto* image = wxDynamicCast(w, wxStaticBitmap)) node.bitmap = image->GetBitmap();
    if (auto* choice = wxDynamicCast(w, wxChoice)) {
        node.items = choice->GetStrings();
        node.selection = choice->GetSelection();
    }
    if (auto* list = wxDynamicCast(w, wxListBox)) node.items = list->GetStrings();
    if (auto* radio = wxDynamicCast(w, wxRadioBox)) {
        for (unsigned i = 0; i < radio->GetCount(); ++i) node.items.push_back(radio->GetString(i));
        node.major_dim = static_cast<int>(
            (node.style & wxRA_SPECIFY_ROWS) ? radio->GetRowCount() : radio->GetColumnCount());
        node.selection = radio->GetSelection();
    }
    if (auto* book = wxDynamicCast(w, wxNotebook)) node.selection = book->GetSelection();
    if (auto* splitter = wxDynamicCast(w, wxSplitterWindow))
        node.split_mode = splitter->IsSplit() ? splitter->GetSplitMode() : 0;
    if (w->IsTopLevel()) {
        node.size = w->GetSize();
        if (auto* frame = wxDynamicCast(w, wxFrame)) record_frame_bars(frame, node);
    }
    if (is_composite(w)) return;

    auto* frame = wxDynamicCast(w, wxFrame);
    auto* book = wxDynamicCast(w, wxNotebook);
    for (wxWindow* child : w->GetChildren()) {
        if (child->IsTopLevel()) continue;
        if (frame && (child == frame->GetMenuBar() || child == frame->GetToolBar())) continue;
        node.children.emplace_back();
        record_into(child, node.children.back());
        if (book) {
            const int page = book->FindPage(child);
            node.pages.push_back(page == wxNOT_FOUND ? wxString() : book->GetPageText(page));
        }
    }
}

wxWindow* create(const WindowNode& n, wxWindow* parent) {
    const wxPoint pos = wxDefaultPosition;
    const wxSize size = wxDefaultSize;
    const std::string& c = n.cls;
    if (c == "wxPanel") return new wxPanel(parent, n.id, pos, size, n.style);
    if (c == "wxStaticText") return new wxStaticText(parent, n.id, n.label, pos, size, n.style);
    if (c == "wxTextCtrl") return new wxTextCtrl(parent, n.id, n.label, pos, size, n.style);
    if (c == "wxButton") return new wxButton(parent, n.id, n.label, pos, size, n.style);
    if (c == "wxStaticBox") return new wxStaticBox(parent, n.id, n.label, pos, size, n.style);
    if (c == "wxStaticLine") return new wxStaticLine(parent, n.id, pos, size, n.style);
    if (c == "wxStaticBitmap")
        return new wxStaticBitmap(parent, n.id, n.bitmap, pos, size, n.style);
    if (c == "wxGauge") return new wxGauge(parent, n.id, n.range, pos, size, n.style);
    if (c == "wxNotebook") return new wxNotebook(parent, n.id, pos, size, n.style);
    if (c == "wxGrid") return new wxGrid(parent, n.id, pos, size, n.style);
    if (c == "wxChoice") return new wxChoice(parent, n.id, pos, size, n.items, n.style);
    if (c == "wxListBox") return new wxListBox(parent, n.id, pos, size, n.items, n.style);
    if (c == "wxListCtrl" || c == "wxGenericListCtrl")
        return new wxListCtrl(parent, n.id, pos, size, n.style);
    if (c == "wxSplitterWindow") return new wxSplitterWindow(parent, n.id, pos, size, n.style);
    if (c == "wxRadioBox")
        return new wxRadioBox(parent, n.id, n.label, pos, size, n.items, n.major_dim, n.style);
    throw std::runtime_error("window_tree: no rebuild for " + c);
}

// What a widget needs after creation to be the same widget: its pages, its
// split, its selection, its visibility.
void finish(const WindowNode& n, wxWindow* w, const std::vector<wxWindow*>& kids) {
    if (auto* book = wxDynamicCast(w, wxNotebook)) {
        for (size_t i = 0; i < kids.size(); ++i)
            book->AddPage(kids[i], n.pages[i], static_cast<int>(i) == n.selection);
    }
    if (auto* splitter = wxDynamicCast(w, wxSplitterWindow); splitter && kids.size() >= 2) {
        if (n.split_mode == wxSPLIT_HORIZONTAL)
            splitter->SplitHorizontally(kids[0], kids[1], 0);
        else if (n.split_mode == wxSPLIT_VERTICAL)
            splitter->SplitVertically(kids[0], kids[1], 0);
    }
    if (n.selection >= 0) {
        if (auto* choice = wxDynamicCast(w, wxChoice)) choice->SetSelection(n.selection);
        if (auto* radio = wxDynamicCast(w, wxRadioBox)) radio->SetSelection(n.selection);
    }
    if (!n.shown && !w->IsTopLevel()) w->Hide();
}

void rebuild_children(const WindowNode& n, wxWindow* w) {
    std::vector<wxWindow*> kids;
    kids.reserve(n.children.size());
    for (const WindowNode& child : n.children) kids.push_back(rebuild(child, w));
    finish(n, w, kids);
}

std::string text(const wxString& s) { return s.utf8_string(); }

std::string colour(const wxColour& c) {
    return c.IsOk() ? text(c.GetAsString(wxC2S_HTML_SYNTAX)) : "none";
}

std::string font(const wxFont& f) {
    if (!f.IsOk()) return "none";
    std::ostringstream out;
    out << text(f.GetFaceName()) << ' ' << f.GetPointSize() << "pt w" << f.GetWeight() << " s"
        << f.GetStyle() << (f.GetUnderlined() ? " u" : "");
    return out.str();
}

void compare(const WindowNode& e, const WindowNode& a, bool appearance, const std::string& path,
             std::vector<std::string>& out) {
    auto differ = [&](const char* what, const std::string& x, const std::string& y) {
        if (x != y) out.push_back(path + ": " + what + " " + x + " != " + y);
    };
    differ("class", e.cls, a.cls);
    differ("id", std::to_string(e.id), std::to_string(a.id));
    differ("style", std::to_string(e.style), std::to_string(a.style));
    differ("label", text(e.label), text(a.label));
    differ("shown", std::to_string(e.shown), std::to_string(a.shown));
    differ("range", std::to_string(e.range), std::to_string(a.range));
    differ("items", text(wxJoin(e.items, '|')), text(wxJoin(a.items, '|')));
    differ("selection", std::to_string(e.selection), std::to_string(a.selection));
    differ("pages", text(wxJoin(e.pages, '|')), text(wxJoin(a.pages, '|')));
    differ("split", std::to_string(e.split_mode), std::to_string(a.split_mode));
    differ("bitmap", std::to_string(e.bitmap.IsOk() ? e.bitmap.GetWidth() : -1),
           std::to_string(a.bitmap.IsOk() ? a.bitmap.GetWidth() : -1));
    differ("menus", std::to_string(e.menus.size()), std::to_string(a.menus.size()));
    differ("tools", std::to_string(e.tools.size()), std::to_string(a.tools.size()));
    if (appearance) {
        differ("font", font(e.font), font(a.font));
        differ("foreground", colour(e.fg), colour(a.fg));
        differ("background", colour(e.bg), colour(a.bg));
        differ("default button", std::to_string(e.default_button),
               std::to_string(a.default_button));
    }
    if (e.children.size() != a.children.size()) {
        out.push_back(path + ": " + std::to_string(e.children.size()) +
                      " children != " + std::to_string(a.children.size()));
        return;
    }
    for (size_t i = 0; i < e.children.size(); ++i)
        compare(e.children[i], a.children[i], appearance,
                path + "/" + std::to_string(i) + ":" + e.children[i].cls, out);
}

}  // namespace

WindowNode record(wxWindow* window) {
    WindowNode node;
    record_into(window, node);
    return node;
}

wxWindow* rebuild(const WindowNode& node, wxWindow* parent) {
    wxWindow* w = create(node, parent);
    rebuild_children(node, w);
    return w;
}

wxTopLevelWindow* rebuild_top(const WindowNode& n, wxWindow* parent) {
    if (n.cls == "wxDialog") {
        auto* dialog = new wxDialog(parent, wxID_ANY, n.label, wxDefaultPosition, n.size, n.style);
        rebuild_children(n, dialog);
        return dialog;
    }
    if (n.cls == "wxFrame") {
        // Bars after the content, as the station's frame makes them.
        auto* frame = new wxFrame(parent, wxID_ANY, n.label, wxDefaultPosition, n.size, n.style);
        rebuild_children(n, frame);
        if (!n.menus.empty()) {
            auto* bar = new wxMenuBar(0);
            for (const MenuNode& m : n.menus) {
                auto* menu = new wxMenu();
                for (const MenuItemNode& item : m.items)
                    menu->Append(wxID_ANY, item.label, wxEmptyString,
                                 static_cast<wxItemKind>(item.kind));
                bar->Append(menu, m.title);
            }
            frame->SetMenuBar(bar);
        }
        if (n.toolbar_style) {
            wxToolBar* bar = frame->CreateToolBar(n.toolbar_style, wxID_ANY);
            for (const ToolNode& tool : n.tools)
                bar->AddTool(wxID_ANY, tool.label, tool.bitmap, tool.short_help);
            bar->Realize();
        }
        return frame;
    }
    throw std::runtime_error("window_tree: no rebuild for top-level " + n.cls);
}

std::vector<std::string> differences(const WindowNode& expected, const WindowNode& actual,
                                     bool appearance) {
    std::vector<std::string> out;
    compare(expected, actual, appearance, expected.cls, out);
    return out;
}

int count_windows(const WindowNode& node) {
    int n = 1;
    for (const WindowNode& child : node.children) n += count_windows(child);
    return n;
}

}  // namespace atsui_bench
