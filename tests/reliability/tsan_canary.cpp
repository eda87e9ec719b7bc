// SPDX-License-Identifier: MIT
// Races on purpose, for tsan_canary.sh: the ThreadSanitizer build's options
// and suppressions must let each race of ours through, wherever it happens
// (a plain store, memcpy, a std::string, a timer handler that the GLib main
// loop calls), and the same program with a lock must run clean.
//   reliability_tsan_canary plain|memcpy|string|handler|locked

#include <wx/timer.h>
#include <wx/wx.h>

#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace {

// Volatile only so that the compiler keeps stores nobody reads; ThreadSanitizer
// checks volatile accesses like any other.
volatile int g_count;
char g_buffer[64];
std::string g_text;
std::mutex g_lock;
bool g_locked;

__attribute__((noinline)) void canary_store(int value) {
    if (g_locked) {
        std::lock_guard<std::mutex> hold(g_lock);
        g_count = value;
    } else {
        g_count = value;
    }
}

__attribute__((noinline)) void canary_copy(const char* text) {
    std::memcpy(g_buffer, text, std::strlen(text) + 1);
}

__attribute__((noinline)) void canary_assign(const char* text) { g_text = text; }

// The worker writes while the GUI thread's timer handler, reached through
// GLib's main loop, writes too.
struct Ticking : wxTimer {
    int ticks = 0;
    __attribute__((noinline)) void Notify() override {
        canary_store(++ticks);
        if (ticks >= 20) Stop();
    }
};

class CanaryApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

int run(const std::string& which) {
    if (which == "plain" || which == "locked") {
        g_locked = which == "locked";
        std::thread worker([] {
            for (int i = 0; i < 1000; ++i) canary_store(i);
        });
        for (int i = 0; i < 1000; ++i) canary_store(-i);
        worker.join();
        return 0;
    }
    if (which == "memcpy") {
        std::thread worker([] { canary_copy("from the worker"); });
        canary_copy("from the main thread");
        worker.join();
        return 0;
    }
    if (which == "string") {
        std::thread worker([] { canary_assign("a text long enough to live on the heap, worker"); });
        canary_assign("a text long enough to live on the heap, main");
        worker.join();
        return 0;
    }
    if (which == "handler") {
        Ticking timer;
        std::thread worker([] {
            for (int i = 0; i < 200; ++i) {
                canary_store(-i);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        timer.Start(2);
        for (int i = 0; i < 400 && timer.IsRunning(); ++i) {
            wxTheApp->Yield(true);
            wxMilliSleep(2);
        }
        worker.join();
        return timer.ticks >= 20 ? 0 : 3;
    }
    return 2;
}

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(CanaryApp);

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string which = argv[1];
    if (!wxEntryStart(argc, argv)) return 2;
    wxTheApp->CallOnInit();
    const int status = run(which);
    wxTheApp->OnExit();
    wxEntryCleanup();
    return status;
}
