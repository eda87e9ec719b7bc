// SPDX-License-Identifier: MIT
#include "atsui/station/cell.h"

#include <type_traits>

#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/grid.h>
#include <wx/notebook.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "atsui/detail/accessible.h"
#include "atsui/detail/lifecycle.h"
#include "atsui/detail/look.h"
#include "atsui/detail/translation.h"

namespace tov_atsui {

using detail::kCentredItem;
using detail::make_button;
using detail::make_panel;

namespace {

wxPanel* make_hidden_panel(wxWindow* parent) {
    wxPanel* panel = make_panel(parent);
    panel->Hide();
    return panel;
}

wxTextCtrl* make_text(wxWindow* parent, long style, const wxString& value = wxEmptyString) {
    return new wxTextCtrl(parent, wxID_ANY, value, wxDefaultPosition, wxDefaultSize, style);
}

// A statistics caption is written in its status colour; the count beside it
// sits on that colour.
template <typename Figure>
Figure* place_status(Figure* figure, const wxColour& colour, wxSizer* row) {
    if constexpr (std::is_base_of_v<wxTextCtrl, Figure>)
        figure->SetBackgroundColour(colour);
    else
        figure->SetForegroundColour(colour);
    row->Add(figure, 0, kCentredItem, 5);
    return figure;
}

}  // namespace

Cell::Cell(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
           const wxString& name)
    : wxPanel(detail::require_parent(parent, "Cell"), id, pos, size,
             detail::panel_style(style), name) {
    detail::own_timer(ui_refresh_timer, this);
    detail::own_timer(ui_blink_timer, this);

    const wxFont cellFont = detail::cell_font();
    const wxFont bannerFont = detail::cell_font(20);
    const wxFont bottomFont = detail::cell_font(16);
    const wxColour ok = detail::ok_colour();
    const wxColour ng = detail::ng_colour();

    auto* bSizer14 = new wxBoxSizer(wxHORIZONTAL);
    auto* bSizer1 = new wxBoxSizer(wxVERTICAL);

    // Extra-information strip (hidden).
    ui_other_info_panel = make_hidden_panel(this);
    auto* bSizer13 = new wxBoxSizer(wxVERTICAL);
    ui_other_info_sizer = new wxBoxSizer(wxHORIZONTAL);
    bSizer13->Add(ui_other_info_sizer, 1, wxEXPAND, 5);
    m_staticline11 = new wxStaticLine(ui_other_info_panel, wxID_ANY, wxDefaultPosition,
                                      wxDefaultSize, wxLI_HORIZONTAL);
    bSizer13->Add(m_staticline11, 0, wxALL | wxEXPAND, 5);
    detail::finish_panel(ui_other_info_panel, bSizer13);
    bSizer1->Add(ui_other_info_panel, 0, wxEXPAND | wxALL, 0);

    // Statistics strip (hidden): the stat box centred between two spacers.
    ui_statistics_panel = make_hidden_panel(this);
    auto* bSizer5 = new wxBoxSizer(wxVERTICAL);
    auto* bSizer4 = new wxBoxSizer(wxHORIZONTAL);
    bSizer4->Add(0, 0, 1, wxEXPAND, 5);
    auto* sbSizer1 = new wxStaticBoxSizer(
        new wxStaticBox(ui_statistics_panel, wxID_ANY, detail::tr("Statistics")), wxHORIZONTAL);
    wxWindow* statBox = sbSizer1->GetStaticBox();

    m_staticText2 = place_status(detail::make_label(statBox, detail::tr("OK")), ok, sbSizer1);
    ui_ok_count = place_status(make_text(statBox, 0), ok, sbSizer1);
    m_staticText3 = place_status(detail::make_label(statBox, detail::tr("NG")), ng, sbSizer1);
    ui_ng_count = place_status(make_text(statBox, 0), ng, sbSizer1);
    m_staticText4 = place_status(detail::make_label(statBox, detail::tr("Yield")), ok, sbSizer1);
    ui_ok_percent = place_status(make_text(statBox, 0), ok, sbSizer1);

    bSizer4->Add(sbSizer1, 0, wxEXPAND, 5);
    bSizer4->Add(0, 0, 1, wxEXPAND, 5);
    bSizer5->Add(bSizer4, 1, wxEXPAND, 5);
    detail::finish_panel(ui_statistics_panel, bSizer5);
    bSizer1->Add(ui_statistics_panel, 0, wxEXPAND | wxALL, 5);

    // Control row, centred as a group.
    auto* bSizer2 = new wxBoxSizer(wxHORIZONTAL);
    bSizer2->Add(0, 0, 1, wxEXPAND, 5);
    ui_serial_number_panel = make_panel(this);
    auto* bSizer10 = new wxBoxSizer(wxHORIZONTAL);
    m_staticText1 = detail::make_label(ui_serial_number_panel, detail::tr("SN:"));
    m_staticText1->SetFont(cellFont);
    bSizer10->Add(m_staticText1, 0, kCentredItem, 5);
    ui_serial_number = make_text(ui_serial_number_panel, wxTE_PROCESS_ENTER);
    ui_serial_number->SetFont(cellFont);
    bSizer10->Add(ui_serial_number, 1, kCentredItem, 5);
    detail::finish_panel(ui_serial_number_panel, bSizer10);
    bSizer2->Add(ui_serial_number_panel, 0, wxEXPAND | wxALL, 0);

    ui_start = make_button(this, detail::tr("Start"), 0);
    ui_start->SetFont(cellFont);
    ui_start->SetBackgroundColour(wxColour(0, 255, 0));
    bSizer2->Add(ui_start, 0, kCentredItem, 5);
    ui_abort = make_button(this, detail::tr("Abort"), wxBORDER_SUNKEN);
    ui_abort->SetFont(cellFont);
    ui_abort->SetBackgroundColour(wxColour(0, 255, 255));
    bSizer2->Add(ui_abort, 0, kCentredItem, 5);
    bSizer2->Add(0, 0, 1, wxEXPAND, 5);
    bSizer1->Add(bSizer2, 0, wxEXPAND, 5);

    // Script row (hidden).
    ui_script_panel = make_hidden_panel(this);
    auto* bSizer101 = new wxBoxSizer(wxHORIZONTAL);
    m_staticText5 = detail::make_label(ui_script_panel, detail::tr("Script"));
    bSizer101->Add(m_staticText5, 0, kCentredItem, 5);
    ui_script_path = make_text(ui_script_panel, wxTE_READONLY);
    bSizer101->Add(ui_script_path, 1, kCentredItem, 5);
    ui_browse_script = make_button(ui_script_panel, detail::tr("Browse..."), 0);
    bSizer101->Add(ui_browse_script, 0, kCentredItem, 5);
    detail::finish_panel(ui_script_panel, bSizer101);
    bSizer1->Add(ui_script_panel, 0, wxEXPAND | wxALL, 0);

    // Prompt banner.
    ui_prompt = make_button(this, detail::tr("Ready"), wxBORDER_NONE);
    ui_prompt->SetFont(bannerFont);
    ui_prompt->SetBackgroundColour(wxColour(0, 255, 0));
    bSizer1->Add(ui_prompt, 0, wxALL | wxEXPAND, 5);

    // The three views.
    ui_view_notebook = new wxNotebook(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0);

    ui_assert_panel = make_panel(ui_view_notebook);
    auto* bSizer7 = new wxBoxSizer(wxVERTICAL);
    ui_assertions = new wxGrid(ui_assert_panel, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0);
    detail::set_up_readonly_grid(ui_assertions, nullptr, 0, 50);
    bSizer7->Add(ui_assertions, 1, wxALL | wxEXPAND, 0);
    detail::finish_panel(ui_assert_panel, bSizer7);
    ui_view_notebook->AddPage(ui_assert_panel, detail::tr("Measure"), true);

    ui_logger_panel = make_panel(ui_view_notebook);
    auto* bSizer9 = new wxBoxSizer(wxVERTICAL);
    ui_test_logger = make_text(ui_logger_panel, wxTE_MULTILINE | wxTE_READONLY);
    bSizer9->Add(ui_test_logger, 1, wxALL | wxEXPAND, 0);
    detail::finish_panel(ui_logger_panel, bSizer9);
    ui_view_notebook->AddPage(ui_logger_panel, detail::tr("Logger"), false);

    ui_history_panel = make_panel(ui_view_notebook);
    auto* bSizer20 = new wxBoxSizer(wxVERTICAL);
    ui_history_grid = new wxGrid(ui_history_panel, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0);
    detail::set_up_readonly_grid(ui_history_grid, detail::kHistoryColumns, 80);
    bSizer20->Add(ui_history_grid, 1, wxALL | wxEXPAND, 5);
    detail::finish_panel(ui_history_panel, bSizer20);
    ui_view_notebook->AddPage(ui_history_panel, detail::tr("History"), false);

    bSizer1->Add(ui_view_notebook, 1, wxEXPAND | wxALL, 0);

    // Bottom row: name, elapsed time, progress.
    auto* bSizer8 = new wxBoxSizer(wxHORIZONTAL);
    ui_cell_name = detail::make_label(this, detail::tr("Cell 1"));
    ui_cell_name->SetFont(bottomFont);
    bSizer8->Add(ui_cell_name, 0, kCentredItem, 5);
    ui_elapse_time = make_text(this, wxTE_CENTER | wxTE_READONLY, "00:00:00");
    ui_elapse_time->SetFont(bottomFont);
    bSizer8->Add(ui_elapse_time, 0, kCentredItem, 5);
    ui_gauge = new wxGauge(this, wxID_ANY, 100, wxDefaultPosition, wxDefaultSize, wxGA_HORIZONTAL);
    ui_gauge->SetValue(0);
    bSizer8->Add(ui_gauge, 1, wxALL | wxEXPAND, 5);
    bSizer1->Add(bSizer8, 0, wxEXPAND, 5);

    bSizer14->Add(bSizer1, 1, wxEXPAND, 5);

    // Image column (hidden).
    ui_image_panel = make_hidden_panel(this);
    auto* bSizer16 = new wxBoxSizer(wxHORIZONTAL);
    m_staticline2 =
        new wxStaticLine(ui_image_panel, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLI_VERTICAL);
    bSizer16->Add(m_staticline2, 0, wxEXPAND | wxLEFT | wxRIGHT, 5);
    ui_bitmap = detail::make_picture(ui_image_panel, wxDefaultSize);
    bSizer16->Add(ui_bitmap, 0, wxALL | wxEXPAND, 5);
    detail::finish_panel(ui_image_panel, bSizer16);
    bSizer14->Add(ui_image_panel, 0, wxEXPAND | wxALL, 5);

    detail::finish_panel(this, bSizer14);
    detail::give_accessible_names(*this);

    // Bindings.
    Bind(wxEVT_TIMER, &Cell::on_refresh_timer_event, this, ui_refresh_timer.GetId());
    Bind(wxEVT_TIMER, &Cell::on_blink_timer_event, this, ui_blink_timer.GetId());
    ui_serial_number->Bind(wxEVT_TEXT_ENTER, &Cell::on_start_cell_test, this);
    ui_start->Bind(wxEVT_BUTTON, &Cell::on_start_cell_test, this);
    ui_abort->Bind(wxEVT_BUTTON, &Cell::on_abort_cell_test, this);
    ui_browse_script->Bind(wxEVT_BUTTON, &Cell::on_browse_script, this);
}

bool Cell::Reparent(wxWindowBase* new_parent) {
    return detail::prepare_reparent(this, new_parent) && wxPanel::Reparent(new_parent);
}

void Cell::on_refresh_timer_event(wxTimerEvent& event) { event.Skip(); }
void Cell::on_blink_timer_event(wxTimerEvent& event) { event.Skip(); }
void Cell::on_start_cell_test(wxCommandEvent& event) { event.Skip(); }
void Cell::on_abort_cell_test(wxCommandEvent& event) { event.Skip(); }
void Cell::on_browse_script(wxCommandEvent& event) { event.Skip(); }

}  // namespace tov_atsui
