// SPDX-License-Identifier: MIT
#include "support/harness.h"

#include <cstdlib>
#include <sstream>

#if defined(__WXGTK__)
#include <gtk/gtk.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#elif defined(__WXMSW__)
#include <wx/msw/wrapwin.h>
#include <oleacc.h>

#include <wx/evtloop.h>
#endif

#include <wx/radiobox.h>
#include <wx/toolbar.h>

void PrintTo(const wxString& text, std::ostream* os) { *os << '"' << text.utf8_string() << '"'; }

namespace atsui_test {

std::u32string code_points(const wxString& text) {
    std::u32string out;
    for (wxUniChar c : text) out.push_back(static_cast<char32_t>(c.GetValue()));
    return out;
}

std::u32string code_points_utf8(const char* text) { return code_points(wxString::FromUTF8(text)); }

#if defined(__WXMSW__)
namespace {
// Takes the messages off the queue and hands them to wx's own processing
// (dialog keys, accelerators), as a running loop does.
void process_removed_messages() {
    static wxGUIEventLoop idle_loop;
    auto* loop = dynamic_cast<wxGUIEventLoop*>(wxEventLoopBase::GetActive());
    if (!loop) loop = &idle_loop;
    wxEventLoopActivator active(loop);
    MSG msg;
    for (int n = 0; n < 1000 && ::PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(int(msg.wParam));
            break;
        }
        loop->ProcessMessage(&msg);
    }
}
}  // namespace
#endif

void pump(int ms) {
    const wxLongLong end = wxGetLocalTimeMillis() + ms;
    do {
        wxTheApp->Yield(true);
#if defined(__WXMSW__)
        // wxMSW's Yield peeks without removing, and Wine makes a timer's
        // WM_TIMER, and the input SendInput queued, only for a call that
        // removes it: no wxTimer fired and no simulated key or click arrived.
        process_removed_messages();
#endif
        wxTheApp->ProcessIdle();
        wxMilliSleep(2);
    } while (wxGetLocalTimeMillis() < end);
}

bool pump_until(const std::function<bool()>& pred, int timeout_ms) {
    const wxLongLong end = wxGetLocalTimeMillis() + timeout_ms;
    while (!pred()) {
        if (wxGetLocalTimeMillis() >= end) return pred();
        pump(5);
    }
    return true;
}

void WindowTest::SetUp() {
    top = new wxFrame(nullptr, wxID_ANY, "atsui test host", wxDefaultPosition, wxSize(800, 600));
    top->SetSizer(new wxBoxSizer(wxVERTICAL));
}

void WindowTest::TearDown() {
    const int before = assertion_count();
    if (top) {
        top->Destroy();
        top = nullptr;
    }
    pump(0);
    EXPECT_EQ(assertion_count(), before) << "toolkit assertion while destroying the windows";
}

void WindowTest::show_in_top(wxWindow* child, const wxSize& client_size) {
    top->GetSizer()->Add(child, 1, wxEXPAND);
    top->SetClientSize(client_size);
    top->Show();
    top->Layout();
    pump_until([&] { return top->GetClientSize() == client_size; }, 2000);
    top->Layout();
    pump(30);
}

bool operator==(const Placement& a, const Placement& b) {
    return a.proportion == b.proportion && a.flags == b.flags && a.border == b.border;
}

void PrintTo(const Placement& p, std::ostream* os) {
    *os << "{proportion " << p.proportion << ", flags 0x" << std::hex << p.flags << std::dec
        << ", border " << p.border << "}";
}

namespace {

template <typename Target>
wxSizerItem* find_in(wxSizer* root, Target* target) {
    if (!root) return nullptr;
    for (wxSizerItem* item : root->GetChildren()) {
        if constexpr (std::is_base_of_v<wxWindow, Target>) {
            if (item->GetWindow() == target) return item;
        } else {
            if (item->GetSizer() == target) return item;
        }
        if (wxSizer* nested = item->GetSizer())
            if (wxSizerItem* found = find_in(nested, target)) return found;
    }
    return nullptr;
}

}  // namespace

wxSizerItem* find_item(wxSizer* root, wxWindow* window) { return find_in(root, window); }
wxSizerItem* find_item(wxSizer* root, wxSizer* nested) { return find_in(root, nested); }

