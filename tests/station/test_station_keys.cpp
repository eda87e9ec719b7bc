// SPDX-License-Identifier: MIT
// The station from the keyboard: the frequent actions' keys, typed through
// the X server into a shown station, the help each menu item gives in the
// status bar, the barcode scanner's serial number and Enter, Tab through the
// cells, each cell's key, and the launcher's and the viewer's keys.

#include <string>
#include <vector>

#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>

#include "host/station_launcher.h"
#include "host/station_viewer.h"
#include "station_fixture.h"

using namespace atsui_test;
using namespace station;

namespace {

constexpr int kFinishMs = 10000;

// Every item of the menu bar, menu by menu, separators left out.
std::vector<wxMenuItem*> menu_items(wxMenuBar* bar) {
    std::vector<wxMenuItem*> items;
    for (size_t m = 0; m < bar->GetMenuCount(); ++m)
        for (wxMenuItem* item : bar->GetMenu(m)->GetMenuItems())
            if (!item->IsSeparator()) items.push_back(item);
    return items;
}

}  // namespace

class StationKeys : public station_test::StationFixture {
protected:
    StationKeys() : StationFixture("station-keys") {}

    // A chord as the operator types it, each step given time to arrive.
    void press(int key, int modifiers = wxMOD_NONE) {
        sim.Char(key, modifiers);
        pump(100);
    }

    // Brings the station to the front with the first cell's serial number
    // field focused, where the operator's keys land between tests.
    void focus_first_serial() {
        ASSERT_TRUE(activate(frame)) << "the station did not become active";
        cell(1)->ui_serial_number->SetFocus();
        ASSERT_TRUE(pump_until([&] { return wxWindow::FindFocus() == cell(1)->ui_serial_number; }));
    }

    // Where the keyboard is: the cell's serial number field, or nothing.
    bool keyboard_in(wxWindow* window) const { return wxWindow::FindFocus() == window; }
    bool keyboard_inside(wxWindow* window) const {
        for (wxWindow* w = wxWindow::FindFocus(); w; w = w->GetParent())
            if (w == window) return true;
        return false;
    }
    bool wait_for_keyboard(wxWindow* window) {
        return pump_until([&] { return keyboard_in(window); });
    }

    wxUIActionSimulator sim;
};

TEST_F(StationKeys, KeysStartAndAbortAllCellsAndOpenTheViewer) {
    // Slow enough that the tests are still running when the abort key comes.
    options.item_ms = 400;
    open();
    cell(1)->ui_serial_number->SetValue("UNIT-1");
    cell(2)->ui_serial_number->SetValue("UNIT-2");
    focus_first_serial();

    press(WXK_F5);
    ASSERT_TRUE(pump_until([&] { return cell(1)->running() && cell(2)->running(); }))
        << "F5 did not start every cell";

    press(WXK_F5, wxMOD_SHIFT);
    ASSERT_TRUE(pump_until([&] { return all_idle(); })) << "Shift+F5 did not abort";
    std::vector<Verdict> verdicts;
    frame->store().for_each([&](const TestRecord& r) { verdicts.push_back(r.verdict); });
    EXPECT_EQ(verdicts, std::vector<Verdict>(2, Verdict::aborted));

    EXPECT_EQ(frame->viewer(), nullptr);
    frame->Raise();
    pump(100);
    press('T', wxMOD_CONTROL);
    ASSERT_TRUE(pump_until([&] { return frame->viewer() && frame->viewer()->IsShown(); }))
        << "Ctrl+T did not open the test data window";
    EXPECT_EQ(frame->viewer()->panel->ui_history->GetNumberRows(), 2);

    // The menus show the keys beside the layer's own labels.
    struct Shown {
        wxMenuItem* item;
        const char* label;
        const char* key;
    };
    for (const Shown& s : {Shown{frame->start_all_item(), "Start All Cells", "F5"},
                           Shown{frame->abort_all_item(), "Abort All Cells", "Shift+F5"},
                           Shown{frame->m_menuItem7, "Test Data Window", "Ctrl+T"},
                           Shown{frame->m_menuItem5, "Clear Statistics", "Ctrl+L"},
                           Shown{frame->ui_exit_menu_item, "Exit", "Ctrl+Q"}}) {
        EXPECT_EQ(s.item->GetItemLabelText(), s.label);
        EXPECT_EQ(s.item->GetItemLabel(), wxString(s.label) + "\t" + s.key);
    }
}

