// SPDX-License-Identifier: MIT
#include "host/unit_history.h"

#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/html/htmlwin.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>

#include "host/look.h"
#include "host/report_printing.h"
#include "host/settings.h"
#include "logic/report_html.h"

namespace station {

namespace {

wxString pdf_wildcard() { return _("PDF files (*.pdf)|*.pdf"); }

}  // namespace

UnitHistoryDialog::UnitHistoryDialog(wxWindow* parent, const HistoryStore& store,
                                     const std::string& serial)
    : wxDialog(parent, wxID_ANY, wxString::Format(_("Unit history - %s"), from_utf8(serial)), wxDefaultPosition,
               wxDefaultSize, wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      serial_(serial),
      tests_(store.unit_history(serial)) {
    html_ = from_utf8(unit_history_html(serial_, tests_));
    auto* root = new wxBoxSizer(wxVERTICAL);
    ui_report = new wxHtmlWindow(this, wxID_ANY, wxDefaultPosition, FromDIP(wxSize(760, 560)));
    ui_report->SetPage(html_);
    root->Add(ui_report, 1, wxEXPAND | wxALL, 5);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    ui_print = new wxButton(this, wxID_PRINT, _("Print..."));
    ui_save_pdf = new wxButton(this, wxID_ANY, _("Save as PDF..."));
    buttons->Add(ui_print, 0, wxALL, 5);
    buttons->Add(ui_save_pdf, 0, wxALL, 5);
    buttons->AddStretchSpacer();
    buttons->Add(new wxButton(this, wxID_CLOSE, _("Close")), 0, wxALL, 5);
    root->Add(buttons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 5);
    SetSizerAndFit(root);
    SetEscapeId(wxID_CLOSE);
    ui_print->Enable(!tests_.empty());
    ui_save_pdf->Enable(!tests_.empty());
    ui_print->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        print_html(this, html_, GetTitle());
    });
    ui_save_pdf->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { on_save_pdf(); });
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Destroy(); }, wxID_CLOSE);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Destroy(); });
    CentreOnParent();
}

void UnitHistoryDialog::save_pdf(const std::string& path) const {
    write_pdf(html_, path, GetTitle());
    wxLogMessage("Saved the history of %s (%zu tests) to %s", from_utf8(serial_), tests_.size(),
                 from_utf8(path));
}

void UnitHistoryDialog::on_save_pdf() {
    const Settings* settings = Settings::current();
    wxFileDialog dialog(this, _("Save the unit history as PDF"),
                        settings ? settings->folder("data") : wxString(),
                        from_utf8(serial_) + ".pdf", pdf_wildcard(),
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK) return;
    try {
        save_pdf(chosen_path(dialog));
    } catch (const std::exception& error) {
        wxLogError("%s", from_utf8(error.what()));
        wxMessageBox(from_utf8(error.what()), _("Save as PDF"), wxOK | wxICON_ERROR, this);
    }
}

}  // namespace station
