// SPDX-License-Identifier: MIT
#include "atsui/station/about_dialog.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "atsui/detail/lifecycle.h"
#include "atsui/detail/look.h"
#include "atsui/detail/translation.h"

namespace tov_atsui {

AboutDialog::AboutDialog(wxWindow* parent)
    : wxDialog(detail::top_level_parent(parent, "AboutDialog"), wxID_ANY, wxEmptyString,
               wxDefaultPosition, wxDefaultSize, 0) {
    SetSizeHints(wxDefaultSize, wxDefaultSize);

    auto* bSizer18 = new wxBoxSizer(wxVERTICAL);
    auto add_line = [&](const wxString& label) {
        wxStaticText* line = detail::make_label(this, label);
        line->SetFont(detail::plain_font(detail::kDialogPoints));
        bSizer18->Add(line, 0, wxALL, 5);
        return line;
    };
    m_staticText11 = add_line(detail::tr("Tarvo ATS: an Auto Test System created by Tarvo"));
    m_staticText12 = add_line(detail::tr("Copyright (C) 2019-2024 Tarvo. All rights reserved."));
    m_staticText13 = add_line(detail::tr("Web site: https://ats.tarvo.example"));
    m_staticText14 = add_line(detail::tr("Version : 2024.06.04"));
    m_staticText15 = add_line(detail::tr("Author  : Tarvo ATS team <ats-team@tarvo.example>"));

    m_button6 = detail::add_default_button(this, wxID_OK, "OK", bSizer18, wxALL | wxEXPAND);

    detail::finish_window(this, bSizer18);
}

}  // namespace tov_atsui
