#include "atsui/station/ticker_exception_dialog.h"

namespace tov_atsui {

// Not built yet.
TickerExceptionDialog::TickerExceptionDialog(wxWindow* parent) : wxDialog(parent, wxID_ANY, wxEmptyString) {}

}  // namespace tov_atsui
