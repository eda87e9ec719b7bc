// SPDX-License-Identifier: MIT
#include "atsui/detail/accessible.h"

#include <string>

#include <wx/gauge.h>
#include <wx/grid.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>

#include "atsui/launcher/ats_launcher.h"
#include "atsui/station/cell.h"
#include "atsui/station/frame.h"
#include "atsui/station/manual_operation_dialog.h"
#include "atsui/station/ticker_exception_dialog.h"
#include "atsui/viewer/test_data_viewer_panel.h"

#if defined(__WXGTK3__) && defined(ATSUI_HAVE_ATK)
#include <gtk/gtk.h>
#elif defined(__WXMSW__) && wxUSE_ACCESSIBILITY
#include <functional>

#include <wx/access.h>
#include <wx/weakref.h>
#endif

namespace tov_atsui::detail {

namespace {

#if defined(__WXGTK3__) && defined(ATSUI_HAVE_ATK)

// The object assistive technology meets for a window: a multi-line text is
// a text view inside a scrolled window, and only the view offers the text.
AtkObject* accessible_of(wxWindow* window) {
    auto* widget = static_cast<GtkWidget*>(window->GetHandle());
    if (!widget) return nullptr;
    if (GTK_IS_SCROLLED_WINDOW(widget)) {
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(widget));
        if (child && GTK_IS_TEXT_VIEW(child)) widget = child;
    }
    return gtk_widget_get_accessible(widget);
}

// People do not say the colon of "SN:".
std::string spoken(const char* caption) {
    std::string name = caption ? caption : "";
    while (!name.empty() && (name.back() == ':' || name.back() == ' ')) name.pop_back();
    return name;
}

void on_caption_changed(GtkLabel* label, GParamSpec*, gpointer target) {
    atk_object_set_name(ATK_OBJECT(target), spoken(gtk_label_get_text(label)).c_str());
}

void name_as(wxWindow* window, const char* utf8_name) {
    if (AtkObject* accessible = accessible_of(window)) atk_object_set_name(accessible, utf8_name);
}

// Named after the caption, now and whenever the host relabels it; the
// relation lets a screen reader read the caption with the field.
void name_after(wxWindow* window, wxStaticText* caption) {
    AtkObject* accessible = accessible_of(window);
    auto* label = static_cast<GtkWidget*>(caption->GetHandle());
    if (!accessible || !label || !GTK_IS_LABEL(label)) return;
    on_caption_changed(GTK_LABEL(label), nullptr, accessible);
    // Disconnected by GLib when either side goes, whichever dies first.
    g_signal_connect_object(label, "notify::label", G_CALLBACK(on_caption_changed), accessible,
                            GConnectFlags(0));
    AtkObject* caption_accessible = gtk_widget_get_accessible(label);
    atk_object_add_relationship(accessible, ATK_RELATION_LABELLED_BY, caption_accessible);
    atk_object_add_relationship(caption_accessible, ATK_RELATION_LABEL_FOR, accessible);
}

// wxGTK shows a tool as a GtkToolButton labelled with the tool's label
// ("tool" in the frame); its short help is what a person calls it. A tool's
// position in the wx tool bar is its position in the GtkToolbar.
void name_tools(wxToolBar* toolbar) {
    GtkToolbar* bar = toolbar->GTKGetToolbar();
    const int count = gtk_toolbar_get_n_items(bar);
    for (int pos = 0; pos < count && pos < int(toolbar->GetToolsCount()); ++pos) {
        const wxToolBarToolBase* tool = toolbar->GetToolByPos(pos);
        if (!tool || !tool->IsButton() || tool->GetShortHelp().empty()) continue;
        const wxScopedCharBuffer help = tool->GetShortHelp().utf8_str();
        GtkWidget* item = GTK_WIDGET(gtk_toolbar_get_nth_item(bar, pos));
        atk_object_set_name(gtk_widget_get_accessible(item), help.data());
        // The inner button is what carries the "click" action.
        if (GtkWidget* button = gtk_bin_get_child(GTK_BIN(item)))
            atk_object_set_name(gtk_widget_get_accessible(button), help.data());
    }
}

// wxGrid draws its cells itself: AT-SPI sees a scroll pane holding four
// windows (corner, row labels, column labels, cells) and no text. The cells'
// window is the one that takes the keyboard focus, so it carries the grid's
// name too; a screen reader then says which grid it is in, if not what it
// holds.
void name_grid(wxGrid* grid, const char* utf8_name) {
    name_as(grid, utf8_name);
    name_as(grid->GetGridWindow(), utf8_name);
}

// So is the list control on GTK: the window inside it that takes the focus
// carries its name.
void name_drawn_list(wxListCtrl* list, const char* utf8_name) {
    name_as(list, utf8_name);
    for (wxWindow* child : list->GetChildren())
        if (child->AcceptsFocus()) name_as(child, utf8_name);
}

#elif defined(__WXMSW__) && wxUSE_ACCESSIBILITY

// wxMSW answers MSAA's questions (WM_GETOBJECT) through a window's
// wxAccessible. This one answers the name only; role, state, value and
// children stay with the standard object Windows keeps for the native
// control, which wx asks whenever an answer is left unimplemented.
class NamedAccessible : public wxAccessible {
public:
    NamedAccessible(wxWindow* window, std::function<wxString(int child)> name)
        : wxAccessible(window), name_(std::move(name)) {}

