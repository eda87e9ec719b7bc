#include "atsui/viewer/test_data_viewer_frame.h"

namespace tov_atsui {

// Not built yet.
TestDataViewerFrame::TestDataViewerFrame(wxWindow* parent) : wxFrame(parent, wxID_ANY, wxEmptyString), ui_root_sizer(nullptr) {}
void TestDataViewerFrame::on_close_window(wxCloseEvent& event) { event.Skip(); }

}  // namespace tov_atsui
