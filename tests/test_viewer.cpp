// SPDX-License-Identifier: MIT
#include <atsui/station/cell.h>
#include <atsui/viewer/test_data_viewer_frame.h>
#include <atsui/viewer/test_data_viewer_panel.h>

#include <algorithm>
#include <set>
#include <stdexcept>

#include <wx/choice.h>
#include <wx/grid.h>
#include <wx/radiobox.h>
#include <wx/splitter.h>
#include <wx/tooltip.h>
#include <wx/uiaction.h>

#include "support/counting.h"
#include "support/harness.h"

using namespace atsui_test;
using tov_atsui::TestDataViewerFrame;
using tov_atsui::TestDataViewerPanel;

namespace {

// A host whose close handler keeps the window open.
struct VetoingFrame : TestDataViewerFrame {
    using TestDataViewerFrame::TestDataViewerFrame;
    CallLog log;
    void on_close_window(wxCloseEvent& event) override {
        log.hit("on_close_window");
        event.Veto();
    }
};

constexpr int kCentred = wxALL | wxALIGN_CENTER_VERTICAL;

struct Pair {
    wxStaticText* label;
    wxTextCtrl* field;
    const char* caption;
};

std::vector<Pair> single_item_pairs(TestDataViewerPanel* p) {
    return {{p->m_staticText161, p->ui_single_item_max, "最大值"},
            {p->m_staticText171, p->ui_single_item_min, "最小值"},
            {p->m_staticText181, p->ui_single_item_average, "平均值"},
            {p->m_staticText34, p->ui_single_item_middle, "中间值"},
            {p->m_staticText35, p->ui_single_item_variance, "方差"},
            {p->m_staticText37, p->ui_single_item_std_deviation, "标准差"},
            {p->m_staticText162, p->ui_single_item_ok_count, "OK数量"},
            {p->m_staticText172, p->ui_single_item_ng_count, "NG数量"},
            {p->m_staticText182, p->ui_single_item_yield, "通过率"}};
}

std::vector<Pair> total_pairs(TestDataViewerPanel* p) {
    return {{p->m_staticText16, p->ui_total_statistics_ok_count, "OK数量"},
            {p->m_staticText17, p->ui_total_statistics_ng_count, "NG数量"},
            {p->m_staticText18, p->ui_total_statistics_yield, "通过率"},
            {p->m_staticText19, p->ui_total_statistics_max_test_time, "最长测试时间"},
            {p->m_staticText20, p->ui_total_statistics_min_test_time, "最短测试时间"},
            {p->m_staticText21, p->ui_total_statistics_average_test_time, "平均测试时间"}};
}

int centre_y(wxWindow* w) { return w->GetRect().y + w->GetRect().height / 2; }

// Half the splitter's extent across its sash, where "middle" is measured.
int middle_of(wxSplitterWindow* s) {
    const wxSize size = s->GetClientSize();
    return (s->GetSplitMode() == wxSPLIT_VERTICAL ? size.x : size.y) / 2;
}

// A splitter still bound to its set-up handler consumes an idle event.
bool idle_handler_bound(wxSplitterWindow* s) {
    wxIdleEvent idle;
    idle.SetEventObject(s);
    return s->ProcessWindowEvent(idle);
}

bool is_top_level_alive(wxWindow* window) { return wxTopLevelWindows.Find(window) != nullptr; }

// A frame of its own (no parent), destroyed when the test ends.
struct OwnFrame {
    TestDataViewerFrame* frame = new TestDataViewerFrame(nullptr);
    ~OwnFrame() {
        if (is_top_level_alive(frame)) frame->Destroy();
        pump(0);
    }
    TestDataViewerFrame* operator->() const { return frame; }
};

}  // namespace

class ViewerPanelTest : public WindowTest {
protected:
    template <typename P = TestDataViewerPanel>
    P* make() {
        return new P(top);
    }
};

// ---------------------------------------------------------------- as built

