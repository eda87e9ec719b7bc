// SPDX-License-Identifier: MIT
#include <atsui/station/cell.h>

#include <stdexcept>

#include <wx/fontenum.h>
#include <wx/gauge.h>
#include <wx/grid.h>
#include <wx/notebook.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/uiaction.h>

#include "support/counting.h"
#include "support/harness.h"

using namespace atsui_test;
using tov_atsui::Cell;

namespace {

void expect_face_font(wxWindow* w, int points) {
    const wxFont font = w->GetFont();
    EXPECT_EQ(font.GetFaceName(), "DejaVu Sans") << w->GetName();
    EXPECT_EQ(font.GetPointSize(), points) << w->GetName();
    EXPECT_EQ(font.GetStyle(), wxFONTSTYLE_NORMAL);
    EXPECT_EQ(font.GetWeight(), wxFONTWEIGHT_NORMAL);
    EXPECT_FALSE(font.GetUnderlined());
}

constexpr int kCentred = wxALL | wxALIGN_CENTER_VERTICAL;

}  // namespace

class CellTest : public WindowTest {
protected:
    template <typename C = Cell>
    C* make() {
        return new C(top);
    }
};

TEST_F(CellTest, CaptionsValuesAndVisibility) {
    Cell* c = make();
    EXPECT_EQ(c->m_staticText1->GetLabel(), "SN:");
    EXPECT_EQ(c->ui_serial_number->GetValue(), "");
    EXPECT_EQ(c->ui_start->GetLabel(), "Start");
    EXPECT_EQ(c->ui_abort->GetLabel(), "Abort");
    EXPECT_EQ(c->m_staticText5->GetLabel(), "Script");
    EXPECT_EQ(c->ui_script_path->GetValue(), "");
    EXPECT_EQ(c->ui_browse_script->GetLabel(), "Browse...");
    EXPECT_EQ(c->ui_prompt->GetLabel(), "Ready");
    EXPECT_EQ(c->ui_cell_name->GetLabel(), "Cell 1");
    EXPECT_EQ(c->ui_elapse_time->GetValue(), "00:00:00");
    EXPECT_EQ(c->ui_test_logger->GetValue(), "");
    EXPECT_EQ(c->ui_gauge->GetRange(), 100);
    EXPECT_EQ(c->ui_gauge->GetValue(), 0);
    EXPECT_FALSE(c->ui_bitmap->GetBitmap().IsOk());
    for (wxTextCtrl* field : {c->ui_ok_count, c->ui_ng_count, c->ui_ok_percent})
        EXPECT_EQ(field->GetValue(), "");
    EXPECT_EQ(c->m_staticText2->GetLabel(), "OK");
    EXPECT_EQ(c->m_staticText3->GetLabel(), "NG");
    EXPECT_EQ(c->m_staticText4->GetLabel(), "Yield");

    for (wxWindow* hidden :
         {static_cast<wxWindow*>(c->ui_other_info_panel),
          static_cast<wxWindow*>(c->ui_statistics_panel),
          static_cast<wxWindow*>(c->ui_script_panel), static_cast<wxWindow*>(c->ui_image_panel)})
        EXPECT_FALSE(hidden->IsShown());
    for (wxWindow* shown :
         {static_cast<wxWindow*>(c->ui_serial_number_panel), static_cast<wxWindow*>(c->ui_start),
          static_cast<wxWindow*>(c->ui_abort), static_cast<wxWindow*>(c->ui_prompt),
          static_cast<wxWindow*>(c->ui_view_notebook), static_cast<wxWindow*>(c->ui_cell_name),
          static_cast<wxWindow*>(c->ui_elapse_time), static_cast<wxWindow*>(c->ui_gauge)})
        EXPECT_TRUE(shown->IsShown());

    EXPECT_FALSE(c->ui_refresh_timer.IsRunning());
    EXPECT_FALSE(c->ui_blink_timer.IsRunning());
    EXPECT_EQ(c->ui_refresh_timer.GetOwner(), c);
    EXPECT_EQ(c->ui_blink_timer.GetOwner(), c);
    EXPECT_NE(c->ui_refresh_timer.GetId(), c->ui_blink_timer.GetId());
}

