// SPDX-License-Identifier: MIT
#pragma once

// The station's colours and a few words shared by its windows.

#include <algorithm>
#include <cmath>
#include <string>

#include <wx/colour.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/string.h>
#include <wx/translation.h>

namespace station {

inline wxColour ok_colour() { return wxColour(0, 128, 64); }
inline wxColour ng_colour() { return wxColour(255, 0, 0); }
inline wxColour busy_colour() { return wxColour(255, 215, 0); }
inline wxColour attention_colour() { return wxColour(255, 140, 0); }
inline wxColour idle_colour() { return wxColour(160, 160, 160); }
// The Error verdict: the station, not the unit, failed the test.
inline wxColour error_colour() { return wxColour(112, 48, 160); }

// Text must reach 4.5:1 against its background (WCAG 2, level AA), whatever
// the desktop theme makes of the colours the station does not choose.
inline constexpr double kReadableContrast = 4.5;

inline double relative_luminance(const wxColour& colour) {
    auto linear = [](unsigned char channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.Red()) + 0.7152 * linear(colour.Green()) +
           0.0722 * linear(colour.Blue());
}

inline double contrast_ratio(const wxColour& a, const wxColour& b) {
    const double la = relative_luminance(a);
    const double lb = relative_luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Black or white, whichever reads better on the background.
inline wxColour text_on(const wxColour& background) {
    return contrast_ratio(*wxBLACK, background) >= contrast_ratio(*wxWHITE, background) ? *wxBLACK
                                                                                        : *wxWHITE;
}

// The colour itself where it reads; otherwise the least step towards black
// or white (the side that reads) that does, so "OK" stays green on a dark theme.
inline wxColour readable_on(const wxColour& colour, const wxColour& background) {
    const wxColour target = text_on(background);
    for (int step = 0; step <= 20; ++step) {
        const double t = step / 20.0;
        auto mix = [t](unsigned char from, unsigned char to) {
            return static_cast<unsigned char>(std::lround(from + (to - from) * t));
        };
        const wxColour mixed(mix(colour.Red(), target.Red()), mix(colour.Green(), target.Green()),
                             mix(colour.Blue(), target.Blue()));
        if (contrast_ratio(mixed, background) >= kReadableContrast) return mixed;
    }
    return target;
}

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
