// SPDX-License-Identifier: MIT
// Finding a unit in the history browser: the operator types a serial's
// beginning, picks days and the order, opens a unit's history from a test
// or from the search, and takes a report away as PDF, read back as text.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/mount.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/datectrl.h>
#include <wx/dateevt.h>
#include <wx/grid.h>
#include <wx/html/htmlwin.h>
#include <wx/radiobox.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "host/history_search.h"
#include "host/station_viewer.h"
#include "host/unit_history.h"
#include "logic/history_store.h"
#include "logic/text.h"
#include "support/harness.h"
#include "test_folder.h"

using namespace atsui_test;
using namespace station;
namespace fs = std::filesystem;

namespace {

std::string file_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

constexpr std::int64_t kDay = 24 * 3600 * 1000;

TestRecord test_of(const std::string& cell, const std::string& serial, std::int64_t begin,
                   const std::string& project, double output) {
    TestRecord r;
    r.cell = cell;
    r.serial = serial;
    r.begin_ms = begin;
    r.end_ms = begin + 2500;
    r.project = project;
    r.station = "line-1 <east>";
    r.software = "1.0.0";
    r.items = {{"Output", output, 11.4, 12.6, "V", false},
               {"Ripple <pk-pk>", 0.0125, 0, 0.05, "V", false},
               {"Efficiency", 91.5, 85, 99, "%", false}};
    for (ItemResult& item : r.items) item.ok = within_limits(item.value, item.lower, item.upper);
    conclude(r);
    return r;
}

// Local midnight of a day, as the date pickers mean it.
std::int64_t midnight(const wxDateTime& day) {
    wxDateTime d = day;
    d.ResetTime();
    return d.GetValue().GetValue();
}

std::string pdf_text(const fs::path& pdf) {
    const std::string command = "pdftotext -layout '" + pdf.string() + "' - 2>&1";
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
        if (pclose(pipe) != 0) ADD_FAILURE() << "pdftotext failed: " << text;
    } else {
        ADD_FAILURE() << "pdftotext could not be started (poppler-utils)";
    }
    return text;
}

void tick(wxCheckBox* box, bool on) {
    box->SetValue(on);
    wxCommandEvent event(wxEVT_CHECKBOX, box->GetId());
    event.SetEventObject(box);
    event.SetInt(on);
    box->HandleWindowEvent(event);
}

void pick(wxDatePickerCtrl* picker, const wxDateTime& day) {
    picker->SetValue(day);
    wxDateEvent event(picker, day, wxEVT_DATE_CHANGED);
    picker->HandleWindowEvent(event);
}

}  // namespace

class StationFinding : public ::testing::Test {
protected:
    void SetUp() override {
        assertions_before = assertion_count();
        folder = station_test::fresh_folder("station-finding");
        store = std::make_unique<HistoryStore>((folder / "history.sqlite").string());
        // Three days before today at noon, a day apart: today's tests last.
        day0 = wxDateTime::Today() - wxDateSpan::Days(3);
        const std::int64_t t = midnight(day0) + 12 * 3600 * 1000;
        store->import({test_of("Cell 1", "PSU-0001", t, "PSU-12", 12.0),
                       test_of("Cell 2", "PSU-0002", t + 1000, "PSU-12", 12.9),
                       test_of("Cell 1", "psu-0010", t + kDay, "PSU-12", 12.1),
                       test_of("Cell 2", "PSU-0001", t + kDay + 1000, "PSU-12-rework", 12.2),
                       test_of("Cell 1", "AMP-0001", t + 2 * kDay, "AMP", 12.3),
                       test_of("Cell 2", "PSU-0001", t + 3 * kDay, "PSU-12", 12.4)});
    }

    void TearDown() override {
        for (wxWindow* window : wxTopLevelWindows)
            if (dynamic_cast<UnitHistoryDialog*>(window)) window->Destroy();
        if (viewer) viewer->Destroy();
        pump(50);
        store.reset();
        fs::remove_all(folder);
        EXPECT_EQ(assertion_count(), assertions_before) << "toolkit assertions during the test";
    }

    StationViewerPanel* open() {
        viewer = new StationViewerFrame(nullptr, *store, std::nullopt);
        viewer->Show();
        pump(100);
        return viewer->panel;
    }

    static std::vector<std::string> shown(StationViewerPanel* panel) {
        std::vector<std::string> serials;
        for (int row = 0; row < panel->ui_history->GetNumberRows(); ++row)
            serials.push_back(panel->ui_history->GetCellValue(row, 2).utf8_string());
        return serials;
    }

    fs::path folder;
    std::unique_ptr<HistoryStore> store;
    StationViewerFrame* viewer = nullptr;
    wxDateTime day0;
    int assertions_before = 0;
};

using Serials = std::vector<std::string>;

