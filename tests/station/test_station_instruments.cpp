// SPDX-License-Identifier: MIT
// The station measuring through LAN instruments, as the operator sees it: a
// real station window whose cells read from instrument simulators started
// by the test, with faults injected into those simulators while cells run.

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include <unistd.h>

#include <wx/frame.h>
#include <wx/gauge.h>
#include <wx/timer.h>
#include <wx/weakref.h>

#include "bench/gui_thread_runner.h"
#include "host/look.h"
#include "host/station_cell.h"
#include "host/station_frame.h"
#include "instrument_sim.h"
#include "station_fixture.h"
#include "logic/history_store.h"
#include "logic/instrument.h"
#include "logic/text.h"
#include "station_process.h"
#include "support/harness.h"
#include "test_folder.h"
#include "time_scale.h"

using namespace atsui_test;
using namespace station;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

long long ms_since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Limits wide around the simulator's nominal readings: every reading passes.
std::string bench_items(const std::string& instrument) {
    return "Rail 5 V ; 4.75 ; 5.25 ; V ; " + instrument + " ; MEAS:VOLT:DC? (@1)\n" +
           "Rail 12 V ; 11.4 ; 12.6 ; V ; " + instrument + " ; MEAS:VOLT:DC? (@2)\n" +
           "Load current ; 0.23 ; 0.27 ; A ; " + instrument + " ; MEAS:CURR:DC? (@1)\n" +
           "Board temperature ; 20 ; 55 ; C ; " + instrument + " ; MEAS:TEMP? (@1)\n";
}

// The longest time between two ticks of a 10 ms timer: how long the window
// was held up while it ran.
class GapWatch {
public:
    GapWatch() {
        tick_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
            longest_ = std::max(longest_, ms_since(last_));
            last_ = Clock::now();
        });
    }
    void start() {
        last_ = Clock::now();
        tick_.Start(10);
    }
    long long stop() {
        tick_.Stop();
        return longest_;
    }

private:
    wxTimer tick_;
    long long longest_ = 0;
    Clock::time_point last_ = Clock::now();
};

constexpr int kReplyMs = 600;  // a hang is an answer later than this
constexpr int kTestLimitMs = 10000;
// What "at once" means here: far below the 60 s hangs these tests wait on,
// far above a loaded machine's scheduling delays. How soon an abort really
// lands is measured by make bench (station_workers_bench).
constexpr int kPromptMs = 5000;

}  // namespace

class StationInstruments : public ::testing::Test {
protected:
    void SetUp() override {
        assertions_before = assertion_count();
        folder = station_test::fresh_folder("station-instruments");
        options.cells = 2;
        options.seed = 3;
        options.item_ms = 10;
        options.ticker_ms = 50;
        options.instrument_reply_ms = kReplyMs;
        options.instrument_simulator = STATION_INSTRUMENT_SIM;
        options.database = (folder / "history.sqlite").string();
    }

    void TearDown() override {
        if (frame) {
            frame->Close(true);
            pump_until([this] { return !frame; }, 5000);
        }
        fs::remove_all(folder);
        EXPECT_EQ(assertion_count(), assertions_before) << "toolkit assertions during the test";
    }

    std::string write_project(const std::string& name, const std::string& text) const {
        const std::string path = (folder / name).string();
        std::ofstream(path) << text;
        return path;
    }

    void open(const std::string& path) {
        frame = new StationFrame(options, load_project(path), path, nullptr, runners);
        frame->Show();
        pump(100);
    }

    StationCell* cell(int n) const { return frame->cells()[n - 1]; }

    // Types a serial number and clicks Start, as the operator does.
    void start(int n, const std::string& serial) {
        cell(n)->ui_serial_number->SetValue(serial);
        click(cell(n)->ui_start);
        ASSERT_TRUE(cell(n)->running()) << cell(n)->ui_prompt->GetLabel();
    }

    // The stored test of that serial number once its cell showed the verdict.
    TestRecord finish(int n, const std::string& serial) {
        EXPECT_TRUE(pump_until([&] { return !cell(n)->running(); }, kTestLimitMs))
            << "cell " << n << " never ended its test";
        TestRecord found;
        frame->store().for_each([&](const TestRecord& r) {
            if (r.serial == serial) found = r;
        });
        EXPECT_EQ(found.serial, serial) << "the test was not stored";
        return found;
    }

