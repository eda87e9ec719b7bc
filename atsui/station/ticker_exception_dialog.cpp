// SPDX-License-Identifier: MIT
#include "atsui/station/ticker_exception_dialog.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "atsui/detail/accessible.h"
#include "atsui/detail/lifecycle.h"
#include "atsui/detail/look.h"
#include "atsui/detail/translation.h"

namespace tov_atsui {

TickerExceptionDialog::TickerExceptionDialog(wxWindow* parent)
    : wxDialog(detail::top_level_parent(parent, "TickerExceptionDialog"), wxID_ANY, wxEmptyString,
               wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxMAXIMIZE_BOX | wxMINIMIZE_BOX | wxRESIZE_BORDER) {
    SetSizeHints(wxDefaultSize, wxDefaultSize);

    auto* bSizer17 = new wxBoxSizer(wxVERTICAL);

    // Heading and trace.
    m_staticText13 = detail::make_label(this, detail::tr("Ticker Exception"));
    m_staticText13->SetFont(detail::plain_font(detail::kDialogPoints));
    bSizer17->Add(m_staticText13, 0, wxALL | wxEXPAND, 5);

    ui_exception_trace = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition,
                                        wxSize(-1, -1), wxTE_MULTILINE | wxTE_READONLY);
    ui_exception_trace->SetForegroundColour(detail::ng_colour());
    ui_exception_trace->SetMinSize(wxSize(480, 320));
    bSizer17->Add(ui_exception_trace, 0, wxALL | wxEXPAND, 5);

    m_staticline3 =
        new wxStaticLine(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLI_HORIZONTAL);
    bSizer17->Add(m_staticline3, 0, wxEXPAND | wxALL, 5);

    // Button row: "Stop Ticker" left, "Resume Ticker" pushed to the right edge.
    // Both are made default in turn; the later one, "Resume Ticker", stays so.
    auto* bSizer21 = new wxBoxSizer(wxHORIZONTAL);
    m_button5 =
        detail::add_default_button(this, wxID_CANCEL, detail::tr("Stop Ticker"), bSizer21, wxALL | wxEXPAND);
    bSizer21->Add(0, 0, 1, wxEXPAND, 5);
    m_button51 = detail::add_default_button(this, wxID_OK, detail::tr("Resume Ticker"), bSizer21, wxALL);
    bSizer17->Add(bSizer21, 1, wxEXPAND, 5);

    detail::finish_window(this, bSizer17);
    detail::give_accessible_names(*this);
}

}  // namespace tov_atsui
