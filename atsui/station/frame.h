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

// The station's main window: statistics bar, a two-column cell area for the
// host's Cell panels, five menus, a tool bar and two timers. Every source is
// bound to a virtual handler that skips the event unless a host overrides it.
//
// Construction throws std::logic_error before the wx application is
// initialised and std::invalid_argument for a parent that is being destroyed.
// Destroy() (also reached by a close request with the default handler) stops
// both timers, so no timer event reaches a handler of a frame on its way out;
// a modal dialog running on top of the frame is ended with wxID_CANCEL and
// the frame is deleted only once that dialog's ShowModal has returned.
class Frame : public wxFrame {
public:
    explicit Frame(wxWindow* parent);

    bool Destroy() override;

    // Row at the top for the host's own controls.
    wxBoxSizer* ui_additional_top_sizer;

    wxPanel* ui_statistics_panel;
    wxStaticText* ui_ok_count_label;
    wxTextCtrl* ui_ok_count;
    wxStaticText* ui_ng_count_label;
    wxTextCtrl* ui_ng_count;
    wxStaticText* m_staticText8;
    wxTextCtrl* ui_ok_percent;

    // The cell area: a two-column grid sizer holding only m_panel9 as built.
    wxPanel* ui_cell_panel;
    wxPanel* m_panel9;

    wxMenuBar* m_menubar1;
    wxMenu* m_menu1;
    wxMenuItem* ui_exit_menu_item;
    wxMenu* m_menu2;
    wxMenuItem* ui_manual_operation_menu_item;
    wxMenuItem* m_menuItem4;
    wxMenuItem* m_menuItem5;
    wxMenuItem* ui_in_debug_mode;
    wxMenuItem* ui_export_assertion_config;
    wxMenu* m_menu4;
    wxMenuItem* m_menuItem7;
    wxMenu* m_menu5;
    wxMenuItem* m_menuItem8;
    wxMenuItem* m_menuItem9;
    wxMenuItem* m_menuItem11;
    wxMenu* m_menu3;
    wxMenuItem* ui_about_menu_item;

    wxTimer ui_ticker_timer;
    wxTimer ui_initializer_trigger;

    wxToolBar* ui_toolbar;
    wxToolBarToolBase* ui_start_all;
    wxToolBarToolBase* ui_abort_all;

    // Receives both the close request (wxCloseEvent) and "Exit" (wxCommandEvent).
    virtual void on_close_app(wxEvent& event);
    virtual void on_show_manual_operation_dialog(wxCommandEvent& event);
    virtual void on_start_ticker(wxCommandEvent& event);
    virtual void on_clear_statistics(wxCommandEvent& event);
    virtual void on_change_debug_mode(wxCommandEvent& event);
    virtual void on_export_assertion_config(wxCommandEvent& event);
    virtual void on_show_test_data_window(wxCommandEvent& event);
    virtual void on_edit_test_parameters(wxCommandEvent& event);
    virtual void on_reload_test_parameters(wxCommandEvent& event);
    virtual void on_save_test_parameters(wxCommandEvent& event);
    virtual void on_show_about_dialog(wxCommandEvent& event);
    virtual void on_ticker_timer_event(wxTimerEvent& event);
    virtual void on_trigger_initializer(wxTimerEvent& event);
    virtual void on_start_all(wxCommandEvent& event);
    virtual void on_abort_all(wxCommandEvent& event);
};

}  // namespace tov_atsui
