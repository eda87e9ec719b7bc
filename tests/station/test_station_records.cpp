// SPDX-License-Identifier: MIT
// The station as a process, the way a production line meets it: killed in
// the middle of a run, restarted, opened on a file it must not touch. What
// an operator saw as a verdict must be in the store, once.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
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
#include "window_closer.h"
#include "x_windows.h"

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

std::string file_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A small file system of the test's own, for a full or a read-only disk;
// none when the test may not mount (not root).
class SmallDisk {
public:
    SmallDisk(const fs::path& at, const std::string& size) : at_(at) {
        fs::create_directories(at_);
        mounted_ = ::mount("tmpfs", at_.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }
    const fs::path& path() const { return at_; }
    bool make_read_only() {
        return ::mount("tmpfs", at_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    void fill() {
        std::ofstream filler(at_ / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), std::streamsize(block.size()))) {
        }
    }

private:
    fs::path at_;
    bool mounted_ = false;
};

}  // namespace

TEST_F(StationRecords, KilledMidRunKeepsEveryShownVerdictExactlyOnce) {
    StationProcess station(STATION_EXECUTABLE, station_args(100000));
    // Kill it while all four cells are busy, well into the run; a sanitized
    // build on a loaded machine needs more than 30 s for 200 verdicts.
    const auto shown = station.read_verdicts(200, 120s);
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
        windows = station_test::top_level_window_names(browser.pid());
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

    // The station's name goes into every record and to the line: bounded.
    StationProcess named(STATION_EXECUTABLE, {"--station=" + std::string(65, 'S'), "--viewer"},
                         {"DISPLAY"});
    EXPECT_EQ(named.wait(20s), 2) << named.output();
    EXPECT_NE(named.output().find("--station must be at most 64 characters"), std::string::npos)
        << named.output();
}