TEST_F(CellTest, StylesAndParents) {
    Cell* c = make();
    EXPECT_TRUE(c->ui_serial_number->HasFlag(wxTE_PROCESS_ENTER));
    EXPECT_TRUE(c->ui_serial_number->IsEditable());
    EXPECT_TRUE(c->ui_abort->HasFlag(wxBORDER_SUNKEN));
    EXPECT_TRUE(c->ui_prompt->HasFlag(wxBORDER_NONE));
    EXPECT_FALSE(c->ui_script_path->IsEditable());
    EXPECT_TRUE(c->ui_test_logger->IsMultiLine());
    EXPECT_FALSE(c->ui_test_logger->IsEditable());
    EXPECT_FALSE(c->ui_elapse_time->IsEditable());
    EXPECT_TRUE(c->ui_elapse_time->HasFlag(wxTE_CENTER));
    EXPECT_TRUE(c->ui_gauge->HasFlag(wxGA_HORIZONTAL));
    EXPECT_TRUE(c->m_staticline11->IsVertical() == false);
    EXPECT_TRUE(c->m_staticline2->IsVertical());
    for (wxTextCtrl* field : {c->ui_ok_count, c->ui_ng_count, c->ui_ok_percent})
        EXPECT_TRUE(field->IsEditable());

    auto* box = dynamic_cast<wxStaticBoxSizer*>(c->ui_statistics_panel->GetSizer()
                                                    ->GetItem(size_t(0))
                                                    ->GetSizer()
                                                    ->GetItem(size_t(1))
                                                    ->GetSizer());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->GetStaticBox()->GetLabel(), "Statistics");
    EXPECT_EQ(box->GetOrientation(), wxHORIZONTAL);
    for (wxWindow* w :
         {static_cast<wxWindow*>(c->m_staticText2), static_cast<wxWindow*>(c->ui_ok_count),
          static_cast<wxWindow*>(c->m_staticText3), static_cast<wxWindow*>(c->ui_ng_count),
          static_cast<wxWindow*>(c->m_staticText4), static_cast<wxWindow*>(c->ui_ok_percent)}) {
        EXPECT_EQ(w->GetParent(), box->GetStaticBox());
        EXPECT_EQ(placement_of(w), (Placement{0, kCentred, 5}));
    }
    EXPECT_EQ(c->m_staticText1->GetParent(), c->ui_serial_number_panel);
    EXPECT_EQ(c->ui_serial_number->GetParent(), c->ui_serial_number_panel);
    EXPECT_EQ(c->ui_browse_script->GetParent(), c->ui_script_panel);
    EXPECT_EQ(c->ui_bitmap->GetParent(), c->ui_image_panel);
    EXPECT_EQ(c->m_staticline11->GetParent(), c->ui_other_info_panel);
    for (wxWindow* w :
         {static_cast<wxWindow*>(c->ui_start), static_cast<wxWindow*>(c->ui_abort),
          static_cast<wxWindow*>(c->ui_prompt), static_cast<wxWindow*>(c->ui_view_notebook),
          static_cast<wxWindow*>(c->ui_cell_name), static_cast<wxWindow*>(c->ui_gauge)})
        EXPECT_EQ(w->GetParent(), c);
}

