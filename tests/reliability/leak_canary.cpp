// SPDX-License-Identifier: MIT
// Leaks on purpose, three ways (test code, library code, a handler called
// from the GLib main loop), for leak_canary.sh: the sanitizer build's
// suppressions must let each of them through. Never part of a normal run.

#include <atsui/atsui.h>

#include <wx/wx.h>

namespace {

// Keeps the compiler from dropping the allocations; cleared before exit so
// that nothing points to them any more.
void* volatile g_sink;

__attribute__((noinline)) void canary_leak_in_test_code() {
    g_sink = new char[64];
    g_sink = nullptr;
}

// Made by the library: the frame's top row, detached from the frame's sizer
// (Detach does not delete) and so lost when the frame goes.
__attribute__((noinline)) void canary_leak_a_detached_sizer() {
    auto* frame = new tov_atsui::Frame(nullptr);
    wxSizer* top_part = frame->GetSizer()->GetItem(size_t(0))->GetSizer();
    top_part->Detach(frame->ui_additional_top_sizer);
    frame->Destroy();
    wxTheApp->ProcessIdle();
}

// Allocates from a handler that a real timer reaches through the GLib
// main loop, so GLib's and GTK's frames are below it on the stack.
struct LeakingCell : tov_atsui::Cell {
    using Cell::Cell;
    bool fired = false;
    __attribute__((noinline)) void on_refresh_timer_event(wxTimerEvent&) override {
        if (fired) return;
        fired = true;
        canary_leak_in_timer_handler();
    }
    __attribute__((noinline)) static void canary_leak_in_timer_handler() { g_sink = new char[96]; }
};

class CanaryApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(CanaryApp);

int main(int argc, char** argv) {
    if (!wxEntryStart(argc, argv)) return 2;
    wxTheApp->CallOnInit();
    auto* frame = new wxFrame(nullptr, wxID_ANY, "canary");
    frame->Show();

    canary_leak_in_test_code();
    canary_leak_a_detached_sizer();
    auto* cell = new LeakingCell(frame);
    cell->ui_refresh_timer.Start(5);
    for (int i = 0; i < 400 && !cell->fired; ++i) {
        wxTheApp->Yield(true);
        wxMilliSleep(5);
    }
    const int status = cell->fired ? 0 : 3;
    g_sink = nullptr;

    frame->Destroy();
    wxTheApp->ProcessIdle();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return status;
}
