// SPDX-License-Identifier: MIT
// The station as an operator's application: its log file and Logger tabs,
// its remembered settings and windows, its installed copy.

#include <signal.h>

#include <chrono>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <wx/datetime.h>
#include <wx/fileconf.h>
#include <wx/splitter.h>
#include <wx/textctrl.h>
#include <wx/tokenzr.h>
#include <wx/toolbar.h>

#include "host/command_line.h"
#include "host/settings.h"
#include "host/station_app.h"
#include "host/station_cell.h"
#include "host/station_launcher.h"
#include "host/station_viewer.h"
#include "host/station_frame.h"
#include "host/station_log.h"
#include "logic/history_store.h"
#include "logic/project.h"
#include "station_fixture.h"
#include "station_process.h"
#include "test_folder.h"
#include "x_windows.h"
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

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
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
    fs::path settings() const { return folder / "config" / "atsui-station" / "settings.ini"; }
    std::string todays_log() const {
        return read_text(logs() / ("atsui-station-" + today() + ".log"));
    }
    std::vector<std::string> args(const std::vector<std::string>& more) const {
        std::vector<std::string> all{"--project=" + project, "--seed=3", "--station=ops",
                                     "--repeat=1", "--database=" + database};
        all.insert(all.end(), more.begin(), more.end());
        return all;
    }

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
// that cell; imports and exports are logged; a worker thread's message
// reaches the file through the GUI thread.
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
        // Every cell's test of this round has started and ended.
        ASSERT_TRUE(pump_until(
            [&] {
                const Counters& done = frame->counters();
                return done.ok + done.ng == frame->cells().size() * round &&
                       !frame->tests_running();
            },
            10000));
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
        for (const std::string& line : lines_of(station_test::logger_text(cell).utf8_string()))
            shown.push_back(line.size() > 10 ? line.substr(10) : line);  // "12:00:01  "
        EXPECT_EQ(shown, expected) << cell->cell_name();
        ASSERT_FALSE(shown.empty());
        EXPECT_NE(shown.back().find("Test of R2-" + cell->cell_name().utf8_string() + " ended: "),
                  std::string::npos);
    }

    // Exports and imports leave a line each, with what they moved.
    const std::string csv = (folder / "history.csv").string();
    StationViewerFrame* viewer = frame->show_viewer();
    viewer->panel->export_to(csv);
    const HistoryStore::ImportResult again = viewer->panel->import_from(csv);
    EXPECT_EQ(again.skipped, 4u);
    const std::string after = read_text(log->file_path().utf8_string());
    EXPECT_NE(after.find("[station] Exported 4 tests to " + csv), std::string::npos) << after;
    EXPECT_NE(after.find("[station] Imported " + csv + ": 0 tests added, 4 already stored"),
              std::string::npos)
        << after;

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

// Cell count and item time come from the settings unless the command line
// gives them; what the command line gave is not remembered.
TEST_F(StationOperator, CommandLineWinsOverRememberedSettings) {
    fs::create_directories(settings().parent_path());
    std::ofstream(settings()) << "[station]\ncells=3\nitem_ms=10\n";
    StationProcess remembered(STATION_EXECUTABLE, args({}), environment());
    ASSERT_EQ(remembered.wait(60s), 0) << remembered.output();
    EXPECT_EQ(remembered.verdicts().size(), 3u) << remembered.output();

    // Given relative to where it was started, the project is remembered absolute.
    std::vector<std::string> relative = args({"--cells=1", "--item-ms=20"});
    relative.front() = "--project=board.atp";
    StationProcess given(STATION_EXECUTABLE, relative, environment(), folder.string());
    ASSERT_EQ(given.wait(60s), 0) << given.output();
    EXPECT_EQ(given.verdicts().size(), 1u) << given.output();

    Settings after(wxString::FromUTF8(settings().string()));
    EXPECT_EQ(after.cells(), 3);
    EXPECT_EQ(after.item_ms(), 10);
    EXPECT_EQ(after.last_project(), wxString::FromUTF8(project));
}

