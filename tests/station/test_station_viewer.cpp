// SPDX-License-Identifier: MIT
// The history browser on a store that holds two products and tests the
// station could not make: what the operator filters, counts and takes away.

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <wx/choice.h>
#include <wx/grid.h>
#include <wx/progdlg.h>
#include <wx/radiobox.h>
#include <wx/splitter.h>

#include "host/look.h"
#include "host/opening_progress.h"
#include "host/station_viewer.h"
#include "logic/history_csv.h"
#include "logic/history_store.h"
#include "logic/statistics.h"
#include "logic/text.h"
#include "support/harness.h"
#include "test_folder.h"

using namespace atsui_test;
using namespace station;
namespace fs = std::filesystem;

namespace {

TestRecord unit(const std::string& cell, const std::string& serial, std::int64_t begin,
                const std::string& project, double value, const std::string& unit_name) {
    TestRecord r;
    r.cell = cell;
    r.serial = serial;
    r.begin_ms = begin;
    r.end_ms = begin + 1500;
    r.project = project;
    r.project_hash =
        project.empty() ? "" : "sha256:" + std::string(64, project[0] == 'P' ? 'a' : 'b');
    r.station = project.empty() ? "" : "line-1";
    r.software = project.empty() ? "" : "1.0.0";
    r.items = {{"Output", value, unit_name == "V" ? 11.4 : 11400, unit_name == "V" ? 12.6 : 12600,
                unit_name, false}};
    r.items[0].ok = within_limits(r.items[0].value, r.items[0].lower, r.items[0].upper);
    conclude(r);
    return r;
}

int find_choice(wxChoice* choice, const wxString& text) {
    for (unsigned i = 0; i < choice->GetCount(); ++i)
        if (choice->GetString(i) == text) return int(i);
    return wxNOT_FOUND;
}

}  // namespace

class StationViewer : public ::testing::Test {
protected:
    void SetUp() override {
        assertions_before = assertion_count();
        folder = station_test::fresh_folder("station-viewer");
        store = std::make_unique<HistoryStore>((folder / "history.sqlite").string());
        std::int64_t t = 1765200000000;
        // PSU-12 measures Output in V, PSU-12-mV the same name in mV; the
        // oldest records do not say what tested them.
        history = {unit("Cell 1", "P1", t += 2000, "PSU-12", 12.0, "V"),
                   unit("Cell 2", "P2", t += 2000, "PSU-12", 13.0, "V"),
                   unit("Cell 1", "M1", t += 2000, "PSU-12-mV", 12048, "mV"),
                   unit("Cell 1", "OLD1", t += 2000, "", 11.749, "V")};
        TestRecord error = unit("Cell 2", "E1", t += 2000, "PSU-12", 999, "V");
        error.verdict = Verdict::error;
        error.description = "instrument psu1 refused the connection";
        history.push_back(error);
        store->import(history);
    }

    void TearDown() override {
        if (viewer) viewer->Destroy();
        pump(50);
        store.reset();
        fs::remove_all(folder);
        EXPECT_EQ(assertion_count(), assertions_before) << "toolkit assertions during the test";
    }

    StationViewerPanel* open(std::optional<std::string> project) {
        viewer = new StationViewerFrame(nullptr, *store, std::move(project));
        viewer->Show();
        pump(100);
        return viewer->panel;
    }

    std::vector<std::string> shown_serials(StationViewerPanel* panel) const {
        std::vector<std::string> serials;
        for (int row = 0; row < panel->ui_history->GetNumberRows(); ++row)
            serials.push_back(panel->ui_history->GetCellValue(row, 2).utf8_string());
        return serials;
    }

    fs::path folder;
    std::unique_ptr<HistoryStore> store;
    std::vector<TestRecord> history;
    StationViewerFrame* viewer = nullptr;
    int assertions_before = 0;
};