    std::string logger(int n) const { return to_utf8(station_test::logger_text(cell(n))); }

    Options options;
    StationFrame::RunnerFactory runners;  // none: the cells' workers
    fs::path folder;
    wxWeakRef<StationFrame> frame;
    int assertions_before = 0;
};

// Two cells read through slow instruments at once; the window never waits
// for them: its timer keeps ticking on time throughout.
TEST_F(StationInstruments, CellsPassThroughInstrumentsWhileTheWindowKeepsTicking) {
    // The two voltage readings are slow: a window that waited for one would
    // stall for its whole latency, long enough to tell from a loaded machine.
    const int latency_ms = 1500;
    InstrumentSim sim({"--latency", "MEAS:VOLT:DC?=" + std::to_string(latency_ms)});
    ASSERT_GT(sim.port(), 0);
    options.instrument_reply_ms = 3 * latency_ms;  // slow, not hung
    open(write_project("bench.atp",
                       "instrument dmm1 = " + sim.address() + "\n" + bench_items("dmm1")));
    EXPECT_EQ(frame->simulator_process(), nullptr) << "an address was given: nothing to start";

    GapWatch gaps;
    start(1, "BENCH-1");
    start(2, "BENCH-2");
    gaps.start();
    const auto started = Clock::now();
    const TestRecord first = finish(1, "BENCH-1");
    const TestRecord second = finish(2, "BENCH-2");
    const long long longest_gap = gaps.stop();
    const long long took = ms_since(started);

    for (const TestRecord* record : {&first, &second}) {
        EXPECT_EQ(record->verdict, Verdict::ok) << record->description;
        ASSERT_EQ(record->items.size(), 4u);
        EXPECT_NEAR(record->items[0].value, 5.0, 0.25);
        EXPECT_NEAR(record->items[1].value, 12.0, 0.6);
    }
    EXPECT_EQ(to_utf8(cell(1)->ui_prompt->GetLabel()), "BENCH-1: OK");
    EXPECT_EQ(cell(1)->ui_gauge->GetValue(), 4);
    // Each reading waits for the instrument; the cells wait side by side.
    EXPECT_GE(took, 2 * latency_ms);
    EXPECT_LT(second.begin_ms, first.end_ms);
    EXPECT_LT(first.begin_ms, second.end_ms);
    EXPECT_LT(longest_gap, latency_ms * time_scale())
        << "the window waited for an instrument";
    std::printf("two cells on a %d ms instrument: %lld ms, longest timer gap %lld ms\n", latency_ms,
                took, longest_gap);
}

// The benchmark's point of comparison: with the readings on the GUI thread
// the same test passes with the same readings, but the window stops for
// every one of them.
TEST_F(StationInstruments, ReadingsOnTheGuiThreadPassButHoldTheWindowUp) {
    const int latency_ms = 300;
    InstrumentSim sim({"--latency", "MEAS:VOLT:DC?=" + std::to_string(latency_ms)});
    ASSERT_GT(sim.port(), 0);
    runners = GuiThreadRunner::factory();
    open(write_project("bench.atp",
                       "instrument dmm1 = " + sim.address() + "\n" + bench_items("dmm1")));

    GapWatch gaps;
    start(1, "HERE-1");
    gaps.start();
    const TestRecord record = finish(1, "HERE-1");
    const long long longest_gap = gaps.stop();

    EXPECT_EQ(record.verdict, Verdict::ok) << record.description;
    ASSERT_EQ(record.items.size(), 4u);
    EXPECT_NEAR(record.items[0].value, 5.0, 0.25);
    EXPECT_NEAR(record.items[1].value, 12.0, 0.6);
    EXPECT_EQ(cell(1)->ui_gauge->GetValue(), 4);
    EXPECT_FALSE(cell(1)->worker_busy());
    EXPECT_GE(longest_gap, latency_ms) << "no reading held the window up: not on the GUI thread";
}

