// SPDX-License-Identifier: MIT
#include <atsui/station/cell.h>
#include <atsui/station/frame.h>

#include <set>

#include <wx/artprov.h>
#include <wx/statbox.h>
#include <wx/toolbar.h>

#include "support/counting.h"
#include "support/harness.h"

using namespace atsui_test;
using tov_atsui::Frame;

namespace {

// Frames are top-level windows: the tests own them and destroy them at once.
template <typename F = Frame>
struct Owned {
    F* frame = new F(nullptr);
    ~Owned() {
        if (wxTopLevelWindows.Find(frame)) frame->Destroy();
        pump(0);
    }
    F* operator->() const { return frame; }
};

struct MenuRow {
    const char* title;
    std::vector<const char*> labels;
};

bool is_top_level_alive(wxWindow* window) { return wxTopLevelWindows.Find(window) != nullptr; }

}  // namespace

class FrameTest : public WindowTest {};

TEST_F(FrameTest, TitleMenusAndItemsAreAsBuilt) {
    Owned<> f;
    EXPECT_EQ(f->GetTitle(), "Tarvo Auto Test System");
    EXPECT_TRUE(f->HasFlag(wxDEFAULT_FRAME_STYLE));
    EXPECT_TRUE(f->HasFlag(wxTAB_TRAVERSAL));
    EXPECT_FALSE(f->IsShown());
    EXPECT_EQ(f->GetStatusBar(), nullptr);
    EXPECT_EQ(f->GetMenuBar(), f->m_menubar1);
    EXPECT_EQ(f->GetMinSize(), wxDefaultSize);
    EXPECT_EQ(f->GetMaxSize(), wxDefaultSize);

    const std::vector<MenuRow> expected = {
        {"File", {"Exit"}},
        {"Edit",
         {"Manual Operation", "Start Ticker", "Clear Statistics", "Debug Mode",
          "导出测试项参数文件"}},
        {"View", {"Test Data Window"}},
        {"Option", {"Edit Test Parameters", "Reload Test Parameters", "Save Test Parameters"}},
        {"Help", {"About"}},
    };
    const std::vector<wxMenu*> members = {f->m_menu1, f->m_menu2, f->m_menu4, f->m_menu5,
                                          f->m_menu3};
    ASSERT_EQ(f->m_menubar1->GetMenuCount(), expected.size());
    int items = 0;
    for (size_t m = 0; m < expected.size(); ++m) {
        SCOPED_TRACE(expected[m].title);
        EXPECT_EQ(f->m_menubar1->GetMenuLabel(m), expected[m].title);
        EXPECT_EQ(f->m_menubar1->GetMenu(m), members[m]);
        const wxMenuItemList& list = members[m]->GetMenuItems();
        ASSERT_EQ(list.size(), expected[m].labels.size());
        size_t i = 0;
        for (wxMenuItem* item : list) {
            EXPECT_EQ(code_points(item->GetItemLabel()), code_points_utf8(expected[m].labels[i]));
            EXPECT_FALSE(item->IsSeparator());
            EXPECT_TRUE(item->IsEnabled());
            EXPECT_EQ(item->GetHelp(), wxEmptyString);
            EXPECT_EQ(item->GetKind(), item == f->ui_in_debug_mode ? wxITEM_CHECK : wxITEM_NORMAL);
            ++i;
            ++items;
        }
    }
    EXPECT_EQ(items, 11);
    EXPECT_FALSE(f->ui_in_debug_mode->IsChecked());

    // The members are the items in bar order.
    const std::vector<wxMenuItem*> in_order = {
        f->ui_exit_menu_item, f->ui_manual_operation_menu_item,
        f->m_menuItem4,       f->m_menuItem5,
        f->ui_in_debug_mode,  f->ui_export_assertion_config,
        f->m_menuItem7,       f->m_menuItem8,
        f->m_menuItem9,       f->m_menuItem11,
        f->ui_about_menu_item};
    std::vector<wxMenuItem*> actual;
    for (wxMenu* menu : members)
        for (wxMenuItem* item : menu->GetMenuItems()) actual.push_back(item);
    EXPECT_EQ(actual, in_order);
    EXPECT_EQ(
        code_points(f->ui_export_assertion_config->GetItemLabel()),
        (std::u32string{0x5BFC, 0x51FA, 0x6D4B, 0x8BD5, 0x9879, 0x53C2, 0x6570, 0x6587, 0x4EF6}));
}