Placement placement(const wxSizerItem* item) {
    if (!item) {
        ADD_FAILURE() << "no sizer item";
        return {-1, -1, -1};
    }
    return {item->GetProportion(), item->GetFlag(), item->GetBorder()};
}

Placement placement_of(wxWindow* window) {
    wxSizer* sizer = window->GetContainingSizer();
    if (!sizer) {
        ADD_FAILURE() << "window " << window->GetName() << " is in no sizer";
        return {-1, -1, -1};
    }
    return placement(sizer->GetItem(window));
}

Placement placement_of(wxSizer* root, wxSizer* nested) {
    return placement(find_item(root, nested));
}

int CallLog::count(const std::string& handler) const {
    auto it = counts_.find(handler);
    return it == counts_.end() ? 0 : it->second;
}

int CallLog::total() const {
    int sum = 0;
    for (const auto& entry : counts_) sum += entry.second;
    return sum;
}

std::string CallLog::summary() const {
    std::ostringstream out;
    for (const auto& [name, n] : counts_) out << name << '=' << n << ' ';
    return out.str();
}

// These build the events exactly as wxGTK's signal callbacks do.
void click(wxButton* button) {
    wxCommandEvent event(wxEVT_BUTTON, button->GetId());
    event.SetEventObject(button);
    button->HandleWindowEvent(event);
}

void press_enter(wxTextCtrl* field) {
    wxCommandEvent event(wxEVT_TEXT_ENTER, field->GetId());
    event.SetEventObject(field);
    event.SetString(field->GetValue());
    field->HandleWindowEvent(event);
}

void select_menu(wxFrame* frame, wxMenuItem* item) { frame->ProcessCommand(item); }

void click_tool(wxToolBar* toolbar, wxToolBarToolBase* tool) {
    toolbar->OnLeftClick(tool->GetId(), false);
}

void fire(wxTimer& timer) { timer.Notify(); }

namespace {

template <class Control>
void select_and_tell(Control* control, wxEventType type, int index) {
    control->SetSelection(index);
    wxCommandEvent event(type, control->GetId());
    event.SetEventObject(control);
    event.SetInt(index);
    event.SetString(control->GetString(index));
    control->HandleWindowEvent(event);
}

}  // namespace

void choose(wxChoice* choice, int index) { select_and_tell(choice, wxEVT_CHOICE, index); }
void choose(wxRadioBox* box, int index) { select_and_tell(box, wxEVT_RADIOBOX, index); }

PropagationCounter::PropagationCounter(wxWindow* window, wxEventType type)
    : window_(window), type_(type) {
    window_->Bind(type_, &PropagationCounter::on_event, this);
}

PropagationCounter::~PropagationCounter() {
    window_->Unbind(type_, &PropagationCounter::on_event, this);
}

void PropagationCounter::on_event(wxEvent&) { ++count_; }

int run_modal(wxDialog& dialog, const std::function<void(wxDialog&)>& action, int watchdog_ms) {
    wxTimer act;
    act.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { action(dialog); });
    wxTimer watchdog;
    watchdog.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (dialog.IsModal()) dialog.EndModal(kModalTimedOut);
    });
    act.StartOnce(100);
    watchdog.StartOnce(watchdog_ms);
    return dialog.ShowModal();
}

void expect_plain_font(wxWindow* w, int points) {
    const wxFont font = w->GetFont();
    EXPECT_EQ(font.GetPointSize(), points) << w->GetLabel();
    EXPECT_EQ(font.GetStyle(), wxFONTSTYLE_NORMAL);
    EXPECT_EQ(font.GetWeight(), wxFONTWEIGHT_NORMAL);
    EXPECT_FALSE(font.GetUnderlined());
}

