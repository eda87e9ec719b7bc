// SPDX-License-Identifier: MIT
#include "atsui/detail/lifecycle.h"

#include <stdexcept>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/bookctrl.h>
#include <wx/collpane.h>
#include <wx/dataview.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/toolbar.h>

#if defined(__WXMSW__)
#include <cwchar>

#include <wx/msw/wrapwin.h>
#include <wx/radiobox.h>
#endif

namespace tov_atsui::detail {

namespace {

[[noreturn]] void refuse(const char* class_name, const char* why) {
    throw std::invalid_argument(std::string("tov_atsui::") + class_name + ": " + why);
}

bool is_dying(wxWindow* window) {
    if (window->IsBeingDeleted()) return true;
    for (wxWindow* w = window; w; w = w->GetParent())
        if (wxTheApp && wxTheApp->IsScheduledForDestruction(w)) return true;
    return false;
}

// Controls that place children of their own inside them.
bool places_children_itself(wxWindow* window) {
    return dynamic_cast<wxStaticBox*>(window) || dynamic_cast<wxBookCtrlBase*>(window) ||
           dynamic_cast<wxToolBar*>(window) || dynamic_cast<wxCollapsiblePane*>(window) ||
           dynamic_cast<wxDataViewCtrl*>(window);
}

// The toolkit's own rule: a window with a client area, or one of the
// controls that place their children themselves.
bool can_hold_children(wxWindow* window) {
#if defined(__WXGTK__)
    // wxGTK answers it only through m_wxwindow, its internal client-area
    // widget (public, but not documented API): the one place the layer
    // reaches into toolkit internals. Should a toolkit release drop it, this
    // fails to build rather than guess.
    return window->m_wxwindow != nullptr || places_children_itself(window);
#elif defined(__WXMSW__)
    // Windows would parent anything to any window, so the rule is wxGTK's, for
    // one behaviour: a window of a class wx registered ("wxWindow", ...) is
    // one wx draws and lays out; a native control's (a button, an edit field)
    // is Windows' own, with no room for children; a menu bar has no window.
    // wxMSW's radio box is a static box inside, but no container to hosts.
    const auto hwnd = static_cast<HWND>(window->GetHandle());
    if (!hwnd || dynamic_cast<wxRadioBox*>(window)) return false;
    wchar_t class_name[32] = {};
    ::GetClassNameW(hwnd, class_name, 32);
    return std::wcsncmp(class_name, L"wx", 2) == 0 || places_children_itself(window);
#else
    (void)window;
    return true;
#endif
}

void collect_modal_dialogs(wxWindow* window, std::vector<wxDialog*>& out) {
    for (wxWindow* child : window->GetChildren()) {
        if (auto* dialog = dynamic_cast<wxDialog*>(child); dialog && dialog->IsModal())
            out.push_back(dialog);
        collect_modal_dialogs(child, out);
    }
}

// Waits on the window's idle events until the event loop that was running
// when Destroy() was called (a dialog's modal loop) is no longer the active one.
class DestroyAfterLoop {
public:
    DestroyAfterLoop(wxWindow* window, wxEventLoopBase* loop, std::function<bool()> destroy)
        : window_(window), loop_(loop), destroy_(std::move(destroy)) {
        window_->Bind(wxEVT_IDLE, &DestroyAfterLoop::on_idle, this);
        window_->Bind(wxEVT_DESTROY, &DestroyAfterLoop::on_destroy, this);
    }

private:
    void on_idle(wxIdleEvent& event) {
        event.Skip();
        if (wxEventLoopBase::GetActive() == loop_) {
            event.RequestMore();
            return;
        }
        std::function<bool()> destroy = std::move(destroy_);
        finish();
        destroy();
    }
    // Deleted some other way meanwhile (with its own parent, say).
    void on_destroy(wxWindowDestroyEvent& event) {
        event.Skip();
        if (event.GetEventObject() == window_) finish();
    }
    void finish() {
        window_->Unbind(wxEVT_IDLE, &DestroyAfterLoop::on_idle, this);
        window_->Unbind(wxEVT_DESTROY, &DestroyAfterLoop::on_destroy, this);
        delete this;
    }

    wxWindow* window_;
    wxEventLoopBase* loop_;
    std::function<bool()> destroy_;
};

}  // namespace

wxWindow* require_parent(wxWindow* parent, const char* class_name) {
    if (!parent) refuse(class_name, "a parent window is required");
    if (is_dying(parent)) refuse(class_name, "the parent window is being destroyed");
    if (!can_hold_children(parent))
        refuse(class_name, "the parent window has no client area to hold children");
    return parent;
}

wxWindow* top_level_parent(wxWindow* parent, const char* class_name) {
    // A console application object (what wxEntryStart makes when no wxApp
    // was implemented) does not start the toolkit either.
    if (!wxAppBase::GetGUIInstance())
        throw std::logic_error(std::string("tov_atsui::") + class_name +
                               ": the wx application is not initialised (construct windows "
                               "from OnInit or after wxEntryStart)");
    if (parent && is_dying(parent)) refuse(class_name, "the parent window is being destroyed");
    return parent;
}

bool destroy_after_modal_children(wxWindow* window, const std::function<bool()>& destroy) {
    std::vector<wxDialog*> modal;
    collect_modal_dialogs(window, modal);
    if (modal.empty()) return destroy();
    for (wxDialog* dialog : modal) dialog->EndModal(wxID_CANCEL);
    new DestroyAfterLoop(window, wxEventLoopBase::GetActive(), destroy);
    return true;
}

bool prepare_reparent(wxWindow* window, wxWindowBase* new_parent) {
    if (!new_parent) return false;
    for (wxWindowBase* w = new_parent; w; w = w->GetParent())
        if (w == window) return false;
    if (wxSizer* sizer = window->GetContainingSizer();
        sizer && sizer->GetContainingWindow() != new_parent)
        sizer->Detach(window);
    return true;
}

}  // namespace tov_atsui::detail