TEST_F(FrameTest, StatisticsFiguresShowZeroesInTheirColours) {
    Owned<> f;
    const wxColour green(0, 128, 64), red(255, 0, 0);
    struct Figure {
        wxWindow* window;
        const char* text;
        wxColour colour;
    };
    const std::vector<Figure> figures = {
        {f->ui_ok_count_label, "OK", green}, {f->ui_ok_count, "0", green},
        {f->ui_ng_count_label, "NG", red},   {f->ui_ng_count, "0", red},
        {f->m_staticText8, "Yield", green},  {f->ui_ok_percent, "0%", green}};

    auto* box = f->ui_statistics_panel->GetSizer();
    ASSERT_NE(dynamic_cast<wxStaticBoxSizer*>(box), nullptr);
    wxStaticBox* statBox = static_cast<wxStaticBoxSizer*>(box)->GetStaticBox();
    EXPECT_EQ(statBox->GetLabel(), wxEmptyString);

    for (const Figure& fig : figures) {
        SCOPED_TRACE(fig.text);
        EXPECT_EQ(fig.window->GetParent(), statBox);
        if (auto* text = dynamic_cast<wxTextCtrl*>(fig.window)) {
            EXPECT_EQ(text->GetValue(), fig.text);
            EXPECT_FALSE(text->IsEditable());
            EXPECT_TRUE(text->HasFlag(wxTE_CENTER));
        } else {
            EXPECT_EQ(fig.window->GetLabel(), fig.text);
        }
        const wxFont font = fig.window->GetFont();
        EXPECT_EQ(font.GetPointSize(), 16);
        EXPECT_EQ(font.GetStyle(), wxFONTSTYLE_NORMAL);
        EXPECT_EQ(font.GetWeight(), wxFONTWEIGHT_NORMAL);
        EXPECT_FALSE(font.GetUnderlined());
        EXPECT_EQ(fig.window->GetForegroundColour(), fig.colour);
        EXPECT_EQ(placement_of(fig.window), (Placement{0, wxALL | wxALIGN_CENTER_VERTICAL, 5}));
    }
}

TEST_F(FrameTest, SizerTreeIsAsBuilt) {
    Owned<> f;
    wxSizer* root = f->GetSizer();
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->GetItemCount(), 2u);
    wxSizer* top_part = root->GetItem(size_t(0))->GetSizer();
    ASSERT_NE(top_part, nullptr);
    EXPECT_EQ(placement(root->GetItem(size_t(0))), (Placement{0, wxEXPAND, 0}));
    EXPECT_EQ(top_part->GetItem(size_t(0))->GetSizer(), f->ui_additional_top_sizer);
    EXPECT_EQ(placement(top_part->GetItem(size_t(0))), (Placement{0, 0, 0}));
    EXPECT_EQ(f->ui_additional_top_sizer->GetOrientation(), wxHORIZONTAL);
    EXPECT_EQ(f->ui_additional_top_sizer->GetItemCount(), 0u);
    EXPECT_EQ(placement_of(f->ui_statistics_panel), (Placement{1, wxEXPAND | wxALL, 0}));
    EXPECT_EQ(placement_of(f->ui_cell_panel), (Placement{1, wxEXPAND | wxALL, 0}));

    auto* grid = dynamic_cast<wxGridSizer*>(f->ui_cell_panel->GetSizer());
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(dynamic_cast<wxFlexGridSizer*>(grid), nullptr);
    EXPECT_EQ(grid->GetCols(), 2);
    EXPECT_EQ(grid->GetRows(), 0);
    EXPECT_EQ(grid->GetVGap(), 0);
    EXPECT_EQ(grid->GetHGap(), 0);
    EXPECT_EQ(grid->GetItemCount(), 1u);
    EXPECT_EQ(placement_of(f->m_panel9), (Placement{1, wxEXPAND | wxALL, 5}));
    EXPECT_EQ(f->ui_cell_panel->GetChildren().size(), 1u);

    // The statistics row: stretch, six figures, stretch.
    wxSizer* row = f->ui_ok_count->GetContainingSizer();
    ASSERT_EQ(row->GetItemCount(), 8u);
    for (size_t i : {size_t(0), size_t(7)}) {
        EXPECT_TRUE(row->GetItem(i)->IsSpacer());
        EXPECT_EQ(placement(row->GetItem(i)), (Placement{1, wxEXPAND, 5}));
    }
}

