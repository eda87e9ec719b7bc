// SPDX-License-Identifier: MIT
#include "atsui/viewer/test_data_viewer_frame.h"

#include <wx/sizer.h>

#include "atsui/detail/lifecycle.h"
#include "atsui/detail/look.h"

namespace tov_atsui {

TestDataViewerFrame::TestDataViewerFrame(wxWindow* parent)
    : wxFrame(detail::top_level_parent(parent, "TestDataViewerFrame"), wxID_ANY, wxEmptyString,
              wxDefaultPosition, wxSize(-1, -1), wxDEFAULT_FRAME_STYLE | wxTAB_TRAVERSAL) {
    SetSizeHints(wxDefaultSize, wxDefaultSize);

    // Empty on purpose: the host puts its viewer panel here.
    ui_root_sizer = new wxBoxSizer(wxVERTICAL);
    detail::finish_window(this, ui_root_sizer);

    Bind(wxEVT_CLOSE_WINDOW, &TestDataViewerFrame::on_close_window, this);
}

bool TestDataViewerFrame::Destroy() {
    return detail::destroy_after_modal_children(this, [this] { return wxFrame::Destroy(); });
}

void TestDataViewerFrame::on_close_window(wxCloseEvent& event) { event.Skip(); }

}  // namespace tov_atsui
