// SPDX-License-Identifier: MIT
// Ends of life: a window destroyed while its timers run, while a modal dialog
// is open on top of it, from inside one of its own handlers; and a host that
// calls handlers directly once the window is hidden. Run under the sanitizer
// build, a use after free here is a failure.

#include <atsui/atsui.h>

#include <wx/toolbar.h>
#include <wx/uiaction.h>

#include "support/harness.h"
#include "windows.h"

using namespace atsui_test;
using namespace atsui_reliability;
using namespace tov_atsui;

namespace {

constexpr int kTimerMs = 5;

// Handlers record whether the frame had been told to go.
struct TimedFrame : Frame {
    explicit TimedFrame(CallLog& log) : Frame(nullptr), log(log) {}
    CallLog& log;
    bool going = false;

    void on_ticker_timer_event(wxTimerEvent&) override {
        log.hit(going ? "ticker after Destroy" : "ticker");
        ui_ok_count->SetValue(wxString::Format("%d", log.count("ticker")));
    }
    void on_trigger_initializer(wxTimerEvent&) override {
        log.hit(going ? "initializer after Destroy" : "initializer");
    }
    bool Destroy() override {
        going = true;
        return Frame::Destroy();
    }
};

struct TimedCell : Cell {
    TimedCell(wxWindow* parent, CallLog& log) : Cell(parent), log(log) {}
    CallLog& log;
    void on_refresh_timer_event(wxTimerEvent&) override {
        log.hit("cell refresh");
        ui_elapse_time->SetValue(wxString::Format("%d", log.count("cell refresh")));
    }
    void on_blink_timer_event(wxTimerEvent&) override {
        log.hit("cell blink");
        ui_prompt->SetLabel(ui_prompt->GetLabel() == "Ready" ? "Testing" : "Ready");
    }
};

TimedFrame* station(CallLog& log) {
    auto* frame = new TimedFrame(log);
    for (int i = 0; i < 8; ++i)
        frame->ui_cell_panel->GetSizer()->Add(new TimedCell(frame->ui_cell_panel, log), 1,
                                              wxEXPAND | wxALL, 5);
    frame->Fit();
    frame->Show();
    return frame;
}

void start_all_timers(wxWindow* window) {
    for (wxTimer* timer : timers_of(window)) timer->Start(kTimerMs);
}

class Lifecycle : public WindowTest {};

}  // namespace

TEST_F(Lifecycle, FrameDestroyedWhileItsTimersRunHearsNoMoreTicks) {
    CallLog log;
    TimedFrame* frame = station(log);
    start_all_timers(frame);
    ASSERT_TRUE(
        pump_until([&] { return log.count("ticker") >= 3 && log.count("cell blink") >= 8; }));
    frame->Destroy();
    EXPECT_FALSE(frame->ui_ticker_timer.IsRunning());
    EXPECT_FALSE(frame->ui_initializer_trigger.IsRunning());
    ASSERT_TRUE(pump_until([&] { return !is_top_level_alive(frame); }));
    pump(4 * kTimerMs);
    EXPECT_EQ(log.count("ticker after Destroy"), 0) << log.summary();
    EXPECT_EQ(log.count("initializer after Destroy"), 0) << log.summary();
}

TEST_F(Lifecycle, CellDestroyedWhileItsTimersRunHearsNoMoreTicks) {
    CallLog log;
    auto* cell = new TimedCell(top, log);
    top->Show();
    start_all_timers(cell);
    ASSERT_TRUE(pump_until([&] { return log.count("cell refresh") >= 3; }));
    cell->Destroy();
    const int heard = log.total();
    pump(6 * kTimerMs);
    EXPECT_EQ(log.total(), heard);
}