TEST_F(FrameTest, ToolBarHoldsTwoArtProviderTools) {
    Owned<> f;
    wxToolBar* bar = f->ui_toolbar;
    ASSERT_EQ(f->GetToolBar(), bar);
    EXPECT_EQ(bar->GetToolsCount(), 2u);
    EXPECT_EQ(bar->GetToolByPos(0), f->ui_start_all);
    EXPECT_EQ(bar->GetToolByPos(1), f->ui_abort_all);
    EXPECT_EQ(f->ui_start_all->GetShortHelp(), "Start All Cells");
    EXPECT_EQ(f->ui_abort_all->GetShortHelp(), "Abort All Cells");
    for (wxToolBarToolBase* tool : {f->ui_start_all, f->ui_abort_all}) {
        EXPECT_EQ(tool->GetLabel(), "tool");
        EXPECT_EQ(tool->GetLongHelp(), wxEmptyString);
        EXPECT_EQ(tool->GetKind(), wxITEM_NORMAL);
        EXPECT_TRUE(tool->GetNormalBitmap().IsOk());
        EXPECT_TRUE(tool->IsEnabled());
    }
    EXPECT_TRUE(
        f->ui_start_all->GetNormalBitmap().IsSameAs(wxArtProvider::GetBitmap(wxART_GO_FORWARD)) ||
        f->ui_start_all->GetNormalBitmap().GetSize() ==
            wxArtProvider::GetBitmap(wxART_GO_FORWARD).GetSize());
    EXPECT_EQ(bar->GetToolSeparation(), 0);
    // wxMSW keeps its native padding for any packing below 1: there the
    // packing cannot show what the frame asked for.
#if !defined(__WXMSW__)
    EXPECT_EQ(bar->GetToolPacking(), 0);
#endif
    EXPECT_FALSE(bar->HasFlag(wxTB_TEXT));
    EXPECT_TRUE(bar->HasFlag(wxTB_HORIZONTAL));
}

TEST_F(FrameTest, IdsAreDistinctAndTimersStopped) {
    Owned<> f;
    std::set<int> ids;
    for (wxMenu* menu : {f->m_menu1, f->m_menu2, f->m_menu3, f->m_menu4, f->m_menu5})
        for (wxMenuItem* item : menu->GetMenuItems()) ids.insert(item->GetId());
    ids.insert(f->ui_start_all->GetId());
    ids.insert(f->ui_abort_all->GetId());
    ids.insert(f->ui_ticker_timer.GetId());
    ids.insert(f->ui_initializer_trigger.GetId());
    EXPECT_EQ(ids.size(), 15u);

    EXPECT_FALSE(f->ui_ticker_timer.IsRunning());
    EXPECT_FALSE(f->ui_initializer_trigger.IsRunning());
    EXPECT_EQ(f->ui_ticker_timer.GetOwner(), f.frame);
    EXPECT_EQ(f->ui_initializer_trigger.GetOwner(), f.frame);
}