TEST_F(StationKeys, KeysClearTheStatisticsAndExit) {
    open();
    cell(1)->ui_serial_number->SetValue("UNIT-1");
    ASSERT_TRUE(cell(1)->start());
    ASSERT_TRUE(pump_until([&] { return all_idle(); }, kFinishMs));
    ASSERT_EQ(frame->counters().ok + frame->counters().ng, 1u);
    focus_first_serial();

    press('L', wxMOD_CONTROL);
    ASSERT_TRUE(pump_until([&] { return frame->counters().ok + frame->counters().ng == 0; }))
        << "Ctrl+L did not clear the statistics";
    EXPECT_EQ(frame->ui_ok_count->GetValue(), "0");
    EXPECT_EQ(frame->ui_ng_count->GetValue(), "0");
    EXPECT_EQ(cell(1)->ui_ok_count->GetValue(), "0");
    EXPECT_EQ(cell(1)->ui_ng_count->GetValue(), "0");
    EXPECT_EQ(frame->store().count(), 1) << "clearing the statistics kept the stored tests";

    wxWeakRef<StationFrame> station = frame;
    press('Q', wxMOD_CONTROL);
    ASSERT_TRUE(pump_until([&] { return !station; })) << "Ctrl+Q did not close the station";
    frame = nullptr;
}

// The serial number field keeps its own editing keys; none of them starts,
// aborts, opens or clears anything.
TEST_F(StationKeys, TextEditingKeysStayWithTheField) {
    open();
    focus_first_serial();
    wxTextCtrl* serial = cell(1)->ui_serial_number;
    sim.Text("ABC");
    pump(100);
    press('A', wxMOD_CONTROL);  // select all
    sim.Text("X");
    pump(100);
    EXPECT_EQ(serial->GetValue(), "X");
    press('A', wxMOD_CONTROL);
    press('C', wxMOD_CONTROL);
    press(WXK_END);
    press('V', wxMOD_CONTROL);
    EXPECT_EQ(serial->GetValue(), "XX");
    press(WXK_HOME);
    press(WXK_DELETE);
    press(WXK_BACK);
    EXPECT_EQ(serial->GetValue(), "X");
    press(WXK_END);
    press(WXK_BACK, wxMOD_CONTROL);  // the word before the cursor
    EXPECT_EQ(serial->GetValue(), "");

    EXPECT_TRUE(all_idle());
    EXPECT_EQ(frame->viewer(), nullptr);
    EXPECT_EQ(frame->store().count(), 0);
    EXPECT_TRUE(frame->IsShown());
    EXPECT_EQ(wxWindow::FindFocus(), serial);
}

TEST_F(StationKeys, EveryMenuItemHelpsInTheStatusBar) {
    open();
    const std::vector<wxMenuItem*> items = menu_items(frame->m_menubar1);
    ASSERT_GE(items.size(), 13u);
    for (wxMenuItem* item : items) EXPECT_FALSE(item->GetHelp().empty()) << item->GetItemLabel();
    ASSERT_TRUE(
        pump_until([&] { return frame->GetStatusBar()->GetStatusText().StartsWith("Ready"); }));
    const wxString before = frame->GetStatusBar()->GetStatusText();

    // F10 opens the first menu and Down highlights its first item; Right
    // opens the next menu at its first item. Down walks on, as an operator
    // without a mouse does.
    focus_first_serial();
    press(WXK_F10);
    wxMenuBar* bar = frame->m_menubar1;
    std::vector<std::string> not_shown;
    int highlighted = 0;
    for (size_t m = 0; m < bar->GetMenuCount(); ++m) {
        press(m == 0 ? WXK_DOWN : WXK_RIGHT);
        bool first = true;
        for (wxMenuItem* item : bar->GetMenu(m)->GetMenuItems()) {
            if (item->IsSeparator()) continue;
            if (!first) press(WXK_DOWN);
            first = false;
            const wxString help = item->GetHelp();
            if (pump_until([&] { return frame->GetStatusBar()->GetStatusText() == help; }, 1000))
                ++highlighted;
            else
                not_shown.push_back(item->GetItemLabelText().utf8_string() + " (status bar: \"" +
                                    frame->GetStatusBar()->GetStatusText().utf8_string() + "\")");
        }
    }
    press(WXK_ESCAPE);
    press(WXK_ESCAPE);
    std::string list;
    for (const std::string& line : not_shown) list += "\n  " + line;
    EXPECT_EQ(highlighted, int(items.size())) << "help not shown for:" << list;

    // Once the menu closes, the station's own message is back.
    EXPECT_TRUE(pump_until([&] { return frame->GetStatusBar()->GetStatusText() == before; }))
        << frame->GetStatusBar()->GetStatusText();
    EXPECT_TRUE(all_idle());
}

