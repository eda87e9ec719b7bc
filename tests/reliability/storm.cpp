// SPDX-License-Identifier: MIT
// Event storm: thousands of events, chosen at random (seeded, reproducible)
// among each window's real sources and delivered as the toolkit delivers
// them. With the default handlers every event must come out unhandled exactly
// once; with a host that overrides every handler, and meanwhile writes into
// the widgets, shows and hides the hidden regions and destroys and recreates
// cells, every handler must run exactly as often as its source was used.

#include <atsui/atsui.h>

#include <cstdio>
#include <random>

#include <wx/gauge.h>
#include <wx/grid.h>
#include <wx/listctrl.h>
#include <wx/radiobox.h>
#include <wx/toolbar.h>

#include "support/harness.h"
#include "windows.h"

using namespace atsui_test;
using namespace atsui_reliability;
using namespace tov_atsui;

namespace {

const int kEvents = env_int("ATSUI_STORM_EVENTS", kSanitized ? 1500 : 3000);
const unsigned kSeed = static_cast<unsigned>(env_int("ATSUI_STORM_SEED", 20261208));

// One way for the user or the clock to reach a handler. send() delivers the
// event and returns its id (what reaches the app when nobody handles it), or
// kNoId for a close request, which the window handles itself.
// Close requests are rarer than clicks (weight 1 against 10): a storm
// should mostly hit a window, not keep replacing it.
constexpr int kNoId = 0;
struct Source {
    std::string handler;
    std::function<int()> send;
    int weight = 10;
};

int click_id(wxButton* button) {
    click(button);
    return button->GetId();
}

void toggle(wxWindow* window) { window->Show(!window->IsShown()); }

// Events that nobody handled, by id, as they arrive at the application.
class Unhandled {
public:
    Unhandled() {
        for (wxEventType type : types()) wxTheApp->Bind(type, &Unhandled::on_event, this);
    }
    ~Unhandled() {
        for (wxEventType type : types()) wxTheApp->Unbind(type, &Unhandled::on_event, this);
    }
    std::map<int, int> by_id;

private:
    void on_event(wxEvent& event) { ++by_id[event.GetId()]; }
    static std::vector<wxEventType> types() {
        return {wxEVT_MENU,       wxEVT_TIMER,  wxEVT_BUTTON,
                wxEVT_TEXT_ENTER, wxEVT_CHOICE, wxEVT_RADIOBOX};
    }
};

struct Tally {
    std::map<std::string, int> by_handler;
    std::map<int, int> by_id;
    std::vector<std::string> sequence;
    int closes = 0;
};

// Sends events picked from sources() (asked again before every event, since
// handlers change the windows), pumping now and then as a running station does.
Tally storm(std::mt19937& rng, int events, const std::function<std::vector<Source>()>& sources,
            const std::function<void()>& after_each = {}) {
    Tally tally;
    for (int i = 0; i < events; ++i) {
        const std::vector<Source> now = sources();
        std::vector<int> weights;
        for (const Source& source : now) weights.push_back(source.weight);
        const Source& source =
            now[std::discrete_distribution<size_t>(weights.begin(), weights.end())(rng)];
        ++tally.by_handler[source.handler];
        tally.sequence.push_back(source.handler);
        const int id = source.send();
        if (id == kNoId)
            ++tally.closes;
        else
            ++tally.by_id[id];
        if (after_each) after_each();
        if (i % 40 == 0) pump(0);
    }
    pump(0);
    return tally;
}

std::string describe(const std::map<std::string, int>& counts) {
    std::string out;
    for (const auto& [name, n] : counts) out += name + "=" + std::to_string(n) + " ";
    return out;
}

void report(const std::string& window, const char* handlers, const Tally& tally) {
    const std::string line =
        "| " + window + " | " + handlers + " | " + std::to_string(tally.sequence.size()) + " | " +
        std::to_string(tally.by_handler.size()) + " | " + std::to_string(tally.closes) + " |";
    std::printf("storm %s\n", line.c_str());
    report_line("storm " + line);
}

// ---------------------------------------------------------------- sources

std::vector<Source> cell_sources(Cell* cell) {
    std::vector<Source> s = {
        {"on_start_cell_test", [cell] { return click_id(cell->ui_start); }},
        {"on_start_cell_test",
         [cell] {
             press_enter(cell->ui_serial_number);
             return cell->ui_serial_number->GetId();
         }},
        {"on_abort_cell_test", [cell] { return click_id(cell->ui_abort); }},
        {"on_refresh_timer_event",
         [cell] {
             fire(cell->ui_refresh_timer);
             return cell->ui_refresh_timer.GetId();
         }},
        {"on_blink_timer_event",
         [cell] {
             fire(cell->ui_blink_timer);
             return cell->ui_blink_timer.GetId();
         }},
    };
    // Only a shown button can be clicked.
    if (cell->ui_script_panel->IsShown())
        s.push_back({"on_browse_script", [cell] { return click_id(cell->ui_browse_script); }});
    return s;
}

std::vector<Source> frame_sources(Frame* f) {
    std::vector<Source> s;
    auto menu = [&](const char* handler, wxMenuItem* item) {
        s.push_back({handler, [f, item] {
                         select_menu(f, item);
                         return item->GetId();
                     }});
    };
    menu("on_close_app", f->ui_exit_menu_item);
    menu("on_show_manual_operation_dialog", f->ui_manual_operation_menu_item);
    menu("on_start_ticker", f->m_menuItem4);
    menu("on_clear_statistics", f->m_menuItem5);
    menu("on_change_debug_mode", f->ui_in_debug_mode);
    menu("on_export_assertion_config", f->ui_export_assertion_config);
    menu("on_show_test_data_window", f->m_menuItem7);
    menu("on_edit_test_parameters", f->m_menuItem8);
    menu("on_reload_test_parameters", f->m_menuItem9);
    menu("on_save_test_parameters", f->m_menuItem11);
    menu("on_show_about_dialog", f->ui_about_menu_item);
    for (auto [handler, tool] :
         {std::pair{"on_start_all", f->ui_start_all}, std::pair{"on_abort_all", f->ui_abort_all}})
        s.push_back({handler, [f, tool = tool] {
                         click_tool(f->ui_toolbar, tool);
                         return tool->GetId();
                     }});
    for (auto [handler, timer] : {std::pair{"on_ticker_timer_event", &f->ui_ticker_timer},
                                  std::pair{"on_trigger_initializer", &f->ui_initializer_trigger}})
        s.push_back({handler, [timer = timer] {
                         fire(*timer);
                         return timer->GetId();
                     }});
    s.push_back({"on_close_app (close request)",
                 [f] {
                     f->Close();
                     return kNoId;
                 },
                 1});
    for (wxWindow* child : f->ui_cell_panel->GetChildren())
        if (auto* cell = dynamic_cast<Cell*>(child))
            for (Source& source : cell_sources(cell)) s.push_back(std::move(source));
    return s;
}

std::vector<Source> viewer_panel_sources(TestDataViewerPanel* p) {
    std::vector<Source> s = {
        {"on_clear_data", [p] { return click_id(p->m_button9); }},
        {"on_export_data", [p] { return click_id(p->m_button10); }},
        {"on_import_data", [p] { return click_id(p->m_button11); }},
        {"on_save_single_uut_test_data", [p] { return click_id(p->m_button12); }},
        {"on_cell_filter_changed",
         [p] {
             choose(p->ui_cell_filter, static_cast<int>(p->ui_cell_filter->GetCount()) - 1);
             return p->ui_cell_filter->GetId();
         }},
    };
    if (p->ui_statistics_analyzer->IsShown())
        s.push_back({"on_refresh_statistics_analyzer", [p] {
                         choose(p->ui_statistics_analyzer,
                                1 - p->ui_statistics_analyzer->GetSelection());
                         return p->ui_statistics_analyzer->GetId();
                     }});
    return s;
}

std::vector<Source> launcher_sources(ATSLauncher* l) {
    return {
        {"on_click_projects", [l] { return click_id(l->ui_button_projects); }},
        {"on_click_learn", [l] { return click_id(l->ui_button_learn); }},
        {"on_browse", [l] { return click_id(l->ui_browse); }},
        {"on_open", [l] { return click_id(l->m_button14); }},
    };
}

// ---------------------------------------------------------------- hosts

// Counts go to a log outside the windows, so cells destroyed mid-storm
// still count.
struct HostCell : Cell {
    HostCell(wxWindow* parent, CallLog& log) : Cell(parent), log(log) {}
    CallLog& log;
    int ticks = 0;

