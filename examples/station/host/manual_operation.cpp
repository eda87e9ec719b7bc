// SPDX-License-Identifier: MIT
#include "host/manual_operation.h"

#include <exception>

#include <wx/dialog.h>
#include <wx/dynlib.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/translation.h>

namespace station {

namespace {

// wxDynamicLibrary reports the loader's reason through wxLogError, which a
// GUI app turns into a message box of its own; the caller words it instead.
class LoaderMessages : public wxLog {
public:
    LoaderMessages() : previous_(wxLog::SetActiveTarget(this)) {}
    ~LoaderMessages() override { wxLog::SetActiveTarget(previous_); }
    const wxString& text() const { return text_; }

protected:
    void DoLogTextAtLevel(wxLogLevel level, const wxString& message) override {
        if (level > wxLOG_Warning) return;
        if (!text_.empty()) text_ += "; ";
        text_ += message;
    }

private:
    wxLog* previous_;
    wxString text_;
};

}  // namespace

bool show_custom_manual_operation_dialog(wxWindow* parent, const wxString& folder, wxString& why) {
    // An absolute path: dlopen must not search LD_LIBRARY_PATH or the
    // working directory for code to run.
    const wxString path = wxFileName(folder, kManualOperationPlugin).GetAbsolutePath();
    if (!wxFileName::FileExists(path)) {
        why = wxString::Format(_("%s not found"), path);
        return false;
    }
    wxDynamicLibrary library;
    {
        LoaderMessages messages;
        if (!library.Load(path, wxDL_NOW | wxDL_VERBATIM)) {
            why = messages.text().empty() ? wxString::Format(_("%s cannot be loaded"), path)
                                          : messages.text();
            return false;
        }
    }
    using Factory = wxDialog* (*)(wxWindow*);
    auto factory = reinterpret_cast<Factory>(library.RawGetSymbol(kManualOperationFactory));
    // Never unloaded: the dialog's code must outlive its deferred destruction.
    library.Detach();
    if (!factory) {
        why = wxString::Format(_("%s does not export %s"), path, kManualOperationFactory);
        return false;
    }
    wxDialog* dialog = nullptr;
    try {
        dialog = factory(parent);
        if (!dialog) {
            why = _("the plug-in created no dialog");
            return false;
        }
        dialog->ShowModal();
    } catch (const std::exception& error) {
        why = wxString::Format(_("the plug-in failed: %s"), wxString::FromUTF8(error.what()));
        if (dialog) dialog->Destroy();
        return false;
    } catch (...) {
        why = _("the plug-in failed with an unknown exception");
        if (dialog) dialog->Destroy();
        return false;
    }
    dialog->Destroy();
    return true;
}

}  // namespace station