// Opened by a station, the browser shows the project in use; the operator
// widens it to every project or to the records that do not say.
TEST_F(StationViewer, FiltersByProjectAndOpensOnTheProjectInUse) {
    StationViewerPanel* panel = open("PSU-12");
    ASSERT_NE(panel->ui_project_filter, nullptr);
    EXPECT_TRUE(panel->ui_project_filter->IsShownOnScreen());
    EXPECT_EQ(panel->ui_project_filter->GetStringSelection(), "PSU-12");
    // Newest first.
    EXPECT_EQ(shown_serials(panel), (std::vector<std::string>{"E1", "P2", "P1"}));
    EXPECT_NE(find_choice(panel->ui_project_filter, "PSU-12-mV"), wxNOT_FOUND);
    const int unknown = find_choice(panel->ui_project_filter, "(not recorded)");
    ASSERT_NE(unknown, wxNOT_FOUND);

    choose(panel->ui_project_filter, unknown);
    pump(30);
    EXPECT_EQ(shown_serials(panel), (std::vector<std::string>{"OLD1"}));
    EXPECT_EQ(panel->shown_project(), std::optional<std::string>(""));

    // The cell filter narrows within the project.
    choose(panel->ui_project_filter, find_choice(panel->ui_project_filter, "all"));
    pump(30);
    EXPECT_EQ(shown_serials(panel).size(), history.size());
    choose(panel->ui_cell_filter, panel->ui_cell_filter->FindString("Cell 1"));
    choose(panel->ui_project_filter, find_choice(panel->ui_project_filter, "PSU-12"));
    pump(30);
    EXPECT_EQ(shown_serials(panel), (std::vector<std::string>{"P1"}));

    // A new project's first test: listed and shown while the browser is open.
    panel->show_project("Fresh board");
    EXPECT_EQ(panel->ui_project_filter->GetStringSelection(), "Fresh board");
    EXPECT_TRUE(shown_serials(panel).empty());
    store->append(unit("Cell 1", "F1", 1765300000000, "Fresh board", 12, "V"));
    panel->refresh();
    EXPECT_EQ(shown_serials(panel), (std::vector<std::string>{"F1"}));
    EXPECT_EQ(panel->ui_project_filter->GetStringSelection(), "Fresh board");

    // A browser opened without a project shows them all.
    viewer->Destroy();
    pump(50);
    panel = open(std::nullopt);
    EXPECT_EQ(panel->ui_project_filter->GetStringSelection(), "all");
    EXPECT_EQ(shown_serials(panel).size(), history.size() + 1);
}

// Shown small and then made large, as a window manager or a remembered size
// may do: the tables get the new width, the figures keep theirs.
TEST_F(StationViewer, TablesTakeTheWidthTheWindowGains) {
    viewer = new StationViewerFrame(nullptr, *store, std::nullopt);
    viewer->SetSize(wxSize(900, 600));
    viewer->Show();
    pump(200);
    wxSplitterWindow* columns = viewer->panel->m_splitter2;
    const int tables = columns->GetSashPosition();
    const int figures = columns->GetClientSize().x - tables;
    ASSERT_GT(tables, 0);
    viewer->SetSize(wxSize(1500, 800));
    pump(200);
    ASSERT_GE(columns->GetClientSize().x, figures + tables + 500);
    EXPECT_GE(columns->GetSashPosition(), tables + 500);
    EXPECT_NEAR(columns->GetClientSize().x - columns->GetSashPosition(), figures, 2);
}

// Error is the station's failure, not the unit's: its own colour and count,
// outside OK, NG, the yield and every item's figures; item figures never mix
// products that share an item's name.
TEST_F(StationViewer, ErrorIsCountedApartAndFiguresStayWithinAProduct) {
    StationViewerPanel* panel = open("PSU-12");
    choose(panel->ui_statistics_analyzer, 1);
    pump(30);
    ASSERT_NE(panel->ui_total_statistics_error_count, nullptr);
    EXPECT_TRUE(panel->ui_total_statistics_error_count->IsShownOnScreen());
    EXPECT_EQ(panel->ui_total_statistics_ok_count->GetValue(), "1");
    EXPECT_EQ(panel->ui_total_statistics_ng_count->GetValue(), "1");
    EXPECT_EQ(panel->ui_total_statistics_error_count->GetValue(), "1");
    EXPECT_EQ(panel->ui_total_statistics_yield->GetValue(), "50%");
    EXPECT_EQ(panel->ui_total_statistics_max_test_time->GetValue(), "1.50 s");

    // The Error row reads in its own colour, neither OK's nor NG's.
    const int error_row = 0;
    ASSERT_EQ(panel->ui_history->GetCellValue(error_row, 3), "Error");
    const wxColour background = panel->ui_history->GetDefaultCellBackgroundColour();
    EXPECT_EQ(panel->ui_history->GetCellTextColour(error_row, 3),
              readable_on(error_colour(), background));
    EXPECT_NE(panel->ui_history->GetCellTextColour(error_row, 3),
              panel->ui_history->GetCellTextColour(1, 3));

    // Output of PSU-12, in V: the two measured values, not the Error test's
    // 999 nor the other product's 12048 mV.
    choose(panel->ui_statistics_analyzer, 0);
    panel->ui_history->SetGridCursor(0, 0);
    pump(30);
    panel->ui_assertions->SetGridCursor(0, 0);
    pump(30);
    EXPECT_EQ(panel->ui_single_item_max->GetValue(), "13");
    EXPECT_EQ(panel->ui_single_item_min->GetValue(), "12");
    EXPECT_EQ(panel->ui_single_item_ok_count->GetValue(), "1");
    EXPECT_EQ(panel->ui_single_item_ng_count->GetValue(), "1");

    // Every project: the counts add up, Error still apart.
    choose(panel->ui_project_filter, find_choice(panel->ui_project_filter, "all"));
    choose(panel->ui_statistics_analyzer, 1);
    pump(30);
    EXPECT_EQ(panel->ui_total_statistics_ok_count->GetValue(), "3");
    EXPECT_EQ(panel->ui_total_statistics_error_count->GetValue(), "1");
}