    void on_refresh_timer_event(wxTimerEvent&) override {
        log.hit("on_refresh_timer_event");
        ++ticks;
        ui_elapse_time->SetValue(wxString::Format("00:%02d:%02d", ticks / 60 % 60, ticks % 60));
        ui_gauge->SetValue(ticks % 101);
    }
    void on_blink_timer_event(wxTimerEvent&) override {
        log.hit("on_blink_timer_event");
        ui_prompt->SetBackgroundColour(++ticks % 2 ? *wxYELLOW : wxColour(0, 255, 0));
        ui_prompt->Refresh();
    }
    void on_start_cell_test(wxCommandEvent&) override {
        log.hit("on_start_cell_test");
        ui_prompt->SetLabel(U8("测试中 ") + ui_serial_number->GetValue());
        ui_serial_number->SetValue(wxString::Format("SN%06d", ++ticks));
        if (ui_test_logger->GetLastPosition() > 4000) ui_test_logger->Clear();
        ui_test_logger->AppendText(U8("开始 ") + ui_serial_number->GetValue() + "\n");
        if (ui_history_grid->GetNumberRows() >= 30) ui_history_grid->DeleteRows(0, 15);
        ui_history_grid->AppendRows(1);
        const int row = ui_history_grid->GetNumberRows() - 1;
        for (int col = 0; col < ui_history_grid->GetNumberCols(); ++col)
            ui_history_grid->SetCellValue(row, col, ui_serial_number->GetValue());
        if (ui_assertions->GetNumberCols() == 0) ui_assertions->AppendCols(3);
        if (ui_assertions->GetNumberRows() >= 20)
            ui_assertions->DeleteRows(0, ui_assertions->GetNumberRows());
        ui_assertions->AppendRows(1);
    }
    void on_abort_cell_test(wxCommandEvent&) override {
        log.hit("on_abort_cell_test");
        toggle(ui_statistics_panel);
        toggle(ui_script_panel);
        ui_ok_count->SetValue(wxString::Format("%d", ticks));
        ui_ng_count->ChangeValue("0");
        Layout();
    }
    void on_browse_script(wxCommandEvent&) override {
        log.hit("on_browse_script");
        ui_script_path->SetValue(U8("/站/脚本/测试.py"));
        toggle(ui_image_panel);
        toggle(ui_other_info_panel);
        if (ui_other_info_sizer->GetItemCount() < 3)
            ui_other_info_sizer->Add(new wxStaticText(ui_other_info_panel, wxID_ANY, "extra"));
        ui_other_info_panel->Layout();
        Layout();
    }
};

struct HostFrame : Frame {
    HostFrame(CallLog& log, std::mt19937& rng) : Frame(nullptr), log(log), rng(rng) {
        for (int i = 0; i < 8; ++i) add_cell();
        // A station's frame fills the screen.
        SetSize(wxGetClientDisplayRect().GetSize());
        Layout();
    }
    CallLog& log;
    std::mt19937& rng;