TEST_F(ViewerPanelTest, CommandRowCaptionsToolTipFilterAndSelector) {
    TestDataViewerPanel* p = make();
    const std::vector<std::pair<wxButton*, const char*>> buttons = {
        {p->m_button9, "清空数据"},
        {p->m_button10, "导出数据"},
        {p->m_button11, "导入数据"},
        {p->m_button12, "保存单品数据"}};
    for (const auto& [button, caption] : buttons) {
        EXPECT_EQ(code_points(button->GetLabel()), code_points_utf8(caption)) << caption;
        EXPECT_EQ(button->GetParent(), p->m_panel15);
    }
    ASSERT_NE(p->m_button12->GetToolTip(), nullptr);
    EXPECT_EQ(code_points(p->m_button12->GetToolTipText()),
              code_points_utf8("保存选中的单个UUT测试数据到指定的文件中，Excel文档格式"));
    for (wxButton* b : {p->m_button9, p->m_button10, p->m_button11})
        EXPECT_EQ(b->GetToolTip(), nullptr) << b->GetLabel();

    EXPECT_EQ(p->m_staticText33->GetLabel(), "Cell");
    ASSERT_EQ(p->ui_cell_filter->GetCount(), 1u);
    EXPECT_EQ(p->ui_cell_filter->GetString(0), "all");
    EXPECT_EQ(p->ui_cell_filter->GetSelection(), 0);
    EXPECT_EQ(p->ui_cell_filter->GetStringSelection(), "all");

    // The host's cells land in sorted order, whatever order it appends them in.
    for (const char* cell : {"cell 3", "cell 1", "any", "cell 2"}) p->ui_cell_filter->Append(cell);
    std::vector<wxString> shown;
    for (unsigned i = 0; i < p->ui_cell_filter->GetCount(); ++i)
        shown.push_back(p->ui_cell_filter->GetString(i));
    std::vector<wxString> sorted = shown;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(shown, sorted);
    EXPECT_EQ(shown.size(), 5u);

    // The statistics selector: two items in one row, built hidden.
    wxRadioBox* box = p->ui_statistics_analyzer;
    EXPECT_EQ(code_points(box->GetLabel()), code_points_utf8("数据统计与分析"));
    ASSERT_EQ(box->GetCount(), 2u);
    EXPECT_EQ(code_points(box->GetString(0)), code_points_utf8("单项分析"));
    EXPECT_EQ(code_points(box->GetString(1)), code_points_utf8("总量统计"));
    EXPECT_EQ(box->GetSelection(), 0);
    EXPECT_EQ(box->GetRowCount(), 1u);
    EXPECT_TRUE(box->HasFlag(wxRA_SPECIFY_ROWS));
    EXPECT_FALSE(box->IsShown());
    EXPECT_EQ(box->GetParent(), p->m_panel15);
}

TEST_F(ViewerPanelTest, SplittersDivideThePanelAsBuilt) {
    TestDataViewerPanel* p = make();
    wxSplitterWindow* outer = p->m_splitter2;
    EXPECT_EQ(outer->GetParent(), p);
    EXPECT_TRUE(outer->IsSplit());
    EXPECT_EQ(outer->GetSplitMode(), wxSPLIT_VERTICAL);
    EXPECT_EQ(outer->GetWindow1(), p->m_panel15);
    EXPECT_EQ(outer->GetWindow2(), p->ui_statistics_and_analyze_panel);
    EXPECT_TRUE(outer->HasFlag(wxSP_3D));
    EXPECT_TRUE(outer->HasFlag(wxSP_BORDER));
    EXPECT_TRUE(outer->HasFlag(wxSP_LIVE_UPDATE));

    wxSplitterWindow* inner = p->m_splitter1;
    EXPECT_EQ(inner->GetParent(), p->m_panel15);
    EXPECT_TRUE(inner->IsSplit());
    EXPECT_EQ(inner->GetSplitMode(), wxSPLIT_HORIZONTAL);
    EXPECT_EQ(inner->GetWindow1(), p->m_panel12);
    EXPECT_EQ(inner->GetWindow2(), p->m_panel13);
    EXPECT_TRUE(inner->HasFlag(wxSP_3D));
    EXPECT_TRUE(inner->HasFlag(wxSP_BORDER));
    EXPECT_FALSE(inner->HasFlag(wxSP_LIVE_UPDATE));

    for (wxSplitterWindow* s : {outer, inner}) {
        EXPECT_EQ(s->GetSashGravity(), 0.0);
        EXPECT_EQ(s->GetMinimumPaneSize(), 0);
    }
    EXPECT_EQ(p->ui_history->GetParent(), p->m_panel12);
    EXPECT_EQ(p->ui_assertions->GetParent(), p->m_panel13);
}

