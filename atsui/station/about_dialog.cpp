#include "atsui/station/about_dialog.h"

namespace tov_atsui {

// Not built yet.
AboutDialog::AboutDialog(wxWindow* parent) : wxDialog(parent, wxID_ANY, wxEmptyString) {}

}  // namespace tov_atsui
