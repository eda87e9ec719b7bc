// SPDX-License-Identifier: MIT
#include "host/history_search.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/datectrl.h>
#include <wx/dateevt.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/wrapsizer.h>

#include "host/look.h"

namespace station {

namespace {

constexpr int kTypingPauseMs = 250;

// Midnight, local time, that begins the picker's day, in UTC ms.
std::int64_t start_of_day(const wxDateTime& day) {
    wxDateTime midnight = day;
    midnight.ResetTime();
    return midnight.GetValue().GetValue();
}

}  // namespace

HistorySearchBar::HistorySearchBar(wxWindow* parent) : wxPanel(parent, wxID_ANY), typing(this) {
    // Beside the item's pictures the pane is narrow: the row wraps rather
    // than cut its buttons off.
    auto* row = new wxWrapSizer(wxHORIZONTAL);
    // A caption and its field wrap together.
    const auto add = [&](wxWindow* caption, wxWindow* field = nullptr) {
        auto* pair = new wxBoxSizer(wxHORIZONTAL);
        pair->Add(caption, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
        if (field) pair->Add(field, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
        row->Add(pair, 0, wxALIGN_CENTER_VERTICAL);
    };
    auto* serial_caption = new wxStaticText(this, wxID_ANY, _("Serial"));
    ui_serial = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition,
                               wxSize(FromDIP(180), -1), wxTE_PROCESS_ENTER);
    ui_serial->SetHint(_("serial or its start"));
    add(serial_caption, ui_serial);
    ui_from_enabled = new wxCheckBox(this, wxID_ANY, _("From"));
    ui_from = new wxDatePickerCtrl(this, wxID_ANY, wxDateTime::Today(), wxDefaultPosition,
                                   wxSize(FromDIP(150), -1), wxDP_DROPDOWN | wxDP_SHOWCENTURY);
    add(ui_from_enabled, ui_from);
    ui_to_enabled = new wxCheckBox(this, wxID_ANY, _("To"));
    ui_to = new wxDatePickerCtrl(this, wxID_ANY, wxDateTime::Today(), wxDefaultPosition,
                                 wxSize(FromDIP(150), -1), wxDP_DROPDOWN | wxDP_SHOWCENTURY);
    add(ui_to_enabled, ui_to);
    ui_from->Enable(false);
    ui_to->Enable(false);
    auto* order_caption = new wxStaticText(this, wxID_ANY, _("Order"));
    const wxString orders[] = {_("Newest first"), _("Oldest first")};
    ui_order = new wxChoice(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, 2, orders);
    ui_order->SetSelection(0);
    add(order_caption, ui_order);
    ui_unit_history = new wxButton(this, wxID_ANY, _("Unit history..."));
    ui_unit_history->SetToolTip(_("Every test of the selected unit, in every cell and project"));
    add(ui_unit_history);
    ui_report = new wxButton(this, wxID_ANY, _("Report..."));
    ui_report->SetToolTip(_("Print the selected test's report, or save it as PDF"));
    add(ui_report);
    SetSizer(row);

    ui_serial->Bind(wxEVT_TEXT, [this](wxCommandEvent&) {
        typing.StartOnce(kTypingPauseMs);
    });
    ui_serial->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) {
        typing.Stop();
        changed();
    });
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) { changed(); });
    for (wxCheckBox* box : {ui_from_enabled, ui_to_enabled})
        box->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
            ui_from->Enable(ui_from_enabled->IsChecked());
            ui_to->Enable(ui_to_enabled->IsChecked());
            changed();
        });
    for (wxDatePickerCtrl* picker : {ui_from, ui_to})
        picker->Bind(wxEVT_DATE_CHANGED, [this](wxDateEvent&) { changed(); });
    ui_order->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { changed(); });
    ui_unit_history->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        if (on_unit_history) on_unit_history();
    });
    ui_report->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        if (on_print) on_print();
    });
}

HistoryFilter HistorySearchBar::narrow(HistoryFilter filter) const {
    filter.serial = to_utf8(ui_serial->GetValue().Strip(wxString::both));
    if (ui_from_enabled->IsChecked()) filter.from_ms = start_of_day(ui_from->GetValue());
    // The last day counts whole.
    if (ui_to_enabled->IsChecked())
        filter.to_ms = start_of_day(ui_to->GetValue() + wxDateSpan::Day());
    return filter;
}

HistoryOrder HistorySearchBar::order() const {
    return ui_order->GetSelection() == 1 ? HistoryOrder::oldest_first : HistoryOrder::newest_first;
}

void HistorySearchBar::changed() {
    if (on_changed) on_changed();
}

}  // namespace station
