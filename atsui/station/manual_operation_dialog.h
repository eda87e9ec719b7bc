// SPDX-License-Identifier: MIT
#pragma once

#include <wx/dialog.h>

class wxButton;
class wxTextCtrl;

namespace tov_atsui {

// Shown when the host cannot show the user's own manual operation dialog;
// its text explains the convention for providing one. "Close" is wxID_OK.
class ManualOperationDialog : public wxDialog {
public:
    explicit ManualOperationDialog(wxWindow* parent);

    wxTextCtrl* ui_message;
    wxButton* m_button6;
};

}  // namespace tov_atsui
