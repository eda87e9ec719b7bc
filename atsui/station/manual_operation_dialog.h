// SPDX-License-Identifier: MIT
#pragma once

// Every member's type is complete here, as in generated wx code, so a host
// can use any member after including this header alone.
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/textctrl.h>

namespace tov_atsui {

// Shown when the host cannot show the user's own manual operation dialog;
// its text explains the convention for providing one. "Close" is wxID_OK.
// ShowModal() also returns wxID_CANCEL when its parent, a Frame or a
// TestDataViewerFrame, is destroyed meanwhile; the frame goes once the run
// is over.
class ManualOperationDialog : public wxDialog {
public:
    explicit ManualOperationDialog(wxWindow* parent);

    wxTextCtrl* ui_message;
    wxButton* m_button6;
};

}  // namespace tov_atsui