    void add_cell() {
        ui_cell_panel->GetSizer()->Add(new HostCell(ui_cell_panel, log), 1, wxEXPAND | wxALL, 5);
    }
    std::vector<HostCell*> cells() const {
        std::vector<HostCell*> out;
        for (wxWindow* child : ui_cell_panel->GetChildren())
            if (auto* cell = dynamic_cast<HostCell*>(child)) out.push_back(cell);
        return out;
    }

    void on_close_app(wxEvent& event) override {
        log.hit(event.GetEventType() == wxEVT_CLOSE_WINDOW ? "on_close_app (close request)"
                                                           : "on_close_app");
    }
    void on_show_manual_operation_dialog(wxCommandEvent&) override {
        log.hit("on_show_manual_operation_dialog");
        (new ManualOperationDialog(this))->Destroy();
    }
    void on_start_ticker(wxCommandEvent&) override { log.hit("on_start_ticker"); }
    void on_clear_statistics(wxCommandEvent&) override {
        log.hit("on_clear_statistics");
        for (wxTextCtrl* figure : {ui_ok_count, ui_ng_count}) figure->SetValue("0");
        ui_ok_percent->SetValue("0%");
    }
    void on_change_debug_mode(wxCommandEvent&) override {
        log.hit("on_change_debug_mode");
        toggle(ui_statistics_panel);
        Layout();
    }
    void on_export_assertion_config(wxCommandEvent&) override {
        log.hit("on_export_assertion_config");
    }
    void on_show_test_data_window(wxCommandEvent&) override {
        log.hit("on_show_test_data_window");
        auto* viewer = new TestDataViewerFrame(this);
        viewer->ui_root_sizer->Add(new TestDataViewerPanel(viewer), 1, wxEXPAND);
        viewer->Show();
        viewer->Destroy();
    }
    void on_edit_test_parameters(wxCommandEvent&) override { log.hit("on_edit_test_parameters"); }
    void on_reload_test_parameters(wxCommandEvent&) override {
        log.hit("on_reload_test_parameters");
    }
    void on_save_test_parameters(wxCommandEvent&) override {
        log.hit("on_save_test_parameters");
        ui_ok_percent->SetValue(U8("百分之百"));
    }
    void on_show_about_dialog(wxCommandEvent&) override {
        log.hit("on_show_about_dialog");
        (new AboutDialog(this))->Destroy();
    }
    void on_ticker_timer_event(wxTimerEvent&) override {
        log.hit("on_ticker_timer_event");
        ui_ok_count->SetValue(wxString::Format("%d", log.count("on_ticker_timer_event")));
    }
    void on_trigger_initializer(wxTimerEvent&) override {
        log.hit("on_trigger_initializer");
        if (ui_additional_top_sizer->GetItemCount() >= 2)
            ui_additional_top_sizer->Clear(true);
        else
            ui_additional_top_sizer->Add(new wxButton(this, wxID_ANY, "host"));
        Layout();
    }
    void on_start_all(wxCommandEvent&) override {
        log.hit("on_start_all");
        for (HostCell* cell : cells()) {
            cell->ui_prompt->SetLabel("Testing");
            toggle(cell->ui_script_panel);
            cell->Layout();
        }
    }
    // Replaces a cell: the host's way to reconfigure a running station.
    void on_abort_all(wxCommandEvent&) override {
        log.hit("on_abort_all");
        const std::vector<HostCell*> now = cells();
        now[std::uniform_int_distribution<size_t>(0, now.size() - 1)(rng)]->Destroy();
        add_cell();
        ui_cell_panel->Layout();
        Layout();
    }
};

struct HostViewerPanel : TestDataViewerPanel {
    HostViewerPanel(wxWindow* parent, CallLog& log) : TestDataViewerPanel(parent), log(log) {}
    CallLog& log;

