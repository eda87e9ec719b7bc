// SPDX-License-Identifier: MIT
// The reference station driven as an operator drives it: a real station
// window, real typing and clicks, real timers, the real test data window.

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include <wx/choice.h>
#include <wx/gauge.h>
#include <wx/grid.h>
#include <wx/listctrl.h>
#include <wx/radiobox.h>
#include <wx/testing.h>
#include <wx/toolbar.h>
#include <wx/uiaction.h>

#include <atsui/station/manual_operation_dialog.h>
#include <atsui/station/ticker_exception_dialog.h>

#include "host/parameters_dialog.h"
#include "host/look.h"
#include "host/station_cell.h"
#include "host/station_frame.h"
#include "host/station_launcher.h"
#include "host/station_log.h"
#include "host/station_viewer.h"
#include "logic/history_csv.h"
#include "logic/statistics.h"
#include "logic/text.h"
#include "station_fixture.h"
#include "support/harness.h"

using namespace atsui_test;
using namespace station;
namespace fs = std::filesystem;

namespace {

// Answers a modal dialog of type T with whatever check returns.
template <class T>
class Answer : public wxExpectModalBase<T, Answer<T>> {
public:
    explicit Answer(std::function<int(T*)> check) : check_(std::move(check)) {}

protected:
    int OnInvoked(T* dialog) const override { return check_(dialog); }

private:
    std::function<int(T*)> check_;
};

constexpr int kFinishMs = 10000;

// Another program's connection to the station's file, holding its write lock.
class WriteLock {
public:
    explicit WriteLock(const std::string& path) {
        sqlite3_open(path.c_str(), &db_);
        sqlite3_busy_timeout(db_, 10000);
        held_ = sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~WriteLock() { release(); }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    bool held() const { return held_; }
    void release() {
        if (held_) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        held_ = false;
        if (db_) sqlite3_close(db_);
        db_ = nullptr;
    }

private:
    sqlite3* db_ = nullptr;
    bool held_ = false;
};

}  // namespace

class StationSession : public station_test::StationFixture {
protected:
    StationSession() : StationFixture("station-session") {}

