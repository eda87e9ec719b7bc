// SPDX-License-Identifier: MIT
#pragma once

// The station's colours and a few words shared by its windows.

#include <string>

#include <wx/colour.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/string.h>

namespace station {

inline wxColour ok_colour() { return wxColour(0, 128, 64); }
inline wxColour ng_colour() { return wxColour(255, 0, 0); }
inline wxColour busy_colour() { return wxColour(255, 215, 0); }
inline wxColour attention_colour() { return wxColour(255, 140, 0); }
inline wxColour idle_colour() { return wxColour(160, 160, 160); }

inline wxString from_utf8(const std::string& text) { return wxString::FromUTF8(text); }
inline std::string to_utf8(const wxString& text) { return text.utf8_string(); }
// Captions outside ASCII, whatever the process locale is.
inline wxString utf8_caption(const char* text) { return wxString::FromUTF8(text); }

// wxGTK reports no GetPath() for a dialog that was answered without being
// shown (as wxTEST_DIALOG does); folder and name are always there.
inline std::string chosen_path(const wxFileDialog& dialog) {
    const wxString path = dialog.GetPath();
    return to_utf8(path.empty()
                       ? wxFileName(dialog.GetDirectory(), dialog.GetFilename()).GetFullPath()
                       : path);
}

inline const wxString kProjectWildcard = "Test projects (*.atp)|*.atp|All files (*)|*";

}  // namespace station
