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

/// The panel of one test cell: serial number with "Start" and "Abort", a
/// prompt banner, the views "Measure", "Logger" and "History", and a bottom
/// row with the cell's name, elapsed time and progress.
///
/// Four regions are built hidden (extra information, statistics, script row,
/// image column); the host shows them. A null parent, a parent being destroyed
/// and a parent that cannot hold children (a button, a menu bar) are refused
/// with std::invalid_argument before any window exists.
class Cell : public wxPanel {
public:
    /// Builds the panel with both timers stopped; all six arguments reach
    /// wxPanel as given.
    explicit Cell(wxWindow* parent, wxWindowID id = wxID_ANY,
                  const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxSize(-1, -1),
                  long style = wxTAB_TRAVERSAL, const wxString& name = wxEmptyString);

    /// Refuses (returns false, changes nothing) no parent and a parent inside
    /// the cell; a moved cell leaves its old parent's sizer, so add it to the new one.
    bool Reparent(wxWindowBase* new_parent) override;

    /// Refresh timer of this cell, stopped; fires on_refresh_timer_event.
    wxTimer ui_refresh_timer;
    /// Blink timer of this cell, stopped; fires on_blink_timer_event.
    wxTimer ui_blink_timer;

    /// Extra-information strip at the top, hidden at first.
    wxPanel* ui_other_info_panel;
    /// Empty row of that strip for the host's own controls.
    wxBoxSizer* ui_other_info_sizer;
    /// Separator under the extra-information row.
    wxStaticLine* m_staticline11;

    /// Statistics strip of this cell, hidden at first.
    wxPanel* ui_statistics_panel;
    /// Caption "OK" of the cell's OK count.
    wxStaticText* m_staticText2;
    /// The cell's count of passed units, on dark green.
    wxTextCtrl* ui_ok_count;
    /// Caption "NG" of the cell's NG count.
    wxStaticText* m_staticText3;
    /// The cell's count of failed units, on red.
    wxTextCtrl* ui_ng_count;
    /// Caption "Yield" of the cell's pass rate.
    wxStaticText* m_staticText4;
    /// The cell's pass rate, on dark green.
    wxTextCtrl* ui_ok_percent;

    /// Holder of the serial-number caption and field.
    wxPanel* ui_serial_number_panel;
    /// Caption "SN:" of the serial number.
    wxStaticText* m_staticText1;
    /// Serial number of the unit under test; Enter in it reaches on_start_cell_test.
    wxTextCtrl* ui_serial_number;
    /// "Start", on green; a click reaches on_start_cell_test.
    wxButton* ui_start;
    /// "Abort", on cyan; a click reaches on_abort_cell_test.
    wxButton* ui_abort;

    /// Row for choosing the test script, hidden at first.
    wxPanel* ui_script_panel;
    /// Caption "Script" of the script path.
    wxStaticText* m_staticText5;
    /// Read-only path of the chosen script.
    wxTextCtrl* ui_script_path;
    /// "Browse..."; a click reaches on_browse_script.
    wxButton* ui_browse_script;

    /// Prompt banner across the column, "Ready" in 20 pt on green; bound to nothing.
    wxButton* ui_prompt;

    /// The views "Measure", "Logger" and "History", "Measure" selected.
    wxNotebook* ui_view_notebook;
    /// Page "Measure".
    wxPanel* ui_assert_panel;
    /// Read-only table of the test items measured in this cell; no rows or columns at first.
    wxGrid* ui_assertions;
    /// Page "Logger".
    wxPanel* ui_logger_panel;
    /// Read-only test log.
    wxTextCtrl* ui_test_logger;
    /// Page "History".
    wxPanel* ui_history_panel;
    /// Read-only history of the units tested here: begin, end, serial number,
    /// result, description.
    wxGrid* ui_history_grid;

    /// The cell's name, "Cell 1" at first, in 16 pt.
    wxStaticText* ui_cell_name;
    /// Read-only elapsed test time, "00:00:00" at first.
    wxTextCtrl* ui_elapse_time;
    /// Test progress, 0 of 100 at first.
    wxGauge* ui_gauge;

    /// Image column at the right, hidden at first.
    wxPanel* ui_image_panel;
    /// Separator at the image column's left edge.
    wxStaticLine* m_staticline2;
    /// The image, empty at first.
    wxStaticBitmap* ui_bitmap;

    /// Reached by each wxEVT_TIMER of ui_refresh_timer.
    virtual void on_refresh_timer_event(wxTimerEvent& event);
    /// Reached by each wxEVT_TIMER of ui_blink_timer.
    virtual void on_blink_timer_event(wxTimerEvent& event);
    /// Reached by Enter in ui_serial_number and by "Start": start this cell's test.
    virtual void on_start_cell_test(wxCommandEvent& event);
    /// Reached by "Abort": abort this cell's test.
    virtual void on_abort_cell_test(wxCommandEvent& event);
    /// Reached by "Browse..." in the script row: choose a test script.
    virtual void on_browse_script(wxCommandEvent& event);
};

}  // namespace tov_atsui
