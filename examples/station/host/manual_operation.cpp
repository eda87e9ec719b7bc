// SPDX-License-Identifier: MIT
#include "host/manual_operation.h"

#include <exception>

#include <dlfcn.h>

#include <wx/dialog.h>
#include <wx/filename.h>
#include <wx/stdpaths.h>

namespace station {

bool show_custom_manual_operation_dialog(wxWindow* parent, const wxString& folder, wxString& why) {
    // An absolute path: dlopen must not search LD_LIBRARY_PATH or the
    // working directory for code to run.
    const wxString path = wxFileName(folder, kManualOperationPlugin).GetAbsolutePath();
    if (!wxFileName::FileExists(path)) {
        why = path + " not found";
        return false;
    }
    // Never closed: the dialog's code must outlive its deferred destruction.
    void* library = dlopen(path.fn_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        why = wxString::FromUTF8(dlerror());
        return false;
    }
    using Factory = wxDialog* (*)(wxWindow*);
    auto factory = reinterpret_cast<Factory>(dlsym(library, kManualOperationFactory));
    if (!factory) {
        why = path + " does not export " + kManualOperationFactory;
        return false;
    }
    wxDialog* dialog = nullptr;
    try {
        dialog = factory(parent);
        if (!dialog) {
            why = "the plug-in created no dialog";
            return false;
        }
        dialog->ShowModal();
    } catch (const std::exception& error) {
        why = wxString::Format("the plug-in failed: %s", wxString::FromUTF8(error.what()));
        if (dialog) dialog->Destroy();
        return false;
    } catch (...) {
        why = "the plug-in failed with an unknown exception";
        if (dialog) dialog->Destroy();
        return false;
    }
    dialog->Destroy();
    return true;
}

wxString executable_folder() {
    return wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetPath();
}

}  // namespace station