TEST_F(ViewerPanelTest, GridsStartEmptyWithTheirColumnsAndAreReadOnly) {
    TestDataViewerPanel* p = make();
    using Columns = std::vector<std::pair<const char*, int>>;
    const Columns history = {{"Begin Time", 150},
                             {"End Time", 150},
                             {"Serial Number", 200},
                             {"Result", 150},
                             {"Description", 200}};
    const Columns items = {{"Item Name", 300}, {"Value", 150}, {"Lower", 100},
                           {"Upper", 100},     {"Unit", 100},  {"Result", 100}};
    for (const auto& [grid, columns] :
         {std::make_pair(p->ui_history, history), std::make_pair(p->ui_assertions, items)}) {
        SCOPED_TRACE(columns.size());
        EXPECT_EQ(grid->GetNumberRows(), 0);
        ASSERT_EQ(grid->GetNumberCols(), static_cast<int>(columns.size()));
        for (int col = 0; col < grid->GetNumberCols(); ++col) {
            EXPECT_EQ(grid->GetColLabelValue(col), columns[col].first);
            EXPECT_EQ(grid->GetColSize(col), columns[col].second);
        }
        EXPECT_EQ(grid->GetRowLabelSize(), 50);
        EXPECT_EQ(grid->GetColLabelSize(), 30);
        EXPECT_FALSE(grid->IsEditable());
        EXPECT_TRUE(grid->GridLinesEnabled());
        EXPECT_FALSE(grid->CanDragGridSize());
        EXPECT_FALSE(grid->CanDragColMove());
        EXPECT_TRUE(grid->CanDragColSize(0));
        EXPECT_FALSE(grid->CanDragRowSize(0));
        int h = 0, v = 0;
        grid->GetColLabelAlignment(&h, &v);
        EXPECT_EQ(h, wxALIGN_CENTER);
        EXPECT_EQ(v, wxALIGN_CENTER);
        grid->GetRowLabelAlignment(&h, &v);
        EXPECT_EQ(h, wxALIGN_CENTER);
        EXPECT_EQ(v, wxALIGN_CENTER);
        grid->GetDefaultCellAlignment(&h, &v);
        EXPECT_EQ(h, wxALIGN_LEFT);
        EXPECT_EQ(v, wxALIGN_CENTER);

        // Rows the host writes are shown but cannot be edited.
        grid->AppendRows(1);
        grid->SetCellValue(0, 0, "x");
        EXPECT_EQ(grid->GetCellValue(0, 0), "x");
        EXPECT_FALSE(grid->CanEnableCellControl());
        EXPECT_EQ(placement_of(grid), (Placement{1, wxALL | wxEXPAND, 0}));
    }

    // The history grid reads like a cell's: one column table for both.
    tov_atsui::Cell cell(top);
    ASSERT_EQ(cell.ui_history_grid->GetNumberCols(), p->ui_history->GetNumberCols());
    for (int col = 0; col < p->ui_history->GetNumberCols(); ++col) {
        EXPECT_EQ(cell.ui_history_grid->GetColLabelValue(col),
                  p->ui_history->GetColLabelValue(col));
        EXPECT_EQ(cell.ui_history_grid->GetColSize(col), p->ui_history->GetColSize(col));
    }
}

TEST_F(ViewerPanelTest, StatisticsFieldsAreEmptyReadOnlyAndDistinct) {
    TestDataViewerPanel* p = make();
    EXPECT_TRUE(p->ui_single_item_analyze_panel->IsShown());
    EXPECT_FALSE(p->ui_total_statistics_panel->IsShown());

    std::set<wxWindow*> widgets;
    for (const auto& [panel, pairs] :
         {std::make_pair(p->ui_single_item_analyze_panel, single_item_pairs(p)),
          std::make_pair(p->ui_total_statistics_panel, total_pairs(p))}) {
        EXPECT_EQ(panel->GetParent(), p->ui_statistics_and_analyze_panel);
        auto* grid = dynamic_cast<wxFlexGridSizer*>(panel->GetSizer());
        ASSERT_NE(grid, nullptr);
        EXPECT_EQ(grid->GetCols(), 6);
        EXPECT_EQ(grid->GetVGap(), 0);
        EXPECT_EQ(grid->GetHGap(), 0);
        EXPECT_EQ(grid->GetFlexibleDirection(), wxBOTH);
        EXPECT_EQ(grid->GetNonFlexibleGrowMode(), wxFLEX_GROWMODE_SPECIFIED);
        ASSERT_EQ(grid->GetItemCount(), 2 * pairs.size());
        for (size_t i = 0; i < pairs.size(); ++i) {
            const Pair& pair = pairs[i];
            SCOPED_TRACE(pair.caption);
            EXPECT_EQ(code_points(pair.label->GetLabel()), code_points_utf8(pair.caption));
            // Label before its field, pair after pair.
            EXPECT_EQ(grid->GetItem(2 * i)->GetWindow(), pair.label);
            EXPECT_EQ(grid->GetItem(2 * i + 1)->GetWindow(), pair.field);
            EXPECT_EQ(placement_of(pair.label), (Placement{0, kCentred, 5}));
            EXPECT_EQ(placement_of(pair.field), (Placement{0, kCentred, 5}));
            EXPECT_EQ(pair.field->GetValue(), "");
            EXPECT_FALSE(pair.field->IsEditable());
            EXPECT_EQ(pair.label->GetParent(), panel);
            EXPECT_EQ(pair.field->GetParent(), panel);
            widgets.insert(pair.label);
            widgets.insert(pair.field);
        }
    }
    // "OK数量", "NG数量" and "通过率" appear twice, as separate widgets.
    EXPECT_EQ(widgets.size(), 30u);
}

