// SPDX-License-Identifier: MIT
#pragma once

// Every member's type is complete here, as in generated wx code, so a host
// can use any member after including this header alone.
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/event.h>
#include <wx/grid.h>
#include <wx/panel.h>
#include <wx/radiobox.h>
#include <wx/sizer.h>
#include <wx/splitter.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace tov_atsui {

// Browses recorded test data: command row, history and test-item grids
// between two splitters, and the statistics pane. A null parent, a parent
// being destroyed and a parent that cannot hold children (a button, a menu
// bar) are refused with std::invalid_argument before any window exists. The
// id, position, size, style and name reach wxPanel as given.
//
// Reparent() refuses (returns false, changes nothing) no parent and a parent
// inside the panel itself; a moved panel leaves its old parent's sizer, so the
// host adds it to the new one.
class TestDataViewerPanel : public wxPanel {
public:
    explicit TestDataViewerPanel(wxWindow* parent, wxWindowID id = wxID_ANY,
                                 const wxPoint& pos = wxDefaultPosition,
                                 const wxSize& size = wxSize(-1, 640), long style = wxTAB_TRAVERSAL,
                                 const wxString& name = wxEmptyString);

    bool Reparent(wxWindowBase* new_parent) override;

    wxSplitterWindow* m_splitter2;
    wxPanel* m_panel15;
    wxButton* m_button9;
    wxButton* m_button10;
    wxButton* m_button11;
    wxButton* m_button12;
    wxStaticText* m_staticText33;
    wxChoice* ui_cell_filter;
    wxRadioBox* ui_statistics_analyzer;
    wxSplitterWindow* m_splitter1;
    wxPanel* m_panel12;
    wxGrid* ui_history;
    wxPanel* m_panel13;
    wxGrid* ui_assertions;
    wxPanel* ui_statistics_and_analyze_panel;
    wxBoxSizer* ui_statistics_and_analyze_sizer;

    // Single-item analysis, shown at start.
    wxPanel* ui_single_item_analyze_panel;
    wxStaticText* m_staticText161;
    wxTextCtrl* ui_single_item_max;
    wxStaticText* m_staticText171;
    wxTextCtrl* ui_single_item_min;
    wxStaticText* m_staticText181;
    wxTextCtrl* ui_single_item_average;
    wxStaticText* m_staticText34;
    wxTextCtrl* ui_single_item_middle;
    wxStaticText* m_staticText35;
    wxTextCtrl* ui_single_item_variance;
    wxStaticText* m_staticText37;
    wxTextCtrl* ui_single_item_std_deviation;
    wxStaticText* m_staticText162;
    wxTextCtrl* ui_single_item_ok_count;
    wxStaticText* m_staticText172;
    wxTextCtrl* ui_single_item_ng_count;
    wxStaticText* m_staticText182;
    wxTextCtrl* ui_single_item_yield;

    // Total statistics, hidden at start.
    wxPanel* ui_total_statistics_panel;
    wxStaticText* m_staticText16;
    wxTextCtrl* ui_total_statistics_ok_count;
    wxStaticText* m_staticText17;
    wxTextCtrl* ui_total_statistics_ng_count;
    wxStaticText* m_staticText18;
    wxTextCtrl* ui_total_statistics_yield;
    wxStaticText* m_staticText19;
    wxTextCtrl* ui_total_statistics_max_test_time;
    wxStaticText* m_staticText20;
    wxTextCtrl* ui_total_statistics_min_test_time;
    wxStaticText* m_staticText21;
    wxTextCtrl* ui_total_statistics_average_test_time;

    virtual void on_clear_data(wxCommandEvent& event);
    virtual void on_export_data(wxCommandEvent& event);
    virtual void on_import_data(wxCommandEvent& event);
    virtual void on_save_single_uut_test_data(wxCommandEvent& event);
    virtual void on_cell_filter_changed(wxCommandEvent& event);
    virtual void on_refresh_statistics_analyzer(wxCommandEvent& event);
    // One-shot sash set-up: once the splitter is on screen and the panel has
    // been placed (in a sizer or by hand), the sash goes to the middle of its
    // splitter and the binding is removed.
    virtual void m_splitter2OnIdle(wxIdleEvent& event);
    virtual void m_splitter1OnIdle(wxIdleEvent& event);
};

}  // namespace tov_atsui