// The station's own sequence: a dialog shown from a frame handler, and the
// frame closed (or destroyed) by its ticker while the dialog waits for the
// operator. Each way a host owns its dialog must come out whole.
TEST_F(Lifecycle, FrameClosedUnderAModalDialogEndsTheDialogFirst) {
    enum class Owner { stack, heap_destroyed_by_host, heap_left_to_parent };
    for (Owner owner : {Owner::stack, Owner::heap_destroyed_by_host, Owner::heap_left_to_parent})
        for (bool by_close : {true, false}) {
            SCOPED_TRACE(std::string(by_close ? "Close() " : "Destroy() ") +
                         std::to_string(static_cast<int>(owner)));
            CallLog log;
            TimedFrame* frame = station(log);
            start_all_timers(frame);
            wxTimer ticker;
            ticker.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
                if (by_close)
                    frame->Close();
                else
                    frame->Destroy();
            });
            wxTimer watchdog;
            int result = 0;
            auto run = [&](wxDialog& dialog) {
                watchdog.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
                    if (dialog.IsModal()) dialog.EndModal(kModalTimedOut);
                });
                watchdog.StartOnce(5000);
                ticker.StartOnce(50);
                result = dialog.ShowModal();
                // Still the host's dialog: readable and whole.
                EXPECT_EQ(dialog.GetReturnCode(), result);
                EXPECT_FALSE(dialog.IsShown());
            };
            if (owner == Owner::stack) {
                TickerExceptionDialog dialog(frame);
                run(dialog);
            } else {
                auto* dialog = new ManualOperationDialog(frame);
                run(*dialog);
                if (owner == Owner::heap_destroyed_by_host) dialog->Destroy();
            }
            watchdog.Stop();
            EXPECT_EQ(result, wxID_CANCEL);
            EXPECT_TRUE(pump_until([&] { return !is_top_level_alive(frame); }));
            EXPECT_EQ(log.count("ticker after Destroy"), 0);
        }
}

// One dialog asks, and from it a second one asks again (a confirmation), when
// the frame goes under both. Each loop must be left before its dialog or the
// frame is deleted: the outer dialog, on the host's stack or on the heap, is
// still the host's when its ShowModal returns.
TEST_F(Lifecycle, FrameGoneUnderTwoNestedModalDialogsEndsThemInnermostFirst) {
    for (bool outer_on_stack : {true, false})
        for (bool inner_on_outer : {false, true})
            for (bool by_close : {false, true}) {
                SCOPED_TRACE(std::string(outer_on_stack ? "outer on the stack" : "outer on the heap") +
                             (inner_on_outer ? ", inner on the outer" : ", inner on the frame") +
                             (by_close ? ", Close()" : ", Destroy()"));
                CallLog log;
                TimedFrame* frame = station(log);
                start_all_timers(frame);
                std::vector<std::string> returns;
                bool outer_deleted_while_running = false;
                bool outer_running = false;
                int outer_result = 0, inner_result = 0;

                wxTimer closer;
                closer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
                    if (by_close)
                        frame->Close();
                    else
                        frame->Destroy();
                });
                wxTimer watchdog;
                std::vector<wxDialog*> running;
                watchdog.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
                    for (wxDialog* dialog : running)
                        if (dialog->IsModal()) dialog->EndModal(kModalTimedOut);
                });
                wxTimer opener;
                auto run_outer = [&](wxDialog& outer) {
                    outer.Bind(wxEVT_DESTROY, [&](wxWindowDestroyEvent& event) {
                        event.Skip();
                        if (outer_running) outer_deleted_while_running = true;
                    });
                    opener.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
                        wxWindow* parent = inner_on_outer ? static_cast<wxWindow*>(&outer) : frame;
                        AboutDialog inner(parent);
                        running.push_back(&inner);
                        closer.StartOnce(50);
                        inner_result = inner.ShowModal();
                        running.pop_back();
                        returns.push_back("inner");
                        // Back in the outer loop, the outer dialog still up.
                        EXPECT_TRUE(is_top_level_alive(frame));
                    });
                    running.push_back(&outer);
                    watchdog.StartOnce(5000);
                    opener.StartOnce(50);
                    outer_running = true;
                    outer_result = outer.ShowModal();
                    outer_running = false;
                    running.clear();
                    returns.push_back("outer");
                    EXPECT_EQ(outer.GetReturnCode(), outer_result);
                    EXPECT_FALSE(outer.IsShown());
                };
                if (outer_on_stack) {
                    TickerExceptionDialog outer(frame);
                    run_outer(outer);
                } else {
                    run_outer(*new ManualOperationDialog(frame));  // left to its parent
                }
                watchdog.Stop();
                EXPECT_EQ(inner_result, wxID_CANCEL);
                EXPECT_EQ(outer_result, wxID_CANCEL);
                EXPECT_EQ(returns, (std::vector<std::string>{"inner", "outer"}));
                EXPECT_FALSE(outer_deleted_while_running);
                EXPECT_TRUE(pump_until([&] { return !is_top_level_alive(frame); }));
                EXPECT_EQ(log.count("ticker after Destroy"), 0);
            }
}