TEST_F(CellTest, FontsAreRealDejaVuFacesAndColoursAsListed) {
    ASSERT_TRUE(wxFontEnumerator::IsValidFacename("DejaVu Sans"))
        << "fonts-dejavu-core must be installed";
    Cell* c = make();
    const int normal = wxNORMAL_FONT->GetPointSize();
    for (wxWindow* w :
         {static_cast<wxWindow*>(c->m_staticText1), static_cast<wxWindow*>(c->ui_serial_number),
          static_cast<wxWindow*>(c->ui_start), static_cast<wxWindow*>(c->ui_abort)})
        expect_face_font(w, normal);
    expect_face_font(c->ui_prompt, 20);
    expect_face_font(c->ui_cell_name, 16);
    expect_face_font(c->ui_elapse_time, 16);
    // Widgets without a font of their own keep the default.
    EXPECT_NE(c->m_staticText5->GetFont().GetFaceName(), "DejaVu Sans");

    const wxColour green(0, 128, 64), red(255, 0, 0);
    EXPECT_EQ(c->m_staticText2->GetForegroundColour(), green);
    EXPECT_EQ(c->m_staticText3->GetForegroundColour(), red);
    EXPECT_EQ(c->m_staticText4->GetForegroundColour(), green);
    EXPECT_EQ(c->ui_ok_count->GetBackgroundColour(), green);
    EXPECT_EQ(c->ui_ng_count->GetBackgroundColour(), red);
    EXPECT_EQ(c->ui_ok_percent->GetBackgroundColour(), green);
    EXPECT_EQ(c->ui_start->GetBackgroundColour(), wxColour(0, 255, 0));
    EXPECT_EQ(c->ui_prompt->GetBackgroundColour(), wxColour(0, 255, 0));
    EXPECT_EQ(c->ui_abort->GetBackgroundColour(), wxColour(0, 255, 255));
}

TEST_F(CellTest, NotebookPagesAndGrids) {
    Cell* c = make();
    wxNotebook* nb = c->ui_view_notebook;
    ASSERT_EQ(nb->GetPageCount(), 3u);
    EXPECT_EQ(nb->GetPageText(0), "Measure");
    EXPECT_EQ(nb->GetPageText(1), "Logger");
    EXPECT_EQ(nb->GetPageText(2), "History");
    EXPECT_EQ(nb->GetPage(0), c->ui_assert_panel);
    EXPECT_EQ(nb->GetPage(1), c->ui_logger_panel);
    EXPECT_EQ(nb->GetPage(2), c->ui_history_panel);
    EXPECT_EQ(nb->GetSelection(), 0);

    EXPECT_EQ(c->ui_assertions->GetNumberRows(), 0);
    EXPECT_EQ(c->ui_assertions->GetNumberCols(), 0);
    EXPECT_EQ(c->ui_assertions->GetRowLabelSize(), 50);
    EXPECT_EQ(c->ui_history_grid->GetNumberRows(), 0);
    EXPECT_EQ(c->ui_history_grid->GetRowLabelSize(), 80);
    const std::vector<std::pair<const char*, int>> columns = {{"Begin Time", 150},
                                                              {"End Time", 150},
                                                              {"Serial Number", 200},
                                                              {"Result", 150},
                                                              {"Description", 200}};
    ASSERT_EQ(c->ui_history_grid->GetNumberCols(), 5);
    for (int col = 0; col < 5; ++col) {
        EXPECT_EQ(c->ui_history_grid->GetColLabelValue(col), columns[col].first);
        EXPECT_EQ(c->ui_history_grid->GetColSize(col), columns[col].second);
    }
    for (wxGrid* g : {c->ui_assertions, c->ui_history_grid}) {
        EXPECT_FALSE(g->IsEditable());
        EXPECT_TRUE(g->GridLinesEnabled());
        EXPECT_FALSE(g->CanDragGridSize());
        EXPECT_FALSE(g->CanDragColMove());
        EXPECT_TRUE(g->CanDragColSize(0));
        EXPECT_FALSE(g->CanDragRowSize(0));
        EXPECT_EQ(g->GetColLabelSize(), 30);
        int h = 0, v = 0;
        g->GetColLabelAlignment(&h, &v);
        EXPECT_EQ(h, wxALIGN_CENTER);
        EXPECT_EQ(v, wxALIGN_CENTER);
        g->GetRowLabelAlignment(&h, &v);
        EXPECT_EQ(h, wxALIGN_CENTER);
        EXPECT_EQ(v, wxALIGN_CENTER);
        g->GetDefaultCellAlignment(&h, &v);
        EXPECT_EQ(h, wxALIGN_LEFT);
        EXPECT_EQ(v, wxALIGN_CENTER);
    }
    EXPECT_EQ(placement_of(c->ui_assertions), (Placement{1, wxALL | wxEXPAND, 0}));
    EXPECT_EQ(placement_of(c->ui_test_logger), (Placement{1, wxALL | wxEXPAND, 0}));
    EXPECT_EQ(placement_of(c->ui_history_grid), (Placement{1, wxALL | wxEXPAND, 5}));
}