    wxAccStatus GetName(int child, wxString* name) override {
        const wxString given = name_(child);
        if (given.empty()) return wxACC_NOT_IMPLEMENTED;
        *name = given;
        return wxACC_OK;
    }

private:
    std::function<wxString(int child)> name_;
};

void name_with(wxWindow* window, std::function<wxString(int child)> name) {
    window->SetAccessible(new NamedAccessible(window, std::move(name)));
}

// People do not say the colon of "SN:".
wxString spoken(wxString caption) {
    while (!caption.empty() && (caption.Last() == ':' || caption.Last() == ' '))
        caption.RemoveLast();
    return caption;
}

void name_as(wxWindow* window, const char* utf8_name) {
    const wxString name = wxString::FromUTF8(utf8_name);
    name_with(window, [name](int child) { return child == wxACC_SELF ? name : wxString(); });
}

// The caption is read when asked, so the name follows a host's relabelling;
// a caption the host has deleted names nothing.
void name_after(wxWindow* window, wxStaticText* caption) {
    wxWeakRef<wxStaticText> label(caption);
    name_with(window, [label](int child) {
        return child == wxACC_SELF && label ? spoken(label->GetLabelText()) : wxString();
    });
}

// The native tool bar's children are its buttons, in the order of the wx
// tools; a tool is called by its short help, as on GTK.
void name_tools(wxToolBar* toolbar) {
    name_with(toolbar, [toolbar](int child) {
        if (child <= 0) return wxString();
        const wxToolBarToolBase* tool = toolbar->GetToolByPos(child - 1);
        return tool && tool->IsButton() ? tool->GetShortHelp() : wxString();
    });
}

// The generic grid draws its cells itself; the cells' window takes the focus
// and carries the grid's name.
void name_grid(wxGrid* grid, const char* utf8_name) {
    name_as(grid, utf8_name);
    name_as(grid->GetGridWindow(), utf8_name);
}

// wxMSW's list control is the native one: no inner window to name.
void name_drawn_list(wxListCtrl* list, const char* utf8_name) { name_as(list, utf8_name); }

#else

void name_as(wxWindow*, const char*) {}
void name_grid(wxGrid*, const char*) {}
void name_drawn_list(wxListCtrl*, const char*) {}
void name_after(wxWindow*, wxStaticText*) {}
void name_tools(wxToolBar*) {}

#endif

}  // namespace

void give_accessible_names(Frame& frame) {
    name_tools(frame.ui_toolbar);
    name_as(frame.ui_statistics_panel, "Statistics");
    name_after(frame.ui_ok_count, frame.ui_ok_count_label);
    name_after(frame.ui_ng_count, frame.ui_ng_count_label);
    name_after(frame.ui_ok_percent, frame.m_staticText8);
    name_as(frame.ui_cell_panel, "Test cells");
}

void give_accessible_names(Cell& cell) {
    // Automation finds a cell by the name the host gives it ("Cell 2").
    name_after(&cell, cell.ui_cell_name);

    name_as(cell.ui_other_info_panel, "Information");
    name_as(cell.ui_statistics_panel, "Statistics");
    name_after(cell.ui_ok_count, cell.m_staticText2);
    name_after(cell.ui_ng_count, cell.m_staticText3);
    name_after(cell.ui_ok_percent, cell.m_staticText4);
    name_after(cell.ui_serial_number, cell.m_staticText1);
    name_as(cell.ui_script_panel, "Script");
    name_after(cell.ui_script_path, cell.m_staticText5);
    name_grid(cell.ui_assertions, "Test items");
    name_as(cell.ui_test_logger, "Test log");
    name_grid(cell.ui_history_grid, "Test history");
    name_as(cell.ui_elapse_time, "Elapsed time");
    name_as(cell.ui_gauge, "Progress");
    name_as(cell.ui_image_panel, "Image");
}

void give_accessible_names(TickerExceptionDialog& dialog) {
    name_as(dialog.ui_exception_trace, "Exception trace");
}

void give_accessible_names(ManualOperationDialog& dialog) {
    name_as(dialog.ui_message, "Manual operation help");
}

// The viewer speaks Chinese; its panes take the names of the selector's choices.
void give_accessible_names(TestDataViewerPanel& panel) {
    name_after(panel.ui_cell_filter, panel.m_staticText33);
    name_grid(panel.ui_history, "测试历史");
    name_grid(panel.ui_assertions, "测试项");

    name_as(panel.ui_single_item_analyze_panel, "单项分析");
    name_after(panel.ui_single_item_max, panel.m_staticText161);
    name_after(panel.ui_single_item_min, panel.m_staticText171);
    name_after(panel.ui_single_item_average, panel.m_staticText181);
    name_after(panel.ui_single_item_middle, panel.m_staticText34);
    name_after(panel.ui_single_item_variance, panel.m_staticText35);
    name_after(panel.ui_single_item_std_deviation, panel.m_staticText37);
    name_after(panel.ui_single_item_ok_count, panel.m_staticText162);
    name_after(panel.ui_single_item_ng_count, panel.m_staticText172);
    name_after(panel.ui_single_item_yield, panel.m_staticText182);

    name_as(panel.ui_total_statistics_panel, "总量统计");
    name_after(panel.ui_total_statistics_ok_count, panel.m_staticText16);
    name_after(panel.ui_total_statistics_ng_count, panel.m_staticText17);
    name_after(panel.ui_total_statistics_yield, panel.m_staticText18);
    name_after(panel.ui_total_statistics_max_test_time, panel.m_staticText19);
    name_after(panel.ui_total_statistics_min_test_time, panel.m_staticText20);
    name_after(panel.ui_total_statistics_average_test_time, panel.m_staticText21);
}

void give_accessible_names(ATSLauncher& launcher) {
    name_as(launcher.ui_project_path, "Project path");
    name_drawn_list(launcher.ui_project_list, "Project list");
}

}  // namespace tov_atsui::detail
