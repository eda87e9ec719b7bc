// SPDX-License-Identifier: MIT
#pragma once

#include <wx/dialog.h>

class wxButton;
class wxStaticLine;
class wxStaticText;
class wxTextCtrl;

namespace tov_atsui {

// Reports an exception of the station's ticker. "Stop Ticker" ends a modal
// run with wxID_CANCEL, "Resume Ticker" (the default button) with wxID_OK.
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