TEST_F(ViewerPanelTest, DefaultPanelAsksFor640PixelsAndArgumentsPassThrough) {
    auto* frame = new TestDataViewerFrame(top);
    auto* p = new TestDataViewerPanel(frame);
    frame->ui_root_sizer->Add(p, 1, wxEXPAND);
    frame->Fit();
    EXPECT_EQ(p->GetSize().y, 640);
    EXPECT_EQ(frame->GetClientSize().y, 640);

    // The height is the argument's, passed through.
    auto* other = new TestDataViewerFrame(top);
    auto* q = new TestDataViewerPanel(other, wxID_ANY, wxDefaultPosition, wxSize(-1, 480));
    other->ui_root_sizer->Add(q, 1, wxEXPAND);
    other->Fit();
    EXPECT_EQ(q->GetSize().y, 480);

    // So do the other arguments.
    auto* r = new TestDataViewerPanel(top, 4321, wxPoint(3, 4), wxSize(700, 500),
                                      wxTAB_TRAVERSAL | wxBORDER_SIMPLE, "viewer-a");
    EXPECT_EQ(r->GetId(), 4321);
    EXPECT_EQ(r->GetName(), "viewer-a");
    EXPECT_TRUE(r->HasFlag(wxBORDER_SIMPLE));
    EXPECT_EQ(r->GetSize(), wxSize(700, 500));
    EXPECT_EQ(r->GetParent(), top);
}

TEST_F(ViewerPanelTest, NullParentIsRefusedBeforeAnythingIsCreated) {
    const size_t windows_before = wxTopLevelWindows.size();
    const int asserts_before = assertion_count();
    try {
        TestDataViewerPanel on_nothing(nullptr);
        FAIL() << "a viewer panel was built without a parent";
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find("TestDataViewerPanel"), std::string::npos) << e.what();
    }
    EXPECT_THROW(new CountingViewerPanel(nullptr, wxID_ANY, wxDefaultPosition, wxSize(300, 200)),
                 std::invalid_argument);
    EXPECT_EQ(wxTopLevelWindows.size(), windows_before);
    EXPECT_EQ(assertion_count(), asserts_before);
}

// ---------------------------------------------------------------- events

TEST_F(ViewerPanelTest, EachSourceReachesExactlyItsHandler) {
    auto* p = make<CountingViewerPanel>();
    p->ui_cell_filter->Append("cell 1");
    struct Route {
        std::function<void()> send;
        const char* handler;
    };
    const std::vector<Route> routes = {
        {[&] { click(p->m_button9); }, "on_clear_data"},
        {[&] { click(p->m_button10); }, "on_export_data"},
        {[&] { click(p->m_button11); }, "on_import_data"},
        {[&] { click(p->m_button12); }, "on_save_single_uut_test_data"},
        {[&] { choose(p->ui_cell_filter, 1); }, "on_cell_filter_changed"},
        {[&] { choose(p->ui_statistics_analyzer, 1); }, "on_refresh_statistics_analyzer"},
    };
    for (const Route& route : routes) {
        SCOPED_TRACE(route.handler);
        p->log.clear();
        route.send();
        EXPECT_EQ(p->log.count(route.handler), 1) << p->log.summary();
        EXPECT_EQ(p->log.total(), 1) << p->log.summary();
    }
}

