#pragma once

#include <wx/frame.h>

class wxBoxSizer;

namespace tov_atsui {

// The empty top-level window of the test data viewer; the host puts a
// TestDataViewerPanel into ui_root_sizer.
class TestDataViewerFrame : public wxFrame {
public:
    explicit TestDataViewerFrame(wxWindow* parent);

    wxBoxSizer* ui_root_sizer;

    virtual void on_close_window(wxCloseEvent& event);
};

}  // namespace tov_atsui