TEST_F(CellTest, SizerTreeIsAsBuilt) {
    Cell* c = make();
    wxSizer* root = c->GetSizer();
    ASSERT_EQ(root->GetItemCount(), 2u);
    EXPECT_EQ(placement(root->GetItem(size_t(0))), (Placement{1, wxEXPAND, 5}));
    EXPECT_EQ(placement_of(c->ui_image_panel), (Placement{0, wxEXPAND | wxALL, 5}));
    wxSizer* column = root->GetItem(size_t(0))->GetSizer();
    ASSERT_EQ(column->GetItemCount(), 7u);
    EXPECT_EQ(column->GetItem(size_t(0))->GetWindow(), c->ui_other_info_panel);
    EXPECT_EQ(column->GetItem(size_t(1))->GetWindow(), c->ui_statistics_panel);
    EXPECT_EQ(column->GetItem(size_t(3))->GetWindow(), c->ui_script_panel);
    EXPECT_EQ(column->GetItem(size_t(4))->GetWindow(), c->ui_prompt);
    EXPECT_EQ(column->GetItem(size_t(5))->GetWindow(), c->ui_view_notebook);
    EXPECT_EQ(placement_of(c->ui_other_info_panel), (Placement{0, wxEXPAND | wxALL, 0}));
    EXPECT_EQ(placement_of(c->ui_statistics_panel), (Placement{0, wxEXPAND | wxALL, 5}));
    EXPECT_EQ(placement(column->GetItem(size_t(2))), (Placement{0, wxEXPAND, 5}));
    EXPECT_EQ(placement_of(c->ui_script_panel), (Placement{0, wxEXPAND | wxALL, 0}));
    EXPECT_EQ(placement_of(c->ui_prompt), (Placement{0, wxALL | wxEXPAND, 5}));
    EXPECT_EQ(placement_of(c->ui_view_notebook), (Placement{1, wxEXPAND | wxALL, 0}));
    EXPECT_EQ(placement(column->GetItem(size_t(6))), (Placement{0, wxEXPAND, 5}));

    EXPECT_EQ(placement(c->ui_other_info_panel->GetSizer()->GetItem(c->ui_other_info_sizer)),
              (Placement{1, wxEXPAND, 5}));
    EXPECT_EQ(c->ui_other_info_sizer->GetOrientation(), wxHORIZONTAL);
    EXPECT_EQ(c->ui_other_info_sizer->GetItemCount(), 0u);
    EXPECT_EQ(placement_of(c->m_staticline11), (Placement{0, wxALL | wxEXPAND, 5}));
    EXPECT_EQ(placement_of(c->ui_serial_number_panel), (Placement{0, wxEXPAND | wxALL, 0}));
    EXPECT_EQ(placement_of(c->m_staticText1), (Placement{0, kCentred, 5}));
    EXPECT_EQ(placement_of(c->ui_serial_number), (Placement{1, kCentred, 5}));
    EXPECT_EQ(placement_of(c->ui_start), (Placement{0, kCentred, 5}));
    EXPECT_EQ(placement_of(c->ui_abort), (Placement{0, kCentred, 5}));
    EXPECT_EQ(placement_of(c->m_staticText5), (Placement{0, kCentred, 5}));
    EXPECT_EQ(placement_of(c->ui_script_path), (Placement{1, kCentred, 5}));
    EXPECT_EQ(placement_of(c->ui_browse_script), (Placement{0, kCentred, 5}));
    EXPECT_EQ(placement_of(c->ui_cell_name), (Placement{0, kCentred, 5}));
    EXPECT_EQ(placement_of(c->ui_elapse_time), (Placement{0, kCentred, 5}));
    EXPECT_EQ(placement_of(c->ui_gauge), (Placement{1, wxALL | wxEXPAND, 5}));
    EXPECT_EQ(placement_of(c->m_staticline2), (Placement{0, wxEXPAND | wxLEFT | wxRIGHT, 5}));
    EXPECT_EQ(placement_of(c->ui_bitmap), (Placement{0, wxALL | wxEXPAND, 5}));

    // Control row: stretch, serial number, Start, Abort, stretch.
    wxSizer* row = c->ui_start->GetContainingSizer();
    ASSERT_EQ(row->GetItemCount(), 5u);
    EXPECT_TRUE(row->GetItem(size_t(0))->IsSpacer());
    EXPECT_TRUE(row->GetItem(size_t(4))->IsSpacer());
    EXPECT_EQ(placement(row->GetItem(size_t(4))), (Placement{1, wxEXPAND, 5}));
}

