#include "atsui/launcher/ats_launcher.h"

namespace tov_atsui {

// Not built yet.
ATSLauncher::ATSLauncher(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Welcome to Pelno") {}

void ATSLauncher::on_click_projects(wxCommandEvent& event) { event.Skip(); }
void ATSLauncher::on_click_learn(wxCommandEvent& event) { event.Skip(); }
void ATSLauncher::on_browse(wxCommandEvent& event) { event.Skip(); }
void ATSLauncher::on_open(wxCommandEvent& event) { event.Skip(); }

}  // namespace tov_atsui