TEST_F(ViewerPanelTest, DefaultHandlersLetCommandsReachTheParent) {
    TestDataViewerPanel* p = make();
    p->ui_cell_filter->Append("cell 1");
    PropagationCounter buttons(top, wxEVT_BUTTON);
    PropagationCounter choices(top, wxEVT_CHOICE);
    PropagationCounter radios(top, wxEVT_RADIOBOX);
    for (wxButton* b : {p->m_button9, p->m_button10, p->m_button11, p->m_button12}) click(b);
    choose(p->ui_cell_filter, 1);
    choose(p->ui_statistics_analyzer, 1);
    EXPECT_EQ(buttons.count(), 4);
    EXPECT_EQ(choices.count(), 1);
    EXPECT_EQ(radios.count(), 1);

    // Nothing switches the statistics panels or touches the grids.
    EXPECT_TRUE(p->ui_single_item_analyze_panel->IsShown());
    EXPECT_FALSE(p->ui_total_statistics_panel->IsShown());
    EXPECT_FALSE(p->ui_statistics_analyzer->IsShown());
    EXPECT_EQ(p->ui_history->GetNumberRows(), 0);
    EXPECT_EQ(p->ui_assertions->GetNumberRows(), 0);
}

// ---------------------------------------------------------------- layout

TEST_F(ViewerPanelTest, CommandRowIsCentredAndTheHiddenSelectorTakesNoRoom) {
    TestDataViewerPanel* p = make();
    show_in_top(p, wxSize(1400, 800));
    wxPanel* pane = p->m_panel15;
    // Splitters and the row carry a border width but no side flag: no border.
    EXPECT_EQ(p->m_splitter2->GetRect(), wxRect(wxPoint(0, 0), p->GetClientSize()));
    const wxRect inner = p->m_splitter1->GetRect();
    EXPECT_EQ(inner.x, 0);
    EXPECT_EQ(inner.width, pane->GetClientSize().x);
    EXPECT_EQ(inner.GetBottom() + 1, pane->GetClientSize().y);
    const std::vector<wxWindow*> row = {p->m_button9,  p->m_button10,     p->m_button11,
                                        p->m_button12, p->m_staticText33, p->ui_cell_filter};
    const int centre = centre_y(p->m_button9);
    int right = 0;
    for (wxWindow* w : row) {
        SCOPED_TRACE(w->GetLabel().utf8_string());
        EXPECT_NEAR(centre_y(w), centre, 1);
        EXPECT_EQ(w->GetPosition().x, right + 5);  // left to right, 5 pixels each side
        right = w->GetRect().GetRight() + 1 + 5;
    }
    // The stretch runs to the pane's right edge: nothing sits after it.
    wxSizer* commands = p->m_button9->GetContainingSizer();
    const wxRect stretch = commands->GetItem(size_t(6))->GetRect();
    EXPECT_EQ(stretch.x, right);
    EXPECT_EQ(stretch.GetRight() + 1, pane->GetClientSize().x);
    EXPECT_EQ(inner.y, p->m_button9->GetRect().GetBottom() + 1 + 5);

    // Shown by a host, the selector takes its place at the end of the row.
    p->ui_statistics_analyzer->Show();
    pane->Layout();
    pump(20);
    EXPECT_LT(commands->GetItem(size_t(6))->GetRect().GetRight() + 1, pane->GetClientSize().x);
    EXPECT_EQ(p->ui_statistics_analyzer->GetRect().GetRight() + 1 + 5, pane->GetClientSize().x);
}