TEST_F(CellTest, EachSourceReachesExactlyItsHandler) {
    auto* c = make<CountingCell>();
    c->ui_script_panel->Show();
    struct Route {
        std::function<void()> send;
        const char* handler;
    };
    const std::vector<Route> routes = {
        {[&] { fire(c->ui_refresh_timer); }, "on_refresh_timer_event"},
        {[&] { fire(c->ui_blink_timer); }, "on_blink_timer_event"},
        {[&] { press_enter(c->ui_serial_number); }, "on_start_cell_test"},
        {[&] { click(c->ui_start); }, "on_start_cell_test"},
        {[&] { click(c->ui_abort); }, "on_abort_cell_test"},
        {[&] { click(c->ui_browse_script); }, "on_browse_script"},
    };
    for (const Route& route : routes) {
        SCOPED_TRACE(route.handler);
        c->log.clear();
        route.send();
        EXPECT_EQ(c->log.count(route.handler), 1) << c->log.summary();
        EXPECT_EQ(c->log.total(), 1) << c->log.summary();
    }

    // The banner and the other widgets reach no handler.
    c->log.clear();
    PropagationCounter up(top, wxEVT_BUTTON);
    click(c->ui_prompt);
    EXPECT_EQ(c->log.total(), 0);
    EXPECT_EQ(up.count(), 1);
}

TEST_F(CellTest, DefaultHandlersLetCommandsReachTheParent) {
    Cell* c = make();
    PropagationCounter buttons(top, wxEVT_BUTTON);
    PropagationCounter enters(top, wxEVT_TEXT_ENTER);
    c->ui_serial_number->ChangeValue("SN-0001");
    click(c->ui_start);
    click(c->ui_abort);
    press_enter(c->ui_serial_number);
    EXPECT_EQ(buttons.count(), 2);
    EXPECT_EQ(enters.count(), 1);

    // A timer event ends at the cell, skipped.
    wxTimerEvent tick(c->ui_refresh_timer);
    EXPECT_FALSE(c->ProcessWindowEvent(tick));
    EXPECT_TRUE(tick.GetSkipped());

    // Nothing in the panel changed.
    EXPECT_EQ(c->ui_prompt->GetLabel(), "Ready");
    EXPECT_EQ(c->ui_serial_number->GetValue(), "SN-0001");
    EXPECT_EQ(c->ui_gauge->GetValue(), 0);
    EXPECT_FALSE(c->ui_refresh_timer.IsRunning());
}

