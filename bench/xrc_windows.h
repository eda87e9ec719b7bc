// SPDX-License-Identifier: MIT
#pragma once

// The comparator a host could use instead of compiled windows: the same
// panels described in XRC (bench/xrc/*.xrc), loaded with wxXmlResource into a
// wxPanel subclass that adds what XRC cannot say (grid tables, timers, event
// bindings) and looks its members up by name, as a host must to use them.

#include <wx/panel.h>
#include <wx/timer.h>

class wxBoxSizer;
class wxButton;
class wxChoice;
class wxRadioBox;
class wxSplitterWindow;
class wxGauge;
class wxGrid;
class wxNotebook;
class wxStaticBitmap;
class wxStaticLine;
class wxStaticText;
class wxTextCtrl;

namespace atsui_bench {

// Loads the XRC documents once; false when one is missing or malformed.
bool load_xrc_documents();

class XrcCell : public wxPanel {
public:
    explicit XrcCell(wxWindow* parent);

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

    virtual void on_refresh_timer_event(wxTimerEvent& event) { event.Skip(); }
    virtual void on_blink_timer_event(wxTimerEvent& event) { event.Skip(); }
    virtual void on_start_cell_test(wxCommandEvent& event) { event.Skip(); }
    virtual void on_abort_cell_test(wxCommandEvent& event) { event.Skip(); }
    virtual void on_browse_script(wxCommandEvent& event) { event.Skip(); }
};

class XrcViewerPanel : public wxPanel {
public:
    explicit XrcViewerPanel(wxWindow* parent);

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

    virtual void on_clear_data(wxCommandEvent& event) { event.Skip(); }
    virtual void on_export_data(wxCommandEvent& event) { event.Skip(); }
    virtual void on_import_data(wxCommandEvent& event) { event.Skip(); }
    virtual void on_save_single_uut_test_data(wxCommandEvent& event) { event.Skip(); }
    virtual void on_cell_filter_changed(wxCommandEvent& event) { event.Skip(); }
    virtual void on_refresh_statistics_analyzer(wxCommandEvent& event) { event.Skip(); }
    virtual void m_splitter2OnIdle(wxIdleEvent& event);
    virtual void m_splitter1OnIdle(wxIdleEvent& event);
};

}  // namespace atsui_bench