// What leaves the browser comes back the same: Error, the project and what
// tested the unit, through an exported file imported into another station.
TEST_F(StationViewer, ExportedHistoryImportsIntoAnotherStationUnchanged) {
    StationViewerPanel* panel = open(std::nullopt);
    const std::string csv = (folder / "history.csv").string();
    panel->export_to(csv);
    viewer->Destroy();
    viewer = nullptr;
    pump(50);

    HistoryStore other((folder / "other.sqlite").string());
    viewer = new StationViewerFrame(nullptr, other, std::nullopt);
    viewer->Show();
    pump(50);
    const HistoryStore::ImportResult result = viewer->panel->import_from(csv);
    EXPECT_EQ(result.added, history.size());
    std::vector<TestRecord> back;
    other.for_each([&](const TestRecord& r) { back.push_back(r); });
    EXPECT_EQ(history_to_csv(back), history_to_csv(history));
    EXPECT_EQ(back.back().verdict, Verdict::error);
    EXPECT_EQ(back.front().project, "PSU-12");
    EXPECT_EQ(back.front().station, "line-1");
    EXPECT_EQ(other.total_statistics(HistoryFilter{"", std::string("PSU-12")}).error, 1u);

    // The same file cut after its last test's row: refused, nothing added.
    std::string text = read_file(csv);
    text.erase(text.rfind("item,"));
    const std::string cut = (folder / "cut.csv").string();
    write_file_atomically(cut, text);
    HistoryStore third((folder / "third.sqlite").string());
    viewer->Destroy();
    viewer = new StationViewerFrame(nullptr, third, std::nullopt);
    viewer->Show();
    pump(50);
    try {
        viewer->panel->import_from(cut);
        ADD_FAILURE() << "a cut file was imported";
    } catch (const HistoryFileError& error) {
        EXPECT_NE(std::string(error.what()).find("line "), std::string::npos) << error.what();
    }
    EXPECT_EQ(third.count(), 0);
    viewer->Destroy();
    viewer = nullptr;
    pump(50);
}

// A file of the first stations is upgraded when a station opens it, and
// the operator sees how far the upgrade got rather than a frozen screen.
TEST_F(StationViewer, OpeningAnOldFileShowsHowFarItGot) {
    const std::string path = (folder / "old.sqlite").string();
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        const char* sql =
            "CREATE TABLE cells(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);"
            "CREATE TABLE item_names(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);"
            "CREATE TABLE tests(id INTEGER PRIMARY KEY, cell_id INTEGER NOT NULL, cell_row "
            "INTEGER NOT NULL, serial TEXT NOT NULL, begin_ms INTEGER NOT NULL, end_ms INTEGER "
            "NOT NULL, verdict INTEGER NOT NULL, description TEXT NOT NULL);"
            "CREATE UNIQUE INDEX tests_by_cell ON tests(cell_id, cell_row);"
            "CREATE UNIQUE INDEX tests_once ON tests(cell_id, begin_ms, serial);"
            "CREATE TABLE items(test_id INTEGER NOT NULL, position INTEGER NOT NULL, name_id "
            "INTEGER NOT NULL, value REAL NOT NULL, lower REAL NOT NULL, upper REAL NOT NULL, "
            "unit TEXT NOT NULL, ok INTEGER NOT NULL, PRIMARY KEY(test_id, position)) "
            "WITHOUT ROWID;"
            "INSERT INTO cells VALUES (1, 'Cell 1');"
            "INSERT INTO item_names VALUES (1, 'Output');"
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 499) "
            "INSERT INTO tests SELECT i + 1, 1, i, printf('OLD%04d', i), 1000 * i, 1000 * i + "
            "500, i % 5 = 4, 'all 1 items within limits' FROM n;"
            "INSERT INTO items SELECT id, 0, 1, 12 + verdict, 11.4, 12.6, 'V', NOT verdict "
            "FROM tests;"
            "PRAGMA user_version = 1;";
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    std::vector<std::string> shown;
    {
        // Shown from the first word on: a real upgrade of a million tests
        // takes seconds, this one milliseconds.
        OpeningProgress progress(nullptr, std::chrono::milliseconds(0));
        HistoryStore::Opening opening;
        opening.progress = [&](const std::string& stage) {
            progress(stage);
            wxProgressDialog* dialog = progress.dialog();
            if (dialog && dialog->IsShown()) shown.push_back(dialog->GetMessage().utf8_string());
        };
        HistoryStore upgraded(path, opening);
        EXPECT_EQ(upgraded.count(), 500);
        EXPECT_EQ(upgraded.total_statistics().ng, 100u);
        EXPECT_EQ(upgraded.projects(), std::vector<std::string>{""});
    }
    const auto said = [&](const std::string& words) {
        for (const std::string& text : shown)
            if (text.find(words) != std::string::npos && text.find(path) != std::string::npos)
                return true;
        return false;
    };
    EXPECT_TRUE(said("Checking")) << shown.size() << " messages";
    EXPECT_TRUE(said("Upgrading")) << shown.size() << " messages";
    // Gone once the file is open.
    pump(50);
    for (wxWindow* window : wxTopLevelWindows)
        EXPECT_EQ(dynamic_cast<wxProgressDialog*>(window), nullptr) << "a progress window stayed";
}
