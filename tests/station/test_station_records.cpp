// SPDX-License-Identifier: MIT
// The station as a process, the way a production line meets it: killed in
// the middle of a run, restarted, opened on a file it must not touch. What
// an operator saw as a verdict must be in the store, once.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include <atsui/version.h>

#include "logic/history_store.h"
#include "logic/project.h"
#include "logic/text.h"
#include "station_process.h"
#include "test_folder.h"

using namespace station;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class StationRecords : public ::testing::Test {
protected:
    void SetUp() override {
        folder = station_test::fresh_folder("station-records");
        project = station_test::write_board(folder, "Crash board");
        database = (folder / "history.sqlite").string();
    }
    void TearDown() override { fs::remove_all(folder); }

    std::vector<std::string> station_args(int repeat) const {
        return {"--project=" + project,  "--cells=4",
                "--item-ms=10",          "--seed=3",
                "--station=crash",       "--repeat=" + std::to_string(repeat),
                "--database=" + database};
    }

    fs::path folder;
    std::string project;
    std::string database;
};

// Serial number to how often the store holds it.
std::map<std::string, int> stored_serials(const HistoryStore& store) {
    std::map<std::string, int> serials;
    store.for_each([&](const TestRecord& r) { ++serials[r.serial]; });
    return serials;
}

// Names of the windows on the display, as a window manager would list them.
std::string top_level_window_names() {
    std::string names;
    if (FILE* pipe = popen("xwininfo -root -children 2>/dev/null", "r")) {
        char line[1024];
        while (fgets(line, sizeof line, pipe)) names += line;
        pclose(pipe);
    }
    return names;
}

}  // namespace

TEST_F(StationRecords, KilledMidRunKeepsEveryShownVerdictExactlyOnce) {
    StationProcess station(STATION_EXECUTABLE, station_args(100000));
    // Kill it while all four cells are busy, well into the run.
    const auto shown = station.read_verdicts(200, 30s);
    ASSERT_GE(shown.size(), 200u) << "the station did not get going:\n" << station.output();
    station.kill_hard();

    std::set<std::string> seen(shown.begin(), shown.end());
    {
        HistoryStore store(database);
        EXPECT_EQ(store.integrity_check(), "ok");
        const auto serials = stored_serials(store);
        for (const std::string& serial : seen) {
            const auto found = serials.find(serial);
            EXPECT_TRUE(found != serials.end() && found->second == 1)
                << serial << " showed its verdict but is stored "
                << (found == serials.end() ? 0 : found->second) << " times";
        }
        // At most the four running tests and the ones not yet logged are missing
        // from the log: the store has no fewer tests than were seen.
        EXPECT_GE(store.count(), std::int64_t(seen.size()));
    }

    // Restarted on the same file, the station goes on recording.
    const std::int64_t before = HistoryStore(database).count();
    StationProcess again(STATION_EXECUTABLE, station_args(2));
    ASSERT_EQ(again.wait(60s), 0) << again.output();
    HistoryStore store(database);
    EXPECT_EQ(store.count(), before + 8);
    EXPECT_EQ(store.integrity_check(), "ok");
}

TEST_F(StationRecords, BrowserOpensOnlyTheViewerOnTheStationsFile) {
    {
        StationProcess station(STATION_EXECUTABLE, station_args(1));
        ASSERT_EQ(station.wait(60s), 0) << station.output();
    }
    ASSERT_EQ(HistoryStore(database).count(), 4);
    // Each record says what tested the unit.
    HistoryStore(database).for_each([&](const TestRecord& r) {
        EXPECT_EQ(r.project, "Crash board");
        EXPECT_EQ(r.project_hash, project_hash(read_file(project)));
        EXPECT_EQ(r.station, "crash");
        EXPECT_EQ(r.software.rfind("atsui_station ", 0), 0u) << r.software;
    });
    // The browser shows one window, the viewer, titled with the file it reads.
    StationProcess browser(STATION_EXECUTABLE, {"--viewer", "--database=" + database});
    std::string windows;
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (windows.find("Test data") == std::string::npos &&
           std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(200ms);
        windows = top_level_window_names();
    }
    EXPECT_NE(windows.find("\"Test data - " + database + "\""), std::string::npos) << windows;
    EXPECT_EQ(windows.find("\"ATS"), std::string::npos) << windows;
    EXPECT_EQ(browser.wait(0ms), -1) << "the browser did not stay open: " << browser.output();
}

// An operator asks from a terminal, perhaps over ssh with no display: the
// answers come without a window and the exit code says they are answers.
TEST(StationCommandLine, HelpVersionAndMistakesNeedNoDisplay) {
    StationProcess help(STATION_EXECUTABLE, {"--help"}, {"DISPLAY"});
    EXPECT_EQ(help.wait(20s), 0) << help.output();
    EXPECT_NE(help.output().find("--repeat=<num>"), std::string::npos) << help.output();

    StationProcess version(STATION_EXECUTABLE, {"--version"}, {"DISPLAY"});
    EXPECT_EQ(version.wait(20s), 0) << version.output();
    EXPECT_NE(version.output().find(std::string("tov_atsui ") + ATSUI_VERSION_STRING),
              std::string::npos)
        << version.output();
    EXPECT_NE(version.output().find("atsui_station "), std::string::npos) << version.output();

    // GTK's own options pass, as they did before the station read its options early.
    StationProcess toolkit(STATION_EXECUTABLE, {"--display", ":77", "--g-fatal-warnings", "--help"},
                           {"DISPLAY"});
    EXPECT_EQ(toolkit.wait(20s), 0) << toolkit.output();

    StationProcess wrong(STATION_EXECUTABLE, {"--cells=99"}, {"DISPLAY"});
    EXPECT_EQ(wrong.wait(20s), 2) << wrong.output();
    EXPECT_NE(wrong.output().find("--cells must be between 1 and 16"), std::string::npos)
        << wrong.output();
}
