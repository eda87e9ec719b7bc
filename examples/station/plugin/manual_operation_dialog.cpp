// SPDX-License-Identifier: MIT
// A sample custom manual operation dialog. Copy the built
// manual_operation_dialog.so next to atsui_station to use it instead of the
// station's fallback.

#include <wx/wx.h>

namespace {

class ManualOperationDialog : public wxDialog {
public:
    explicit ManualOperationDialog(wxWindow* parent)
        : wxDialog(parent, wxID_ANY, "Manual Operation") {
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        auto* buttons = new wxGridSizer(2, 5, 5);
        for (const char* action :
             {"Clamp fixture", "Release fixture", "Power on UUT", "Power off UUT"}) {
            auto* button = new wxButton(this, wxID_ANY, action);
            button->Bind(wxEVT_BUTTON, [this, action](wxCommandEvent&) {
                status_->SetLabel(wxString::Format("%s: done", action));
            });
            buttons->Add(button, 0, wxEXPAND);
        }
        sizer->Add(buttons, 0, wxALL | wxEXPAND, 10);
        status_ = new wxStaticText(this, wxID_ANY, "Choose an action.");
        sizer->Add(status_, 0, wxLEFT | wxRIGHT, 10);
        sizer->Add(CreateStdDialogButtonSizer(wxCLOSE), 0, wxALL | wxEXPAND, 10);
        SetEscapeId(wxID_CLOSE);
        Bind(
            wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_CLOSE); }, wxID_CLOSE);
        SetSizerAndFit(sizer);
    }

private:
    wxStaticText* status_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) wxDialog* create_manual_operation_dialog(
    wxWindow* parent) {
    return new ManualOperationDialog(parent);
}