TEST_F(ViewerPanelTest, StatisticsPaneShowsSingleItemsAndTotalsBelowWhenShown) {
    TestDataViewerPanel* p = make();
    show_in_top(p, wxSize(1400, 800));
    wxPanel* pane = p->ui_statistics_and_analyze_panel;
    wxPanel* single = p->ui_single_item_analyze_panel;
    wxPanel* total = p->ui_total_statistics_panel;
    const int width = pane->GetClientSize().x;

    EXPECT_EQ(single->GetRect(), wxRect(5, 5, width - 10, single->GetBestSize().y));
    // Three rows of three pairs, each label centred against its field.
    const std::vector<Pair> pairs = single_item_pairs(p);
    for (size_t i = 0; i < pairs.size(); ++i) {
        SCOPED_TRACE(pairs[i].caption);
        EXPECT_NEAR(centre_y(pairs[i].label), centre_y(pairs[i].field), 1);
        EXPECT_EQ(centre_y(pairs[i].field), centre_y(pairs[i - i % 3].field));
        if (i % 3) {
            EXPECT_GT(pairs[i].label->GetPosition().x, pairs[i - 1].field->GetRect().GetRight());
        }
        if (i >= 3) {
            EXPECT_GT(pairs[i].field->GetPosition().y, pairs[i - 3].field->GetRect().GetBottom());
        }
    }
    // The hidden totals take no room.
    EXPECT_EQ(p->ui_statistics_and_analyze_sizer->GetMinSize().y, single->GetBestSize().y + 10);

    total->Show();
    pane->Layout();
    pump(20);
    const wxRect below = total->GetRect();
    EXPECT_EQ(single->GetRect(), wxRect(5, 5, width - 10, single->GetBestSize().y));
    EXPECT_EQ(below.y, single->GetRect().GetBottom() + 1 + 10);
    EXPECT_EQ(below.x, 5);
    EXPECT_EQ(below.width, width - 10);
    EXPECT_EQ(below.height, total->GetBestSize().y);
    EXPECT_EQ(p->ui_statistics_and_analyze_sizer->GetMinSize().y,
              single->GetBestSize().y + total->GetBestSize().y + 20);
}

TEST_F(ViewerPanelTest, ReadOnlyFieldsRejectTypingAndGridsEditing) {
    TestDataViewerPanel* p = make();
    show_in_top(p, wxSize(1400, 800));
    ASSERT_TRUE(activate(top)) << "the test window did not become active";
    p->ui_single_item_max->SetValue("3.25");
    p->ui_single_item_max->SetFocus();
    pump(100);
    wxUIActionSimulator sim;
    sim.Text("99");
    pump(100);
    EXPECT_EQ(p->ui_single_item_max->GetValue(), "3.25");

    // A double click on a cell opens no editor.
    p->ui_assertions->AppendRows(2);
    p->ui_assertions->SetCellValue(0, 0, "voltage");
    p->ui_assertions->Refresh();
    pump(50);
    const wxRect cell = p->ui_assertions->CellToRect(0, 0);
    const wxPoint at =
        p->ui_assertions->GetGridWindow()->ClientToScreen(cell.GetPosition() + wxPoint(5, 5));
    sim.MouseMove(at);
    pump(100);
    sim.MouseDblClick();
    pump(200);
    EXPECT_FALSE(p->ui_assertions->IsCellEditControlShown());
    EXPECT_EQ(p->ui_assertions->GetCellValue(0, 0), "voltage");
}

// ---------------------------------------------------------------- sashes

class ViewerSashTest : public WindowTest {
protected:
    // The host's usual steps: the frame, the panel into its root sizer, a size.
    TestDataViewerPanel* place(TestDataViewerFrame* frame) {
        auto* p = new TestDataViewerPanel(frame);
        frame->ui_root_sizer->Add(p, 1, wxEXPAND);
        frame->SetClientSize(1200, 800);
        frame->Layout();
        return p;
    }

    void expect_centred(TestDataViewerPanel* p) {
        for (wxSplitterWindow* s : {p->m_splitter2, p->m_splitter1}) {
            EXPECT_GT(middle_of(s), 100) << "the splitter never got its real size";
            EXPECT_NEAR(s->GetSashPosition(), middle_of(s), 3)
                << (s == p->m_splitter2 ? "m_splitter2" : "m_splitter1");
            EXPECT_FALSE(idle_handler_bound(s)) << "the set-up ran more than once or never";
        }
    }

    bool settle(TestDataViewerFrame* frame) {
        return pump_until([&] { return frame->GetClientSize() == wxSize(1200, 800); });
    }
};

TEST_F(ViewerSashTest, HostThatShowsAtOnceGetsCentredSashesOnce) {
    auto* frame = new TestDataViewerFrame(top);
    TestDataViewerPanel* p = place(frame);
    // Until the set-up, the handler takes idle events for itself.
    wxIdleEvent idle;
    EXPECT_TRUE(p->m_splitter2->ProcessWindowEvent(idle));
    EXPECT_FALSE(idle.GetSkipped());
    frame->Show();
    ASSERT_TRUE(settle(frame));
    pump(50);
    expect_centred(p);
}

