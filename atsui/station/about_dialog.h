// SPDX-License-Identifier: MIT
#pragma once

#include <wx/dialog.h>

class wxButton;
class wxStaticText;

namespace tov_atsui {

// The station's about box: five lines of text and a full-width "OK" (wxID_OK).
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
