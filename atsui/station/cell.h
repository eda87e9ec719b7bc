// SPDX-License-Identifier: MIT
#pragma once

// Every member's type is complete here, as in generated wx code, so a host
// can use any member after including this header alone.
#include <wx/button.h>
#include <wx/event.h>
#include <wx/gauge.h>
#include <wx/grid.h>
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

namespace tov_atsui {

// The panel of one test cell. Four regions are built hidden (extra
// information, statistics, script row, image column); the host shows them.
// A null parent, a parent being destroyed and a parent that cannot hold
// children (a button, a menu bar) are refused with std::invalid_argument
// before any window exists. The id, position, size, style and name reach
// wxPanel as given.
//
// Reparent() refuses (returns false, changes nothing) no parent and a parent
// inside the cell itself; a moved cell leaves its old parent's sizer, so the
// host adds it to the new one.
class Cell : public wxPanel {
public:
    explicit Cell(wxWindow* parent, wxWindowID id = wxID_ANY,
                  const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxSize(-1, -1),
                  long style = wxTAB_TRAVERSAL, const wxString& name = wxEmptyString);

    bool Reparent(wxWindowBase* new_parent) override;

    wxTimer ui_refresh_timer;
    wxTimer ui_blink_timer;

    wxPanel* ui_other_info_panel;
    wxBoxSizer* ui_other_info_sizer;
    wxStaticLine* m_staticline11;

    wxPanel* ui_statistics_panel;
    wxStaticText* m_staticText2;
    wxTextCtrl* ui_ok_count;
    wxStaticText* m_staticText3;
    wxTextCtrl* ui_ng_count;
    wxStaticText* m_staticText4;
    wxTextCtrl* ui_ok_percent;

    wxPanel* ui_serial_number_panel;
    wxStaticText* m_staticText1;
    wxTextCtrl* ui_serial_number;
    wxButton* ui_start;
    wxButton* ui_abort;

    wxPanel* ui_script_panel;
    wxStaticText* m_staticText5;
    wxTextCtrl* ui_script_path;
    wxButton* ui_browse_script;

    wxButton* ui_prompt;

    wxNotebook* ui_view_notebook;
    wxPanel* ui_assert_panel;
    wxGrid* ui_assertions;
    wxPanel* ui_logger_panel;
    wxTextCtrl* ui_test_logger;
    wxPanel* ui_history_panel;
    wxGrid* ui_history_grid;

    wxStaticText* ui_cell_name;
    wxTextCtrl* ui_elapse_time;
    wxGauge* ui_gauge;

    wxPanel* ui_image_panel;
    wxStaticLine* m_staticline2;
    wxStaticBitmap* ui_bitmap;

    virtual void on_refresh_timer_event(wxTimerEvent& event);
    virtual void on_blink_timer_event(wxTimerEvent& event);
    // Both Enter in the serial number and "Start" arrive here.
    virtual void on_start_cell_test(wxCommandEvent& event);
    virtual void on_abort_cell_test(wxCommandEvent& event);
    virtual void on_browse_script(wxCommandEvent& event);
};

}  // namespace tov_atsui
