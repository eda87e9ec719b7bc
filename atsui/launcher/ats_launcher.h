// SPDX-License-Identifier: MIT
#pragma once

// Every member's type is complete here, as in generated wx code, so a host
// can use any member after including this header alone.
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/event.h>
#include <wx/listctrl.h>
#include <wx/statbmp.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace tov_atsui {

/// The start window, "Welcome to Pelno", in which the operator picks a test project.
///
/// ShowModal() also returns wxID_CANCEL when its parent, a Frame or a
/// TestDataViewerFrame, is destroyed meanwhile; the frame goes once the run
/// is over.
class ATSLauncher : public wxDialog {
public:
    /// Builds the window with an empty list and path, centred and hidden.
    explicit ATSLauncher(wxWindow* parent);

    /// 48 x 48 picture of the product header, empty until the host sets a bitmap.
    wxStaticBitmap* m_bitmap4;
    /// Product name "Pelno" in 16 pt.
    wxStaticText* m_staticText34;
    /// Version text of the launcher.
    wxStaticText* m_staticText35;
    /// Flat "Projects" button; a click reaches on_click_projects.
    wxButton* ui_button_projects;
    /// Flat "Learn Pelno" button; a click reaches on_click_learn.
    wxButton* ui_button_learn;
    /// Read-only path of the chosen project, written by the host.
    wxTextCtrl* ui_project_path;
    /// "Browse……"; a click reaches on_browse.
    wxButton* ui_browse;
    /// "Open"; a click reaches on_open.
    wxButton* m_button14;
    /// Separator above the project list.
    wxStaticLine* m_staticline4;
    /// The projects: a list view with one selection, kept in ascending label order.
    ///
    /// An inserted project moves to its place once the event loop runs, so the
    /// index that InsertItem returns addresses it until then. Item data and the
    /// selection move with their items.
    wxListCtrl* ui_project_list;

    /// Reached by a click on "Projects".
    virtual void on_click_projects(wxCommandEvent& event);
    /// Reached by a click on "Learn Pelno".
    virtual void on_click_learn(wxCommandEvent& event);
    /// Reached by a click on "Browse……": choose a project file.
    virtual void on_browse(wxCommandEvent& event);
    /// Reached by a click on "Open": open the chosen project.
    virtual void on_open(wxCommandEvent& event);
};

}  // namespace tov_atsui
