// SPDX-License-Identifier: MIT
#pragma once

// Every member's type is complete here, as in generated wx code, so a host
// can use any member after including this header alone.
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/textctrl.h>

namespace tov_atsui {

/// Shown when the host cannot show the user's own manual operation dialog;
/// its text explains the convention for providing one. "Close" is wxID_OK.
///
/// ShowModal() also returns wxID_CANCEL when its parent, a Frame or a
/// TestDataViewerFrame, is destroyed meanwhile; the frame goes once the run
/// is over.
class ManualOperationDialog : public wxDialog {
public:
    /// Builds the dialog with its explanation, centred and hidden.
    explicit ManualOperationDialog(wxWindow* parent);

    /// Read-only text, in Chinese: how to provide a custom dialog and why this one shows.
    wxTextCtrl* ui_message;
    /// "Close" (wxID_OK), the default button; it and Escape end the run with wxID_OK.
    wxButton* m_button6;
};

}  // namespace tov_atsui
