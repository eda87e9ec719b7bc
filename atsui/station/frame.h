// SPDX-License-Identifier: MIT
#pragma once

// Every member's type is complete here, as in generated wx code, so a host
// can use any member after including this header alone.
#include <wx/event.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/menuitem.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/toolbar.h>

namespace tov_atsui {

/// The station's main window: statistics bar, a two-column cell area for the
/// host's Cell panels, five menus, a tool bar and two timers.
///
/// Every source is bound to a virtual handler that skips the event unless a
/// host overrides it. Construction throws std::logic_error before the wx
/// application is initialised and std::invalid_argument for a parent that is
/// being destroyed.
class Frame : public wxFrame {
public:
    /// Builds the whole window, hidden and centred, with both timers stopped.
    /// @param parent the owner window, or null for a top-level station window.
    explicit Frame(wxWindow* parent);

    /// Stops both timers, so no timer event reaches a frame on its way out; a
    /// modal dialog on top is ended with wxID_CANCEL and the frame is deleted
    /// once its ShowModal has returned. The default close handling calls it.
    bool Destroy() override;

    /// Empty horizontal row at the top for the host's own controls.
    wxBoxSizer* ui_additional_top_sizer;

    /// Panel of the statistics bar under the top row.
    wxPanel* ui_statistics_panel;
    /// Caption "OK" of the OK count, in dark green.
    wxStaticText* ui_ok_count_label;
    /// Read-only count of passed units, "0" at first, in dark green.
    wxTextCtrl* ui_ok_count;
    /// Caption "NG" of the NG count, in red.
    wxStaticText* ui_ng_count_label;
    /// Read-only count of failed units, "0" at first, in red.
    wxTextCtrl* ui_ng_count;
    /// Caption "Yield" of the pass rate, in dark green.
    wxStaticText* m_staticText8;
    /// Read-only pass rate, "0%" at first, in dark green.
    wxTextCtrl* ui_ok_percent;

    /// The cell area, whose sizer is a two-column wxGridSizer for the host's cells.
    wxPanel* ui_cell_panel;
    /// Empty placeholder, the only item of the cell area as built.
    wxPanel* m_panel9;

    /// The frame's menu bar: "File", "Edit", "View", "Option", "Help".
    wxMenuBar* m_menubar1;
    /// The "File" menu.
    wxMenu* m_menu1;
    /// "Exit"; chosen, it reaches on_close_app.
    wxMenuItem* ui_exit_menu_item;
    /// The "Edit" menu.
    wxMenu* m_menu2;
    /// "Manual Operation"; chosen, it reaches on_show_manual_operation_dialog.
    wxMenuItem* ui_manual_operation_menu_item;
    /// "Start Ticker"; chosen, it reaches on_start_ticker.
    wxMenuItem* m_menuItem4;
    /// "Clear Statistics"; chosen, it reaches on_clear_statistics.
    wxMenuItem* m_menuItem5;
    /// "Debug Mode", a check item, unchecked at first; reaches on_change_debug_mode.
    wxMenuItem* ui_in_debug_mode;
    /// "导出测试项参数文件", export of the test-item parameter file; reaches
    /// on_export_assertion_config.
    wxMenuItem* ui_export_assertion_config;
    /// The "View" menu.
    wxMenu* m_menu4;
    /// "Test Data Window"; chosen, it reaches on_show_test_data_window.
    wxMenuItem* m_menuItem7;
    /// The "Option" menu.
    wxMenu* m_menu5;
    /// "Edit Test Parameters"; chosen, it reaches on_edit_test_parameters.
    wxMenuItem* m_menuItem8;
    /// "Reload Test Parameters"; chosen, it reaches on_reload_test_parameters.
    wxMenuItem* m_menuItem9;
    /// "Save Test Parameters"; chosen, it reaches on_save_test_parameters.
    wxMenuItem* m_menuItem11;
    /// The "Help" menu.
    wxMenu* m_menu3;
    /// "About"; chosen, it reaches on_show_about_dialog.
    wxMenuItem* ui_about_menu_item;

    /// The ticker's timer, stopped; the host starts it. Fires on_ticker_timer_event.
    wxTimer ui_ticker_timer;
    /// Timer for the host's deferred initialisation, stopped; fires on_trigger_initializer.
    wxTimer ui_initializer_trigger;

    /// The frame's tool bar with the two tools below.
    wxToolBar* ui_toolbar;
    /// Tool "Start All Cells"; a click reaches on_start_all.
    wxToolBarToolBase* ui_start_all;
    /// Tool "Abort All Cells"; a click reaches on_abort_all.
    wxToolBarToolBase* ui_abort_all;

    /// Reached by the close request (a wxCloseEvent) and by "Exit" (a
    /// wxCommandEvent). Skipped, the close box destroys the frame; "Exit" does nothing.
    virtual void on_close_app(wxEvent& event);
    /// Reached by "Manual Operation": show the user's own dialog or ManualOperationDialog.
    virtual void on_show_manual_operation_dialog(wxCommandEvent& event);
    /// Reached by "Start Ticker": start the host's periodic work.
    virtual void on_start_ticker(wxCommandEvent& event);
    /// Reached by "Clear Statistics": reset the OK, NG and yield figures.
    virtual void on_clear_statistics(wxCommandEvent& event);
    /// Reached by "Debug Mode", after its check mark has flipped.
    virtual void on_change_debug_mode(wxCommandEvent& event);
    /// Reached by the menu item ui_export_assertion_config: export the test-item parameters.
    virtual void on_export_assertion_config(wxCommandEvent& event);
    /// Reached by "Test Data Window": open the test data viewer.
    virtual void on_show_test_data_window(wxCommandEvent& event);
    /// Reached by "Edit Test Parameters".
    virtual void on_edit_test_parameters(wxCommandEvent& event);
    /// Reached by "Reload Test Parameters".
    virtual void on_reload_test_parameters(wxCommandEvent& event);
    /// Reached by "Save Test Parameters".
    virtual void on_save_test_parameters(wxCommandEvent& event);
    /// Reached by "About": show the AboutDialog.
    virtual void on_show_about_dialog(wxCommandEvent& event);
    /// Reached by each wxEVT_TIMER of ui_ticker_timer.
    virtual void on_ticker_timer_event(wxTimerEvent& event);
    /// Reached by each wxEVT_TIMER of ui_initializer_trigger.
    virtual void on_trigger_initializer(wxTimerEvent& event);
    /// Reached by the tool "Start All Cells": start a test in every cell.
    virtual void on_start_all(wxCommandEvent& event);
    /// Reached by the tool "Abort All Cells": abort the test in every cell.
    virtual void on_abort_all(wxCommandEvent& event);
};

}  // namespace tov_atsui