// A damaged settings file is reported once, set aside, and the station runs
// on defaults and writes a sound file.
TEST_F(StationOperator, DamagedSettingsAreReportedOnceAndTheStationRuns) {
    fs::create_directories(settings().parent_path());
    for (const char* damage : {"[station\n=\ncells=4\n", "[station]\ncells=many\n",
                               "\x01\x02\xff\xfe[log]\nkeep_days=-5\n"}) {
        std::ofstream(settings(), std::ios::binary) << damage;
        fs::remove(settings().string() + ".damaged");
        StationProcess station(STATION_EXECUTABLE, args({"--cells=2", "--item-ms=10"}),
                               environment());
        ASSERT_EQ(station.wait(60s), 0) << damage << station.output();
        EXPECT_EQ(station.verdicts().size(), 2u) << station.output();
        EXPECT_EQ(count(station.output(), "settings file"), 1u) << damage << station.output();
        EXPECT_TRUE(fs::exists(settings().string() + ".damaged")) << damage;
        Settings fresh(wxString::FromUTF8(settings().string()));
        EXPECT_EQ(fresh.problem(), "") << damage;
        EXPECT_EQ(fresh.cells(), 4);
    }
    const std::string log = todays_log();
    std::size_t warnings = 0;
    for (const std::string& line : lines_of(log))
        if (line.find(" WARN ") != std::string::npos &&
            line.find("settings file") != std::string::npos)
            ++warnings;
    EXPECT_EQ(warnings, 3u) << log;
}

// A log folder that cannot be made and a settings file that is a folder are
// reported once and the run goes on: no box of wx's own waits for an
// answer, no temporary file is left per run, and the operator finds the
// log's problem in the status bar.
TEST_F(StationOperator, UnusableFoldersAreReportedOnceAndTheRunGoesOn) {
    // The log's folder would be under a file.
    const fs::path blocker = folder / "not-a-folder";
    std::ofstream(blocker) << "a file where the state folder should be\n";
    std::vector<std::string> no_log = environment();
    no_log[1] = "XDG_STATE_HOME=" + blocker.string();
    StationProcess logless(STATION_EXECUTABLE, args({"--cells=2", "--item-ms=10"}), no_log);
    ASSERT_EQ(logless.wait(60s), 0) << logless.output();
    EXPECT_EQ(logless.verdicts().size(), 2u) << logless.output();
    EXPECT_EQ(count(logless.output(), "Cannot create the log folder " + blocker.string()), 1u)
        << logless.output();

    // settings.ini is a folder: two runs, and nothing beside it.
    fs::remove(settings());
    fs::create_directories(settings());
    for (int run = 1; run <= 2; ++run) {
        StationProcess station(STATION_EXECUTABLE, args({"--cells=1", "--item-ms=10"}),
                               environment());
        ASSERT_EQ(station.wait(60s), 0) << station.output();
        EXPECT_EQ(station.verdicts().size(), 1u) << station.output();
        EXPECT_EQ(count(station.output(), "is a folder"), 1u) << station.output();
        EXPECT_EQ(count(station.output(), "settings file"), 1u) << station.output();
    }
    for (const auto& entry : fs::directory_iterator(settings().parent_path()))
        EXPECT_EQ(entry.path(), settings()) << "left beside the settings";
    EXPECT_TRUE(fs::is_empty(settings())) << "the station wrote into the folder";

    // In the window: the status bar says it once the station is ready.
    wxLog* previous = wxLog::SetActiveTarget(
        new StationLog(wxString::FromUTF8((blocker / "logs").string()), 1, nullptr, wxLOG_Max));
    const wxString problem = StationLog::active()->problem();
    EXPECT_TRUE(problem.Contains("Cannot create the log folder")) << problem;
    Options options;
    options.cells = 1;
    options.item_ms = 10;
    options.database = database;
    auto* frame = new StationFrame(options, load_project(project), project);
    frame->Show();
    EXPECT_TRUE(pump_until([&] { return frame->GetStatusBar()->GetStatusText() == problem; }, 5000))
        << frame->GetStatusBar()->GetStatusText();
    frame->Destroy();
    pump(50);
    delete wxLog::SetActiveTarget(previous);
}