// Every fault the instrument can show fails the cell's test with its reason
// on screen and in the record; the other cell, on another instrument, goes
// on; the next test on the failed cell passes.
TEST_F(StationInstruments, EachFaultFailsOneTestWithItsReasonAndTheNextPasses) {
    InstrumentSim faulty;
    InstrumentSim healthy({"--latency", "*=20"});
    ASSERT_GT(faulty.port(), 0);
    ASSERT_GT(healthy.port(), 0);
    open(write_project("faulty.atp",
                       "instrument dmm1 = " + faulty.address() + "\n" + bench_items("dmm1")));
    const std::string other = write_project(
        "healthy.atp", "instrument dmm2 = " + healthy.address() + "\n" + bench_items("dmm2"));
    cell(2)->set_project(load_project(other), other);
    Instrument control("control", *parse_instrument_address(faulty.address()));

    const struct {
        const char* fault;
        const char* reason;
    } cases[] = {{"DROP", "connection closed"},
                 {"HANG", "no answer to MEAS:VOLT:DC? (@1) within"},
                 {"GARBAGE", "garbage in the answer"},
                 {"ERROR", "Self-test failed"}};
    int unit = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        control.write(std::string("SIM:FAULT ") + c.fault + ",1");
        const std::string failing = std::string("F-") + c.fault;
        const std::string beside = "H-" + std::to_string(++unit);
        start(1, failing);
        start(2, beside);
        const auto started = Clock::now();
        const TestRecord failed = finish(1, failing);
        EXPECT_LE(ms_since(started), kReplyMs * 4 * time_scale())
            << "the fault took too long to notice";
        EXPECT_EQ(failed.verdict, Verdict::error);
        EXPECT_NE(failed.description.find("instrument fault at Rail 5 V"), std::string::npos)
            << failed.description;
        EXPECT_NE(failed.description.find(c.reason), std::string::npos) << failed.description;
        EXPECT_NE(failed.description.find("dmm1"), std::string::npos) << failed.description;
        EXPECT_TRUE(failed.items.empty()) << "a reading was made up for the failed item";
        EXPECT_NE(logger(1).find(c.reason), std::string::npos) << logger(1);
        EXPECT_EQ(to_utf8(cell(1)->ui_prompt->GetLabel()), failing + ": Error");
        // Lit, the banner has Error's own colour, neither OK's nor NG's.
        EXPECT_TRUE(pump_until(
            [&] { return cell(1)->ui_prompt->GetBackgroundColour() == error_colour(); }, 2000));
        // A station fault lowers no yield.
        EXPECT_EQ(cell(1)->ui_ng_count->GetValue(), "0");

        const TestRecord next_door = finish(2, beside);
        EXPECT_EQ(next_door.verdict, Verdict::ok) << next_door.description;

        const std::string again = std::string("R-") + c.fault;
        pump_until([&] { return !cell(1)->worker_busy(); }, 1000);
        start(1, again);
        const TestRecord recovered = finish(1, again);
        EXPECT_EQ(recovered.verdict, Verdict::ok) << recovered.description;
        EXPECT_EQ(recovered.items.size(), 4u);
    }
}

// The instrument goes away between tests and mid-test; each such test fails
// saying so, and once the instrument is back at its address the next passes.
TEST_F(StationInstruments, AnInstrumentThatDisappearsFailsTheTestUntilItIsBack) {
    auto sim = std::make_unique<InstrumentSim>(std::vector<std::string>{"--latency", "*=100"});
    const int port = sim->port();
    ASSERT_GT(port, 0);
    open(write_project("bench.atp",
                       "instrument psu1 = " + sim->address() + "\n" + bench_items("psu1")));
    start(1, "GONE-1");
    pump(250);  // mid-test: a reading or two made
    sim.reset();
    const TestRecord mid = finish(1, "GONE-1");
    EXPECT_EQ(mid.verdict, Verdict::error);
    EXPECT_NE(mid.description.find("psu1 (127.0.0.1:" + std::to_string(port) + ")"),
              std::string::npos)
        << mid.description;

    start(1, "GONE-2");
    const TestRecord away = finish(1, "GONE-2");
    EXPECT_EQ(away.verdict, Verdict::error);
    EXPECT_TRUE(away.description.find("cannot connect") != std::string::npos ||
                away.description.find("cannot send") != std::string::npos ||
                away.description.find("connection closed") != std::string::npos)
        << away.description;

    sim = std::make_unique<InstrumentSim>(std::vector<std::string>{}, port);
    ASSERT_EQ(sim->port(), port) << "the port was taken meanwhile";
    start(1, "BACK-1");
    const TestRecord back = finish(1, "BACK-1");
    EXPECT_EQ(back.verdict, Verdict::ok) << back.description;
}