// The barcode scanner types the serial number and Enter: the cell starts,
// and when its test ends the next scan lands in the same field.
TEST_F(StationKeys, ScannerSerialAndEnterStartTheCellAndFocusReturns) {
    open();
    focus_first_serial();
    wxTextCtrl* serial = cell(1)->ui_serial_number;
    for (const char* unit : {"SCAN-1", "SCAN-2"}) {
        SCOPED_TRACE(unit);
        sim.Text(unit);
        pump(100);
        sim.Char(WXK_RETURN);
        ASSERT_TRUE(pump_until([&] { return cell(1)->running(); })) << "Enter did not start";
        EXPECT_FALSE(cell(2)->running());
        ASSERT_TRUE(pump_until([&] { return all_idle(); }, kFinishMs));
        EXPECT_TRUE(pump_until([&] { return wxWindow::FindFocus() == serial; }))
            << "focus did not return to the serial number";
        EXPECT_TRUE(serial->IsEditable());
        EXPECT_TRUE(serial->GetValue().empty());
    }
    std::vector<std::string> serials;
    frame->store().for_each([&](const TestRecord& r) { serials.push_back(r.serial); });
    EXPECT_EQ(serials, (std::vector<std::string>{"SCAN-1", "SCAN-2"}));
}

// Tab walks from a cell's serial number through its controls into the next
// cell, never more than one press inside a grid; Shift+Tab leaves a grid
// backwards. Each cell's key (shown beside its name) brings its serial
// number field, selected, so the next scan types over what was there.
TEST_F(StationKeys, TabLeavesTheGridsAndEachCellsKeyBringsItsSerialNumber) {
    options.cells = 3;
    open();
    cell(1)->ui_serial_number->SetValue("UNIT-1");
    ASSERT_TRUE(cell(1)->start());
    ASSERT_TRUE(pump_until([&] { return all_idle(); }, kFinishMs));
    focus_first_serial();

    std::vector<wxWindow*> grids;
    for (int n = 1; n <= 3; ++n)
        grids.insert(grids.end(), {cell(n)->ui_assertions, cell(n)->ui_history_grid});
    auto grid_with_keyboard = [&]() -> wxWindow* {
        for (wxWindow* grid : grids)
            if (keyboard_inside(grid)) return grid;
        return nullptr;
    };
    int presses = 0;
    wxWindow* last_grid = nullptr;
    bool visited_grid = false;
    while (!keyboard_in(cell(2)->ui_serial_number) && presses < 40) {
        press(WXK_TAB);
        ++presses;
        wxWindow* grid = grid_with_keyboard();
        visited_grid |= grid != nullptr;
        ASSERT_TRUE(grid == nullptr || grid != last_grid)
            << "Tab stayed in a grid, press " << presses;
        last_grid = grid;
    }
    EXPECT_TRUE(keyboard_in(cell(2)->ui_serial_number))
        << presses << " presses of Tab did not reach Cell 2's serial number";
    EXPECT_TRUE(visited_grid) << "Tab passed by the item grid";

    // Either way out of the history grid, shown on its page.
    cell(1)->ui_view_notebook->SetSelection(2);
    for (int modifiers : {wxMOD_NONE, wxMOD_SHIFT}) {
        cell(1)->ui_history_grid->SetFocus();
        ASSERT_TRUE(pump_until([&] { return keyboard_inside(cell(1)->ui_history_grid); }));
        press(WXK_TAB, modifiers);
        EXPECT_FALSE(keyboard_inside(cell(1)->ui_history_grid))
            << (modifiers ? "Shift+Tab" : "Tab") << " stayed in the history grid";
    }
    cell(1)->ui_view_notebook->SetSelection(0);

    // The keys, from wherever the keyboard is: a grid included.
    for (int n = 1; n <= 3; ++n) {
        ASSERT_NE(cell(n)->key_label(), nullptr);
        EXPECT_EQ(cell(n)->key_label()->GetLabel(), wxString::Format("Alt+%d", n));
        EXPECT_TRUE(cell(n)->key_label()->IsShownOnScreen());
    }
    cell(2)->ui_serial_number->SetValue("HALF");
    cell(1)->ui_assertions->SetFocus();
    ASSERT_TRUE(pump_until([&] { return keyboard_inside(cell(1)->ui_assertions); }));
    press('3', wxMOD_ALT);
    EXPECT_TRUE(wait_for_keyboard(cell(3)->ui_serial_number)) << "Alt+3 did not reach Cell 3";
    press('2', wxMOD_ALT);
    ASSERT_TRUE(wait_for_keyboard(cell(2)->ui_serial_number)) << "Alt+2 did not reach Cell 2";
    sim.Text("SCAN-2");
    pump(100);
    EXPECT_EQ(cell(2)->ui_serial_number->GetValue(), "SCAN-2") << "the scan did not type over";
    press('1', wxMOD_ALT);
    EXPECT_TRUE(wait_for_keyboard(cell(1)->ui_serial_number)) << "Alt+1 did not reach Cell 1";
    EXPECT_TRUE(all_idle()) << "a cell's key started a test";
}

