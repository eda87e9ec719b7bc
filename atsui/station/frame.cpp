// SPDX-License-Identifier: MIT
#include "atsui/station/frame.h"

#include <wx/artprov.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>

#include "atsui/detail/accessible.h"
#include "atsui/detail/lifecycle.h"
#include "atsui/detail/look.h"
#include "atsui/detail/translation.h"

namespace tov_atsui {


namespace {

// Sets a statistics figure's font and colour and puts it in the row.
template <typename Figure>
Figure* place_figure(Figure* figure, const wxColour& colour, wxSizer* row) {
    figure->SetFont(detail::plain_font(16));
    figure->SetForegroundColour(colour);
    row->Add(figure, 0, detail::kCentredItem, 5);
    return figure;
}

wxTextCtrl* make_count(wxWindow* parent, const wxString& value) {
    return new wxTextCtrl(parent, wxID_ANY, value, wxDefaultPosition, wxDefaultSize,
                          wxTE_CENTER | wxTE_READONLY);
}

wxMenuItem* append_item(wxMenu* menu, const wxString& label, wxItemKind kind = wxITEM_NORMAL) {
    auto* item = new wxMenuItem(menu, wxID_ANY, label, wxEmptyString, kind);
    menu->Append(item);
    return item;
}

}  // namespace

Frame::Frame(wxWindow* parent)
    : wxFrame(detail::top_level_parent(parent, "Frame"), wxID_ANY, detail::tr("Tarvo Auto Test System"),
              wxDefaultPosition, wxSize(-1, -1), wxDEFAULT_FRAME_STYLE | wxTAB_TRAVERSAL) {
    SetSizeHints(wxDefaultSize, wxDefaultSize);

    // Top part: the host's row, then the statistics bar.
    auto* bSizer11 = new wxBoxSizer(wxVERTICAL);
    auto* bSizer12 = new wxBoxSizer(wxVERTICAL);
    ui_additional_top_sizer = new wxBoxSizer(wxHORIZONTAL);
    bSizer12->Add(ui_additional_top_sizer, 0, 0, 0);

    ui_statistics_panel = detail::make_panel(this);
    auto* sbSizer3 = new wxStaticBoxSizer(
        new wxStaticBox(ui_statistics_panel, wxID_ANY, wxEmptyString), wxVERTICAL);
    wxWindow* statBox = sbSizer3->GetStaticBox();
    auto* bSizer16 = new wxBoxSizer(wxHORIZONTAL);
    bSizer16->Add(0, 0, 1, wxEXPAND, 5);

    const wxColour ok = detail::ok_colour();
    const wxColour ng = detail::ng_colour();
    ui_ok_count_label = place_figure(detail::make_label(statBox, detail::tr("OK")), ok, bSizer16);
    ui_ok_count = place_figure(make_count(statBox, "0"), ok, bSizer16);
    ui_ng_count_label = place_figure(detail::make_label(statBox, detail::tr("NG")), ng, bSizer16);
    ui_ng_count = place_figure(make_count(statBox, "0"), ng, bSizer16);
    m_staticText8 = place_figure(detail::make_label(statBox, detail::tr("Yield")), ok, bSizer16);
    ui_ok_percent = place_figure(make_count(statBox, "0%"), ok, bSizer16);

    bSizer16->Add(0, 0, 1, wxEXPAND, 5);
    sbSizer3->Add(bSizer16, 1, wxEXPAND, 5);
    detail::finish_panel(ui_statistics_panel, sbSizer3);
    bSizer12->Add(ui_statistics_panel, 1, wxEXPAND | wxALL, 0);
    bSizer11->Add(bSizer12, 0, wxEXPAND, 0);

    // Cell area.
    ui_cell_panel = detail::make_panel(this);
    auto* gSizer1 = new wxGridSizer(0, 2, 0, 0);
    m_panel9 = detail::make_panel(ui_cell_panel);
    gSizer1->Add(m_panel9, 1, wxEXPAND | wxALL, 5);
    detail::finish_panel(ui_cell_panel, gSizer1);
    bSizer11->Add(ui_cell_panel, 1, wxEXPAND | wxALL, 0);

    // Fitted before the menu bar and tool bar exist, and not again: hosts lay
    // the frame out once they have added their cells.
    SetSizer(bSizer11);
    Layout();
    bSizer11->Fit(this);

    // Menus.
    m_menubar1 = new wxMenuBar(0);
    m_menu1 = new wxMenu();
    ui_exit_menu_item = append_item(m_menu1, detail::tr("Exit"));
    m_menubar1->Append(m_menu1, detail::tr("File"));

    m_menu2 = new wxMenu();
    ui_manual_operation_menu_item = append_item(m_menu2, detail::tr("Manual Operation"));
    m_menuItem4 = append_item(m_menu2, detail::tr("Start Ticker"));
    m_menuItem5 = append_item(m_menu2, detail::tr("Clear Statistics"));
    ui_in_debug_mode = append_item(m_menu2, detail::tr("Debug Mode"), wxITEM_CHECK);
    ui_export_assertion_config = append_item(m_menu2, detail::tr("导出测试项参数文件"));
    m_menubar1->Append(m_menu2, detail::tr("Edit"));

    m_menu4 = new wxMenu();
    m_menuItem7 = append_item(m_menu4, detail::tr("Test Data Window"));
    m_menubar1->Append(m_menu4, detail::tr("View"));

    m_menu5 = new wxMenu();
    m_menuItem8 = append_item(m_menu5, detail::tr("Edit Test Parameters"));
    m_menuItem9 = append_item(m_menu5, detail::tr("Reload Test Parameters"));
    m_menuItem11 = append_item(m_menu5, detail::tr("Save Test Parameters"));
    m_menubar1->Append(m_menu5, detail::tr("Option"));

    m_menu3 = new wxMenu();
    ui_about_menu_item = append_item(m_menu3, detail::tr("About"));
    m_menubar1->Append(m_menu3, detail::tr("Help"));
    SetMenuBar(m_menubar1);

    // Timers.
    detail::own_timer(ui_ticker_timer, this);
    detail::own_timer(ui_initializer_trigger, this);

    // Tool bar.
    ui_toolbar = CreateToolBar(wxTB_DEFAULT_STYLE | wxTB_HORIZONTAL, wxID_ANY);
    ui_toolbar->SetToolSeparation(0);
    ui_toolbar->SetToolPacking(0);
    ui_start_all =
        ui_toolbar->AddTool(wxID_ANY, "tool", wxArtProvider::GetBitmap(wxART_GO_FORWARD),
                            wxNullBitmap, wxITEM_NORMAL, detail::tr("Start All Cells"), wxEmptyString, nullptr);
    ui_abort_all =
        ui_toolbar->AddTool(wxID_ANY, "tool", wxArtProvider::GetBitmap(wxART_CROSS_MARK),
                            wxNullBitmap, wxITEM_NORMAL, detail::tr("Abort All Cells"), wxEmptyString, nullptr);
    ui_toolbar->Realize();
    detail::give_accessible_names(*this);

    Centre(wxBOTH);

    // Bindings.
    Bind(wxEVT_CLOSE_WINDOW, &Frame::on_close_app, this);
    Bind(wxEVT_MENU, &Frame::on_close_app, this, ui_exit_menu_item->GetId());
    Bind(wxEVT_MENU, &Frame::on_show_manual_operation_dialog, this,
         ui_manual_operation_menu_item->GetId());
    Bind(wxEVT_MENU, &Frame::on_start_ticker, this, m_menuItem4->GetId());
    Bind(wxEVT_MENU, &Frame::on_clear_statistics, this, m_menuItem5->GetId());
    Bind(wxEVT_MENU, &Frame::on_change_debug_mode, this, ui_in_debug_mode->GetId());
    Bind(wxEVT_MENU, &Frame::on_export_assertion_config, this, ui_export_assertion_config->GetId());
    Bind(wxEVT_MENU, &Frame::on_show_test_data_window, this, m_menuItem7->GetId());
    Bind(wxEVT_MENU, &Frame::on_edit_test_parameters, this, m_menuItem8->GetId());
    Bind(wxEVT_MENU, &Frame::on_reload_test_parameters, this, m_menuItem9->GetId());
    Bind(wxEVT_MENU, &Frame::on_save_test_parameters, this, m_menuItem11->GetId());
    Bind(wxEVT_MENU, &Frame::on_show_about_dialog, this, ui_about_menu_item->GetId());
    Bind(wxEVT_TIMER, &Frame::on_ticker_timer_event, this, ui_ticker_timer.GetId());
    Bind(wxEVT_TIMER, &Frame::on_trigger_initializer, this, ui_initializer_trigger.GetId());
    Bind(wxEVT_TOOL, &Frame::on_start_all, this, ui_start_all->GetId());
    Bind(wxEVT_TOOL, &Frame::on_abort_all, this, ui_abort_all->GetId());
}

bool Frame::Destroy() {
    ui_ticker_timer.Stop();
    ui_initializer_trigger.Stop();
    return detail::destroy_after_modal_children(this, [this] { return wxFrame::Destroy(); });
}

void Frame::on_close_app(wxEvent& event) { event.Skip(); }
void Frame::on_show_manual_operation_dialog(wxCommandEvent& event) { event.Skip(); }
void Frame::on_start_ticker(wxCommandEvent& event) { event.Skip(); }
void Frame::on_clear_statistics(wxCommandEvent& event) { event.Skip(); }
void Frame::on_change_debug_mode(wxCommandEvent& event) { event.Skip(); }
void Frame::on_export_assertion_config(wxCommandEvent& event) { event.Skip(); }
void Frame::on_show_test_data_window(wxCommandEvent& event) { event.Skip(); }
void Frame::on_edit_test_parameters(wxCommandEvent& event) { event.Skip(); }
void Frame::on_reload_test_parameters(wxCommandEvent& event) { event.Skip(); }
void Frame::on_save_test_parameters(wxCommandEvent& event) { event.Skip(); }
void Frame::on_show_about_dialog(wxCommandEvent& event) { event.Skip(); }
void Frame::on_ticker_timer_event(wxTimerEvent& event) { event.Skip(); }
void Frame::on_trigger_initializer(wxTimerEvent& event) { event.Skip(); }
void Frame::on_start_all(wxCommandEvent& event) { event.Skip(); }
void Frame::on_abort_all(wxCommandEvent& event) { event.Skip(); }

}  // namespace tov_atsui