// Newest first unless asked otherwise; typing narrows once the typing
// pauses, Enter at once; the days narrow further; totals count what shows.
TEST_F(StationFinding, SerialDaysAndOrderNarrowTheHistory) {
    StationViewerPanel* panel = open();
    HistorySearchBar* search = panel->ui_search;
    ASSERT_NE(search, nullptr);
    EXPECT_TRUE(search->ui_serial->IsShownOnScreen());
    // Beside the statistics the row wraps: its last button stays inside it.
    for (wxWindow* control : std::initializer_list<wxWindow*>{search->ui_order, search->ui_report})
        EXPECT_LE(control->GetRect().GetRight(), search->GetClientSize().x)
            << control->GetRect().GetRight() << " of " << search->GetClientSize().x;
    EXPECT_EQ(shown(panel), (Serials{"PSU-0001", "AMP-0001", "PSU-0001", "psu-0010", "PSU-0002",
                                     "PSU-0001"}));

    search->ui_serial->SetFocus();
    search->ui_serial->SetValue("psu-000");  // as typed: a text event, then the pause
    EXPECT_EQ(shown(panel).size(), 6u) << "searched before the typing paused";
    ASSERT_TRUE(pump_until([&] { return shown(panel).size() == 4; }, 3000));
    EXPECT_EQ(shown(panel), (Serials{"PSU-0001", "PSU-0001", "PSU-0002", "PSU-0001"}));
    choose(panel->ui_statistics_analyzer, 1);
    pump(30);
    EXPECT_EQ(panel->ui_total_statistics_ok_count->GetValue(), "3");
    EXPECT_EQ(panel->ui_total_statistics_ng_count->GetValue(), "1");

    search->ui_serial->ChangeValue("PSU-001");
    press_enter(search->ui_serial);
    EXPECT_EQ(shown(panel), (Serials{"psu-0010"}));

    // From the second day to the third, both whole.
    search->ui_serial->ChangeValue("PSU");
    press_enter(search->ui_serial);
    pick(search->ui_from, day0 + wxDateSpan::Day());
    tick(search->ui_from_enabled, true);
    EXPECT_TRUE(search->ui_from->IsEnabled());
    EXPECT_EQ(shown(panel), (Serials{"PSU-0001", "PSU-0001", "psu-0010"}));
    tick(search->ui_to_enabled, true);
    pick(search->ui_to, day0 + wxDateSpan::Days(2));
    EXPECT_EQ(shown(panel), (Serials{"PSU-0001", "psu-0010"}));
    choose(search->ui_order, 1);
    EXPECT_EQ(shown(panel), (Serials{"psu-0010", "PSU-0001"}));
    EXPECT_EQ(panel->ui_total_statistics_ok_count->GetValue(), "2");

    // With the cell filter, and none found.
    choose(panel->ui_cell_filter, panel->ui_cell_filter->FindString("Cell 2"));
    EXPECT_EQ(shown(panel), (Serials{"PSU-0001"}));
    search->ui_serial->ChangeValue("XYZ");
    press_enter(search->ui_serial);
    EXPECT_TRUE(shown(panel).empty());
    EXPECT_EQ(panel->ui_total_statistics_ok_count->GetValue(), "0");

    // Cleared, everything is back, in the order chosen.
    search->ui_serial->ChangeValue("");
    press_enter(search->ui_serial);
    tick(search->ui_from_enabled, false);
    tick(search->ui_to_enabled, false);
    choose(panel->ui_cell_filter, panel->ui_cell_filter->FindString("all"));
    EXPECT_EQ(shown(panel).front(), "PSU-0001");
    EXPECT_EQ(shown(panel).size(), 6u);
    EXPECT_EQ(panel->ui_history->GetCellValue(0, 0),
              wxString::FromUTF8(format_local(midnight(day0) + 12 * 3600 * 1000)));
}

// A unit's history: every test of the serial in every cell and project,
// with its items, opened from a selected test by the button or a double
// click, or from a whole serial typed in the search.
TEST_F(StationFinding, UnitHistoryOpensFromATestOrFromTheSearch) {
    StationViewerPanel* panel = open();
    panel->ui_history->SetGridCursor(5, 0);  // the oldest test, PSU-0001
    pump(30);
    click(panel->ui_search->ui_unit_history);
    pump(50);
    UnitHistoryDialog* dialog = nullptr;
    for (wxWindow* window : wxTopLevelWindows)
        if (auto* d = dynamic_cast<UnitHistoryDialog*>(window)) dialog = d;
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->IsShown());
    EXPECT_EQ(dialog->serial(), "PSU-0001");
    ASSERT_EQ(dialog->tests().size(), 3u);
    EXPECT_EQ(dialog->tests()[1].project, "PSU-12-rework");
    const std::string text = dialog->ui_report->ToText().utf8_string();
    for (const char* words : {"PSU-0001", "PSU-12-rework", "Cell 1", "Cell 2", "Ripple <pk-pk>",
                              "12.2", "12.4", "line-1 <east>", "3 tests"})
        EXPECT_NE(text.find(words), std::string::npos) << words << " in\n" << text;
    EXPECT_EQ(text.find("psu-0010"), std::string::npos);
    EXPECT_NE(dialog->GetTitle().Find("PSU-0001"), wxNOT_FOUND);
    // Escape closes it.
    ASSERT_TRUE(activate(dialog)) << "the unit history did not become active";
    wxUIActionSimulator().Char(WXK_ESCAPE);
    pump_until([] {
        for (wxWindow* window : wxTopLevelWindows)
            if (dynamic_cast<UnitHistoryDialog*>(window)) return false;
        return true;
    });
    for (wxWindow* window : wxTopLevelWindows)
        EXPECT_EQ(dynamic_cast<UnitHistoryDialog*>(window), nullptr) << "still open";

    // A double click on another test's row.
    wxGridEvent dclick(panel->ui_history->GetId(), wxEVT_GRID_CELL_LEFT_DCLICK, panel->ui_history,
                       3, 2);
    panel->ui_history->GetEventHandler()->ProcessEvent(dclick);
    pump(50);
    dialog = nullptr;
    for (wxWindow* window : wxTopLevelWindows)
        if (auto* d = dynamic_cast<UnitHistoryDialog*>(window)) dialog = d;
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->serial(), "psu-0010");
    EXPECT_EQ(dialog->tests().size(), 1u);
    dialog->Destroy();
    pump(30);

    // From the search, with no test selected: the serial as typed.
    viewer->Destroy();
    pump(50);
    panel = open();
    panel->ui_search->ui_serial->ChangeValue("AMP-0001");
    press_enter(panel->ui_search->ui_serial);
    UnitHistoryDialog* from_search = panel->open_unit_history();
    ASSERT_NE(from_search, nullptr);
    EXPECT_EQ(from_search->tests().size(), 1u);
}