    void on_clear_data(wxCommandEvent&) override {
        log.hit("on_clear_data");
        if (ui_history->GetNumberRows() > 0) ui_history->DeleteRows(0, ui_history->GetNumberRows());
    }
    void on_export_data(wxCommandEvent&) override {
        log.hit("on_export_data");
        if (ui_history->GetNumberRows() >= 40) ui_history->DeleteRows(0, 20);
        ui_history->AppendRows(1);
        ui_history->SetCellValue(ui_history->GetNumberRows() - 1, 2, U8("序列号"));
    }
    void on_import_data(wxCommandEvent&) override {
        log.hit("on_import_data");
        toggle(ui_statistics_analyzer);
        Layout();
    }
    void on_save_single_uut_test_data(wxCommandEvent&) override {
        log.hit("on_save_single_uut_test_data");
        ui_single_item_max->SetValue("9.99");
        ui_total_statistics_yield->SetValue("99%");
    }
    void on_cell_filter_changed(wxCommandEvent&) override {
        log.hit("on_cell_filter_changed");
        if (ui_cell_filter->GetCount() < 9)
            ui_cell_filter->Append(wxString::Format("Cell %u", ui_cell_filter->GetCount()));
    }
    void on_refresh_statistics_analyzer(wxCommandEvent& event) override {
        log.hit("on_refresh_statistics_analyzer");
        const bool totals = event.GetInt() == 1;
        ui_single_item_analyze_panel->Show(!totals);
        ui_total_statistics_panel->Show(totals);
        ui_statistics_and_analyze_panel->Layout();
    }
    void m_splitter2OnIdle(wxIdleEvent& event) override {
        log.hit("m_splitter2OnIdle");
        TestDataViewerPanel::m_splitter2OnIdle(event);
    }
    void m_splitter1OnIdle(wxIdleEvent& event) override {
        log.hit("m_splitter1OnIdle");
        TestDataViewerPanel::m_splitter1OnIdle(event);
    }
};

struct HostViewerFrame : TestDataViewerFrame {
    explicit HostViewerFrame(CallLog& log) : TestDataViewerFrame(nullptr), log(log) {}
    CallLog& log;
    // The host keeps its viewer: a close request only hides it.
    void on_close_window(wxCloseEvent&) override {
        log.hit("on_close_window");
        Hide();
    }
};

struct HostLauncher : ATSLauncher {
    HostLauncher(CallLog& log, std::mt19937& rng) : ATSLauncher(nullptr), log(log), rng(rng) {}
    CallLog& log;
    std::mt19937& rng;