// Ten and more cells: Alt+0 is the tenth, Ctrl+Alt with a digit the ones after.
TEST_F(StationKeys, SixteenCellsEachHaveAKey) {
    options.cells = 16;
    open();
    focus_first_serial();
    struct Key {
        int cell, modifiers;
        char digit;
        const char* text;
    };
    for (const Key& k :
         {Key{10, wxMOD_ALT, '0', "Alt+0"}, Key{16, wxMOD_ALT | wxMOD_CONTROL, '6', "Ctrl+Alt+6"},
          Key{11, wxMOD_ALT | wxMOD_CONTROL, '1', "Ctrl+Alt+1"}, Key{9, wxMOD_ALT, '9', "Alt+9"}}) {
        SCOPED_TRACE(k.text);
        EXPECT_EQ(cell(k.cell)->key_label()->GetLabel(), k.text);
        press(k.digit, k.modifiers);
        EXPECT_TRUE(wait_for_keyboard(cell(k.cell)->ui_serial_number));
    }
}

// One scanner for all cells: each scan that starts a cell moves the keyboard
// on to the next idle cell; with every cell busy it stays, and the first
// verdict brings it to that cell. Start All without serial numbers leaves it
// in the first cell that waits for one.
TEST_F(StationKeys, OneScannerMovesOnFromCellToCell) {
    options.cells = 3;
    options.item_ms = 300;
    options.next_cell_after_scan = true;
    open();
    ASSERT_TRUE(frame->next_cell_item()->IsChecked());
    focus_first_serial();
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        sim.Text(("ONE-" + std::to_string(n)).c_str());
        pump(100);
        sim.Char(WXK_RETURN);
        ASSERT_TRUE(pump_until([&] { return cell(n)->running(); })) << "the scan did not start";
        if (n < 3) {
            EXPECT_TRUE(wait_for_keyboard(cell(n + 1)->ui_serial_number))
                << "the keyboard did not move on";
        }
    }
    EXPECT_TRUE(keyboard_in(cell(3)->ui_serial_number))
        << "with every cell busy the keyboard moved";
    ASSERT_TRUE(pump_until([&] { return !cell(1)->running(); }, kFinishMs));
    EXPECT_TRUE(wait_for_keyboard(cell(1)->ui_serial_number))
        << "the first cell done did not take the keyboard from a busy cell";
    // A verdict leaves alone a field that waits for the next scan.
    ASSERT_TRUE(pump_until([&] { return all_idle(); }, kFinishMs));
    EXPECT_TRUE(keyboard_in(cell(1)->ui_serial_number));

    // The menu item turns it off, and a scan stays with its cell.
    atsui_test::select_menu(frame, frame->next_cell_item());
    EXPECT_FALSE(frame->scan_flow().next_cell());
    sim.Text("ONE-4");
    pump(100);
    sim.Char(WXK_RETURN);
    ASSERT_TRUE(pump_until([&] { return cell(1)->running(); }));
    pump(200);
    EXPECT_TRUE(keyboard_in(cell(1)->ui_serial_number));
    ASSERT_TRUE(pump_until([&] { return all_idle(); }, kFinishMs));

    // F5 with no serial number: the keyboard waits in the first cell, and
    // with one cell started, in the first that did not start.
    press('3', wxMOD_ALT);
    ASSERT_TRUE(wait_for_keyboard(cell(3)->ui_serial_number));
    press(WXK_F5);
    EXPECT_TRUE(wait_for_keyboard(cell(1)->ui_serial_number)) << "F5 left the keyboard elsewhere";
    EXPECT_TRUE(all_idle());
    cell(1)->ui_serial_number->SetValue("ONE-5");
    press('3', wxMOD_ALT);
    ASSERT_TRUE(wait_for_keyboard(cell(3)->ui_serial_number));
    press(WXK_F5);
    ASSERT_TRUE(pump_until([&] { return cell(1)->running(); }));
    EXPECT_TRUE(wait_for_keyboard(cell(2)->ui_serial_number)) << "F5 left the keyboard elsewhere";
    ASSERT_TRUE(pump_until([&] { return all_idle(); }, kFinishMs));
}