TEST_F(ViewerSashTest, HostThatBuildsEarlyAndShowsLaterGetsCentredSashes) {
    auto* frame = new TestDataViewerFrame(top);
    auto* p = new TestDataViewerPanel(frame);
    // The loop idles while the viewer waits, hidden and not yet placed.
    pump(100);
    EXPECT_TRUE(idle_handler_bound(p->m_splitter2));
    EXPECT_TRUE(idle_handler_bound(p->m_splitter1));
    frame->ui_root_sizer->Add(p, 1, wxEXPAND);
    frame->SetClientSize(1200, 800);
    frame->Layout();
    pump(100);  // placed but still hidden
    frame->Show();
    ASSERT_TRUE(settle(frame));
    pump(50);
    expect_centred(p);
}

TEST_F(ViewerSashTest, HostThatPlacesThePanelLateInAShownFrameGetsCentredSashes) {
    auto* frame = new TestDataViewerFrame(top);
    frame->SetClientSize(1200, 800);
    frame->Show();
    ASSERT_TRUE(settle(frame));
    auto* p = new TestDataViewerPanel(frame);
    pump(100);  // on screen at its provisional size, not yet in the sizer
    frame->ui_root_sizer->Add(p, 1, wxEXPAND);
    frame->Layout();
    pump(50);
    expect_centred(p);
}

// A host that places the panel itself in a frame whose root sizer it leaves
// empty: the sizer never takes the panel, its hand-set size is the real one.
TEST_F(ViewerSashTest, HostThatPlacesThePanelByHandGetsCentredSashes) {
    auto* frame = new TestDataViewerFrame(top);
    frame->SetClientSize(1200, 800);
    auto* p = new TestDataViewerPanel(frame);
    const wxRect by_hand = wxRect(frame->GetClientSize()).Deflate(frame->GetClientSize() / 20);
    p->SetSize(by_hand);
    frame->Show();
    ASSERT_TRUE(settle(frame));
    pump(50);
    EXPECT_EQ(p->GetRect(), by_hand);
    expect_centred(p);
}

TEST_F(ViewerSashTest, HostThatPlacesThePanelByHandInAShownFrameGetsCentredSashes) {
    auto* frame = new TestDataViewerFrame(top);
    frame->SetClientSize(1200, 800);
    frame->Show();
    ASSERT_TRUE(settle(frame));
    auto* p = new TestDataViewerPanel(frame);
    pump(100);  // on screen at its provisional size
    EXPECT_TRUE(idle_handler_bound(p->m_splitter2));
    EXPECT_TRUE(idle_handler_bound(p->m_splitter1));
    p->SetSize(wxRect(frame->GetClientSize()).Deflate(frame->GetClientSize() / 20));
    pump(50);
    expect_centred(p);
}

TEST_F(ViewerSashTest, SashStaysWhereTheUserDraggedIt) {
    auto* frame = new TestDataViewerFrame(top);
    TestDataViewerPanel* p = place(frame);
    frame->Show();
    ASSERT_TRUE(settle(frame));
    pump(50);
    ASSERT_TRUE(activate(frame)) << "the viewer did not become active";
    expect_centred(p);

    wxUIActionSimulator sim;
    auto drag = [&](wxSplitterWindow* s, int to) {
        const bool vertical = s->GetSplitMode() == wxSPLIT_VERTICAL;
        const int on_sash = s->GetSashPosition() + s->GetSashSize() / 2;
        const int across = (vertical ? s->GetClientSize().y : s->GetClientSize().x) / 2;
        const wxPoint from =
            s->ClientToScreen(vertical ? wxPoint(on_sash, across) : wxPoint(across, on_sash));
        const wxPoint target =
            from + (vertical ? wxPoint(to - on_sash, 0) : wxPoint(0, to - on_sash));
        sim.MouseMove(from);
        pump(80);
        sim.MouseDown();
        pump(80);
        sim.MouseMove((from + target) / 2);
        pump(80);
        sim.MouseMove(target);
        pump(80);
        sim.MouseUp();
        pump(150);
    };
    const int outer_target = middle_of(p->m_splitter2) / 2;
    const int inner_target = middle_of(p->m_splitter1) * 3 / 2;
    drag(p->m_splitter2, outer_target);
    drag(p->m_splitter1, inner_target);
    EXPECT_NEAR(p->m_splitter2->GetSashPosition(), outer_target, 4);
    EXPECT_NEAR(p->m_splitter1->GetSashPosition(), inner_target, 4);

    // Later idle events, and a larger window, leave them there.
    const int outer = p->m_splitter2->GetSashPosition();
    const int inner = p->m_splitter1->GetSashPosition();
    pump(100);
    frame->SetClientSize(1400, 900);
    pump_until([&] { return frame->GetClientSize() == wxSize(1400, 900); });
    pump(100);
    EXPECT_EQ(p->m_splitter2->GetSashPosition(), outer);
    EXPECT_EQ(p->m_splitter1->GetSashPosition(), inner);
}