TEST_F(FrameTest, EverySourceReachesExactlyItsOwnHandler) {
    Owned<CountingFrame> f;
    struct Route {
        std::function<void()> send;
        const char* handler;
    };
    const std::vector<Route> routes = {
        {[&] { select_menu(f.frame, f->ui_exit_menu_item); }, "on_close_app"},
        {[&] { select_menu(f.frame, f->ui_manual_operation_menu_item); },
         "on_show_manual_operation_dialog"},
        {[&] { select_menu(f.frame, f->m_menuItem4); }, "on_start_ticker"},
        {[&] { select_menu(f.frame, f->m_menuItem5); }, "on_clear_statistics"},
        {[&] { select_menu(f.frame, f->ui_in_debug_mode); }, "on_change_debug_mode"},
        {[&] { select_menu(f.frame, f->ui_export_assertion_config); },
         "on_export_assertion_config"},
        {[&] { select_menu(f.frame, f->m_menuItem7); }, "on_show_test_data_window"},
        {[&] { select_menu(f.frame, f->m_menuItem8); }, "on_edit_test_parameters"},
        {[&] { select_menu(f.frame, f->m_menuItem9); }, "on_reload_test_parameters"},
        {[&] { select_menu(f.frame, f->m_menuItem11); }, "on_save_test_parameters"},
        {[&] { select_menu(f.frame, f->ui_about_menu_item); }, "on_show_about_dialog"},
        {[&] { fire(f->ui_ticker_timer); }, "on_ticker_timer_event"},
        {[&] { fire(f->ui_initializer_trigger); }, "on_trigger_initializer"},
        {[&] { click_tool(f->ui_toolbar, f->ui_start_all); }, "on_start_all"},
        {[&] { click_tool(f->ui_toolbar, f->ui_abort_all); }, "on_abort_all"},
        {[&] { f->Close(); }, "on_close_app"},
    };
    for (const Route& route : routes) {
        SCOPED_TRACE(route.handler);
        f->log.clear();
        route.send();
        EXPECT_EQ(f->log.count(route.handler), 1) << f->log.summary();
        EXPECT_EQ(f->log.total(), 1) << f->log.summary();
    }
    // The overriding host kept the frame open on close.
    EXPECT_TRUE(is_top_level_alive(f.frame));
}

TEST_F(FrameTest, DebugModeIsCheckedBeforeItsHandlerRuns) {
    Owned<CountingFrame> f;
    select_menu(f.frame, f->ui_in_debug_mode);
    EXPECT_TRUE(f->ui_in_debug_mode->IsChecked());
    EXPECT_TRUE(f->debug_checked_in_handler);
    select_menu(f.frame, f->ui_in_debug_mode);
    EXPECT_FALSE(f->ui_in_debug_mode->IsChecked());
    EXPECT_FALSE(f->debug_checked_in_handler);
}

TEST_F(FrameTest, RunningTimersReachTheirHandlers) {
    Owned<CountingFrame> f;
    f->ui_ticker_timer.StartOnce(10);
    ASSERT_TRUE(pump_until([&] { return f->log.count("on_ticker_timer_event") == 1; }));
    f->ui_initializer_trigger.Start(10);
    ASSERT_TRUE(pump_until([&] { return f->log.count("on_trigger_initializer") >= 3; }));
    f->ui_initializer_trigger.Stop();
    EXPECT_EQ(f->log.count("on_ticker_timer_event"), 1);
    pump(50);
    EXPECT_EQ(f->log.total(),
              f->log.count("on_ticker_timer_event") + f->log.count("on_trigger_initializer"));
}

TEST_F(FrameTest, DefaultHandlersSkipEveryEvent) {
    Owned<> f;
    for (wxMenu* menu : {f->m_menu1, f->m_menu2, f->m_menu3, f->m_menu4, f->m_menu5})
        for (wxMenuItem* item : menu->GetMenuItems()) {
            wxCommandEvent event(wxEVT_MENU, item->GetId());
            event.SetEventObject(f.frame);
            EXPECT_FALSE(f->ProcessWindowEvent(event)) << item->GetItemLabel();
            EXPECT_TRUE(event.GetSkipped());
        }
    for (wxToolBarToolBase* tool : {f->ui_start_all, f->ui_abort_all}) {
        wxCommandEvent event(wxEVT_TOOL, tool->GetId());
        EXPECT_FALSE(f->ProcessWindowEvent(event));
    }
    for (wxTimer* timer : {&f->ui_ticker_timer, &f->ui_initializer_trigger}) {
        wxTimerEvent event(*timer);
        EXPECT_FALSE(f->ProcessWindowEvent(event));
        EXPECT_TRUE(event.GetSkipped());
    }
    // Nothing changed.
    EXPECT_EQ(f->ui_ok_count->GetValue(), "0");
    EXPECT_EQ(f->ui_ok_percent->GetValue(), "0%");
    EXPECT_TRUE(is_top_level_alive(f.frame));
}

