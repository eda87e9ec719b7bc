// SPDX-License-Identifier: MIT
#pragma once

// One way to tell the operator something: the log (file, Logger tabs,
// stderr for the severe) and the status bar of the window's frame, and a
// message box only when someone is there to answer it.

#include <wx/log.h>
#include <wx/string.h>

class wxWindow;

namespace station {

// Logs text at level and shows it in the first field of the status bar of
// window's frame (none: the log alone).
void report(wxWindow* window, const wxString& text, wxLogLevel level = wxLOG_Message);
// The same, and a message box titled title, except in an unattended run.
void report_in_box(wxWindow* window, const wxString& title, const wxString& text,
                   wxLogLevel level = wxLOG_Error);

// A run with nobody at the screen (--repeat): no message box waits for an answer.
void set_unattended(bool unattended);
bool unattended();

// The exit status of the run so far: 0 unless something failed that the
// operator was not there to see (a refused start, tests not stored).
void note_failure(int status = 1);
int failure_status();

}  // namespace station