    // Every stored test, in stored order, read back from the database.
    std::vector<TestRecord> stored() const {
        std::vector<TestRecord> records;
        frame->store().for_each([&](const TestRecord& r) { records.push_back(r); });
        return records;
    }
};

TEST_F(StationSession, TwoCellsRunToTheEndAndTheViewerAgrees) {
    // Slow enough that both cells are still testing when Start comes again.
    options.item_ms = 250;
    open();
    StationCell* c1 = cell(1);
    StationCell* c2 = cell(2);
    const std::size_t items = frame->project().items.size();
    EXPECT_EQ(c1->ui_cell_name->GetLabel(), "Cell 1");
    EXPECT_EQ(c2->ui_cell_name->GetLabel(), "Cell 2");

    // An empty serial number starts nothing and says why.
    click(c1->ui_start);
    pump(60);
    EXPECT_FALSE(c1->running());
    EXPECT_NE(c1->ui_prompt->GetLabel(), "Ready");
    EXPECT_TRUE(c1->ui_prompt->GetLabel().Lower().Contains("serial"));
    EXPECT_FALSE(c1->ui_refresh_timer.IsRunning());

    // The operator types a serial number and Enter into cell 1 and clicks
    // "Start" in cell 2.
    ASSERT_TRUE(activate(frame)) << "the station did not become active";
    c1->ui_serial_number->SetFocus();
    pump(100);
    wxUIActionSimulator sim;
    sim.Text("UNIT-A");
    pump(100);
    sim.Char(WXK_RETURN);
    ASSERT_TRUE(pump_until([&] { return c1->running(); }));
    c2->ui_serial_number->SetValue("UNIT-B");
    sim.MouseMove(c2->ui_start->GetScreenRect().GetPosition() + c2->ui_start->GetSize() / 2);
    pump(100);
    sim.MouseClick();
    ASSERT_TRUE(pump_until([&] { return c2->running(); }));
    EXPECT_FALSE(c1->ui_start->IsEnabled());
    EXPECT_FALSE(c1->ui_serial_number->IsEditable());

    // Starting again, by button or for all cells, does not double a test.
    ASSERT_TRUE(c1->running() && c2->running());
    const std::int64_t repeated_at = now_ms();
    click(c1->ui_start);
    press_enter(c2->ui_serial_number);
    click_tool(frame->ui_toolbar, frame->ui_start_all);

    ASSERT_TRUE(pump_until([&] { return all_idle(); }, kFinishMs));
    pump(60);

    // Two results, one per cell, counted in the main window.
    const std::vector<TestRecord> history = stored();
    ASSERT_EQ(history.size(), 2u);
    std::size_t ok = 0, ng = 0;
    for (const TestRecord& r : history) {
        EXPECT_EQ(r.items.size(), items);
        EXPECT_NE(r.verdict, Verdict::aborted);
        EXPECT_LT(r.begin_ms, repeated_at) << r.cell << " started its test over";
        ++(r.verdict == Verdict::ok ? ok : ng);
    }
    EXPECT_EQ(history[0].cell == "Cell 1" ? history[0].serial : history[1].serial, "UNIT-A");
    EXPECT_EQ(frame->ui_ok_count->GetValue(), wxString::Format("%zu", ok));
    EXPECT_EQ(frame->ui_ng_count->GetValue(), wxString::Format("%zu", ng));
    EXPECT_EQ(frame->ui_ok_percent->GetValue(), wxString::FromUTF8(format_percent(ok, ok + ng)));

    // Each cell shows its own test: rows, gauge, verdict, history, statistics.
    for (StationCell* c : {c1, c2}) {
        SCOPED_TRACE(c->cell_name().utf8_string());
        const TestRecord& r =
            history[0].cell == c->cell_name().utf8_string() ? history[0] : history[1];
        EXPECT_EQ(c->ui_assertions->GetNumberRows(), int(items));
        EXPECT_EQ(c->ui_assertions->GetCellValue(int(items) - 1, 5),
                  r.items.back().ok ? "OK" : "NG");
        EXPECT_EQ(c->ui_gauge->GetValue(), c->ui_gauge->GetRange());
        EXPECT_TRUE(c->ui_prompt->GetLabel().Contains(verdict_text(r.verdict)))
            << c->ui_prompt->GetLabel();
        // The verdict blinks: lit, its colour is the prompt's background;
        // between, the text's (made readable on the cell). A cell that
        // finished first may be between.
        const wxColour verdict =
            r.verdict == Verdict::ok ? wxColour(0, 128, 64) : wxColour(255, 0, 0);
        EXPECT_TRUE(c->ui_prompt->GetBackgroundColour() == verdict ||
                    c->ui_prompt->GetForegroundColour() ==
                        readable_on(verdict, c->ui_prompt->GetBackgroundColour()))
            << c->ui_prompt->GetBackgroundColour().GetAsString(wxC2S_HTML_SYNTAX) << " on "
            << c->ui_prompt->GetForegroundColour().GetAsString(wxC2S_HTML_SYNTAX);
        EXPECT_TRUE(c->ui_blink_timer.IsRunning());
        EXPECT_EQ(c->ui_history_grid->GetNumberRows(), 1);
        EXPECT_EQ(c->ui_history_grid->GetCellValue(0, 2), wxString::FromUTF8(r.serial));
        EXPECT_EQ(c->ui_ok_count->GetValue(), r.verdict == Verdict::ok ? "1" : "0");
        EXPECT_TRUE(c->ui_statistics_panel->IsShown());
        EXPECT_NE(station_test::logger_text(c).Find(wxString::FromUTF8(r.items[1].name)), wxNOT_FOUND);
        EXPECT_TRUE(c->ui_start->IsEnabled());
    }

    // The test data window lists both tests and both cells.
    select_menu(frame, frame->m_menuItem7);
    pump(100);
    StationViewerFrame* viewer = frame->viewer();
    ASSERT_NE(viewer, nullptr);
    StationViewerPanel* panel = viewer->panel;
    EXPECT_TRUE(viewer->IsShown());
    EXPECT_EQ(panel->ui_history->GetNumberRows(), 2);
    EXPECT_NE(panel->ui_cell_filter->FindString("Cell 1"), wxNOT_FOUND);
    EXPECT_NE(panel->ui_cell_filter->FindString("Cell 2"), wxNOT_FOUND);
    EXPECT_EQ(panel->ui_cell_filter->GetStringSelection(), "all");

    // Selecting a test shows its items; selecting an item, its figures over
    // both tests.
    panel->ui_history->SetGridCursor(1, 0);
    pump(30);
    const std::optional<TestRecord> shown = panel->test_at_row(1);
    ASSERT_TRUE(shown);
    ASSERT_EQ(panel->ui_assertions->GetNumberRows(), int(shown->items.size()));
    EXPECT_EQ(panel->ui_assertions->GetCellValue(2, 0), wxString::FromUTF8(shown->items[2].name));
    panel->ui_assertions->SetGridCursor(2, 0);
    pump(30);
    const double a = history[0].items[2].value, b = history[1].items[2].value;
    double shown_max = 0, shown_min = 0, shown_mean = 0;
    ASSERT_TRUE(panel->ui_single_item_max->GetValue().ToCDouble(&shown_max))
        << panel->ui_single_item_max->GetValue();
    ASSERT_TRUE(panel->ui_single_item_min->GetValue().ToCDouble(&shown_min));
    ASSERT_TRUE(panel->ui_single_item_average->GetValue().ToCDouble(&shown_mean));
    EXPECT_NEAR(shown_max, std::max(a, b), 1e-9);
    EXPECT_NEAR(shown_min, std::min(a, b), 1e-9);
    EXPECT_NEAR(shown_mean, (a + b) / 2, 1e-5 * std::abs(a + b) + 1e-9);
    const int item_ok = int(history[0].items[2].ok) + int(history[1].items[2].ok);
    EXPECT_EQ(panel->ui_single_item_ok_count->GetValue(), wxString::Format("%d", item_ok));
    EXPECT_EQ(panel->ui_single_item_ng_count->GetValue(), wxString::Format("%d", 2 - item_ok));

    // The selector, shown by the station, switches to the total figures.
    EXPECT_TRUE(panel->ui_statistics_analyzer->IsShown());
    choose(panel->ui_statistics_analyzer, 1);
    pump(30);
    EXPECT_TRUE(panel->ui_total_statistics_panel->IsShown());
    EXPECT_FALSE(panel->ui_single_item_analyze_panel->IsShown());
    EXPECT_EQ(panel->ui_total_statistics_ok_count->GetValue(), frame->ui_ok_count->GetValue());
    EXPECT_EQ(panel->ui_total_statistics_ng_count->GetValue(), frame->ui_ng_count->GetValue());
    EXPECT_EQ(panel->ui_total_statistics_yield->GetValue(), frame->ui_ok_percent->GetValue());
    EXPECT_FALSE(panel->ui_total_statistics_max_test_time->GetValue().empty());

    // The filter narrows the list to one cell.
    choose(panel->ui_cell_filter, panel->ui_cell_filter->FindString("Cell 2"));
    pump(30);
    ASSERT_EQ(panel->ui_history->GetNumberRows(), 1);
    EXPECT_EQ(panel->test_at_row(0)->cell, "Cell 2");
    choose(panel->ui_cell_filter, panel->ui_cell_filter->FindString("all"));

    // Export, clear after asking, import: the same history comes back.
    const std::vector<TestRecord> before = history;
    const wxString csv = wxString::FromUTF8((folder / "history.csv").string());
    wxTEST_DIALOG(click(panel->m_button10), wxExpectModal<wxFileDialog>(csv));
    ASSERT_TRUE(fs::exists(csv.utf8_string()));

    wxTEST_DIALOG(click(panel->m_button9), wxExpectModal<wxMessageDialog>(wxID_NO));
    EXPECT_EQ(stored().size(), 2u) << "cleared although the operator said no";
    wxTEST_DIALOG(click(panel->m_button9), wxExpectModal<wxMessageDialog>(wxID_YES));
    EXPECT_TRUE(stored().empty());
    EXPECT_EQ(panel->ui_history->GetNumberRows(), 0);
    EXPECT_EQ(panel->ui_cell_filter->GetCount(), 1u);

    const auto reports = [](const char* added) {
        return Answer<wxMessageDialog>([added](wxMessageDialog* box) {
            EXPECT_TRUE(box->GetMessage().StartsWith(added)) << box->GetMessage();
            return wxID_OK;
        });
    };
    wxTEST_DIALOG(click(panel->m_button11), wxExpectModal<wxFileDialog>(csv),
                  reports("2 tests added"));
    EXPECT_EQ(history_to_csv(stored()), history_to_csv(before));
    EXPECT_EQ(panel->ui_history->GetNumberRows(), 2);
    // The same file again adds nothing: an import never duplicates a test.
    wxTEST_DIALOG(click(panel->m_button11), wxExpectModal<wxFileDialog>(csv),
                  reports("0 tests added"));
    EXPECT_EQ(history_to_csv(stored()), history_to_csv(before));
    EXPECT_EQ(panel->ui_history->GetNumberRows(), 2);

    // A damaged file is refused with a message and changes nothing.
    const wxString damaged = wxString::FromUTF8((folder / "damaged.csv").string());
    {
        std::string text = history_to_csv(before);
        text.replace(text.find(",OK"), 3, ",MAYBE");
        std::ofstream(damaged.utf8_string()) << text;
    }
    wxTEST_DIALOG(click(panel->m_button11), wxExpectModal<wxFileDialog>(damaged),
                  Answer<wxMessageDialog>([](wxMessageDialog* box) {
                      EXPECT_TRUE(box->GetMessage().Contains("line")) << box->GetMessage();
                      return wxID_OK;
                  }));
    EXPECT_EQ(history_to_csv(stored()), history_to_csv(before));

    // The selected unit's data as a workbook.
    panel->ui_history->SetGridCursor(0, 0);
    const wxString workbook = wxString::FromUTF8((folder / "unit.xlsx").string());
    wxTEST_DIALOG(click(panel->m_button12), wxExpectModal<wxFileDialog>(workbook));
    EXPECT_GT(fs::file_size(workbook.utf8_string()), 0u);

    // "Clear Statistics" zeroes the counters but keeps the history.
    select_menu(frame, frame->m_menuItem5);
    EXPECT_EQ(frame->ui_ok_count->GetValue(), "0");
    EXPECT_EQ(frame->ui_ng_count->GetValue(), "0");
    EXPECT_EQ(frame->ui_ok_percent->GetValue(), "0%");
    EXPECT_EQ(c1->ui_ok_count->GetValue(), "0");
    EXPECT_EQ(stored().size(), 2u);
}

TEST_F(StationSession, AbortStopsARunningTestAndRecordsIt) {
    options.item_ms = 400;
    open();
    cell(1)->ui_serial_number->SetValue("UNIT-C");
    cell(2)->ui_serial_number->SetValue("UNIT-D");
    click_tool(frame->ui_toolbar, frame->ui_start_all);
    ASSERT_TRUE(pump_until([&] { return cell(1)->running() && cell(2)->running(); }));

    // Exit asks while tests run; "No" keeps the station.
    wxTEST_DIALOG(select_menu(frame, frame->ui_exit_menu_item),
                  wxExpectModal<wxMessageDialog>(wxID_NO));
    pump(30);
    ASSERT_TRUE(cell(1)->running());
    EXPECT_TRUE(frame->IsShown());

    click(cell(1)->ui_abort);
    EXPECT_FALSE(cell(1)->running());
    EXPECT_FALSE(cell(1)->ui_refresh_timer.IsRunning());
    EXPECT_TRUE(cell(2)->running());
    click_tool(frame->ui_toolbar, frame->ui_abort_all);
    EXPECT_TRUE(all_idle());

    ASSERT_EQ(stored().size(), 2u);
    for (const TestRecord& r : stored()) {
        EXPECT_EQ(r.verdict, Verdict::aborted);
        EXPECT_LT(r.items.size(), frame->project().items.size());
    }
    EXPECT_EQ(frame->ui_ok_count->GetValue(), "0");
    EXPECT_EQ(frame->ui_ng_count->GetValue(), "0");
    EXPECT_TRUE(cell(1)->ui_prompt->GetLabel().Contains("Aborted"));
    EXPECT_EQ(cell(1)->ui_history_grid->GetCellValue(0, 3), "Aborted");
    // Nothing more arrives from the stopped cells.
    pump(500);
    EXPECT_EQ(stored().size(), 2u);
}

// Every item has its row from the start; a reading fills in its value and
// result, and an aborted test leaves the rows it never reached empty.
TEST_F(StationSession, ItemRowsWaitForTheirReadings) {
    options.item_ms = 150;
    open();
    const std::vector<TestItem>& items = frame->project().items;
    ASSERT_GE(items.size(), 3u);
    StationCell* c = cell(1);
    wxGrid* grid = c->ui_assertions;
    c->ui_serial_number->SetValue("UNIT-R");
    click(c->ui_start);
    ASSERT_EQ(grid->GetNumberRows(), int(items.size()));
    for (int row = 0; row < int(items.size()); ++row) {
        EXPECT_EQ(grid->GetCellValue(row, 0), wxString::FromUTF8(items[std::size_t(row)].name));
        EXPECT_EQ(grid->GetCellValue(row, 4), wxString::FromUTF8(items[std::size_t(row)].unit));
        EXPECT_EQ(grid->GetCellValue(row, 1), "") << "row " << row;
        EXPECT_EQ(grid->GetCellValue(row, 5), "") << "row " << row;
    }
    ASSERT_TRUE(pump_until([&] { return !grid->GetCellValue(1, 5).empty(); }, kFinishMs));
    click(c->ui_abort);
    ASSERT_FALSE(stored().empty());
    const TestRecord r = stored().back();
    ASSERT_GE(r.items.size(), 2u);
    ASSERT_LT(r.items.size(), items.size());
    for (std::size_t row = 0; row < items.size(); ++row) {
        const int at = int(row);
        if (row < r.items.size()) {
            EXPECT_EQ(grid->GetCellValue(at, 1),
                      wxString::FromUTF8(format_number(r.items[row].value)));
            EXPECT_EQ(grid->GetCellValue(at, 5), r.items[row].ok ? "OK" : "NG");
        } else {
            EXPECT_EQ(grid->GetCellValue(at, 1), "") << "row " << row << " was never measured";
            EXPECT_EQ(grid->GetCellValue(at, 5), "") << "row " << row << " was never measured";
        }
    }
    // The next test starts from empty rows again.
    c->ui_serial_number->SetValue("UNIT-S");
    click(c->ui_start);
    EXPECT_EQ(grid->GetCellValue(0, 1), "");
    click(c->ui_abort);
}

// Opened during a test, the Logger tab shows the test's lines so far, in
// order, then follows the test; the next test starts it afresh.
TEST_F(StationSession, LoggerTabCatchesUpWhenOpened) {
    options.item_ms = 150;
    open();
    const std::vector<TestItem>& items = frame->project().items;
    StationCell* c = cell(1);
    c->ui_serial_number->SetValue("UNIT-L1");
    click(c->ui_start);
    ASSERT_TRUE(
        pump_until([&] { return !c->ui_assertions->GetCellValue(1, 5).empty(); }, kFinishMs));
    const wxString opened = station_test::logger_text(c);
    const int started = opened.Find("Test of UNIT-L1 started");
    const int first = opened.Find(wxString::FromUTF8(items[0].name) + " = ");
    const int second = opened.Find(wxString::FromUTF8(items[1].name) + " = ");
    EXPECT_NE(started, wxNOT_FOUND) << opened;
    EXPECT_LT(started, first) << opened;
    EXPECT_LT(first, second) << opened;
    ASSERT_TRUE(pump_until([&] { return !c->running(); }, kFinishMs));
    const wxString ended = c->ui_test_logger->GetValue();
    EXPECT_TRUE(ended.StartsWith(opened)) << ended;
    EXPECT_TRUE(ended.Contains("Test of UNIT-L1 ended")) << ended;

    // Back on the readings for the next test: the tab then shows that test alone.
    c->ui_view_notebook->SetSelection(0);
    c->ui_serial_number->SetValue("UNIT-L2");
    click(c->ui_start);
    ASSERT_TRUE(pump_until([&] { return !c->running(); }, kFinishMs));
    const wxString next = station_test::logger_text(c);
    EXPECT_FALSE(next.Contains("UNIT-L1")) << next;
    EXPECT_TRUE(next.Contains("Test of UNIT-L2 ended")) << next;
}

// Start All starts many cells a few at a time; an Abort All right after it
// leaves no cell testing, not even one whose turn had not come yet.
TEST_F(StationSession, AbortAllRightAfterStartAllLeavesNoCellTesting) {
    options.cells = 16;
    options.item_ms = 200;
    open(300);
    const auto name_units = [&](const char* round) {
        for (StationCell* c : frame->cells())
            c->ui_serial_number->SetValue(wxString::Format("%s-%s", round, c->cell_name()));
    };
    name_units("A");
    click_tool(frame->ui_toolbar, frame->ui_start_all);
    click_tool(frame->ui_toolbar, frame->ui_abort_all);
    pump(500);
    EXPECT_TRUE(all_idle());
    for (const TestRecord& r : stored()) EXPECT_EQ(r.verdict, Verdict::aborted) << r.cell;
    const std::size_t after_abort = stored().size();

    // Every cell still starts on the next Start All.
    name_units("B");
    click_tool(frame->ui_toolbar, frame->ui_start_all);
    ASSERT_TRUE(pump_until(
        [&] {
            for (StationCell* c : frame->cells())
                if (!c->measuring()) return false;
            return true;
        },
        kFinishMs));
    click_tool(frame->ui_toolbar, frame->ui_abort_all);
    EXPECT_EQ(stored().size(), after_abort + 16);
}

// Verdicts that arrive together are committed together and only then shown;
// closing the station commits the ones still waiting.
TEST_F(StationSession, VerdictsShowOnceStoredAndClosingStoresTheWaitingOnes) {
    open();
    for (int round = 1; round <= 2; ++round) {
        for (int n : {1, 2})
            cell(n)->ui_serial_number->SetValue(wxString::Format("UNIT-%d-%d", round, n));
        ASSERT_TRUE(cell(1)->start() && cell(2)->start());
        // The workers' posts wait, unhandled, until both runs have ended.
        for (int waited = 0; cell(1)->worker_busy() || cell(2)->worker_busy(); waited += 5) {
            ASSERT_LT(waited, kFinishMs) << "the workers did not end";
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        // Each cell takes its worker's posts, a reading per item and the
        // run's end, and nothing else.
        for (int n : {1, 2})
            for (std::size_t post = 0; post <= frame->project().items.size(); ++post)
                static_cast<wxEvtHandler*>(cell(n))->ProcessPendingEvents();
        for (int n : {1, 2}) {
            EXPECT_TRUE(cell(n)->running()) << "cell " << n << " is free before its test is stored";
            EXPECT_TRUE(cell(n)->ui_prompt->GetLabel().StartsWith("Testing"))
                << "verdict shown before its test was stored: " << cell(n)->ui_prompt->GetLabel();
        }
        EXPECT_EQ(stored().size(), std::size_t(2 * (round - 1)));
        if (round == 1) {
            ASSERT_TRUE(pump_until([&] { return all_idle(); }, kFinishMs));
            EXPECT_EQ(stored().size(), 2u);
            for (int n : {1, 2}) {
                const wxString label = cell(n)->ui_prompt->GetLabel();
                EXPECT_TRUE(label.EndsWith(": OK") || label.EndsWith(": NG")) << label;
            }
        }
    }
    // Stored by the time the window has agreed to close, before any other event.
    frame->Close(true);
    HistoryStore reopened(options.database, HistoryStore::Mode::read_only);
    EXPECT_EQ(reopened.count(), 4) << "closing left tests waiting for their commit";
    frame = nullptr;
    pump(50);
}

TEST_F(StationSession, FailingTickerReportsItsTraceAndResumesOnRequest) {
    options.ticker_fault_after = 2;
    open();
    wxString trace;
    wxTEST_DIALOG(
        {
            select_menu(frame, frame->m_menuItem4);
            pump_until([&] { return frame->ticker_ticks() >= 2; }, 3000);
        },
        Answer<tov_atsui::TickerExceptionDialog>([&](tov_atsui::TickerExceptionDialog* dialog) {
            trace = dialog->ui_exception_trace->GetValue();
            EXPECT_FALSE(frame->ui_ticker_timer.IsRunning())
                << "the ticker kept running behind its report";
            return wxID_OK;
        }));
    EXPECT_TRUE(trace.Contains("tick 2")) << trace;
    EXPECT_TRUE(trace.Contains("runtime_error")) << trace;
    EXPECT_TRUE(frame->ui_ticker_timer.IsRunning()) << "\"Resume Ticker\" left the ticker stopped";
    ASSERT_TRUE(pump_until([&] { return frame->ticker_ticks() >= 4; }, 3000));
}

TEST_F(StationSession, ManualOperationUsesThePluginOrFallsBack) {
    open();
    frame->plugin_folder = wxString::FromUTF8(folder.string());
    wxTEST_DIALOG(select_menu(frame, frame->ui_manual_operation_menu_item),
                  wxExpectDismissableModal<tov_atsui::ManualOperationDialog>(wxID_OK));
    EXPECT_TRUE(frame->GetStatusBar()->GetStatusText().Contains("not found"));

    // A file that is not a shared library is no plug-in either.
    std::ofstream((folder / "manual_operation_dialog.so").string()) << "not a library";
    wxTEST_DIALOG(select_menu(frame, frame->ui_manual_operation_menu_item),
                  wxExpectDismissableModal<tov_atsui::ManualOperationDialog>(wxID_OK));

    frame->plugin_folder = STATION_PLUGIN_DIR;
    wxString title;
    wxTEST_DIALOG(select_menu(frame, frame->ui_manual_operation_menu_item),
                  Answer<wxDialog>([&](wxDialog* dialog) {
                      EXPECT_EQ(dynamic_cast<tov_atsui::ManualOperationDialog*>(dialog), nullptr);
                      title = dialog->GetTitle();
                      return wxID_CLOSE;
                  }));
    EXPECT_EQ(title, "Manual Operation");
}

TEST_F(StationSession, TestParametersAreEditedReloadedAndSaved) {
    open();
    // Invalid text keeps the dialog open with a message; valid text applies.
    wxTEST_DIALOG(select_menu(frame, frame->m_menuItem8), Answer<wxDialog>([](wxDialog* dialog) {
                      auto* editor = static_cast<ParametersDialog*>(dialog)->editor;
                      editor->SetValue("Supply ; 5 ; 4 ; V\n");
                      wxTEST_DIALOG(click(static_cast<wxButton*>(dialog->FindWindow(wxID_OK))),
                                    wxExpectModal<wxMessageDialog>(wxID_OK));
                      editor->SetValue("Supply ; 4.9 ; 5.1 ; V\n");
                      click(static_cast<wxButton*>(dialog->FindWindow(wxID_OK)));
                      return wxID_OK;
                  }));
    ASSERT_EQ(frame->project().items.size(), 1u);
    EXPECT_EQ(cell(1)->project().items[0].upper, 5.1);

    // Reload reads the file again, which still has the old limits.
    select_menu(frame, frame->m_menuItem9);
    EXPECT_EQ(frame->project().items.size(), 4u);

    // A broken file on disk is refused and the current limits stay.
    std::ofstream(project_path) << "Supply ; x ; 5 ; V\n";
    wxTEST_DIALOG(select_menu(frame, frame->m_menuItem9), wxExpectModal<wxMessageDialog>(wxID_OK));
    EXPECT_EQ(frame->project().items.size(), 4u);

    select_menu(frame, frame->m_menuItem11);
    EXPECT_EQ(load_project(project_path).items.size(), 4u);

    const std::string exported = (folder / "exported.atp").string();
    wxTEST_DIALOG(select_menu(frame, frame->ui_export_assertion_config),
                  wxExpectModal<wxFileDialog>(wxString::FromUTF8(exported)));
    EXPECT_EQ(format_project(load_project(exported)), format_project(frame->project()));
}

TEST_F(StationSession, DebugModeShowsScriptRowsAndPicksAProjectPerCell) {
    open();
    for (StationCell* c : frame->cells()) {
        EXPECT_FALSE(c->ui_script_panel->IsShown());
        EXPECT_FALSE(c->ui_other_info_panel->IsShown());
    }
    select_menu(frame, frame->ui_in_debug_mode);
    pump(30);
    for (StationCell* c : frame->cells()) {
        EXPECT_TRUE(c->ui_script_panel->IsShown());
        EXPECT_TRUE(c->ui_other_info_panel->IsShown());
        EXPECT_GT(c->ui_script_panel->GetSize().y, 0) << "shown but not laid out";
        EXPECT_EQ(c->ui_script_path->GetValue(), wxString::FromUTF8(project_path));
    }

    const std::string other = (folder / "other.atp").string();
    std::ofstream(other) << "title: Other\nOnly ; 0 ; 1 ; V\n";
    wxTEST_DIALOG(click(cell(2)->ui_browse_script),
                  wxExpectModal<wxFileDialog>(wxString::FromUTF8(other)));
    EXPECT_EQ(cell(2)->project().title, "Other");
    EXPECT_EQ(cell(2)->ui_script_path->GetValue(), wxString::FromUTF8(other));
    EXPECT_EQ(cell(1)->project().title, "Test board");

    cell(2)->ui_serial_number->SetValue("UNIT-E");
    click(cell(2)->ui_start);
    ASSERT_TRUE(pump_until([&] { return all_idle(); }, kFinishMs));
    ASSERT_EQ(stored().size(), 1u);
    EXPECT_EQ(stored()[0].items.size(), 1u);

    select_menu(frame, frame->ui_in_debug_mode);
    EXPECT_FALSE(cell(1)->ui_script_panel->IsShown());
}

TEST_F(StationSession, LauncherListsProjectsAndOpensTheChosenOne) {
    std::ofstream((folder / "second.atp").string()) << "x ; 0 ; 1\n";
    std::ofstream((folder / "broken.atp").string()) << "x ; 1 ; 0\n";
    std::string opened;
    auto* launcher = new StationLauncher(folder.string(), [&](const std::string& path) {
        opened = path;
        return true;
    });
    wxWeakRef<StationLauncher> alive(launcher);
    launcher->Show();
    pump(50);
    ASSERT_EQ(launcher->ui_project_list->GetItemCount(), 3);
    EXPECT_EQ(launcher->ui_project_list->GetItemText(0), "board");

    // "Open" without a choice explains itself.
    wxTEST_DIALOG(click(launcher->m_button14), wxExpectModal<wxMessageDialog>(wxID_OK));
    EXPECT_TRUE(opened.empty());

    // A broken project is not opened.
    launcher->ui_project_list->SetItemState(1, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    pump(30);
    EXPECT_TRUE(launcher->ui_project_path->GetValue().EndsWith("broken.atp"));
    wxTEST_DIALOG(click(launcher->m_button14), wxExpectModal<wxMessageDialog>(wxID_OK));
    EXPECT_TRUE(opened.empty());

    // A new file appears after "Projects".
    std::ofstream((folder / "third.atp").string()) << "x ; 0 ; 1\n";
    click(launcher->ui_button_projects);
    EXPECT_EQ(launcher->ui_project_list->GetItemCount(), 4);

    launcher->ui_project_list->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    pump(30);
    click(launcher->m_button14);
    EXPECT_EQ(opened, project_path);
    pump(50);
    EXPECT_FALSE(alive) << "the launcher stayed after opening a project";
}

// A test the store cannot take while another program holds its lock: the
// cell says it is not saved, the station keeps it and stores it once the
// lock goes, with no other test to carry it; closing while tests are still
// unsaved asks first, Cancel by default, and a confirmed close names each
// lost test in the log.
TEST_F(StationSession, TestsTheStoreCannotTakeAreShownUnsavedKeptAndNamedAtClose) {
    open();
    const auto ended = [&](int n) {
        return !cell(n)->running() && cell(n)->ui_history_grid->GetNumberRows() > 0;
    };
    auto lock = std::make_unique<WriteLock>(options.database);
    ASSERT_TRUE(lock->held());
    for (int n : {1, 2}) cell(n)->ui_serial_number->SetValue(wxString::Format("LOCKED-%d", n));
    wxString told;
    wxTEST_DIALOG(
        {
            ASSERT_TRUE(cell(1)->start() && cell(2)->start());
            ASSERT_TRUE(pump_until([&] { return ended(1) && ended(2); }, kFinishMs));
            pump(100);
        },
        Answer<wxMessageDialog>([&](wxMessageDialog* box) {
            told = box->GetMessage();
            return wxID_OK;
        }));
    EXPECT_TRUE(told.Contains("NOT stored in " + options.database) && told.Contains("locked"))
        << told;
    EXPECT_EQ(frame->unsaved(), 2u);
    EXPECT_TRUE(stored().empty());
    for (int n : {1, 2}) {
        const wxString prompt = cell(n)->ui_prompt->GetLabel();
        EXPECT_TRUE(prompt.StartsWith(wxString::Format("LOCKED-%d: ", n)) &&
                    prompt.EndsWith(" (not saved)"))
            << prompt;
        EXPECT_TRUE(cell(n)->ui_history_grid->GetCellValue(0, 3).EndsWith(" (not saved)"));
    }

    // Closing now would lose them: the operator is asked, and Cancel is the default.
    int style = 0;
    wxString question;
    wxTEST_DIALOG(frame->Close(), Answer<wxMessageDialog>([&](wxMessageDialog* box) {
                      style = int(box->GetMessageDialogStyle());
                      question = box->GetMessage();
                      return wxID_CANCEL;
                  }));
    EXPECT_TRUE(style & wxCANCEL_DEFAULT) << "closing and losing tests is not the default";
    for (const char* serial : {"LOCKED-1", "LOCKED-2"})
        EXPECT_TRUE(question.Contains(serial)) << question;
    pump(50);
    ASSERT_TRUE(frame->IsShown()) << "closed although the operator cancelled";

    // The lock goes: the retry stores them, no other test needed.
    lock->release();
    ASSERT_TRUE(pump_until([&] { return frame->unsaved() == 0; }, kFinishMs));
    EXPECT_EQ(stored().size(), 2u);
    for (int n : {1, 2}) {
        EXPECT_FALSE(cell(n)->ui_prompt->GetLabel().Contains("not saved"))
            << cell(n)->ui_prompt->GetLabel();
        EXPECT_FALSE(cell(n)->ui_history_grid->GetCellValue(0, 3).Contains("not saved"));
    }

    // Locked again for a third test; this time the operator closes anyway.
    lock = std::make_unique<WriteLock>(options.database);
    ASSERT_TRUE(lock->held());
    cell(1)->ui_serial_number->SetValue("LOCKED-3");
    wxTEST_DIALOG(
        {
            ASSERT_TRUE(cell(1)->start());
            ASSERT_TRUE(pump_until(
                [&] { return !cell(1)->running() && cell(1)->ui_history_grid->GetNumberRows() > 1; },
                kFinishMs));
            pump(100);
        },
        wxExpectModal<wxMessageDialog>(wxID_OK));
    {
        station::CapturedLog warnings;  // what reaches the log at WARNING or above
        wxTEST_DIALOG(frame->Close(), Answer<wxMessageDialog>([&](wxMessageDialog* box) {
                          EXPECT_TRUE(box->GetMessage().Contains("LOCKED-3")) << box->GetMessage();
                          return wxID_OK;
                      }));
        frame = nullptr;
        pump(50);
        EXPECT_TRUE(warnings.text().Contains("LOCKED-3")) << warnings.text();
        EXPECT_FALSE(warnings.text().Contains("LOCKED-1")) << "a stored test called lost";
    }
    lock->release();
    HistoryStore reopened(options.database, HistoryStore::Mode::read_only);
    EXPECT_EQ(reopened.count(), 2);
}

// One unit in two cells at once: the second cell refuses it, naming the
// first, and only the first cell's test is stored.
TEST_F(StationSession, TheSameSerialIsRefusedInASecondCellNamingTheFirst) {
    open();
    for (int n : {1, 2}) cell(n)->ui_serial_number->SetValue("DUP-1");
    ASSERT_TRUE(cell(1)->start());
    EXPECT_FALSE(cell(2)->start());
    EXPECT_EQ(cell(2)->ui_prompt->GetLabel(), "DUP-1 is already testing in Cell 1");
    EXPECT_FALSE(cell(2)->running());
    ASSERT_TRUE(pump_until([&] { return all_idle(); }, kFinishMs));
    const std::vector<TestRecord> records = stored();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].cell, "Cell 1");
    // Its test over, the unit may be tested in the other cell.
    cell(2)->ui_serial_number->SetValue("DUP-1");
    EXPECT_TRUE(cell(2)->start());
    ASSERT_TRUE(pump_until([&] { return all_idle(); }, kFinishMs));
    EXPECT_EQ(stored().size(), 2u);
}
