// SPDX-License-Identifier: MIT
// The station as an operator's application: its log file and Logger tabs,
// its remembered settings and windows, its installed copy.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <wx/datetime.h>
#include <wx/tokenzr.h>
#include <wx/toolbar.h>

#include "host/station_cell.h"
#include "host/station_frame.h"
#include "host/station_log.h"
#include "logic/project.h"
#include "station_process.h"
#include "test_folder.h"
#include "support/harness.h"

using namespace atsui_test;
using namespace station;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string read_text(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string today() { return wxDateTime::Today().FormatISODate().ToStdString(); }
std::string days_ago(int days) {
    return (wxDateTime::Today() - wxDateSpan::Days(days)).FormatISODate().ToStdString();
}

// What a file line says, without its time, level and cell: "Test of ... ended: OK (...)".
std::string text_of_file_line(const std::string& line) {
    const std::size_t at = line.find("] ");
    return at == std::string::npos ? line : line.substr(at + 2);
}

}  // namespace

class StationOperator : public ::testing::Test {
protected:
    void SetUp() override {
        assertions_before = assertion_count();
        folder = station_test::fresh_folder("station-operator");
        project = station_test::write_board(folder, "Operator board");
        database = (folder / "history.sqlite").string();
    }
    void TearDown() override {
        fs::remove_all(folder);
        EXPECT_EQ(assertion_count(), assertions_before) << "toolkit assertions during the test";
    }

    // A station process whose XDG folders are this test's, so that two runs share them.
    std::vector<std::string> environment() const {
        return {"XDG_CONFIG_HOME=" + (folder / "config").string(),
                "XDG_STATE_HOME=" + (folder / "state").string(),
                "XDG_DATA_HOME=" + (folder / "data").string()};
    }
    fs::path logs() const { return folder / "state" / "atsui-station" / "logs"; }

    fs::path folder;
    std::string project;
    std::string database;
    int assertions_before = 0;
};

// A file line per verdict the operator saw, none twice, in the day's file;
// old days' files go at start, other files in the folder stay.
TEST_F(StationOperator, ScriptedSessionLogsEveryVerdictOnceInTheDaysFile) {
    fs::create_directories(logs());
    const fs::path ancient = logs() / ("atsui-station-" + days_ago(400) + ".log");
    const fs::path recent = logs() / ("atsui-station-" + days_ago(1) + ".log");
    const fs::path other = logs() / "notes.txt";
    for (const fs::path& file : {ancient, recent, other}) std::ofstream(file) << "kept?\n";

    StationProcess station(STATION_EXECUTABLE,
                           {"--project=" + project, "--cells=2", "--item-ms=10", "--seed=3",
                            "--station=ops", "--repeat=3", "--database=" + database},
                           environment());
    ASSERT_EQ(station.wait(60s), 0) << station.output();
    const std::vector<std::string> shown = station.verdicts();
    ASSERT_EQ(shown.size(), 6u) << station.output();

    EXPECT_FALSE(fs::exists(ancient));
    EXPECT_TRUE(fs::exists(recent));
    EXPECT_TRUE(fs::exists(other));
    const std::string log = read_text(logs() / ("atsui-station-" + today() + ".log"));
    std::map<std::string, int> verdict_lines;
    for (const std::string& line : lines_of(log))
        if (const std::size_t at = line.find("] Test of "); at != std::string::npos)
            if (const std::size_t end = line.find(" ended: ", at); end != std::string::npos)
                ++verdict_lines[line.substr(at + 10, end - at - 10)];
    EXPECT_EQ(verdict_lines.size(), shown.size()) << log;
    for (const std::string& serial : shown) EXPECT_EQ(verdict_lines[serial], 1) << serial << log;
    EXPECT_NE(log.find("[station] Station ops started"), std::string::npos) << log;
    EXPECT_NE(log.find("[station] Station closed"), std::string::npos) << log;
    EXPECT_EQ(log.find(" DEBUG "), std::string::npos) << "debug lines without --verbose";

    StationProcess verbose(STATION_EXECUTABLE,
                           {"--project=" + project, "--cells=1", "--item-ms=10", "--seed=3",
                            "--station=ops", "--repeat=1", "--database=" + database, "--verbose"},
                           environment());
    ASSERT_EQ(verbose.wait(60s), 0) << verbose.output();
    EXPECT_NE(read_text(logs() / ("atsui-station-" + today() + ".log")).find(" DEBUG "),
              std::string::npos);
}

// The Logger tab shows, for the cell's last test, the lines the file has for
// that cell; a worker thread's message reaches the file through the GUI thread.
TEST_F(StationOperator, LoggerTabShowsTheFilesLinesForItsCell) {
    auto* log = new StationLog(wxString::FromUTF8((folder / "logs").string()), 30, new wxLogStderr,
                               wxLOG_Warning);
    wxLog* previous = wxLog::SetActiveTarget(log);
    Options options;
    options.cells = 2;
    options.seed = 7;
    options.item_ms = 10;
    options.database = database;
    auto* frame = new StationFrame(options, load_project(project), project);
    frame->Show();
    pump(100);
    for (int round = 1; round <= 2; ++round) {
        for (StationCell* cell : frame->cells())
            cell->ui_serial_number->SetValue(wxString::Format("R%d-%s", round, cell->cell_name()));
        click_tool(frame->ui_toolbar, frame->ui_start_all);
        ASSERT_TRUE(pump_until([&] { return !frame->tests_running(); }, 10000));
    }
    const std::vector<std::string> file = lines_of(read_text(log->file_path().utf8_string()));
    for (StationCell* cell : frame->cells()) {
        const std::string tag = "[" + cell->cell_name().utf8_string() + "] ";
        std::vector<std::string> expected;
        for (const std::string& line : file) {
            if (line.find(tag) == std::string::npos) continue;
            if (line.find("] Test of ") != std::string::npos &&
                line.find(" started: ") != std::string::npos)
                expected.clear();
            expected.push_back(text_of_file_line(line));
        }
        std::vector<std::string> shown;
        for (const std::string& line : lines_of(cell->ui_test_logger->GetValue().utf8_string()))
            shown.push_back(line.size() > 10 ? line.substr(10) : line);  // "12:00:01  "
        EXPECT_EQ(shown, expected) << cell->cell_name();
        ASSERT_FALSE(shown.empty());
        EXPECT_NE(shown.back().find("Test of R2-" + cell->cell_name().utf8_string() + " ended: "),
                  std::string::npos);
    }

    std::thread worker([] { wxLogWarning("worker %d says hello", 42); });
    worker.join();
    EXPECT_EQ(read_text(log->file_path().utf8_string()).find("worker 42"), std::string::npos)
        << "written from the worker thread";
    EXPECT_TRUE(pump_until(
        [&] {
            return read_text(log->file_path().utf8_string()).find("WARN") != std::string::npos &&
                   read_text(log->file_path().utf8_string()).find("worker 42 says hello") !=
                       std::string::npos;
        },
        3000));

    frame->Destroy();
    pump(50);
    delete wxLog::SetActiveTarget(previous);
}