    void on_click_projects(wxCommandEvent&) override {
        log.hit("on_click_projects");
        if (ui_project_list->GetItemCount() >= 40) ui_project_list->DeleteAllItems();
        ui_project_list->InsertItem(0, wxString::Format(U8("项目 %03u"), unsigned(rng() % 1000)));
    }
    void on_click_learn(wxCommandEvent&) override {
        log.hit("on_click_learn");
        const long count = ui_project_list->GetItemCount();
        if (count > 0)
            ui_project_list->SetItemState(long(rng() % count), wxLIST_STATE_SELECTED,
                                          wxLIST_STATE_SELECTED);
    }
    void on_browse(wxCommandEvent&) override {
        log.hit("on_browse");
        ui_project_path->SetValue(U8("/项目/站点.ats"));
    }
    void on_open(wxCommandEvent&) override {
        log.hit("on_open");
        const long selected =
            ui_project_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
        if (selected >= 0) ui_project_list->DeleteItem(selected);
    }
};

// Every event that the default handlers skipped arrived at the app, once.
void expect_all_unhandled(const Tally& tally, const Unhandled& unhandled) {
    EXPECT_EQ(unhandled.by_id, tally.by_id)
        << "events sent: " << describe(tally.by_handler) << "(seed " << kSeed << ")";
}

void expect_counts(const Tally& tally, const CallLog& log) {
    for (const auto& [handler, sent] : tally.by_handler)
        EXPECT_EQ(log.count(handler), sent) << handler << " (seed " << kSeed << ")";
}

// A storm on the default handlers, where a close request destroys the
// window: a new one opens each time, as in a station. Every skipped event
// must reach the app and every close must be seen; the last window goes.
template <class Window>
Tally storm_reopening(std::mt19937& rng, Window*& window, const std::function<void()>& open,
                      const std::function<std::vector<Source>()>& sources) {
    int closed = 0;
    open();
    Unhandled unhandled;
    const Tally tally = storm(rng, kEvents, sources, [&] {
        if (!is_closing(window)) return;
        EXPECT_TRUE(pump_until([&] { return !is_top_level_alive(window); }));
        ++closed;
        open();
    });
    destroy_for_good(window);
    expect_all_unhandled(tally, unhandled);
    EXPECT_EQ(closed, tally.closes);
    return tally;
}

class Storm : public WindowTest {
protected:
    std::mt19937 rng{kSeed};
};

}  // namespace

