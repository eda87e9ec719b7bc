// SPDX-License-Identifier: MIT
#pragma once

// The eight windows as the reliability programs drive them: how to build one,
// show it, lay it out and destroy it for good, plus the process figures the
// soak measures.

#include <functional>
#include <string>
#include <vector>

#include <wx/wx.h>

namespace atsui_reliability {

struct WindowKind {
    std::string name;
    bool top_level;
    // Builds the window; a panel goes under parent, a top-level window gets
    // parent as its parent (null allowed).
    std::function<wxWindow*(wxWindow* parent)> make;
};

// Every finished window, and "Frame with 8 Cells" (the station's usual shape).
const std::vector<WindowKind>& window_kinds();

// A Cell's widgets built bare with the toolkit's own calls: what the toolkit
// alone costs for such a tree, beside which the soak measures the layer's.
const WindowKind& bare_cell_kind();

// Shows the window (a panel through its top-level parent), lays it out and
// lets the toolkit realise it.
void show_and_lay_out(wxWindow* window);

// Destroys the window and returns once it is really gone: a top-level
// window's Destroy() only schedules the deletion for the next idle time.
void destroy_for_good(wxWindow* window);

// Not yet deleted: still a top-level window, or scheduled for deletion (a
// Destroy()ed frame that was the last one shown is not even hidden).
bool is_top_level_alive(wxWindow* window);
// Destroy() was called and the deletion is pending.
inline bool is_closing(wxWindow* window) { return wxTheApp->IsScheduledForDestruction(window); }

// Every wxTimer that is a member of the window or of a Cell inside it.
std::vector<wxTimer*> timers_of(wxWindow* window);

// Resident set size of this process in KiB, from /proc/self/statm (the
// working set on Windows).
long resident_kib();

// True when built with AddressSanitizer, whose quarantine keeps freed memory
// resident: resident size says nothing about leaks there (LeakSanitizer does).
constexpr bool kSanitized =
#if defined(__SANITIZE_ADDRESS__)
    true;
#else
    false;
#endif

// Integer from the environment, or fallback.
int env_int(const char* name, int fallback);

// Appends a line to the file named by ATSUI_RELIABILITY_REPORT, if set.
void report_line(const std::string& line);

}  // namespace atsui_reliability
