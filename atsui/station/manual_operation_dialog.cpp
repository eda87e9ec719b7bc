#include "atsui/station/manual_operation_dialog.h"

namespace tov_atsui {

// Not built yet.
ManualOperationDialog::ManualOperationDialog(wxWindow* parent) : wxDialog(parent, wxID_ANY, wxEmptyString) {}

}  // namespace tov_atsui