// Abort while the instrument never answers: the verdict shows at once and
// the worker leaves without waiting for the answer; the window is closed with
// cells hanging.
TEST_F(StationInstruments, AbortWhileTheInstrumentHangsEndsTheTestAtOnce) {
    InstrumentSim sim({"--fault", "hang"});
    ASSERT_GT(sim.port(), 0);
    options.instrument_reply_ms = 60000;  // only an abort can end these tests
    options.cells = 4;
    open(write_project("hang.atp",
                       "instrument dmm1 = " + sim.address() + "\n" + bench_items("dmm1")));
    for (int n = 1; n <= 4; ++n) start(n, "HANG-" + std::to_string(n));
    pump(300);
    for (int n = 1; n <= 4; ++n) {
        EXPECT_TRUE(cell(n)->running());
        EXPECT_TRUE(cell(n)->worker_busy());
    }

    const auto asked = Clock::now();
    click(cell(1)->ui_abort);
    const long long verdict_ms = ms_since(asked);
    // The worker needs nothing from the window to leave: wait without pumping.
    while (cell(1)->worker_busy() && ms_since(asked) < 2 * kPromptMs * time_scale())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const long long stopped_ms = ms_since(asked);
    ASSERT_FALSE(cell(1)->worker_busy());
    EXPECT_LE(verdict_ms, kPromptMs * time_scale());
    EXPECT_LE(stopped_ms, kPromptMs * time_scale()) << "the worker waited for the instrument";
    std::printf("abort on a hung instrument: verdict after %lld ms, worker gone after %lld ms\n",
                verdict_ms, stopped_ms);
    const TestRecord aborted = finish(1, "HANG-1");
    EXPECT_EQ(aborted.verdict, Verdict::aborted);
    EXPECT_EQ(to_utf8(cell(1)->ui_prompt->GetLabel()), "HANG-1: Aborted");
    for (int n = 2; n <= 4; ++n) EXPECT_TRUE(cell(n)->running()) << "abort reached cell " << n;

    // The instrument recovers: the next test on the aborted cell passes.
    Instrument control("control", *parse_instrument_address(sim.address()));
    control.write("SIM:FAULT NONE");
    start(1, "AFTER-1");
    EXPECT_EQ(finish(1, "AFTER-1").verdict, Verdict::ok);

    // Closing the station with three workers stuck on the instrument joins
    // them (their tests stored as aborted) without waiting for the hang.
    const auto closing = Clock::now();
    frame->Close(true);
    ASSERT_TRUE(pump_until([this] { return !frame; }, 2 * kPromptMs * time_scale()));
    EXPECT_LE(ms_since(closing), kPromptMs * time_scale()) << "closing waited for the instrument";
}

// "instrument dmm1 = sim": the station starts the simulator itself, tests
// pass on it, and it stops with the station.
TEST_F(StationInstruments, StationRunsItsOwnSimulatorForInstrumentsWithoutAddress) {
    open(write_project("own.atp", "instrument dmm1 = sim\ninstrument dmm2\n" + bench_items("dmm1") +
                                      "Rail 1.8 V ; 1.7 ; 1.9 ; V ; dmm2 ; MEAS:VOLT:DC? (@4)\n"));
    ASSERT_NE(frame->simulator_process(), nullptr);
    const pid_t pid = frame->simulator_process()->pid();
    EXPECT_EQ(::kill(pid, 0), 0);
    start(1, "OWN-1");
    start(2, "OWN-2");
    const TestRecord record = finish(1, "OWN-1");
    EXPECT_EQ(record.verdict, Verdict::ok) << record.description;
    EXPECT_EQ(record.items.size(), 5u);
    EXPECT_EQ(finish(2, "OWN-2").verdict, Verdict::ok);
    // The project as saved keeps "sim", not the port of this run.
    EXPECT_EQ(frame->project().instrument("dmm1")->address, "");

    frame->Close(true);
    ASSERT_TRUE(pump_until([this] { return !frame; }, 5000));
    EXPECT_NE(::kill(pid, 0), 0) << "the simulator outlived the station";
}

