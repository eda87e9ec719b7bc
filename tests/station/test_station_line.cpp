// SPDX-License-Identifier: MIT
// Stations on a line, sending their tests to a real PostgreSQL server that
// the test starts: many stations at once, and a server that goes away and
// comes back while a station keeps testing.

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include <wx/statusbr.h>
#include <wx/toolbar.h>

#include "host/station_cell.h"
#include "host/station_frame.h"
#include "host/station_viewer.h"
#include "logic/history_csv.h"
#include "logic/history_store.h"
#include "logic/pg_line.h"
#include "pg_cluster.h"
#include "station_process.h"
#include "support/harness.h"
#include "test_folder.h"

using namespace atsui_test;
using namespace station;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

class StationLine : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PgCluster::available()) GTEST_SKIP() << "PostgreSQL 15 is not installed";
        folder = station_test::fresh_folder("station-line");
        project = station_test::write_board(folder, "Line board");
        server = std::make_unique<PgCluster>();
    }
    void TearDown() override {
        server.reset();
        fs::remove_all(folder);
    }

    long long server_count(const std::string& sql) const {
        const std::string value = server->query(sql);
        EXPECT_EQ(value.find("error"), std::string::npos) << value;
        return value.empty() ? -1 : std::stoll(value);
    }

    fs::path folder;
    std::string project;
    std::unique_ptr<PgCluster> server;
};

TEST_F(StationLine, EightStationsWritingAtOnceThroughARestartLoseAndDuplicateNothing) {
    constexpr int kStations = 8, kCells = 2, kRepeat = 12;
    std::vector<std::unique_ptr<StationProcess>> stations;
    for (int s = 1; s <= kStations; ++s) {
        const std::string name = "S" + std::to_string(s);
        stations.push_back(std::make_unique<StationProcess>(
            STATION_EXECUTABLE,
            std::vector<std::string>{"--project=" + project, "--cells=" + std::to_string(kCells),
                                     "--item-ms=10", "--seed=" + std::to_string(s),
                                     "--station=" + name, "--repeat=" + std::to_string(kRepeat),
                                     "--database=" + server->address()},
            std::vector<std::string>{"XDG_DATA_HOME=" + (folder / name).string()}));
    }
    // The server restarts while they test.
    std::this_thread::sleep_for(1500ms);
    server->stop();
    std::this_thread::sleep_for(1000ms);
    server->start();
    // Each station closes once the server has all its tests.
    for (auto& station : stations) EXPECT_EQ(station->wait(120s), 0) << station->output();

    const long long per_station = kCells * kRepeat;
    EXPECT_EQ(server_count("SELECT count(*) FROM tests"), kStations * per_station);
    EXPECT_EQ(server_count("SELECT count(DISTINCT station) FROM tests"), kStations);
    EXPECT_EQ(server_count("SELECT count(*) FROM (SELECT station, serial FROM tests "
                           "GROUP BY station, serial HAVING count(*) > 1) d"),
              0);
    EXPECT_EQ(server_count("SELECT count(*) FROM items"), kStations * per_station * 3);
    for (int s = 1; s <= kStations; ++s) {
        const std::string name = "S" + std::to_string(s);
        HistoryStore local((folder / name / "atsui-station" / (name + ".sqlite")).string());
        EXPECT_EQ(local.count(), per_station) << name;
        EXPECT_EQ(local.outbox_size(), 0) << name;
    }
}

TEST_F(StationLine, ServerAwayLosesNothingTheStatusBarCountsWhatWaitsTheBrowserCopiesTheLine) {
    ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    Options options;
    options.cells = 2;
    options.seed = 4;
    options.item_ms = 10;
    options.database = server->address();
    options.station = "desk";
    auto* frame = new StationFrame(options, load_project(project), project);
    frame->Show();
    const auto run_all = [&](const char* prefix) {
        for (StationCell* cell : frame->cells())
            cell->ui_serial_number->SetValue(wxString::Format("%s-%s", prefix, cell->cell_name()));
        const std::size_t before = frame->counters().ok + frame->counters().ng;
        click_tool(frame->ui_toolbar, frame->ui_start_all);
        return pump_until(
            [&] {
                const Counters& done = frame->counters();
                return done.ok + done.ng == before + frame->cells().size() &&
                       !frame->tests_running();
            },
            10000);
    };
    const auto status = [&] { return frame->GetStatusBar()->GetStatusText(1); };

    ASSERT_TRUE(run_all("A"));
    ASSERT_TRUE(pump_until([&] { return status().Contains("all tests sent"); }, 10000)) << status();
    EXPECT_EQ(server_count("SELECT count(*) FROM tests WHERE station = 'desk'"), 2);

    // The server goes away: testing goes on at its own pace, the tests wait.
    server->stop();
    const auto before = std::chrono::steady_clock::now();
    for (const char* round : {"B", "C", "D"}) ASSERT_TRUE(run_all(round));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s) << "the cells waited for the server";
    ASSERT_TRUE(pump_until(
        [&] { return status().Contains("6 tests wait") && status().Contains("unreachable"); },
        10000))
        << status();
    EXPECT_EQ(frame->store().count(), 8);

    // Back again, the outbox drains by itself.
    server->start();
    ASSERT_TRUE(pump_until([&] { return status().Contains("all tests sent"); }, 20000)) << status();
    EXPECT_EQ(server_count("SELECT count(*) FROM tests WHERE station = 'desk'"), 8);
    EXPECT_EQ(server_count("SELECT count(*) FROM items"), 8 * 3);
    EXPECT_EQ(frame->store().outbox_size(), 0);

    // The line's history browser: the server's tests, told apart by station.
    HistoryStore copy((folder / "line-copy.sqlite").string());
    EXPECT_EQ(copy_line_history(server->address(), copy), 8u);
    EXPECT_EQ(copy.cells(), (std::vector<std::string>{"desk / Cell 1", "desk / Cell 2"}));
    std::vector<TestRecord> local, copied;
    frame->store().for_each([&](const TestRecord& r) { local.push_back(r); });
    copy.for_each([&](const TestRecord& r) { copied.push_back(r); });
    ASSERT_EQ(copied.size(), local.size());
    for (std::size_t i = 0; i < local.size(); ++i) copied[i].cell = local[i].cell;
    EXPECT_EQ(history_to_csv(copied), history_to_csv(local));
    // A second look fetches only what is new.
    ASSERT_TRUE(run_all("E"));
    ASSERT_TRUE(
        pump_until([&] { return server->query("SELECT count(*) FROM tests") == "10"; }, 10000));
    EXPECT_EQ(copy_line_history(server->address(), copy), 2u);
    auto* viewer = new StationViewerFrame(frame, copy);
    wxGrid* grid = viewer->panel->ui_history;
    EXPECT_EQ(grid->GetNumberRows(), 10);
    int label_width = 0, label_height = 0;
    const wxFont label_font = grid->GetLabelFont();
    grid->GetTextExtent("desk / Cell 1", &label_width, &label_height, nullptr, nullptr,
                        &label_font);
    EXPECT_GT(grid->GetRowLabelSize(), label_width) << "the station's name is cut off";
    viewer->Destroy();
    // Without the server, the copy stays as it was.
    server->stop();
    EXPECT_THROW(copy_line_history(server->address(), copy), LineServerError);
    EXPECT_EQ(copy.count(), 10);
    server->start();

    frame->Destroy();
    pump(50);
    ::unsetenv("XDG_DATA_HOME");
}