// SIGTERM, SIGINT and SIGHUP close the station as Ctrl+Q does: the running
// tests end, aborted, and are stored with every other shown verdict; no
// test starts after; the settings are written and the log says it closed.
TEST_F(StationOperator, SignalsCloseTheStationAsCtrlQDoes) {
    int closed = 0;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        fs::remove(settings());
        std::vector<std::string> many = args({"--cells=2", "--item-ms=50"});
        many[3] = "--repeat=1000";
        const std::string history = (folder / (std::to_string(signal) + ".sqlite")).string();
        many[4] = "--database=" + history;
        StationProcess station(STATION_EXECUTABLE, many, environment());
        ASSERT_GE(station.read_verdicts(4, 30s).size(), 4u) << station.output();
        ::kill(station.pid(), signal);
        ASSERT_EQ(station.wait(30s), 0) << station.output();
        ++closed;

        std::map<std::string, int> stored;
        HistoryStore(history).for_each([&](const TestRecord& r) { ++stored[r.serial]; });
        for (const std::string& serial : station.verdicts())
            EXPECT_EQ(stored[serial], 1)
                << serial << " shown, stored " << stored[serial] << " times";

        const std::vector<std::string> log = lines_of(todays_log());
        std::size_t closings = 0;
        std::map<std::string, int> open_tests;  // started minus ended, by serial
        for (const std::string& line : log) {
            const std::string text = text_of_file_line(line);
            if (text == "Station closed") ++closings;
            const std::size_t of = text.find("Test of ");
            if (of != 0) continue;
            const std::string rest = text.substr(8);
            if (const auto at = rest.find(" started: "); at != std::string::npos)
                ++open_tests[rest.substr(0, at)];
            if (const auto at = rest.find(" ended: "); at != std::string::npos)
                --open_tests[rest.substr(0, at)];
        }
        EXPECT_EQ(closings, std::size_t(closed)) << todays_log();
        EXPECT_TRUE(text_of_file_line(log.back()) == "Station closed") << log.back();
        for (const auto& [serial, open] : open_tests)
            EXPECT_EQ(open, 0) << serial << " started without an end";
        // Written at close: the window's place is remembered.
        EXPECT_NE(read_text(settings()).find("[Persistent_Options/Window/station]"),
                  std::string::npos)
            << read_text(settings());
    }
}

// The documented ends of each range are settings an operator may write, not
// damage; one step past either end is damage.
TEST_F(StationOperator, SettingsAtTheEndsOfTheirRangesAreKept) {
    fs::create_directories(settings().parent_path());
    const wxString path = wxString::FromUTF8(settings().string());
    const std::string aside = settings().string() + ".damaged";
    const struct {
        const char* text;
        int cells, item_ms, keep_days;
    } ends[] = {{"[station]\ncells=16\nitem_ms=60000\n[log]\nkeep_days=3650\n", 16, 60000, 3650},
                {"[station]\ncells=1\nitem_ms=10\n[log]\nkeep_days=1\n", 1, 10, 1}};
    for (const auto& end : ends) {
        std::ofstream(settings()) << end.text;
        Settings read(path);
        EXPECT_EQ(read.problem(), "") << end.text;
        EXPECT_EQ(read.cells(), end.cells);
        EXPECT_EQ(read.item_ms(), end.item_ms);
        EXPECT_EQ(read.log_days(), end.keep_days);
        EXPECT_FALSE(fs::exists(aside)) << end.text;
    }
    for (const char* past :
         {"[station]\ncells=17\n", "[station]\ncells=0\n", "[station]\nitem_ms=60001\n",
          "[station]\nitem_ms=9\n", "[log]\nkeep_days=3651\n", "[log]\nkeep_days=0\n"}) {
        std::ofstream(settings()) << past;
        fs::remove(aside);
        Settings read(path);
        EXPECT_NE(read.problem(), "") << past;
        EXPECT_TRUE(fs::exists(aside)) << past;
    }
}

// Closed and opened again, the station is where the operator left it: the
// windows' places and sizes, the viewer's sashes, the last project chosen.
TEST_F(StationOperator, RestartRestoresWindowsSashesAndLastProject) {
    const wxString path = wxString::FromUTF8(settings().string());
    Options options;
    options.cells = 2;
    options.seed = 3;
    options.item_ms = 10;
    options.database = database;
    const wxRect station_place(60, 40, 1100, 780);
    wxRect viewer_place;
    int columns = 0, rows = 0;
    {
        Settings settings(path);
        Settings::set_current(&settings);
        StationFrame* frame = open_station(options, project);
        ASSERT_TRUE(frame);
        pump(200);
        frame->SetSize(station_place);
        StationViewerFrame* viewer = frame->show_viewer();
        pump(300);
        // The viewer keeps a minimum width: grow it, and take what it became.
        viewer->SetSize(wxRect(wxPoint(120, 90), viewer->GetSize() + wxSize(40, -60)));
        pump(200);
        viewer_place = viewer->GetRect();
        ASSERT_EQ(viewer_place.GetPosition(), wxPoint(120, 90));
        // Away from the middle the layer starts them at.
        columns = viewer->panel->m_splitter2->GetSashPosition() - 120;
        rows = viewer->panel->m_splitter1->GetSashPosition() + 60;
        viewer->panel->m_splitter2->SetSashPosition(columns);
        viewer->panel->m_splitter1->SetSashPosition(rows);
        pump(100);
        ASSERT_EQ(viewer->panel->m_splitter2->GetSashPosition(), columns);
        frame->Close(true);
        pump(200);
        Settings::set_current(nullptr);
    }
    Settings settings(path);
    Settings::set_current(&settings);
    EXPECT_EQ(settings.last_project(), wxString::FromUTF8(project));
    auto* launcher = new StationLauncher(folder.string(), [](const std::string&) { return false; });
    launcher->choose(settings.last_project().utf8_string());
    EXPECT_EQ(launcher->ui_project_path->GetValue(), wxString::FromUTF8(project));
    launcher->Destroy();

    StationFrame* frame = open_station(options, project);
    ASSERT_TRUE(frame);
    pump(200);
    EXPECT_EQ(frame->GetRect(), station_place);
    StationViewerFrame* viewer = frame->show_viewer();
    pump(400);
    EXPECT_EQ(viewer->GetRect(), viewer_place);
    EXPECT_EQ(viewer->panel->m_splitter2->GetSashPosition(), columns);
    EXPECT_EQ(viewer->panel->m_splitter1->GetSashPosition(), rows);
    frame->Close(true);
    pump(200);
    Settings::set_current(nullptr);
}

