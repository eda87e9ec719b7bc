// SPDX-License-Identifier: MIT
#pragma once

// Every member's type is complete here, as in generated wx code, so a host
// can use any member after including this header alone.
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/stattext.h>

namespace tov_atsui {

/// The station's about box: five lines of text and a full-width "OK" (wxID_OK).
///
/// ShowModal() also returns wxID_CANCEL when its parent, a Frame or a
/// TestDataViewerFrame, is destroyed meanwhile; the frame goes once the run
/// is over.
class AboutDialog : public wxDialog {
public:
    /// Builds the dialog, centred and hidden; the host shows it modally.
    explicit AboutDialog(wxWindow* parent);

    /// First line: what the system is and who made it.
    wxStaticText* m_staticText11;
    /// Second line: the maker's legal notice.
    wxStaticText* m_staticText12;
    /// Third line: the maker's web site.
    wxStaticText* m_staticText13;
    /// Fourth line: the version of the station.
    wxStaticText* m_staticText14;
    /// Fifth line: the author and an e-mail address.
    wxStaticText* m_staticText15;
    /// "OK" (wxID_OK), the default button; it and Escape end the run with wxID_OK.
    wxButton* m_button6;
};

}  // namespace tov_atsui