// The viewer is the other frame a host closes on a timer or from the station.
TEST_F(Lifecycle, ViewerClosedUnderAModalDialogEndsTheDialogFirst) {
    for (bool by_close : {true, false}) {
        SCOPED_TRACE(by_close ? "Close()" : "Destroy()");
        auto* viewer = new TestDataViewerFrame(nullptr);
        viewer->ui_root_sizer->Add(new TestDataViewerPanel(viewer), 1, wxEXPAND);
        viewer->SetSize(900, 600);
        viewer->Show();
        wxTimer closer;
        closer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            if (by_close)
                viewer->Close();
            else
                viewer->Destroy();
        });
        closer.StartOnce(50);
        {
            AboutDialog dialog(viewer);  // on the host's stack, as hosts do
            EXPECT_EQ(run_modal(dialog, [](wxDialog&) {}), wxID_CANCEL);
            EXPECT_FALSE(dialog.IsShown());
        }
        EXPECT_TRUE(pump_until([&] { return !is_top_level_alive(viewer); }));
    }
}

TEST_F(Lifecycle, WindowsDestroyedFromTheirOwnHandlers) {
    struct SelfDestroyingCell : Cell {
        using Cell::Cell;
        int calls = 0;
        void on_abort_cell_test(wxCommandEvent&) override {
            ++calls;
            Destroy();
        }
        void on_blink_timer_event(wxTimerEvent&) override {
            ++calls;
            Destroy();
        }
    };
    struct SelfDestroyingFrame : Frame {
        using Frame::Frame;
        void on_start_all(wxCommandEvent&) override { Destroy(); }
        void on_ticker_timer_event(wxTimerEvent&) override { Destroy(); }
        void on_close_app(wxEvent&) override { Destroy(); }
    };
    struct SelfClosingViewer : TestDataViewerPanel {
        using TestDataViewerPanel::TestDataViewerPanel;
        void on_clear_data(wxCommandEvent&) override { GetParent()->Destroy(); }
    };
    struct SelfEndingLauncher : ATSLauncher {
        using ATSLauncher::ATSLauncher;
        void on_open(wxCommandEvent&) override { EndModal(wxID_OK); }
        void on_browse(wxCommandEvent&) override { Destroy(); }
    };
    top->Show();

    // A cell's button and a cell's own timer.
    auto* cell = new SelfDestroyingCell(top);
    const wxWindowID id = cell->GetId();
    click(cell->ui_abort);
    EXPECT_EQ(top->FindWindow(id), nullptr);
    cell = new SelfDestroyingCell(top);
    cell->ui_blink_timer.Start(kTimerMs);
    EXPECT_TRUE(pump_until([&] { return top->GetChildren().empty(); }));

    // A frame's tool, its ticker and its close request.
    for (int way = 0; way < 3; ++way) {
        auto* frame = new SelfDestroyingFrame(nullptr);
        frame->Show();
        if (way == 0) click_tool(frame->ui_toolbar, frame->ui_start_all);
        if (way == 1) frame->ui_ticker_timer.Start(kTimerMs);
        if (way == 2) frame->Close();
        EXPECT_TRUE(pump_until([&] { return !is_top_level_alive(frame); })) << way;
    }

    // The viewer's panel closes its frame.
    auto* viewer = new TestDataViewerFrame(nullptr);
    auto* panel = new SelfClosingViewer(viewer);
    viewer->ui_root_sizer->Add(panel, 1, wxEXPAND);
    viewer->Show();
    click(panel->m_button9);
    EXPECT_TRUE(pump_until([&] { return !is_top_level_alive(viewer); }));

    // The launcher ends its modal run from "Open", and destroys itself from
    // "Browse……" when shown modeless.
    auto* launcher = new SelfEndingLauncher(nullptr);
    EXPECT_EQ(run_modal(*launcher, [&](wxDialog&) { click(launcher->m_button14); }), wxID_OK);
    launcher->Show();
    click(launcher->ui_browse);
    EXPECT_TRUE(pump_until([&] { return !is_top_level_alive(launcher); }));
}

