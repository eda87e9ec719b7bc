// SPDX-License-Identifier: MIT
#pragma once

#include <wx/dialog.h>

class wxButton;
class wxListCtrl;
class wxStaticBitmap;
class wxStaticLine;
class wxStaticText;
class wxTextCtrl;

namespace tov_atsui {

// The start window in which the operator picks a test project.
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
