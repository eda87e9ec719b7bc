// SPDX-License-Identifier: MIT
#include "host/parameters_dialog.h"

#include <wx/button.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "host/look.h"

namespace station {

ParametersDialog::ParametersDialog(wxWindow* parent, const Project& project)
    : wxDialog(parent, wxID_ANY, _("Edit Test Parameters"), wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      project_(project) {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(new wxStaticText(this, wxID_ANY,
                                // TRANSLATORS: "instrument" and "sim" are words of the file.
                                _("One item per line: name ; lower ; upper ; unit, then "
                                  "; instrument ; query when an instrument reads it.\n"
                                  "instrument NAME = HOST[:PORT] or = sim.  "
                                  "Lines starting with # are comments.")),
               0, wxALL, 8);
    editor = new wxTextCtrl(this, wxID_ANY, from_utf8(format_project(project)), wxDefaultPosition,
                            wxSize(560, 320), wxTE_MULTILINE | wxTE_DONTWRAP);
    editor->SetFont(wxFont(wxFontInfo(10).Family(wxFONTFAMILY_TELETYPE)));
    sizer->Add(editor, 1, wxEXPAND | wxLEFT | wxRIGHT, 8);
    sizer->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 8);
    // GTK words its stock buttons in the process locale, not the station's language
    // ("OK" reads the same in German).
    FindWindow(wxID_CANCEL)->SetLabel(_("Cancel"));
    SetSizerAndFit(sizer);
    Centre();
    Bind(wxEVT_BUTTON, &ParametersDialog::on_ok, this, wxID_OK);
}

void ParametersDialog::on_ok(wxCommandEvent& event) {
    try {
        Project edited = parse_project(to_utf8(editor->GetValue()));
        if (edited.title.empty()) edited.title = project_.title;
        // The text Save Test Parameters would write, which records then name.
        edited.hash = project_hash(format_project(edited));
        project_ = std::move(edited);
        event.Skip();
    } catch (const ProjectError& error) {
        wxMessageBox(from_utf8(error.what()), _("The parameters are not valid"), wxOK | wxICON_ERROR,
                     this);
    }
}

}  // namespace station