TEST_F(Storm, FrameWithCellsDefaultHandlers) {
    Frame* frame = nullptr;
    auto open = [&] {
        frame = static_cast<Frame*>(window_kinds()[1].make(nullptr));
        frame->Show();
    };
    const Tally tally = storm_reopening(rng, frame, open, [&] { return frame_sources(frame); });
    EXPECT_GT(tally.closes, 0);
    report("Frame with 8 Cells", "default", tally);
}

TEST_F(Storm, FrameWithCellsHost) {
    CallLog log;
    auto* frame = new HostFrame(log, rng);
    frame->Show();
    Unhandled unhandled;
    const Tally tally = storm(rng, kEvents, [&] { return frame_sources(frame); });
    EXPECT_TRUE(is_top_level_alive(frame)) << "the host keeps its frame open";
    EXPECT_EQ(frame->cells().size(), 8u);
    destroy_for_good(frame);
    expect_counts(tally, log);
    EXPECT_EQ(log.total(), static_cast<int>(tally.sequence.size())) << log.summary();
    EXPECT_TRUE(unhandled.by_id.empty()) << "the host handled everything";
    EXPECT_GT(tally.by_handler.count("on_browse_script"), 0u) << "the script row never showed";
    report("Frame with 8 Cells", "host", tally);
}

TEST_F(Storm, ViewerDefaultHandlers) {
    TestDataViewerFrame* frame = nullptr;
    TestDataViewerPanel* panel = nullptr;
    auto open = [&] {
        frame = new TestDataViewerFrame(nullptr);
        panel = new TestDataViewerPanel(frame);
        frame->ui_root_sizer->Add(panel, 1, wxEXPAND);
        frame->Show();
    };
    const Tally tally = storm_reopening(rng, frame, open, [&] {
        std::vector<Source> s = viewer_panel_sources(panel);
        s.push_back({"on_close_window",
                     [&] {
                         frame->Close();
                         return kNoId;
                     },
                     1});
        return s;
    });
    report("TestDataViewerFrame with its panel", "default", tally);
}

TEST_F(Storm, ViewerHost) {
    CallLog log;
    auto* frame = new HostViewerFrame(log);
    auto* panel = new HostViewerPanel(frame, log);
    frame->ui_root_sizer->Add(panel, 1, wxEXPAND);
    frame->SetSize(1000, 700);
    frame->Show();
    Unhandled unhandled;
    const Tally tally = storm(rng, kEvents, [&] {
        std::vector<Source> s = viewer_panel_sources(panel);
        s.push_back({"on_close_window",
                     [&] {
                         frame->Close();
                         frame->Show();
                         return kNoId;
                     },
                     1});
        return s;
    });
    pump(30);
    EXPECT_TRUE(is_top_level_alive(frame));
    destroy_for_good(frame);
    expect_counts(tally, log);
    EXPECT_EQ(log.count("m_splitter1OnIdle"), 1);
    EXPECT_EQ(log.count("m_splitter2OnIdle"), 1);
    EXPECT_TRUE(unhandled.by_id.empty());
    EXPECT_GT(tally.by_handler.count("on_refresh_statistics_analyzer"), 0u);
    report("TestDataViewerFrame with its panel", "host", tally);
}

TEST_F(Storm, LauncherDefaultAndHost) {
    {
        auto* launcher = new ATSLauncher(nullptr);
        launcher->Show();
        Unhandled unhandled;
        const Tally tally = storm(rng, kEvents, [&] { return launcher_sources(launcher); });
        destroy_for_good(launcher);
        expect_all_unhandled(tally, unhandled);
        report("ATSLauncher", "default", tally);
    }
    CallLog log;
    auto* launcher = new HostLauncher(log, rng);
    launcher->Show();
    Unhandled unhandled;
    const Tally tally = storm(rng, kEvents, [&] { return launcher_sources(launcher); });
    pump(30);
    // Whatever the host inserted and deleted, the list stays sorted.
    for (long i = 1; i < launcher->ui_project_list->GetItemCount(); ++i)
        EXPECT_LE(launcher->ui_project_list->GetItemText(i - 1),
                  launcher->ui_project_list->GetItemText(i));
    destroy_for_good(launcher);
    expect_counts(tally, log);
    EXPECT_TRUE(unhandled.by_id.empty());
    report("ATSLauncher", "host", tally);
}

