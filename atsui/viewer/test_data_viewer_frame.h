// SPDX-License-Identifier: MIT
#pragma once

// Every member's type is complete here, as in generated wx code, so a host
// can use any member after including this header alone.
#include <wx/event.h>
#include <wx/frame.h>
#include <wx/sizer.h>

namespace tov_atsui {

/// The empty top-level window of the test data viewer; the host puts a
/// TestDataViewerPanel into ui_root_sizer.
///
/// Construction throws std::logic_error before the wx application is
/// initialised and std::invalid_argument for a parent that is being destroyed.
class TestDataViewerFrame : public wxFrame {
public:
    /// Builds the empty frame, centred and hidden.
    explicit TestDataViewerFrame(wxWindow* parent);

    /// Ends a modal dialog running on top of the frame with wxID_CANCEL and
    /// deletes the frame once its ShowModal has returned. The default close handling calls it.
    bool Destroy() override;

    /// The frame's vertical sizer, empty; the host adds the viewer panel here.
    wxBoxSizer* ui_root_sizer;

    /// Reached by the frame's close request; skipped, the frame is destroyed.
    virtual void on_close_window(wxCloseEvent& event);
};

}  // namespace tov_atsui
