// SPDX-License-Identifier: MIT
#include "atsui/station/about_dialog.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "atsui/detail/lifecycle.h"
#include "atsui/detail/look.h"

namespace tov_atsui {

AboutDialog::AboutDialog(wxWindow* parent)
    : wxDialog(detail::top_level_parent(parent, "AboutDialog"), wxID_ANY, wxEmptyString,
               wxDefaultPosition, wxDefaultSize, 0) {
    SetSizeHints(wxDefaultSize, wxDefaultSize);
    const wxFont font = detail::plain_font(20);

    auto* bSizer18 = new wxBoxSizer(wxVERTICAL);
    auto add_line = [&](const wxString& label) {
        wxStaticText* line = detail::make_label(this, label);
        line->SetFont(font);
        bSizer18->Add(line, 0, wxALL, 5);
        return line;
    };
    m_staticText11 = add_line("Tarvo ATS: an Auto Test System created by Tarvo");
    m_staticText12 = add_line("Copyright (C) 2019-2024 Tarvo. All rights reserved.");
    m_staticText13 = add_line("Web site: https://ats.tarvo.example");
    m_staticText14 = add_line("Version : 2024.06.04");
    m_staticText15 = add_line("Author  : Tarvo ATS team <ats-team@tarvo.example>");

    m_button6 = new wxButton(this, wxID_OK, "OK", wxDefaultPosition, wxDefaultSize, 0);
    m_button6->SetDefault();
    m_button6->SetFont(font);
    bSizer18->Add(m_button6, 0, wxALL | wxEXPAND, 5);

    detail::finish_window(this, bSizer18);
}

}  // namespace tov_atsui
