// SPDX-License-Identifier: MIT
#pragma once

// What every window test needs: a real wxApp (see test_main.cpp), a hidden
// top frame to parent windows to, event pumping, sizer look-ups, handler
// counting and the user's gestures as the toolkit delivers them.

#include <functional>
#include <map>
#include <ostream>
#include <string>

#include <gtest/gtest.h>
#include <wx/wx.h>

class wxToolBar;
class wxToolBarToolBase;

// Readable wxString values in GoogleTest messages.
void PrintTo(const wxString& text, std::ostream* os);

namespace atsui_test {

// Text from UTF-8, as the tests spell the expected captions.
inline wxString U8(const char* text) { return wxString::FromUTF8(text); }

// Code points of a string, for exact comparisons of non-ASCII text.
std::u32string code_points(const wxString& text);
std::u32string code_points_utf8(const char* text);

// Runs the event loop for about ms milliseconds (pending events, idle, timers).
void pump(int ms = 30);
// Pumps until pred() holds or timeout_ms passes; returns pred().
bool pump_until(const std::function<bool()>& pred, int timeout_ms = 3000);

// Number of toolkit assertions seen since the program started.
int assertion_count();

// Hidden top-level frame for the window under test. TearDown destroys it
// with its children and checks that no assertion was raised.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Puts child alone into the top frame with (1, wxEXPAND), gives the frame
    // that client size, shows it and lets the toolkit lay it out.
    void show_in_top(wxWindow* child, const wxSize& client_size);

    wxFrame* top = nullptr;
};

// How an item sits in its sizer.
struct Placement {
    int proportion;
    int flags;
    int border;
};
bool operator==(const Placement& a, const Placement& b);
void PrintTo(const Placement& p, std::ostream* os);

// Finds the item of a window, or of a nested sizer, anywhere under root.
wxSizerItem* find_item(wxSizer* root, wxWindow* window);
wxSizerItem* find_item(wxSizer* root, wxSizer* nested);
// Placement of a window in the sizer that contains it.
Placement placement_of(wxWindow* window);
Placement placement_of(wxSizer* root, wxSizer* nested);
// Flags without the alignment bits that wx adds on its own.
Placement placement(const wxSizerItem* item);

// Which handlers ran, by name. Host subclasses in tests call hit() from their
// overrides.
class CallLog {
public:
    void hit(const std::string& handler) { ++counts_[handler]; }
    int count(const std::string& handler) const;
    int total() const;
    // "name=count, ..." of every handler that ran, for failure messages.
    std::string summary() const;
    void clear() { counts_.clear(); }

private:
    std::map<std::string, int> counts_;
};

// The user's gestures, delivered the way wxGTK delivers them.
void click(wxButton* button);
void press_enter(wxTextCtrl* field);
// Selects a menu item through its frame (check items toggle first).
void select_menu(wxFrame* frame, wxMenuItem* item);
void click_tool(wxToolBar* toolbar, wxToolBarToolBase* tool);
// Delivers one event of the timer to its owner, as its expiry does.
void fire(wxTimer& timer);
void choose(wxChoice* choice, int index);
void choose(wxRadioBox* box, int index);

// Counts command events of one type that reach a window unhandled by the
// window under test (bind it on the parent).
class PropagationCounter {
public:
    PropagationCounter(wxWindow* window, wxEventType type);
    ~PropagationCounter();
    int count() const { return count_; }

private:
    void on_event(wxEvent& event);
    wxWindow* window_;
    wxEventType type_;
    int count_ = 0;
};

// Runs dialog.ShowModal(), performing action once the dialog is up. A
// watchdog ends a run that action failed to end with kModalTimedOut.
constexpr int kModalTimedOut = -4242;
int run_modal(wxDialog& dialog, const std::function<void(wxDialog&)>& action,
              int watchdog_ms = 5000);

// Checks a font of the default family: size, normal style and weight, no
// underline.
void expect_plain_font(wxWindow* w, int points);

// Turns the mouse wheel by notches (positive: towards the user, scrolling
// down) with the pointer over the middle of window, through the X server.
bool turn_wheel(wxWindow* window, int notches);

// Whether the toolkit shows window's scroll bar of that orientation.
bool shows_scroll_bar(wxWindow* window, int orient);

// The name a screen reader says for a window (ATK on GTK, MSAA on MSW), and
// for a tool of a tool bar by its position.
wxString accessible_name(wxWindow* window);
wxString accessible_tool_name(wxToolBar* toolbar, int pos);

// Brings a top-level window to the front and waits until X says it is
// active, so that wxUIActionSimulator input reaches it.
bool activate(wxTopLevelWindow* window);

}  // namespace atsui_test