// The viewer closes with Escape, even from a grid that takes Escape for its
// selection, and with Ctrl+W; it has a title.
TEST_F(StationKeys, EscapeAndCtrlWCloseTheViewer) {
    open();
    for (int key : {int(WXK_ESCAPE), int('W')}) {
        SCOPED_TRACE(key == WXK_ESCAPE ? "Escape" : "Ctrl+W");
        focus_first_serial();
        press('T', wxMOD_CONTROL);
        ASSERT_TRUE(pump_until([&] { return frame->viewer() && frame->viewer()->IsActive(); }))
            << "Ctrl+T did not open the viewer";
        StationViewerFrame* viewer = frame->viewer();
        EXPECT_TRUE(viewer->GetTitle().StartsWith("Test data - ")) << viewer->GetTitle();
        viewer->panel->ui_history->SetFocus();
        ASSERT_TRUE(pump_until([&] { return keyboard_inside(viewer->panel->ui_history); }));
        press(key, key == 'W' ? wxMOD_CONTROL : wxMOD_NONE);
        EXPECT_TRUE(pump_until([&] { return frame->viewer() == nullptr; }))
            << "the viewer stayed open";
    }
    EXPECT_TRUE(frame->IsShown());
}

// The launcher: Return and keypad Enter open the chosen project, from the
// path field as from the list; Escape closes it without a choice.
TEST_F(StationKeys, ReturnOpensTheLaunchersProjectAndEscapeCancels) {
    std::vector<std::string> opened;
    struct Case {
        const char* name;
        int key;
        bool from_list;
        bool opens;
    };
    for (const Case& c : {Case{"Return", WXK_RETURN, false, true},
                          Case{"keypad Enter", WXK_NUMPAD_ENTER, true, true},
                          Case{"Escape", WXK_ESCAPE, false, false}}) {
        SCOPED_TRACE(c.name);
        opened.clear();
        wxWeakRef<StationLauncher> launcher =
            new StationLauncher(folder.string(), [&](const std::string& path) {
                opened.push_back(path);
                return true;
            });
        launcher->choose(project_path);
        ASSERT_TRUE(activate(launcher.get()));
        wxWindow* field = c.from_list ? static_cast<wxWindow*>(launcher->ui_project_list)
                                      : static_cast<wxWindow*>(launcher->ui_project_path);
        field->SetFocus();
        ASSERT_TRUE(pump_until([&] { return keyboard_in(field); }));
        press(c.key);
        EXPECT_TRUE(pump_until([&] { return !launcher; })) << "the launcher stayed open";
        ASSERT_EQ(opened.size(), c.opens ? 1u : 0u);
        if (c.opens) {
            EXPECT_TRUE(std::filesystem::equivalent(opened.front(), project_path));
        }
        if (launcher) launcher->Destroy();
        pump(50);
    }
}