TEST_F(FrameTest, ExitKeepsTheFrameButTheCloseBoxDestroysIt) {
    Frame* frame = new Frame(nullptr);
    frame->Show();
    pump(20);
    select_menu(frame, frame->ui_exit_menu_item);
    pump(20);
    ASSERT_TRUE(is_top_level_alive(frame));
    EXPECT_TRUE(frame->IsShown());

    EXPECT_TRUE(frame->Close());
    EXPECT_TRUE(pump_until([&] { return !is_top_level_alive(frame); }));
}

TEST_F(FrameTest, LayoutGivesExtraHeightToTheCellAreaAndKeepsFiguresCentred) {
    Owned<> f;
    // A host adds a second panel beside the placeholder and lays out again.
    auto* second = new wxPanel(f->ui_cell_panel);
    f->ui_cell_panel->GetSizer()->Add(second, 1, wxEXPAND | wxALL, 5);
    f->SetSize(900, 500);
    f->Show();
    pump(50);
    f->Layout();
    pump(30);

    const wxRect stats = f->ui_statistics_panel->GetRect();
    const wxRect cells = f->ui_cell_panel->GetRect();
    const wxSize client = f->GetClientSize();
    EXPECT_EQ(stats.width, client.x);
    EXPECT_EQ(cells.width, client.x);
    EXPECT_EQ(cells.GetBottom() + 1, client.y);

    // The two columns share the width equally.
    EXPECT_EQ(f->m_panel9->GetSize().x, second->GetSize().x);
    EXPECT_NEAR(f->m_panel9->GetSize().x, client.x / 2 - 10, 1);

    // Figures centred: the free space left of "OK" equals that right of "0%".
    auto centred = [&] {
        wxWindow* box = f->ui_ok_count_label->GetParent();
        const int left = f->ui_ok_count_label->GetPosition().x;
        const int right = box->GetClientSize().x - f->ui_ok_percent->GetRect().GetRight();
        EXPECT_NEAR(left, right, 8) << "left " << left << " right " << right;
    };
    centred();

    const int stats_height = stats.height;
    f->SetSize(1300, 800);
    pump(50);
    f->Layout();
    pump(30);
    EXPECT_EQ(f->ui_statistics_panel->GetSize().y, stats_height);
    EXPECT_EQ(f->ui_cell_panel->GetSize().y,
              f->GetClientSize().y - f->ui_statistics_panel->GetSize().y);
    EXPECT_GT(f->ui_cell_panel->GetSize().y, cells.height + 250);
    EXPECT_EQ(f->m_panel9->GetSize().x, second->GetSize().x);
    centred();
}

TEST_F(FrameTest, FrameIsFittedToItsContentAndCentred) {
    Owned<> f;
    const wxRect display = wxGetClientDisplayRect();
    const wxRect r = f->GetRect();
    EXPECT_NEAR(r.x - display.x, (display.width - r.width) / 2, 2);
    EXPECT_NEAR(r.y - display.y, (display.height - r.height) / 2, 2);
    // Fitted before the bars: the content's own minimum width is kept.
    EXPECT_GE(f->GetClientSize().x, f->GetSizer()->GetMinSize().x);
}

TEST_F(FrameTest, RepeatedConstructionAndDestructionIsClean) {
    const int before = assertion_count();
    for (int round = 0; round < 20; ++round) {
        auto* frame = new Frame(round % 2 ? top : nullptr);
        if (round % 3 == 0) {
            frame->ui_ticker_timer.Start(5);
            frame->ui_initializer_trigger.StartOnce(5);
        }
        if (round % 2 == 0) {
            frame->Show();
            pump(5);
        }
        for (int i = 0; i < 2; ++i)
            frame->ui_cell_panel->GetSizer()->Add(new tov_atsui::Cell(frame->ui_cell_panel), 1,
                                                  wxEXPAND | wxALL, 5);
        frame->Layout();
        frame->Destroy();
        pump(5);
    }
    pump(30);
    EXPECT_EQ(assertion_count(), before);
}
