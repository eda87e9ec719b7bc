// SPDX-License-Identifier: MIT
#pragma once

// The custom manual operation dialog: a plug-in next to the executable.
//
// A shared library named manual_operation_dialog.so in the station's folder
// exports
//
//     extern "C" wxDialog* create_manual_operation_dialog(wxWindow* parent);
//
// returning a dialog of class ManualOperationDialog (or any wxDialog) that
// the station shows with ShowModal and then Destroy()s.

#include <wx/string.h>

class wxWindow;

namespace station {

inline constexpr const char* kManualOperationPlugin = "manual_operation_dialog.so";
inline constexpr const char* kManualOperationFactory = "create_manual_operation_dialog";

// Shows the plug-in's dialog modally. False, with the reason in why, when the
// library is missing, lacks the factory, or creating or showing the dialog fails.
bool show_custom_manual_operation_dialog(wxWindow* parent, const wxString& folder, wxString& why);

}  // namespace station
