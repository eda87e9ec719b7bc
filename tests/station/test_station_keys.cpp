// SPDX-License-Identifier: MIT
// The station from the keyboard: the frequent actions' keys, typed through
// the X server into a shown station, the help each menu item gives in the
// status bar, and the barcode scanner's serial number and Enter.

#include <string>
#include <vector>

#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>

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
