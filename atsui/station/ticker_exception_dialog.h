// SPDX-License-Identifier: MIT
#pragma once

// Every member's type is complete here, as in generated wx code, so a host
// can use any member after including this header alone.
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace tov_atsui {

/// Reports an exception of the station's ticker. "Stop Ticker" ends a modal
/// run with wxID_CANCEL, "Resume Ticker" (the default button) with wxID_OK.
///
/// ShowModal() also returns wxID_CANCEL when its parent, a Frame or a
/// TestDataViewerFrame, is destroyed meanwhile; the frame goes once the run
/// is over.
class TickerExceptionDialog : public wxDialog {
public:
    /// Builds the dialog with an empty trace, centred and hidden.
    explicit TickerExceptionDialog(wxWindow* parent);

    /// Heading "Ticker Exception" in 20 pt.
    wxStaticText* m_staticText13;
    /// Read-only trace in red, at least 480 x 320; the host writes the exception here.
    wxTextCtrl* ui_exception_trace;
    /// Separator above the buttons.
    wxStaticLine* m_staticline3;
    /// "Stop Ticker" (wxID_CANCEL); Escape and the close box end the run the same way.
    wxButton* m_button5;
    /// "Resume Ticker" (wxID_OK), the default button.
    wxButton* m_button51;
};

}  // namespace tov_atsui