// The shipped bench project, as a line runs it: the station process starts
// its own simulator, tests every unit through it, and leaves none behind.
TEST(StationProcessOnInstruments, ShippedBenchProjectRunsOnTheStationsOwnSimulator) {
    const fs::path folder = station_test::fresh_folder("station-bench");
    const std::string database = (folder / "history.sqlite").string();
    StationProcess station(
        STATION_EXECUTABLE,
        {"--project=" STATION_PROJECTS_DIR "/power_supply_bench.atp", "--cells=2", "--item-ms=10",
         "--seed=4", "--repeat=3", "--station=bench", "--database=" + database});
    ASSERT_EQ(station.wait(std::chrono::seconds(60)), 0) << station.output();
    EXPECT_EQ(station.verdicts().size(), 6u) << station.output();

    const std::string& out = station.output();
    const auto at = out.find("instrument simulator pid ");
    ASSERT_NE(at, std::string::npos) << out;
    const pid_t simulator = std::atoi(out.c_str() + at + 25);
    ASSERT_GT(simulator, 0);
    EXPECT_NE(::kill(simulator, 0), 0) << "the simulator outlived the station";

    HistoryStore store(database, HistoryStore::Mode::read_only);
    int tests = 0;
    store.for_each([&](const TestRecord& r) {
        ++tests;
        EXPECT_EQ(r.items.size(), 6u) << r.serial << ": " << r.description;
        EXPECT_EQ(r.description.find("instrument fault"), std::string::npos) << r.description;
    });
    EXPECT_EQ(tests, 6);
    fs::remove_all(folder);
}

// A cell destroyed in the middle of a test, its worker busy: the cell waits
// for its worker (one slice on a hung instrument), and whatever the worker
// had already posted goes with the cell instead of reaching freed memory.
TEST(StationCellLifetime, DestroyedMidTestJoinsItsWorkerAndDropsItsPosts) {
    InstrumentSim sim({"--fault", "hang"});
    ASSERT_GT(sim.port(), 0);
    auto* top = new wxFrame(nullptr, wxID_ANY, "cells");
    top->Show();
    int finished = 0;
    const auto count = [&finished](StationCell&, const TestRecord&) { ++finished; };
    InstrumentTimeouts patient;
    patient.reply_ms = 60000;

    // Many quick simulated items: the worker posts faster than nobody reads.
    std::string items;
    for (int i = 0; i < 200; ++i) items += "Item " + std::to_string(i) + " ; 0 ; 1 ; V\n";
    wxWeakRef<StationCell> posting = new StationCell(top, 1, 7, 1, count);
    posting->set_project(parse_project(items), "quick.atp");
    posting->ui_serial_number->SetValue("POSTS-1");
    ASSERT_TRUE(posting->start());
    std::this_thread::sleep_for(std::chrono::milliseconds(60));  // posts pile up, unread
    ASSERT_TRUE(posting->worker_busy());
    posting->Destroy();
    EXPECT_FALSE(posting) << "the cell outlived Destroy";

    wxWeakRef<StationCell> hanging = new StationCell(top, 2, 7, 1, count);
    hanging->set_project(parse_project("instrument dmm1 = " + sim.address() +
                                       "\nA ; 4 ; 6 ; V ; dmm1 ; MEAS:VOLT:DC? (@1)\n"),
                         "hang.atp");
    hanging->set_instruments("", patient);
    hanging->ui_serial_number->SetValue("HANG-9");
    ASSERT_TRUE(hanging->start());
    pump(300);
    ASSERT_TRUE(hanging->running());
    const auto destroying = Clock::now();
    hanging->Destroy();
    const long long took = ms_since(destroying);
    EXPECT_LE(took, kPromptMs * time_scale()) << "destroying waited for the instrument";
    std::printf("cell destroyed with its worker on a hung instrument in %lld ms\n", took);

    pump(100);  // anything queued for the cells would be handled here
    EXPECT_EQ(finished, 0) << "a destroyed cell reported a test";
    top->Destroy();
    pump(50);
}