TEST_F(CellTest, TwoCellsKeepTheirEventsApart) {
    auto* a = make<CountingCell>();
    auto* b = make<CountingCell>();
    std::set<int> ids = {a->ui_refresh_timer.GetId(), a->ui_blink_timer.GetId(),
                         b->ui_refresh_timer.GetId(), b->ui_blink_timer.GetId()};
    EXPECT_EQ(ids.size(), 4u);

    click(a->ui_start);
    EXPECT_EQ(a->log.count("on_start_cell_test"), 1);
    EXPECT_EQ(b->log.total(), 0);
    press_enter(b->ui_serial_number);
    EXPECT_EQ(b->log.count("on_start_cell_test"), 1);
    EXPECT_EQ(a->log.total(), 1);

    a->log.clear();
    b->log.clear();
    a->ui_refresh_timer.StartOnce(5);
    b->ui_blink_timer.StartOnce(5);
    ASSERT_TRUE(pump_until([&] { return a->log.total() == 1 && b->log.total() == 1; }));
    pump(30);
    EXPECT_EQ(a->log.count("on_refresh_timer_event"), 1) << a->log.summary();
    EXPECT_EQ(b->log.count("on_blink_timer_event"), 1) << b->log.summary();
    EXPECT_EQ(a->log.total() + b->log.total(), 2);
}

TEST_F(CellTest, NullParentIsRefusedBeforeAnythingIsCreated) {
    const size_t windows_before = wxTopLevelWindows.size();
    const int asserts_before = assertion_count();
    try {
        Cell cell_on_nothing(nullptr);
        FAIL() << "a cell was built without a parent";
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find("Cell"), std::string::npos) << e.what();
    }
    try {
        new Cell(nullptr, wxID_ANY, wxDefaultPosition, wxSize(300, 200));
        FAIL() << "a cell was built without a parent";
    } catch (const std::invalid_argument&) {
    }
    EXPECT_EQ(wxTopLevelWindows.size(), windows_before);
    EXPECT_EQ(assertion_count(), asserts_before);
}

TEST_F(CellTest, ConstructorArgumentsReachThePanel) {
    Cell* c = new Cell(top, 4321, wxPoint(3, 4), wxSize(640, 480),
                       wxTAB_TRAVERSAL | wxBORDER_SIMPLE, "cell-a");
    EXPECT_EQ(c->GetId(), 4321);
    EXPECT_EQ(c->GetName(), "cell-a");
    EXPECT_TRUE(c->HasFlag(wxBORDER_SIMPLE));
    EXPECT_EQ(c->GetParent(), top);
}