// ---------------------------------------------------------------- the frame

class ViewerFrameTest : public WindowTest {};

TEST_F(ViewerFrameTest, NewFrameIsEmptyCentredAndFilledByItsRootSizer) {
    OwnFrame own;  // centred on the display, not on a parent
    TestDataViewerFrame* frame = own.frame;
    EXPECT_EQ(frame->GetTitle(), "");
    EXPECT_TRUE(frame->GetChildren().empty());
    ASSERT_NE(frame->ui_root_sizer, nullptr);
    EXPECT_EQ(frame->GetSizer(), frame->ui_root_sizer);
    EXPECT_EQ(frame->ui_root_sizer->GetOrientation(), wxVERTICAL);
    EXPECT_EQ(frame->ui_root_sizer->GetItemCount(), 0u);
    EXPECT_FALSE(frame->IsShown());
    for (long flag : {wxRESIZE_BORDER, wxMINIMIZE_BOX, wxMAXIMIZE_BOX, wxCLOSE_BOX, wxCAPTION,
                      wxSYSTEM_MENU, wxTAB_TRAVERSAL})
        EXPECT_TRUE(frame->HasFlag(flag)) << std::hex << flag;
    EXPECT_EQ(frame->GetMinSize(), wxDefaultSize);
    EXPECT_EQ(frame->GetMaxSize(), wxDefaultSize);

    const wxRect display = wxGetClientDisplayRect();
    const wxRect r = frame->GetRect();
    EXPECT_NEAR(r.x - display.x, (display.width - r.width) / 2, 2);
    EXPECT_NEAR(r.y - display.y, (display.height - r.height) / 2, 2);

    // What the host adds with (1, wxEXPAND) fills the client area.
    auto* content = new wxPanel(frame);
    frame->ui_root_sizer->Add(content, 1, wxEXPAND);
    frame->SetClientSize(700, 500);
    frame->Show();
    pump_until([&] { return frame->GetClientSize() == wxSize(700, 500); });
    frame->Layout();
    pump(20);
    EXPECT_EQ(content->GetRect(), wxRect(wxPoint(0, 0), frame->GetClientSize()));

    frame->SetClientSize(900, 650);
    pump_until([&] { return frame->GetClientSize() == wxSize(900, 650); });
    pump(20);
    EXPECT_EQ(content->GetRect(), wxRect(wxPoint(0, 0), frame->GetClientSize()));
}

TEST_F(ViewerFrameTest, CloseRequestReachesTheHandlerAndByDefaultDestroysTheFrame) {
    auto* kept = new VetoingFrame(top);
    kept->Show();
    pump(20);
    EXPECT_FALSE(kept->Close());
    pump(20);
    EXPECT_EQ(kept->log.count("on_close_window"), 1);
    EXPECT_TRUE(is_top_level_alive(kept));

    OwnFrame own;
    TestDataViewerFrame* frame = own.frame;
    new TestDataViewerPanel(frame);
    frame->Show();
    pump(20);
    EXPECT_TRUE(frame->Close());
    EXPECT_TRUE(pump_until([&] { return !is_top_level_alive(frame); }));
}

TEST_F(ViewerFrameTest, RepeatedConstructionAndDestructionIsClean) {
    const int before = assertion_count();
    for (int round = 0; round < 20; ++round) {
        auto* frame = new TestDataViewerFrame(round % 2 ? top : nullptr);
        auto* p = new TestDataViewerPanel(frame);
        frame->ui_root_sizer->Add(p, 1, wxEXPAND);
        if (round % 3 == 0) {
            frame->Show();
            pump(5);
        }
        if (round % 4 == 0)
            frame->Close();
        else
            frame->Destroy();
        pump(5);
    }
    pump(30);
    EXPECT_EQ(assertion_count(), before);
}