// Whatever the station refuses at start, it says what and where, ends with a
// status that says it failed, without a crash, and leaves the files it was
// given, and its settings folder, as they were.
TEST_F(StationRecords, EveryRefusedStartSaysWhyAndEndsCleanly) {
    const fs::path empty = folder / "empty.atp", invalid = folder / "invalid.atp";
    std::ofstream(empty) << "";
    std::ofstream(invalid) << "title: Broken\nno limits on this line\n";
    const fs::path not_station = folder / "notes.sqlite", newer = folder / "newer.sqlite";
    std::ofstream(not_station) << "these are notes, not tests\n";
    {
        HistoryStore created(newer.string());
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(newer.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    const fs::path a_folder = folder / "a-folder.sqlite";
    fs::create_directories(a_folder);

    struct Refused {
        std::string what;
        std::vector<std::string> args;
        std::string says;
        fs::path untouched;  // a file that must keep its bytes
    };
    const std::string board = "--project=" + project;
    std::vector<Refused> cases = {
        {"missing project", {"--project=" + (folder / "gone.atp").string(), "--repeat=1"},
         "gone.atp", {}},
        {"empty project", {"--project=" + empty.string(), "--repeat=1"}, "names no test items",
         empty},
        {"invalid project", {"--project=" + invalid.string(), "--repeat=1"}, "invalid.atp, line 2",
         invalid},
        {"history not a station's", {board, "--repeat=1", "--database=" + not_station.string()},
         "not a station history database", not_station},
        {"history of a newer station", {board, "--repeat=1", "--database=" + newer.string()},
         "newer station (schema 99", newer},
        {"history a folder", {board, "--repeat=1", "--database=" + a_folder.string()},
         a_folder.string(), {}},
        // The viewer is for an operator at the screen: the box waits for them.
        {"viewer on a file not a station's", {"--viewer", "--database=" + not_station.string()},
         "not a station history database", not_station},
        {"viewer on a newer station's file", {"--viewer", "--database=" + newer.string()},
         "newer station", newer},
        {"viewer on a folder", {"--viewer", "--database=" + a_folder.string()}, a_folder.string(),
         {}},
    };

    // A read-only and a full disk, where the test may mount them.
    SmallDisk read_only(folder / "read-only", "256k"), full(folder / "full", "64k");
    if (read_only.mounted()) {
        const fs::path copy = read_only.path() / "history.sqlite";
        { HistoryStore created(copy.string()); }
        if (read_only.make_read_only())
            cases.push_back({"history on a read-only disk",
                             {board, "--repeat=1", "--database=" + copy.string()},
                             copy.string() + " is read-only", copy});
    } else if (::geteuid() != 0) {
        const fs::path copy = folder / "read-only.sqlite";
        { HistoryStore created(copy.string()); }
        fs::permissions(copy, fs::perms::owner_read | fs::perms::group_read);
        cases.push_back({"history read-only", {board, "--repeat=1", "--database=" + copy.string()},
                         copy.string() + " is read-only", copy});
    }
    if (full.mounted()) {
        full.fill();
        const fs::path path = full.path() / "history.sqlite";
        cases.push_back({"history on a full disk", {board, "--repeat=1", "--database=" + path.string()},
                         "disk is full", {}});
    }
    if (!read_only.mounted() || !full.mounted())
        std::printf("note: no small disk mounted here; the read-only and full disks are not tried\n");

    for (const Refused& refused : cases) {
        SCOPED_TRACE(refused.what);
        const std::string before = refused.untouched.empty() ? "" : file_bytes(refused.untouched);
        StationProcess station(STATION_EXECUTABLE, refused.args);
        if (refused.args.front() == "--viewer")
            EXPECT_TRUE(close_window_titled("Cannot open the test history", 20s))
                << "no box told the operator: " << station.output();
        const int status = station.wait(30s);
        EXPECT_EQ(status, 1) << "(128 + signal when it crashed, -1 when it did not end)\n"
                             << station.output();
        EXPECT_NE(station.output().find(refused.says), std::string::npos) << station.output();
        if (!refused.untouched.empty())
            EXPECT_TRUE(file_bytes(refused.untouched) == before) << refused.untouched << " changed";
        // Only the settings file itself; a temporary one means a write was cut short.
        const fs::path settings = fs::path(station.scratch()) / "XDG_CONFIG_HOME" / "atsui-station";
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(settings, ignored))
            EXPECT_EQ(entry.path().filename(), "settings.ini") << "left in " << settings;
    }
}

// A scripted run whose tests the store cannot take (another program holds
// its lock to the end) must not end as if it had recorded them: it waits,
// retrying, then ends non-zero and names each test it could not store. Nor
// may it close on unsaved tests that the store would still take.
TEST_F(StationRecords, ScriptedRunEndsNonZeroNamingTheTestsItCouldNotStore) {
    StationProcess station(STATION_EXECUTABLE,
                           {"--project=" + project, "--cells=2", "--item-ms=50", "--seed=3",
                            "--station=locked", "--repeat=3", "--database=" + database});
    ASSERT_GE(station.read_verdicts(1, 30s).size(), 1u) << station.output();
    sqlite3* lock = nullptr;
    ASSERT_EQ(sqlite3_open(database.c_str(), &lock), SQLITE_OK);
    sqlite3_busy_timeout(lock, 10000);
    ASSERT_EQ(sqlite3_exec(lock, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const int status = station.wait(90s);
    sqlite3_exec(lock, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(lock);

    EXPECT_EQ(status, 1) << station.output();
    const std::vector<std::string> shown = station.verdicts();
    EXPECT_EQ(shown.size(), 6u) << station.output();
    std::set<std::string> named;
    std::istringstream lines(station.output());
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("not stored: ", 0) == 0) {
            // "not stored: Cell 1 locked-Cell 1-2 (OK, begun ...)"
            const std::string test = line.substr(std::strlen("not stored: "));
            for (const std::string& serial : shown)
                if (test.find(" " + serial + " (") != std::string::npos) named.insert(serial);
        }
    EXPECT_FALSE(named.empty()) << "no test named as not stored:\n" << station.output();
    const auto serials = stored_serials(HistoryStore(database));
    for (const std::string& serial : shown)
        EXPECT_EQ(serials.count(serial), named.count(serial) ? 0u : 1u)
            << serial << (named.count(serial) ? " named as not stored, but stored"
                                              : " neither stored nor named");

    // The lock goes once every verdict is shown: the run waits for the
    // store instead of closing on the unsaved tests, and stores them all.
    const std::string second = (folder / "second.sqlite").string();
    StationProcess again(STATION_EXECUTABLE,
                         {"--project=" + project, "--cells=2", "--item-ms=50", "--seed=3",
                          "--station=freed", "--repeat=3", "--database=" + second});
    ASSERT_GE(again.read_verdicts(1, 30s).size(), 1u) << again.output();
    ASSERT_EQ(sqlite3_open(second.c_str(), &lock), SQLITE_OK);
    sqlite3_busy_timeout(lock, 10000);
    ASSERT_EQ(sqlite3_exec(lock, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const std::vector<std::string> all = again.read_verdicts(6, 60s);
    sqlite3_exec(lock, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(lock);
    EXPECT_EQ(again.wait(60s), 0) << again.output();
    ASSERT_EQ(all.size(), 6u) << again.output();
    const auto freed = stored_serials(HistoryStore(second));
    for (const std::string& serial : all) EXPECT_EQ(freed.count(serial), 1u) << serial;
}