// The report of a test on paper: a PDF whose text holds the station, the
// project, the serial, the verdict and every item with value, limits, unit
// and result; a file that cannot be written is named with the reason.
TEST_F(StationFinding, ReportsPrintToPdfWithEveryItem) {
    StationViewerPanel* panel = open();
    panel->ui_history->SetGridCursor(4, 0);  // PSU-0002, NG
    pump(30);
    const std::optional<TestRecord> test = panel->selected_test();
    ASSERT_TRUE(test);
    ASSERT_EQ(test->serial, "PSU-0002");
    const fs::path pdf = folder / "report.pdf";
    panel->save_report_pdf(pdf.string());
    ASSERT_TRUE(fs::exists(pdf));
    const std::string text = pdf_text(pdf);
    for (const std::string& words :
         {std::string("PSU-0002"), std::string("PSU-12"), std::string("line-1 <east>"),
          std::string("NG"), format_local(test->begin_ms)})
        EXPECT_NE(text.find(words), std::string::npos) << words << " in\n" << text;
    // The items' table, after its header: one line per item, with name,
    // value, limits, unit and result in that order.
    const std::size_t table = text.find("Result");
    ASSERT_NE(table, std::string::npos) << text;
    for (const ItemResult& item : test->items) {
        const std::size_t at = text.find(item.name, table);
        ASSERT_NE(at, std::string::npos) << item.name << " in\n" << text;
        const std::string line = text.substr(at, text.find('\n', at) - at);
        std::size_t from = 0;
        for (const std::string& field :
             {format_number(item.value), format_number(item.lower), format_number(item.upper),
              item.unit, std::string(item.ok ? "OK" : "NG")}) {
            const std::size_t found = line.find(field, from);
            EXPECT_NE(found, std::string::npos) << field << " in line: " << line;
            if (found != std::string::npos) from = found + field.size();
        }
    }

    // The unit's history, three tests, on paper too.
    panel->ui_history->SetGridCursor(0, 0);
    pump(30);
    UnitHistoryDialog* dialog = panel->open_unit_history();
    ASSERT_NE(dialog, nullptr);
    const fs::path history_pdf = folder / "history.pdf";
    dialog->save_pdf(history_pdf.string());
    const std::string history = pdf_text(history_pdf);
    for (const char* words : {"PSU-0001", "PSU-12-rework", "12.2", "12.4", "12", "Efficiency"})
        EXPECT_NE(history.find(words), std::string::npos) << words;

    // Nowhere to write: the message names the file and why; nothing is left.
    const std::string nowhere = (folder / "no such folder" / "report.pdf").string();
    try {
        panel->save_report_pdf(nowhere);
        ADD_FAILURE() << "a report was written where no folder is";
    } catch (const std::runtime_error& error) {
        const std::string what = error.what();
        EXPECT_NE(what.find(nowhere), std::string::npos) << what;
        EXPECT_NE(what.find("No such file or directory"), std::string::npos) << what;
    }
    EXPECT_FALSE(fs::exists(nowhere));

    // A disk that fills while the pages are written: the report saved there
    // before stays whole. Mounting needs root; elsewhere this part is left out.
    const fs::path disk = folder / "small disk";
    fs::create_directories(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") != 0) return;
    const fs::path kept = disk / "report.pdf";
    panel->save_report_pdf(kept.string());
    const std::string before = file_bytes(kept);
    {
        std::ofstream filler(disk / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), std::streamsize(block.size()))) {
        }
    }
    try {
        panel->save_report_pdf(kept.string());
        ADD_FAILURE() << "a report was written on a full disk";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("No space left on device"), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(file_bytes(kept), before);
    EXPECT_FALSE(fs::exists(disk / "report.pdf.part"));
    ::umount2(disk.c_str(), MNT_DETACH);
}