// The dialogs have no handlers of their own: each button ends the dialog
// with its id. Shown modeless (so that a storm can drive them quickly) every
// click must reach the dialog and hide it; in real modal runs ShowModal must
// return the id of the button pressed.
TEST_F(Storm, DialogsEndWithTheButtonPressed) {
    struct DialogCase {
        const char* name;
        std::function<wxDialog*(wxWindow*)> make;
        std::function<std::vector<wxButton*>(wxDialog*)> buttons;
        std::function<void(wxDialog*)> write;
    };
    const std::vector<DialogCase> dialogs = {
        {"TickerExceptionDialog", [](wxWindow* p) { return new TickerExceptionDialog(p); },
         [](wxDialog* d) {
             auto* t = static_cast<TickerExceptionDialog*>(d);
             return std::vector<wxButton*>{t->m_button5, t->m_button51};
         },
         [](wxDialog* d) {
             auto* t = static_cast<TickerExceptionDialog*>(d);
             if (t->ui_exception_trace->GetLastPosition() > 4000) t->ui_exception_trace->Clear();
             t->ui_exception_trace->AppendText(U8("Traceback: 异常\n"));
         }},
        {"AboutDialog", [](wxWindow* p) { return new AboutDialog(p); },
         [](wxDialog* d) {
             return std::vector<wxButton*>{static_cast<AboutDialog*>(d)->m_button6};
         },
         [](wxDialog* d) { static_cast<AboutDialog*>(d)->m_staticText12->SetLabel("v2"); }},
        {"ManualOperationDialog", [](wxWindow* p) { return new ManualOperationDialog(p); },
         [](wxDialog* d) {
             return std::vector<wxButton*>{static_cast<ManualOperationDialog*>(d)->m_button6};
         },
         [](wxDialog* d) { static_cast<ManualOperationDialog*>(d)->ui_message->AppendText("."); }},
    };
    const int clicks = std::max(1000, kEvents / 3);
    const int modal_runs = 12;
    for (const DialogCase& c : dialogs) {
        SCOPED_TRACE(c.name);
        wxDialog* dialog = c.make(top);
        const std::vector<wxButton*> buttons = c.buttons(dialog);
        std::map<int, int> sent, arrived;
        dialog->Bind(wxEVT_BUTTON, [&](wxCommandEvent& event) {
            ++arrived[event.GetId()];
            event.Skip();
        });
        int ended = 0;
        for (int i = 0; i < clicks; ++i) {
            dialog->Show();
            c.write(dialog);
            wxButton* button = buttons[rng() % buttons.size()];
            ++sent[button->GetId()];
            click(button);
            if (!dialog->IsShown()) ++ended;
            if (i % 40 == 0) pump(0);
        }
        EXPECT_EQ(ended, clicks);
        EXPECT_EQ(arrived, sent);

        int modal_right = 0;
        for (int i = 0; i < modal_runs; ++i) {
            wxButton* button = buttons[rng() % buttons.size()];
            dialog->CallAfter([button] { click(button); });
            if (dialog->ShowModal() == button->GetId()) ++modal_right;
        }
        EXPECT_EQ(modal_right, modal_runs);
        destroy_for_good(dialog);
        char line[160];
        std::snprintf(line, sizeof line, "storm | %s | buttons | %d + %d modal runs | %zu | 0 |",
                      c.name, clicks, modal_runs, buttons.size());
        std::printf("%s\n", line);
        report_line(line);
    }
}

// The same seed gives the same storm: a failure can be replayed with
// ATSUI_STORM_SEED.
TEST_F(Storm, SameSeedSameSequence) {
    auto run = [&](unsigned seed) {
        std::mt19937 r(seed);
        CallLog log;
        auto* launcher = new HostLauncher(log, r);
        const Tally t = storm(r, 200, [&] { return launcher_sources(launcher); });
        destroy_for_good(launcher);
        return t.sequence;
    };
    EXPECT_EQ(run(kSeed), run(kSeed));
    EXPECT_NE(run(kSeed), run(kSeed + 1));
}