// Installed, then moved elsewhere, the station finds its sample projects and
// its plug-in under its own prefix and runs its scripted session; it opens no
// path under the source or build tree (checked with strace where installed).
TEST_F(StationOperator, InstalledCopyRunsItsScriptedSessionAwayFromTheTrees) {
    if (!STATION_INSTALL_RULES) GTEST_SKIP() << "built without install rules";
    const fs::path prefix = folder / "prefix", moved = folder / "moved";
    for (const char* component : {"runtime", "station"}) {
        const std::string command = std::string("\"") + CMAKE_COMMAND_PATH + "\" --install \"" +
                                    ATSUI_BUILD_DIR + "\" --prefix \"" + prefix.string() +
                                    "\" --component " + component + " > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    fs::rename(prefix, moved);
    const fs::path station = moved / "bin" / "atsui_station";
    ASSERT_TRUE(fs::exists(station));
    const std::string desktop = read_text(moved / "share/applications/atsui-station.desktop");
    EXPECT_NE(desktop.find("\nExec=atsui_station"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\nIcon=atsui-station\n"), std::string::npos) << desktop;
    EXPECT_TRUE(fs::exists(moved / "share/icons/hicolor/scalable/apps/atsui-station.svg"));
    if (fs::exists("/usr/bin/desktop-file-validate")) {
        const std::string validate = "/usr/bin/desktop-file-validate \"" +
                                     (moved / "share/applications/atsui-station.desktop").string() +
                                     "\"";
        EXPECT_EQ(std::system(validate.c_str()), 0) << validate;
    }
    EXPECT_TRUE(fs::exists(moved / "share/atsui-station/README.md"));

    const fs::path shots = folder / "png", trace = folder / "trace.txt";
    // Containers may forbid ptrace: then the run is checked without the trace.
    const bool traced = fs::exists("/usr/bin/strace") &&
                        std::system("/usr/bin/strace -o /dev/null true 2> /dev/null") == 0;
    if (!traced) std::fprintf(stderr, "strace cannot trace here: files opened are not checked\n");
    std::vector<std::string> args{"--screenshots=" + shots.string()};
    if (traced)
        args.insert(args.begin(),
                    {"-f", "-qq", "-e", "trace=%file", "-o", trace.string(), station.string()});
    std::vector<std::string> env = environment();
    env.push_back("LD_LIBRARY_PATH=" + (moved / STATION_INSTALL_LIBDIR).string());
    env.push_back("XDG_DATA_DIRS=" + (folder / "no-data").string());
    // LeakSanitizer cannot run under ptrace; the sanitizer build's other
    // checks still apply to the traced station.
    if (traced) {
        const char* asan = std::getenv("ASAN_OPTIONS");
        env.push_back(std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":detect_leaks=0");
    }
    // Started from the test's folder: not even its working folder is in a tree.
    StationProcess run(traced ? "/usr/bin/strace" : station.string(), args, env, folder.string());
    ASSERT_EQ(run.wait(240s), 0) << run.output();
    std::size_t pictures = 0;
    for (const auto& entry : fs::directory_iterator(shots))
        pictures += entry.path().extension() == ".png";
    EXPECT_GE(pictures, 8u) << run.output();
    EXPECT_EQ(run.output().find("not found"), std::string::npos) << run.output();
    if (!traced) return;
    const std::string calls = read_text(trace);
    EXPECT_NE(calls.find((moved / "share/atsui-station/projects/power_supply.atp").string()),
              std::string::npos);
    EXPECT_NE(
        calls.find((moved / STATION_INSTALL_LIBDIR / "atsui-station" / "manual_operation_dialog.so")
                       .string()),
        std::string::npos);
    for (const std::string& line : lines_of(calls))
        EXPECT_EQ(line.find(ATSUI_SOURCE_DIR), std::string::npos) << line;
}

// A real restart: the place and size a previous run left in the settings is
// where the station's window appears (as the X server reports it).
TEST_F(StationOperator, StationProcessOpensWhereThePreviousRunLeftIt) {
    StationProcess first(STATION_EXECUTABLE, args({"--cells=1", "--item-ms=10"}), environment());
    ASSERT_EQ(first.wait(60s), 0) << first.output();
    const std::string saved = read_text(settings());
    ASSERT_NE(saved.find("[Persistent_Options/Window/station]"), std::string::npos) << saved;

    // As if the operator had moved and resized it before closing.
    Settings::set_current(nullptr);
    {
        Settings edit(wxString::FromUTF8(settings().string()));
        edit.config().Write("Persistent_Options/Window/station/x", 37);
        edit.config().Write("Persistent_Options/Window/station/y", 29);
        edit.config().Write("Persistent_Options/Window/station/w", 1010);
        edit.config().Write("Persistent_Options/Window/station/h", 690);
    }
    StationProcess second(STATION_EXECUTABLE,
                          {"--project=" + project, "--cells=1", "--item-ms=500", "--seed=3",
                           "--station=ops", "--database=" + database},
                          environment());
    std::string geometry;
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(200ms);
        geometry = station_test::window_info(second.pid(), "ATSUI Test Station - Operator board");
        if (geometry.find("Width: 1010") != std::string::npos) break;
    }
    EXPECT_NE(geometry.find("Absolute upper-left X:  37"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Absolute upper-left Y:  29"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Width: 1010"), std::string::npos) << geometry;
    EXPECT_NE(geometry.find("Height: 690"), std::string::npos) << geometry;
}

// One product name and one version, the station's, wherever the station
// sets a text: the launcher, the station's title, About, the desktop entry
// and --version; none of the layer's other names is left.
class StationNames : public station_test::StationFixture {
protected:
    StationNames() : StationFixture("station-names") {}
};

TEST_F(StationNames, OneProductNameAndOneVersionEverywhere) {
    const wxString name = station::kProductName;
    const wxString version = station::station_version();
    std::vector<wxString> texts;

    auto* launcher = new station::StationLauncher(folder.string(), {});
    texts.push_back(launcher->GetTitle());
    texts.push_back(launcher->m_staticText34->GetLabel() + " " +
                    launcher->m_staticText35->GetLabel());
    texts.push_back(launcher->ui_button_learn->GetLabel());
    launcher->Destroy();

    open();
    texts.push_back(frame->GetTitle());
    tov_atsui::AboutDialog about(frame);
    station::say_about(about);
    texts.push_back(about.GetTitle());
    wxString about_text;
    for (wxStaticText* line : {about.m_staticText11, about.m_staticText12, about.m_staticText13,
                               about.m_staticText14, about.m_staticText15})
        about_text += line->GetLabel() + "\n";
    texts.push_back(about_text);
    EXPECT_NE(about_text.find(version), wxString::npos) << about_text;
    EXPECT_NE(texts[1].find(version), wxString::npos) << texts[1];

    const wxString version_text = station::version_text();
    EXPECT_NE(version_text.find(name + " " + version), wxString::npos) << version_text;
    std::ifstream desktop(std::filesystem::path(__FILE__).parent_path() /
                          "../../examples/station/data/atsui-station.desktop");
    std::string line, entry_name;
    while (std::getline(desktop, line))
        if (line.rfind("Name=", 0) == 0) entry_name = line.substr(5);
    EXPECT_EQ(wxString::FromUTF8(entry_name), name);

    for (const wxString& text : texts) {
        EXPECT_NE(text.find(name), wxString::npos) << text;
        for (const char* other : {"Pelno", "Tarvo", "ATS -", "2021.06.04", "2024.06.04"})
            EXPECT_EQ(text.find(other), wxString::npos) << other << " in: " << text;
    }
}
