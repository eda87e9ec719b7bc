// SPDX-License-Identifier: MIT
#pragma once

#include <wx/dialog.h>

#include "logic/project.h"

class wxTextCtrl;

namespace station {

// Edits a project's items and limits as project text. "OK" is accepted only
// for text that parses; the fault is shown and the dialog stays open.
class ParametersDialog : public wxDialog {
public:
    ParametersDialog(wxWindow* parent, const Project& project);

    const Project& project() const { return project_; }

    wxTextCtrl* editor;

private:
    void on_ok(wxCommandEvent& event);
    Project project_;
};

}  // namespace station
