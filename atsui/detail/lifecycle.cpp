// SPDX-License-Identifier: MIT
#include "atsui/detail/lifecycle.h"

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/bookctrl.h>
#include <wx/collpane.h>
#include <wx/dataview.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/modalhook.h>
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
    // A dialog has Windows' own dialog class ("#32770"), and holds children
    // as every top-level window does.
    const auto hwnd = static_cast<HWND>(window->GetHandle());
    if (!hwnd || dynamic_cast<wxRadioBox*>(window)) return false;
    if (window->IsTopLevel()) return true;
    wchar_t class_name[32] = {};
    ::GetClassNameW(hwnd, class_name, 32);
    return std::wcsncmp(class_name, L"wx", 2) == 0 || places_children_itself(window);
#else
    (void)window;
    return true;
#endif
}

bool is_under(wxWindow* window, wxWindow* ancestor) {
    for (wxWindow* w = window; w; w = w->GetParent())
        if (w == ancestor) return true;
    return false;
}

// Every modal run in the process, outermost first, as the toolkit reports
// them: which dialog, and which event loop was running when it began (the one
// that is active again once its ShowModal returns). wxDialog says only
// whether it is modal, not which of several nested loops is its own.
class ModalRuns : public wxModalDialogHook {
public:
    struct Run {
        wxDialog* dialog;
        wxEventLoopBase* outside;
    };

    static ModalRuns& get() {
        static ModalRuns runs;
        return runs;
    }

    // The runs of dialogs under window, outermost first.
    std::vector<Run> under(wxWindow* window) const {
        std::vector<Run> found;
        for (const Run& run : runs_)
            if (is_under(run.dialog, window)) found.push_back(run);
        return found;
    }

protected:
    int Enter(wxDialog* dialog) override {
        runs_.push_back({dialog, wxEventLoopBase::GetActive()});
        // A later hook may answer the dialog without running it, and then
        // nobody reports its end: forget it when it goes, at the latest.
        dialog->Bind(wxEVT_DESTROY, &ModalRuns::on_destroy, this);
        return wxID_NONE;
    }
    void Exit(wxDialog* dialog) override;

private:
    ModalRuns() { Register(); }

    void on_destroy(wxWindowDestroyEvent& event) {
        event.Skip();
        forget(event.GetEventObject());
    }
    void forget(wxObject* dialog) {
        for (auto run = runs_.rbegin(); run != runs_.rend(); ++run)
            if (run->dialog == dialog) {
                runs_.erase(std::next(run).base());
                return;
            }
    }

    std::vector<Run> runs_;
};

// Destroys a top-level window on which modal dialogs run, one inside the
// other. EndModal only ends the innermost loop that is running, so the
// dialogs are ended innermost first, the next one once control is back in its
// loop; the window goes once the loop that ran outside them all is the active
// one again: deleting it earlier would delete a dialog inside its own
// ShowModal (freeing a dialog that lives on the host's stack).
//
// Each step is taken as a run ends, from inside the ending ShowModal, where
// the enclosing loop is the active one again; idle events, which a busy loop
// (timers due all the time) may starve, are only a fallback.
class DestroyAfterModalRuns {
public:
    static bool start(wxWindow* window, std::function<bool()> destroy) {
        if (waiting().count(window)) return true;
        new DestroyAfterModalRuns(window, std::move(destroy));
        return true;
    }

    // A modal run ended somewhere: every waiting window takes its next step.
    static void run_ended() {
        std::vector<wxWindow*> windows;
        for (const auto& [window, waiter] : waiting()) windows.push_back(window);
        for (wxWindow* window : windows)
            if (auto found = waiting().find(window); found != waiting().end())
                found->second->step(ModalRuns::get().under(window));
    }

private:
    DestroyAfterModalRuns(wxWindow* window, std::function<bool()> destroy)
        : window_(window), destroy_(std::move(destroy)) {
        waiting()[window_] = this;
        window_->Bind(wxEVT_IDLE, &DestroyAfterModalRuns::on_idle, this);
        window_->Bind(wxEVT_DESTROY, &DestroyAfterModalRuns::on_destroy, this);
        const std::vector<ModalRuns::Run> runs = ModalRuns::get().under(window_);
        outside_ = runs.front().outside;
        step(runs);
    }

    static std::map<wxWindow*, DestroyAfterModalRuns*>& waiting() {
        static std::map<wxWindow*, DestroyAfterModalRuns*> windows;
        return windows;
    }

    void step(const std::vector<ModalRuns::Run>& runs) {
        if (!runs.empty()) {
            wxDialog* innermost = runs.back().dialog;
            if (innermost != ended_ && innermost->IsModal()) {
                ended_ = innermost;
                innermost->EndModal(wxID_CANCEL);
            }
            return;
        }
        if (wxEventLoopBase::GetActive() != outside_) return;
        std::function<bool()> destroy = std::move(destroy_);
        finish();
        destroy();
    }

    void on_idle(wxIdleEvent& event) {
        event.Skip();
        step(ModalRuns::get().under(window_));
    }
    // Deleted some other way meanwhile (with its own parent, say).
    void on_destroy(wxWindowDestroyEvent& event) {
        event.Skip();
        if (event.GetEventObject() == window_) finish();
    }
    void finish() {
        waiting().erase(window_);
        window_->Unbind(wxEVT_IDLE, &DestroyAfterModalRuns::on_idle, this);
        window_->Unbind(wxEVT_DESTROY, &DestroyAfterModalRuns::on_destroy, this);
        delete this;
    }

    wxWindow* window_;
    std::function<bool()> destroy_;
    wxEventLoopBase* outside_ = nullptr;
    wxDialog* ended_ = nullptr;
};

void ModalRuns::Exit(wxDialog* dialog) {
    forget(dialog);
    dialog->Unbind(wxEVT_DESTROY, &ModalRuns::on_destroy, this);
    DestroyAfterModalRuns::run_ended();
}

}  // namespace

wxWindow* require_parent(wxWindow* parent, const char* class_name) {
    if (!parent) refuse(class_name, "a parent window is required");
    if (is_dying(parent)) refuse(class_name, "the parent window is being destroyed");
    if (!can_hold_children(parent))
        refuse(class_name, "the parent window has no client area to hold children");
    return parent;
}

long panel_style(long style) {
    const long border = style & wxBORDER_MASK;
    switch (border) {
        case wxBORDER_DEFAULT:
        case wxBORDER_NONE:
        case wxBORDER_STATIC:
        case wxBORDER_SIMPLE:
        case wxBORDER_RAISED:
        case wxBORDER_SUNKEN:
        case wxBORDER_THEME:
            return style;
        default:
            return style & ~long(wxBORDER_MASK);
    }
}

wxWindow* top_level_parent(wxWindow* parent, const char* class_name) {
    // A console application object (what wxEntryStart makes when no wxApp
    // was implemented) does not start the toolkit either.
    if (!wxAppBase::GetGUIInstance())
        throw std::logic_error(std::string("tov_atsui::") + class_name +
                               ": the wx application is not initialised (construct windows "
                               "from OnInit or after wxEntryStart)");
    if (parent && is_dying(parent)) refuse(class_name, "the parent window is being destroyed");
    // Modal runs on a window are known only from when the watch began.
    ModalRuns::get();
    return parent;
}

bool destroy_after_modal_children(wxWindow* window, const std::function<bool()>& destroy) {
    if (ModalRuns::get().under(window).empty()) return destroy();
    return DestroyAfterModalRuns::start(window, destroy);
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
