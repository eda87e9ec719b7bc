// SPDX-License-Identifier: MIT
#pragma once

// Where a long main-loop iteration of a wxGTK program goes: each iteration
// that keeps the loop away from its poll longer than a threshold is printed
// with what ran in it, in order, and how long after its start: wx events by
// type and window class, and the steps of GTK's frame (layout, paint). Used
// by workers_bench --trace-stalls to find what made events wait.

#include <gtk/gtk.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <typeinfo>
#include <vector>

#include <wx/event.h>
#include <wx/window.h>

namespace stall_trace {

class Tracer : public wxEventFilter {
public:
    explicit Tracer(double threshold_ms) : threshold_ms_(threshold_ms) {
        instance_ = this;
        wxEvtHandler::AddFilter(this);
        poll_ = g_main_context_get_poll_func(nullptr);
        g_main_context_set_poll_func(nullptr, &Tracer::poll);
    }
    ~Tracer() override {
        g_main_context_set_poll_func(nullptr, poll_);
        wxEvtHandler::RemoveFilter(this);
        instance_ = nullptr;
    }
    Tracer(const Tracer&) = delete;
    Tracer& operator=(const Tracer&) = delete;

    // The frame steps of this top-level window are traced too.
    void watch_frames(wxWindow* top) {
        GdkFrameClock* clock = gtk_widget_get_frame_clock(top->GetHandle());
        if (!clock) return;
        g_signal_connect(clock, "layout", G_CALLBACK(&Tracer::on_step),
                         const_cast<char*>("layout"));
        g_signal_connect_after(clock, "layout", G_CALLBACK(&Tracer::on_step),
                               const_cast<char*>("layout done"));
        g_signal_connect_after(clock, "paint", G_CALLBACK(&Tracer::on_step),
                               const_cast<char*>("paint done"));
    }

    int FilterEvent(wxEvent& event) override {
        const wxEventType type = event.GetEventType();
        if (type == wxEVT_IDLE || type == wxEVT_UPDATE_UI || type == wxEVT_ERASE_BACKGROUND ||
            type == wxEVT_NC_PAINT)
            return Event_Skip;
        std::string what = type == wxEVT_ASYNC_METHOD_CALL ? "CallAfter"
                           : type == wxEVT_TIMER           ? "timer"
                           : type == wxEVT_PAINT           ? "paint"
                           : type == wxEVT_SIZE            ? "size"
                           : type == wxEVT_TEXT            ? "text"
                                                           : "event " + std::to_string(type);
        if (const wxObject* object = event.GetEventObject())
            what +=
                std::string(" ") + wxString(object->GetClassInfo()->GetClassName()).utf8_string();
        mark(std::move(what));
        return Event_Skip;
    }

private:
    using Clock = std::chrono::steady_clock;
    struct Mark {
        Clock::time_point at;
        std::string what;
    };

    void mark(std::string what) { marks_.push_back({Clock::now(), std::move(what)}); }

    static void on_step(GdkFrameClock*, gpointer what) {
        if (instance_) instance_->mark(static_cast<const char*>(what));
    }

    static gint poll(GPollFD* fds, guint count, gint timeout) {
        Tracer* self = instance_;
        if (self) self->report();
        const gint result = self ? self->poll_(fds, count, timeout) : 0;
        if (self) self->busy_since_ = Clock::now();
        return result;
    }

    static double ms(Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    }

    // Prints a long iteration: its length, the time in GTK's layout, and
    // what ran, consecutive repeats of one kind counted.
    void report() {
        const auto end = Clock::now();
        if (busy_since_ != Clock::time_point{} && ms(end - busy_since_) > threshold_ms_ &&
            !marks_.empty()) {
            double layout_ms = 0;
            Clock::time_point layout_start{};
            std::map<std::string, int> counts;
            std::vector<std::string> order;
            for (const Mark& m : marks_) {
                if (m.what == "layout") layout_start = m.at;
                if (m.what == "layout done") layout_ms += ms(m.at - layout_start);
                if (counts[m.what]++ == 0) order.push_back(m.what);
            }
            std::fprintf(stderr, "stall %.1f ms, layout %.1f ms:", ms(end - busy_since_),
                         layout_ms);
            for (const std::string& what : order)
                std::fprintf(stderr, " %s x%d;", what.c_str(), counts[what]);
            std::fprintf(stderr, "\n");
        }
        marks_.clear();
    }

    static inline Tracer* instance_ = nullptr;
    double threshold_ms_;
    GPollFunc poll_ = nullptr;
    Clock::time_point busy_since_{};
    std::vector<Mark> marks_;
};

}  // namespace stall_trace