TEST_F(CellTest, HiddenRegionsTakeNoRoomUntilShown) {
    Cell* c = make();
    show_in_top(c, wxSize(900, 700));

    // Hidden: the control row is the first thing in the column, and the
    // column spans the whole cell.
    const wxRect row = c->ui_serial_number_panel->GetRect();
    EXPECT_EQ(row.y, 0);
    EXPECT_NEAR(c->ui_prompt->GetRect().x, 5, 1);
    EXPECT_EQ(c->ui_prompt->GetRect().GetRight(), c->GetClientSize().x - 6);
    const int prompt_y = c->ui_prompt->GetPosition().y;
    EXPECT_EQ(c->GetSizer()->GetMinSize().x, c->GetSizer()->GetItem(size_t(0))->GetMinSize().x);

    // The serial number, "Start" and "Abort" are centred as a group.
    const int left = row.x;
    const int right = c->GetClientSize().x - (c->ui_abort->GetRect().GetRight() + 1 + 5);
    EXPECT_NEAR(left, right, 2);

    // The extra height goes to the notebook only.
    const int notebook_h = c->ui_view_notebook->GetSize().y;
    top->SetClientSize(900, 800);
    pump_until([&] { return top->GetClientSize().y == 800; });
    top->Layout();
    pump(20);
    EXPECT_EQ(c->ui_view_notebook->GetSize().y, notebook_h + 100);

    // Shown, each region takes its fixed place.
    c->ui_other_info_panel->Show();
    c->ui_statistics_panel->Show();
    c->ui_script_panel->Show();
    c->ui_image_panel->Show();
    c->Layout();
    pump(20);
    const wxRect info = c->ui_other_info_panel->GetRect();
    const wxRect stats = c->ui_statistics_panel->GetRect();
    const wxRect script = c->ui_script_panel->GetRect();
    const wxRect controls = c->ui_serial_number_panel->GetRect();
    const wxRect image = c->ui_image_panel->GetRect();
    EXPECT_EQ(info.y, 0);
    EXPECT_GT(info.height, 0);
    EXPECT_EQ(stats.y, info.GetBottom() + 1 + 5);
    EXPECT_GT(controls.y, stats.GetBottom());
    EXPECT_GT(script.y, controls.y);
    EXPECT_LT(script.y, c->ui_prompt->GetPosition().y);
    EXPECT_GT(c->ui_prompt->GetPosition().y, prompt_y);
    EXPECT_EQ(image.GetRight(), c->GetClientSize().x - 6);
    EXPECT_GT(image.x, c->ui_prompt->GetRect().GetRight());
    EXPECT_LT(c->ui_prompt->GetRect().GetRight(), c->GetClientSize().x - 6);
    EXPECT_EQ(script.width, c->ui_prompt->GetRect().width + 10);

    // Hidden again, they give the room back.
    for (wxWindow* w :
         {static_cast<wxWindow*>(c->ui_other_info_panel),
          static_cast<wxWindow*>(c->ui_statistics_panel),
          static_cast<wxWindow*>(c->ui_script_panel), static_cast<wxWindow*>(c->ui_image_panel)})
        w->Hide();
    c->Layout();
    pump(20);
    EXPECT_EQ(c->ui_prompt->GetPosition().y, prompt_y);
}

TEST_F(CellTest, TypingASerialNumberAndEnterStartsTheTest) {
    auto* c = make<CountingCell>();
    show_in_top(c, wxSize(900, 700));
    ASSERT_TRUE(activate(top)) << "the test window did not become active";
    c->ui_serial_number->SetFocus();
    pump(100);
    wxUIActionSimulator sim;
    sim.Text("UUT42");
    pump(100);
    sim.Char(WXK_RETURN);
    ASSERT_TRUE(pump_until([&] { return c->log.count("on_start_cell_test") == 1; }));
    EXPECT_EQ(c->ui_serial_number->GetValue(), "UUT42");

    // And a real click on "Start".
    const wxPoint centre = c->ui_start->GetScreenRect().GetPosition() + c->ui_start->GetSize() / 2;
    sim.MouseMove(centre);
    pump(100);
    sim.MouseClick();
    ASSERT_TRUE(pump_until([&] { return c->log.count("on_start_cell_test") == 2; }));
    EXPECT_EQ(c->log.total(), 2) << c->log.summary();
}

TEST_F(CellTest, RepeatedConstructionAndDestructionIsClean) {
    const int before = assertion_count();
    for (int round = 0; round < 40; ++round) {
        auto* c = new CountingCell(top);
        if (round % 2) {
            c->ui_refresh_timer.Start(2);
            c->ui_blink_timer.Start(3);
        }
        if (round % 3 == 0) {
            top->GetSizer()->Add(c, 1, wxEXPAND);
            top->Show();
            top->Layout();
            pump(5);
        }
        if (round % 4 == 0)
            c->Destroy();
        else
            delete c;
        pump(2);
    }
    EXPECT_EQ(assertion_count(), before);
}