// The same, through the toolkit's own input path: a real click on "Abort"
// whose handler destroys the cell while GTK is still delivering the click.
TEST_F(Lifecycle, CellDestroyedByARealClickOnItsOwnButton) {
    struct SelfDestroyingCell : Cell {
        using Cell::Cell;
        bool* clicked;
        void on_abort_cell_test(wxCommandEvent&) override {
            *clicked = true;
            Destroy();
        }
    };
    bool clicked = false;
    auto* cell = new SelfDestroyingCell(top);
    cell->clicked = &clicked;
    show_in_top(cell, wxSize(900, 600));
    ASSERT_TRUE(activate(top));
    wxUIActionSimulator sim;
    const wxPoint centre = cell->ui_abort->GetScreenRect().GetPosition() +
                           wxSize(cell->ui_abort->GetSize().x / 2, cell->ui_abort->GetSize().y / 2);
    sim.MouseMove(centre);
    pump(80);
    sim.MouseClick();
    EXPECT_TRUE(pump_until([&] { return clicked; }));
    pump(80);
    EXPECT_TRUE(top->GetChildren().empty());
}

// A host may call its handlers itself (say from its own menu logic) after it
// has hidden the window: the default handlers only skip the event.
TEST_F(Lifecycle, HandlersCalledDirectlyOnHiddenWindows) {
    auto* frame = new Frame(nullptr);
    auto* cell = new Cell(frame->ui_cell_panel);
    auto* viewer = new TestDataViewerFrame(nullptr);
    auto* panel = new TestDataViewerPanel(viewer);
    auto* launcher = new ATSLauncher(nullptr);
    for (wxWindow* window : std::vector<wxWindow*>{frame, viewer, launcher}) {
        window->Show();
        pump(0);
        window->Hide();
    }
    wxCommandEvent command(wxEVT_BUTTON);
    wxTimerEvent tick(frame->ui_ticker_timer);
    wxCloseEvent close(wxEVT_CLOSE_WINDOW);
    wxIdleEvent idle;
    auto skipped = [](wxEvent& event) {
        const bool was = event.GetSkipped();
        event.Skip(false);
        return was;
    };
    frame->on_close_app(close);
    EXPECT_TRUE(skipped(close));
    frame->on_close_app(command);
    for (auto handler : {&Frame::on_show_manual_operation_dialog, &Frame::on_start_ticker,
                         &Frame::on_clear_statistics, &Frame::on_change_debug_mode,
                         &Frame::on_export_assertion_config, &Frame::on_show_test_data_window,
                         &Frame::on_edit_test_parameters, &Frame::on_reload_test_parameters,
                         &Frame::on_save_test_parameters, &Frame::on_show_about_dialog,
                         &Frame::on_start_all, &Frame::on_abort_all}) {
        (frame->*handler)(command);
        EXPECT_TRUE(skipped(command));
    }
    for (auto handler : {&Frame::on_ticker_timer_event, &Frame::on_trigger_initializer}) {
        (frame->*handler)(tick);
        EXPECT_TRUE(skipped(tick));
    }
    for (auto handler :
         {&Cell::on_start_cell_test, &Cell::on_abort_cell_test, &Cell::on_browse_script}) {
        (cell->*handler)(command);
        EXPECT_TRUE(skipped(command));
    }
    cell->on_refresh_timer_event(tick);
    cell->on_blink_timer_event(tick);
    for (auto handler :
         {&TestDataViewerPanel::on_clear_data, &TestDataViewerPanel::on_export_data,
          &TestDataViewerPanel::on_import_data, &TestDataViewerPanel::on_save_single_uut_test_data,
          &TestDataViewerPanel::on_cell_filter_changed,
          &TestDataViewerPanel::on_refresh_statistics_analyzer}) {
        (panel->*handler)(command);
        EXPECT_TRUE(skipped(command));
    }
    panel->m_splitter1OnIdle(idle);
    panel->m_splitter2OnIdle(idle);
    viewer->on_close_window(close);
    EXPECT_TRUE(skipped(close));
    for (auto handler : {&ATSLauncher::on_click_projects, &ATSLauncher::on_click_learn,
                         &ATSLauncher::on_browse, &ATSLauncher::on_open}) {
        (launcher->*handler)(command);
        EXPECT_TRUE(skipped(command));
    }
    // Nothing moved: all still there, hidden, with their first values.
    for (wxWindow* window : std::vector<wxWindow*>{frame, viewer, launcher}) {
        EXPECT_TRUE(is_top_level_alive(window));
        EXPECT_FALSE(window->IsShown());
    }
    EXPECT_EQ(frame->ui_ok_count->GetValue(), "0");
    EXPECT_EQ(cell->ui_prompt->GetLabel(), "Ready");
    pump(20);
    for (wxWindow* window : std::vector<wxWindow*>{frame, viewer, launcher})
        destroy_for_good(window);
}
