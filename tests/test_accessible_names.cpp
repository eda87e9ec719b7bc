// SPDX-License-Identifier: MIT
// The names a screen reader says for the windows' fields, read from the
// objects assistive technology is given: ATK's on GTK, MSAA's on Windows.
// The same names on both; tests/accessibility drives a station through
// AT-SPI from outside as well.

#include <atsui/atsui.h>

#include <wx/grid.h>
#include <wx/toolbar.h>

#include "support/harness.h"

using namespace atsui_test;
using namespace tov_atsui;

namespace {

class AccessibleNames : public WindowTest {};

}  // namespace

TEST_F(AccessibleNames, CellFieldsAreNamedAfterTheirCaptionsWithoutTheColon) {
    auto* cell = new Cell(top);
    show_in_top(cell, wxSize(900, 700));

    EXPECT_EQ(accessible_name(cell->ui_serial_number), "SN");
    EXPECT_EQ(accessible_name(cell->ui_ok_count), "OK");
    EXPECT_EQ(accessible_name(cell->ui_ng_count), "NG");
    EXPECT_EQ(accessible_name(cell->ui_ok_percent), "Yield");
    EXPECT_EQ(accessible_name(cell->ui_script_path), "Script");
    EXPECT_EQ(accessible_name(cell->ui_test_logger), "Test log");
    EXPECT_EQ(accessible_name(cell->ui_gauge), "Progress");
    // The drawn grids: the grid and the window of its cells, which takes the
    // keyboard focus.
    for (wxGrid* grid : {cell->ui_assertions, cell->ui_history_grid}) {
        const wxString name = accessible_name(grid);
        EXPECT_TRUE(name == "Test items" || name == "Test history") << name;
        EXPECT_EQ(accessible_name(grid->GetGridWindow()), name);
    }
    EXPECT_NE(accessible_name(cell->ui_assertions), accessible_name(cell->ui_history_grid));
}

TEST_F(AccessibleNames, NamesFollowTheCaptionsAHostChanges) {
    auto* cell = new Cell(top);
    show_in_top(cell, wxSize(900, 700));
    EXPECT_EQ(accessible_name(cell), "Cell 1");

    // Automation finds a cell by the name the host gives it.
    cell->ui_cell_name->SetLabel("Cell 7");
    cell->m_staticText1->SetLabel(U8("序列号:"));
    pump(20);
    EXPECT_EQ(accessible_name(cell), "Cell 7");
    EXPECT_EQ(code_points(accessible_name(cell->ui_serial_number)), code_points_utf8("序列号"));

    // A caption the host takes away is not read after it has gone.
    cell->m_staticText5->Destroy();
    pump(20);
    accessible_name(cell->ui_script_path);
    cell->m_staticText1->SetLabel("S/N:");
    pump(20);
    EXPECT_EQ(accessible_name(cell->ui_serial_number), "S/N");
}

TEST_F(AccessibleNames, StationToolsAndFiguresCarryTheirNames) {
    auto* frame = new Frame(top);
    frame->SetSize(1000, 700);
    frame->Show();
    ASSERT_TRUE(pump_until([&] { return frame->IsShownOnScreen(); }));
    pump(30);

    // A tool is called by its short help, not by the label "tool".
    wxToolBar* bar = frame->ui_toolbar;
    EXPECT_EQ(accessible_tool_name(bar, bar->GetToolPos(frame->ui_start_all->GetId())),
              "Start All Cells");
    EXPECT_EQ(accessible_tool_name(bar, bar->GetToolPos(frame->ui_abort_all->GetId())),
              "Abort All Cells");
    EXPECT_EQ(accessible_name(frame->ui_ok_count), "OK");
    EXPECT_EQ(accessible_name(frame->ui_ng_count), "NG");
    EXPECT_EQ(accessible_name(frame->ui_ok_percent), "Yield");
    EXPECT_EQ(accessible_name(frame->ui_cell_panel), "Test cells");
    frame->Destroy();
}

TEST_F(AccessibleNames, DialogTextsViewerAndLauncherAreNamed) {
    auto* ticker = new TickerExceptionDialog(top);
    auto* manual = new ManualOperationDialog(top);
    auto* launcher = new ATSLauncher(top);
    for (wxDialog* dialog : std::initializer_list<wxDialog*>{ticker, manual, launcher})
        dialog->Show();
    pump(50);
    EXPECT_EQ(accessible_name(ticker->ui_exception_trace), "Exception trace");
    EXPECT_EQ(accessible_name(manual->ui_message), "Manual operation help");
    EXPECT_EQ(accessible_name(launcher->ui_project_path), "Project path");
    EXPECT_EQ(accessible_name(launcher->ui_project_list), "Project list");
    for (wxDialog* dialog : std::initializer_list<wxDialog*>{ticker, manual, launcher})
        dialog->Destroy();

    // The viewer speaks Chinese, in any process locale.
    auto* viewer = new TestDataViewerPanel(top);
    show_in_top(viewer, wxSize(1200, 700));
    EXPECT_EQ(code_points(accessible_name(viewer->ui_history)), code_points_utf8("测试历史"));
    EXPECT_EQ(code_points(accessible_name(viewer->ui_assertions)), code_points_utf8("测试项"));
    EXPECT_EQ(code_points(accessible_name(viewer->ui_single_item_max)),
              code_points_utf8("最大值"));
    EXPECT_EQ(accessible_name(viewer->ui_cell_filter), "Cell");
}
