// SPDX-License-Identifier: MIT
#include "host/notice.h"

#include <wx/frame.h>
#include <wx/msgdlg.h>
#include <wx/statusbr.h>
#include <wx/toplevel.h>
#include <wx/window.h>

namespace station {

namespace {

bool g_unattended = false;
int g_failure = 0;

}  // namespace

void report(wxWindow* window, const wxString& text, wxLogLevel level) {
    wxLogGeneric(level, "%s", text);
    auto* frame = window ? dynamic_cast<wxFrame*>(wxGetTopLevelParent(window)) : nullptr;
    // A message is one line in the status bar; the log keeps all of it.
    if (frame && frame->GetStatusBar()) frame->SetStatusText(text.BeforeFirst('\n'));
}

void report_in_box(wxWindow* window, const wxString& title, const wxString& text,
                   wxLogLevel level) {
    report(window, text, level);
    if (g_unattended) return;
    const long icon = level <= wxLOG_Error     ? wxICON_ERROR
                      : level == wxLOG_Warning ? wxICON_WARNING
                                               : wxICON_INFORMATION;
    wxMessageBox(text, title, wxOK | icon, window ? wxGetTopLevelParent(window) : nullptr);
}

void set_unattended(bool unattended) { g_unattended = unattended; }
bool unattended() { return g_unattended; }

void note_failure(int status) {
    if (g_failure == 0) g_failure = status;
}
int failure_status() { return g_failure; }

}  // namespace station
