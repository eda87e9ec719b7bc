// SPDX-License-Identifier: MIT
#pragma once

// Every member's type is complete here, as in generated wx code, so a host
// can use any member after including this header alone.
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/stattext.h>

namespace tov_atsui {

// The station's about box: five lines of text and a full-width "OK" (wxID_OK).
// ShowModal() also returns wxID_CANCEL when its parent, a Frame or a
// TestDataViewerFrame, is destroyed meanwhile; the frame goes once the run
// is over.
class AboutDialog : public wxDialog {
public:
    explicit AboutDialog(wxWindow* parent);

    wxStaticText* m_staticText11;
    wxStaticText* m_staticText12;
    wxStaticText* m_staticText13;
    wxStaticText* m_staticText14;
    wxStaticText* m_staticText15;
    wxButton* m_button6;
};

}  // namespace tov_atsui
