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

// Reports an exception of the station's ticker. "Stop Ticker" ends a modal
// run with wxID_CANCEL, "Resume Ticker" (the default button) with wxID_OK.
// ShowModal() also returns wxID_CANCEL when its parent, a Frame or a
// TestDataViewerFrame, is destroyed meanwhile; the frame goes once the run
// is over.
class TickerExceptionDialog : public wxDialog {
public:
    explicit TickerExceptionDialog(wxWindow* parent);

    wxStaticText* m_staticText13;
    wxTextCtrl* ui_exception_trace;
    wxStaticLine* m_staticline3;
    wxButton* m_button5;
    wxButton* m_button51;
};

}  // namespace tov_atsui
