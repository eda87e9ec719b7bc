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

// The start window in which the operator picks a test project.
// ShowModal() also returns wxID_CANCEL when its parent, a Frame or a
// TestDataViewerFrame, is destroyed meanwhile; the frame goes once the run
// is over.
class ATSLauncher : public wxDialog {
public:
    explicit ATSLauncher(wxWindow* parent);

    wxStaticBitmap* m_bitmap4;
    wxStaticText* m_staticText34;
    wxStaticText* m_staticText35;
    wxButton* ui_button_projects;
    wxButton* ui_button_learn;
    wxTextCtrl* ui_project_path;
    wxButton* ui_browse;
    wxButton* m_button14;
    wxStaticLine* m_staticline4;
    // List view, one selection. Kept in ascending label order: an inserted
    // project moves to its place once the event loop runs, so the index that
    // InsertItem returns addresses it until then. Item data and the selection
    // move with their items.
    wxListCtrl* ui_project_list;

    virtual void on_click_projects(wxCommandEvent& event);
    virtual void on_click_learn(wxCommandEvent& event);
    virtual void on_browse(wxCommandEvent& event);
    virtual void on_open(wxCommandEvent& event);
};

}  // namespace tov_atsui