bool turn_wheel(wxWindow* window, int notches) {
#if defined(__WXMSW__)
    // Windows takes the wheel as mouse input of its own; a notch is
    // WHEEL_DELTA, positive away from the user.
    const wxPoint at = window->GetScreenRect().GetPosition() + window->GetSize() / 2;
    ::SetCursorPos(at.x, at.y);
    pump(30);
    for (int n = 0; n < std::abs(notches); ++n) {
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = MOUSEEVENTF_WHEEL;
        input.mi.mouseData = static_cast<DWORD>(notches < 0 ? WHEEL_DELTA : -WHEEL_DELTA);
        if (::SendInput(1, &input, sizeof input) != 1) return false;
        pump(20);
    }
    return true;
#else
    // wxUIActionSimulator has no wheel; X reports it as buttons 4 (up) and 5.
    static Display* const display = XOpenDisplay(nullptr);
    if (!display) return false;
    const wxPoint at = window->GetScreenRect().GetPosition() + window->GetSize() / 2;
    XTestFakeMotionEvent(display, -1, at.x, at.y, CurrentTime);
    XSync(display, False);
    pump(30);
    const unsigned button = notches < 0 ? 4 : 5;
    for (int n = 0; n < std::abs(notches); ++n) {
        XTestFakeButtonEvent(display, button, True, CurrentTime);
        XTestFakeButtonEvent(display, button, False, CurrentTime);
        XSync(display, False);
        pump(20);
    }
    return true;
#endif
}

bool shows_scroll_bar(wxWindow* window, int orient) {
#if defined(__WXGTK__)
    GtkRange* bar = window->m_scrollBar[orient == wxVERTICAL ? wxWindow::ScrollDir_Vert
                                                             : wxWindow::ScrollDir_Horz];
    return bar && gtk_widget_get_mapped(GTK_WIDGET(bar)) &&
           gtk_widget_get_child_visible(GTK_WIDGET(bar));
#elif defined(__WXMSW__)
    // The style bit says only that the control may show one.
    SCROLLBARINFO info = {};
    info.cbSize = sizeof info;
    const LONG which = orient == wxVERTICAL ? OBJID_VSCROLL : OBJID_HSCROLL;
    return ::GetScrollBarInfo(static_cast<HWND>(window->GetHandle()), which, &info) &&
           !(info.rgstate[0] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN));
#else
    return window->HasScrollbar(orient);
#endif
}

#if defined(__WXGTK__)
namespace {
// The object assistive technology meets for a window: a multi-line text is
// a text view inside a scrolled window, and only the view offers the text.
AtkObject* accessible_of(GtkWidget* widget) {
    if (!widget) return nullptr;
    if (GTK_IS_SCROLLED_WINDOW(widget)) {
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(widget));
        if (child && GTK_IS_TEXT_VIEW(child)) widget = child;
    }
    return gtk_widget_get_accessible(widget);
}

wxString name_of(AtkObject* accessible) {
    const char* name = accessible ? atk_object_get_name(accessible) : nullptr;
    return name ? wxString::FromUTF8(name) : wxString();
}
}  // namespace

wxString accessible_name(wxWindow* window) {
    return name_of(accessible_of(static_cast<GtkWidget*>(window->GetHandle())));
}

wxString accessible_tool_name(wxToolBar* toolbar, int pos) {
    GtkToolItem* item = gtk_toolbar_get_nth_item(toolbar->GTKGetToolbar(), pos);
    return item ? name_of(gtk_widget_get_accessible(GTK_WIDGET(item))) : wxString();
}
#elif defined(__WXMSW__)
namespace {
// MSAA's name of a window's client object, or of one of its children.
wxString msaa_name(wxWindow* window, long child) {
    IAccessible* accessible = nullptr;
    if (FAILED(::AccessibleObjectFromWindow(static_cast<HWND>(window->GetHandle()),
                                            DWORD(OBJID_CLIENT), IID_IAccessible,
                                            reinterpret_cast<void**>(&accessible))) ||
        !accessible)
        return wxString();
    VARIANT id;
    ::VariantInit(&id);
    id.vt = VT_I4;
    id.lVal = child;
    BSTR name = nullptr;
    wxString result;
    if (SUCCEEDED(accessible->get_accName(id, &name)) && name) {
        result = wxString(name);
        ::SysFreeString(name);
    }
    accessible->Release();
    return result;
}
}  // namespace

wxString accessible_name(wxWindow* window) { return msaa_name(window, CHILDID_SELF); }

wxString accessible_tool_name(wxToolBar* toolbar, int pos) { return msaa_name(toolbar, pos + 1); }
#endif

bool activate(wxTopLevelWindow* window) {
    window->Show();
    window->Raise();
    window->SetFocus();
    return pump_until([&] { return window->IsActive(); }, 3000);
}

}  // namespace atsui_test
