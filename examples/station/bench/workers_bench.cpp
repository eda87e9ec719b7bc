// SPDX-License-Identifier: MIT
// What the cells' worker threads buy, measured on the real station window
// against the instrument simulator: how long the GUI event loop takes to
// handle an event posted to it while 16 cells read 200 ms instruments, with
// the readings on the workers and on the GUI thread; the wall time of 16
// cells against one; and how soon an abort lets go of a hung instrument.
//
//   workers_bench --out DIR [--scratch DIR] [--rounds N]
// writes DIR/workers.md (a section for docs/performance.md).
//   workers_bench --trace-stalls=MS [--rounds N]
// runs only the 16 cells with workers and prints each main-loop iteration
// longer than MS with what ran in it (stall_trace.h).

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/evtloop.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include "bench/gui_thread_runner.h"
#include "host/options.h"
#include "host/station_cell.h"
#include "host/station_frame.h"
#include "instrument_sim.h"
#include "logic/project.h"
#include "logic/record.h"
#include "logic/text.h"
#ifdef STATION_STALL_TRACE
#include "stall_trace.h"
#endif

using namespace station;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kReadingMs = 200;
constexpr int kItems = 5;
constexpr int kProbeMs = 5;
// The goal for a posted event's wait, p99, with 16 cells testing.
constexpr double kLatencyGoalMs = 20;
constexpr int kManyCells = 16;

double ms_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const auto index = std::size_t(p / 100.0 * double(v.size() - 1) + 0.5);
    return v[std::min(index, v.size() - 1)];
}

std::string fixed(double v, int digits = 1) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, v);
    return text;
}

// Runs the GUI event loop, as the station's own main loop does, until done()
// holds or limit_ms passes; false on the limit.
bool run_loop_until(const std::function<bool()>& done, int limit_ms) {
    wxGUIEventLoop loop;
    wxTimer check;
    const auto end = Clock::now() + std::chrono::milliseconds(limit_ms);
    bool met = false;
    check.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        met = done();
        if (met || Clock::now() > end) loop.Exit();
    });
    check.Start(2);
    loop.Run();
    check.Stop();
    return met;
}

void run_loop_for(int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    run_loop_until([&] { return Clock::now() >= end; }, ms + 1000);
}

// Posts an event to the window every kProbeMs from its own thread and keeps,
// on the GUI thread, how long each waited before it was handled.
class LatencyProbe {
public:
    explicit LatencyProbe(wxEvtHandler* target) : target_(target) {
        thread_ = std::thread([this] {
            while (!stop_) {
                const auto posted = Clock::now();
                target_->CallAfter([this, posted] {
                    samples_.push_back(
                        {ms_between(origin_, posted), ms_between(posted, Clock::now())});
                    --in_flight_;
                });
                ++in_flight_;
                std::this_thread::sleep_for(std::chrono::milliseconds(kProbeMs));
            }
        });
    }
    struct Sample {
        double posted_ms;  // since the probe began
        double latency_ms;
    };
    Clock::time_point origin() const { return origin_; }
    // Stops posting and lets the posted ones arrive.
    std::vector<Sample> finish() {
        stop_ = true;
        thread_.join();
        run_loop_until([this] { return in_flight_ == 0; }, 60000);
        return samples_;
    }

private:
    wxEvtHandler* target_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> in_flight_{0};
    const Clock::time_point origin_ = Clock::now();
    std::vector<Sample> samples_;  // GUI thread only
};

struct RunFigures {
    std::vector<double> latency_ms;
    // The same events by what the window was doing when they were posted:
    // starting the cells, showing readings, showing verdicts.
    std::vector<double> starting_ms, measuring_ms, verdicts_ms;
    std::vector<double> wall_ms;  // first start to last verdict, per round
    int failed = 0;               // tests that did not pass
    // Events of the rounds run before the measured ones, in the same window.
    std::vector<double> unmeasured_ms;
};

// The system's load average over the last minute: the figures mean little
// without it on a shared machine.
double load_average() {
    double load[1] = {-1};
    return getloadavg(load, 1) == 1 ? load[0] : -1;
}

class Bench {
public:
    Bench(std::string scratch, std::string sim_address)
        : scratch_(std::move(scratch)), sim_address_(std::move(sim_address)) {
        project_path_ = scratch_ + "/bench.atp";
        std::ofstream out(project_path_);
        out << "title: Workers bench\ninstrument dmm1 = " << sim_address_ << "\n";
        // Limits wide around the simulator's nominal readings: every test passes.
        for (int i = 1; i <= kItems; ++i)
            out << "Rail " << i << " ; 4.5 ; 5.5 ; V ; dmm1 ; MEAS:VOLT:DC? (@1)\n";
    }

    Options options(int cells) {
        Options o;
        o.cells = cells;
        o.seed = 1;
        o.item_ms = 10;  // the instrument's 200 ms decide
        o.ticker_ms = 1000;
        o.database = scratch_ + "/history-" + std::to_string(++databases_) + ".sqlite";
        return o;
    }

    // gui_thread: the readings on the GUI thread (GuiThreadRunner), not on workers.
    static StationFrame* make_frame(const Options& o, const std::string& path, bool gui_thread) {
        return new StationFrame(o, load_project(path), path, nullptr,
                                gui_thread ? GuiThreadRunner::factory()
                                           : StationFrame::RunnerFactory());
    }

    StationFrame* open(const Options& o, bool gui_thread) {
        auto* frame = make_frame(o, project_path_, gui_thread);
        frame->Show();
        run_loop_for(300);  // shown, laid out, the initializer done
        return frame;
    }

    static void close(StationFrame* frame) {
        frame->Destroy();
        run_loop_for(100);
    }

    static void start_all(StationFrame* frame, const std::string& prefix) {
        int n = 0;
        for (StationCell* cell : frame->cells())
            cell->ui_serial_number->SetValue(prefix + "-" + std::to_string(++n));
        frame->start_all();  // as Start All Cells does
    }

    static bool all_running(StationFrame* frame) {
        for (StationCell* cell : frame->cells())
            if (!cell->running()) return false;
        return true;
    }

    static bool all_done(StationFrame* frame) {
        for (StationCell* cell : frame->cells())
            if (cell->running() || cell->worker_busy()) return false;
        return true;
    }

    // Rounds of every cell testing one unit at once, the first `unmeasured`
    // of them only to warm up what a window shown for the first time loads.
    RunFigures run(int cells, bool gui_thread, int rounds, int unmeasured = 0) {
        RunFigures figures;
        StationFrame* frame = open(options(cells), gui_thread);
        if (on_open) on_open(frame);
        for (int round = 1 - unmeasured; round <= rounds; ++round) {
            const std::string prefix = "R" + std::to_string(round);
            LatencyProbe probe(frame);
            const std::int64_t system_origin = now_ms();
            start_all(frame, prefix);
            double started_ms = -1;  // once every cell has started
            const auto started = [&] {
                if (started_ms < 0 && all_running(frame))
                    started_ms = ms_between(probe.origin(), Clock::now());
                return started_ms >= 0;
            };
            if (!run_loop_until([&] { return started() && all_done(frame); }, 120000))
                std::fprintf(stderr, "round %d did not finish\n", round);
            const auto samples = probe.finish();
            if (round < 1) {
                for (const auto& sample : samples)
                    figures.unmeasured_ms.push_back(sample.latency_ms);
                continue;
            }
            std::int64_t begin = std::numeric_limits<std::int64_t>::max(), end = 0;
            std::int64_t first_verdict = std::numeric_limits<std::int64_t>::max();
            frame->store().for_each([&](const TestRecord& r) {
                if (r.serial.rfind(prefix + "-", 0) != 0) return;
                begin = std::min(begin, r.begin_ms);
                end = std::max(end, r.end_ms);
                first_verdict = std::min(first_verdict, r.end_ms);
                if (r.verdict != Verdict::ok) ++figures.failed;
            });
            figures.wall_ms.push_back(double(end - begin));
            const double verdicts_from_ms = double(first_verdict - system_origin);
            for (const auto& sample : samples) {
                figures.latency_ms.push_back(sample.latency_ms);
                (sample.posted_ms < started_ms          ? figures.starting_ms
                 : sample.posted_ms >= verdicts_from_ms ? figures.verdicts_ms
                                                        : figures.measuring_ms)
                    .push_back(sample.latency_ms);
            }
        }
        close(frame);
        return figures;
    }

    struct AbortFigures {
        std::vector<double> handled_ms;   // click posted -> cell showed "Aborted"
        std::vector<double> released_ms;  // click posted -> worker let go of the instrument
    };

    // Every cell waits on an instrument that never answers; the operator
    // aborts them one at a time, kAbortGapMs apart, through the Abort button.
    AbortFigures aborts(const std::string& hung_address, bool gui_thread, int reply_ms,
                        int rounds) {
        constexpr int kAbortGapMs = 40;
        AbortFigures figures;
        const std::string path = scratch_ + "/hung.atp";
        {
            std::ofstream out(path);
            out << "title: Hung instrument\ninstrument dmm1 = " << hung_address << "\n";
            for (int i = 1; i <= kItems; ++i)
                out << "Rail " << i << " ; 4.5 ; 5.5 ; V ; dmm1 ; MEAS:VOLT:DC? (@1)\n";
        }
        Options o = options(kManyCells);
        o.instrument_reply_ms = reply_ms;
        auto* frame = make_frame(o, path, gui_thread);
        frame->Show();
        run_loop_for(300);
        const std::vector<StationCell*> cells = frame->cells();
        for (int round = 1; round <= rounds; ++round) {
            start_all(frame, "H" + std::to_string(round));
            std::vector<std::atomic<std::int64_t>> posted(cells.size());
            std::vector<double> handled(cells.size(), -1), released(cells.size(), -1);
            const auto origin = Clock::now();
            auto since = [&](std::int64_t ns) {
                return ms_between(origin + std::chrono::nanoseconds(ns), Clock::now());
            };
            std::atomic<bool> stop_watch{false};
            // Clicks posted as the toolkit posts a real one; the worker's
            // release seen from a thread of its own, not from the busy loop.
            std::thread operator_thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                for (std::size_t i = 0; i < cells.size(); ++i) {
                    posted[i] = (Clock::now() - origin).count();
                    cells[i]->CallAfter([&, i] {
                        wxCommandEvent click(wxEVT_BUTTON, cells[i]->ui_abort->GetId());
                        click.SetEventObject(cells[i]->ui_abort);
                        cells[i]->ui_abort->GetEventHandler()->ProcessEvent(click);
                        handled[i] = since(posted[i]);
                    });
                    std::this_thread::sleep_for(std::chrono::milliseconds(kAbortGapMs));
                }
            });
            std::vector<double> released_seen(cells.size(), -1);
            std::thread watcher([&] {
                std::size_t left = cells.size();
                while (left > 0 && !stop_watch) {
                    for (std::size_t i = 0; i < cells.size(); ++i) {
                        if (released_seen[i] >= 0 || posted[i] == 0) continue;
                        if (!cells[i]->worker_busy()) {
                            released_seen[i] = since(posted[i]);
                            --left;
                        }
                    }
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
            });
            run_loop_until(
                [&] {
                    for (double h : handled)
                        if (h < 0) return false;
                    return all_done(frame);
                },
                120000);
            operator_thread.join();
            stop_watch = true;
            watcher.join();
            for (std::size_t i = 0; i < cells.size(); ++i) {
                if (handled[i] >= 0) figures.handled_ms.push_back(handled[i]);
                if (!gui_thread && released_seen[i] >= 0)
                    figures.released_ms.push_back(released_seen[i]);
            }
        }
        close(frame);
        return figures;
    }

    std::function<void(StationFrame*)> on_open;

private:
    std::string scratch_;
    std::string sim_address_;
    std::string project_path_;
    int databases_ = 0;
};

std::string latency_row(const std::string& what, int cells, const RunFigures& f) {
    return "| " + what + " | " + std::to_string(cells) + " | " +
           fixed(percentile(f.wall_ms, 50), 0) + " | " + fixed(percentile(f.latency_ms, 50), 2) +
           " | " + fixed(percentile(f.latency_ms, 99), 2) + " | " +
           fixed(percentile(f.latency_ms, 100), 1) + " | " + std::to_string(f.latency_ms.size()) +
           " | " + std::to_string(f.failed) + " |\n";
}

std::string phase_row(const std::string& what, const std::vector<double>& v) {
    return "| " + what + " | " + std::to_string(v.size()) + " | " + fixed(percentile(v, 50), 2) +
           " | " + fixed(percentile(v, 99), 1) + " | " + fixed(percentile(v, 100), 1) + " |\n";
}

std::string spread(const std::vector<double>& v) {
    if (v.empty()) return "– | – | –";
    return fixed(percentile(v, 50), 1) + " | " + fixed(percentile(v, 99), 1) + " | " +
           fixed(percentile(v, 100), 1);
}

class BenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(BenchApp);

int main(int argc, char** argv) {
    std::string out = ".", scratch = fs::temp_directory_path().string();
    int rounds = 5;
    double trace_ms = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--out=", 0) == 0) out = a.substr(6);
        if (a.rfind("--scratch=", 0) == 0) scratch = a.substr(10);
        if (a.rfind("--rounds=", 0) == 0) rounds = std::max(1, std::stoi(a.substr(9)));
        if (a.rfind("--trace-stalls=", 0) == 0) trace_ms = std::stod(a.substr(15));
    }
    int wx_argc = 1;
    if (!wxEntryStart(wx_argc, argv) || !wxTheApp->CallOnInit()) return 1;
    scratch += "/workers-bench-" + std::to_string(::getpid());
    fs::create_directories(scratch);
    fs::create_directories(out);

    const std::string latency = std::to_string(kReadingMs);
    InstrumentSim sim({"--latency", "MEAS:VOLT:DC?=" + latency});
    InstrumentSim hung({"--fault", "hang"});
    if (sim.port() <= 0 || hung.port() <= 0) {
        std::fprintf(stderr, "workers_bench: the instrument simulator did not start\n");
        return 1;
    }
    Bench bench(scratch, sim.address());

    // The first window loads fonts, themes and the grid's code.
    bench.run(1, false, 1);

    if (trace_ms > 0) {
#ifdef STATION_STALL_TRACE
        RunFigures traced;
        {
            stall_trace::Tracer tracer(trace_ms);
            bench.on_open = [&](StationFrame* frame) { tracer.watch_frames(frame); };
            traced = bench.run(kManyCells, false, rounds);
            bench.on_open = nullptr;
        }
        std::printf("%d cells, %d rounds: event latency p50 %.2f ms, p99 %.2f ms, max %.1f ms\n",
                    kManyCells, rounds, percentile(traced.latency_ms, 50),
                    percentile(traced.latency_ms, 99), percentile(traced.latency_ms, 100));
        fs::remove_all(scratch);
        wxEntryCleanup();
        return 0;
#else
        std::fprintf(stderr, "workers_bench: built without GTK's headers, no --trace-stalls\n");
        return 2;
#endif
    }

    std::fprintf(stderr, "1 cell, workers...\n");
    const RunFigures one = bench.run(1, false, rounds);
    std::fprintf(stderr, "16 cells, workers...\n");
    const double load_before = load_average();
    const RunFigures many = bench.run(kManyCells, false, rounds, 1);
    const double load_after = load_average();
    // Cold: the window's first round waited far longer than the measured
    // ones, as on a machine where fonts, glyphs and the toolkit's code were
    // not yet loaded; the measured rounds come after it.
    const double first_p99 = percentile(many.unmeasured_ms, 99);
    const double many_p99 = percentile(many.latency_ms, 99);
    const bool cold = first_p99 > std::max(2 * many_p99, kLatencyGoalMs);
    if (cold)
        std::fprintf(stderr,
                     "workers_bench: ran cold: the 16-cell window's first round p99 %.1f ms, "
                     "the measured rounds after it %.1f ms\n",
                     first_p99, many_p99);
    std::fprintf(stderr, "16 cells, readings on the GUI thread...\n");
    const RunFigures here = bench.run(kManyCells, true, std::max(1, rounds / 3));
    std::fprintf(stderr, "aborts, workers...\n");
    const auto aborted = bench.aborts(hung.address(), false, 60000, rounds);
    std::fprintf(stderr, "aborts, readings on the GUI thread...\n");
    const int here_reply_ms = 1000;
    const auto aborted_here = bench.aborts(hung.address(), true, here_reply_ms, 1);

    const double ratio = percentile(many.wall_ms, 50) / percentile(one.wall_ms, 50);
    const std::string paced = std::to_string(StationFrame::kCellsPerSlice) + " cells every " +
                              std::to_string(StationFrame::kSliceMs) + " ms";
    std::ostringstream md;
    md << "## Instruments and workers\n\n"
       << "The station window (`StationFrame`, under Xvfb) testing one unit per cell through the "
          "instrument simulator (`atsui_instrument_sim`, one process, a connection per cell), "
       << kItems << " readings per test, each answered after " << kReadingMs
       << " ms, minimum item time 10 ms. While the cells run, a thread posts an event to the "
          "window every "
       << kProbeMs
       << " ms (`CallAfter`); the latency is the time from posting it to its handler running on "
          "the GUI thread, the way the workers' readings reach the cells. Wall time is from the "
          "first cell's start to the last cell's verdict, median of the rounds. \"GUI thread\" is "
          "the same station with the benchmark's `GuiThreadRunner`: each reading made on the GUI "
          "thread, one per item tick, as a station without workers would.\n\n"
       << "| readings | cells | wall per round (ms) | event latency p50 (ms) | p99 (ms) | max "
          "(ms) | events | tests not passed |\n"
       << "|---|---:|---:|---:|---:|---:|---:|---:|\n"
       << latency_row("workers, " + std::to_string(rounds) + " rounds", 1, one)
       << latency_row("workers, " + std::to_string(rounds) + " rounds", kManyCells, many)
       << latency_row("GUI thread, " + std::to_string(std::max(1, rounds / 3)) + " round(s)",
                      kManyCells, here)
       << "\n"
       << "Load average (1 minute) " << fixed(load_before, 2) << " as the " << kManyCells
       << " cells with workers started, " << fixed(load_after, 2)
       << " as they ended. Before their measured rounds the same window ran one round that is "
          "not counted: its event latency p99 "
       << fixed(first_p99, 1) << " ms, max " << fixed(percentile(many.unmeasured_ms, 100), 1)
       << " ms."
       << (cold ? " **This run was cold**: that first round waited more than twice as long as "
                  "the measured ones and longer than the goal, as the first window on a fresh "
                  "machine does."
                : "")
       << "\n\n"
       << kManyCells << " cells against one, with workers: **" << fixed(ratio, 2)
       << "×** the wall time (goal: within 1.1×).\n\n"
       << "With the readings on the GUI thread a cell's refresh timer is due again by the time "
          "its reading returns, so the posted events are handled only once all readings are "
          "over: their latency is the run itself.\n\n"
       << "With workers, what keeps a posted event waiting is the window's own work on the GUI "
          "thread, by what it was doing when the event was posted ("
       << kManyCells << " cells):\n\n"
       << "| the window was | events | p50 (ms) | p99 (ms) | max (ms) |\n"
       << "|---|---:|---:|---:|---:|\n"
       << phase_row("starting the cells (Start All Cells: " + paced + ")", many.starting_ms)
       << phase_row("showing readings as the workers post them", many.measuring_ms)
       << phase_row(
              "showing verdicts (those arriving together stored in one SQLite commit, "
              "shown " +
                  paced + ")",
              many.verdicts_ms)
       << "\n"
       << "Abort while every one of the " << kManyCells
       << " cells waits on an instrument that never answers (`--fault hang`): the Abort button's "
          "click is posted to each cell in turn, 40 ms apart, 300 ms into the test. \"Handled\" "
          "is from the click's posting to the cell showing the aborted verdict (the record "
          "stored); \"released\" is until the cell's worker has closed its instrument session and "
          "ended, seen from a separate thread.\n\n"
       << "| readings | rounds | handled p50 (ms) | p99 (ms) | max (ms) | released p50 (ms) | "
          "p99 (ms) | max (ms) |\n"
       << "|---|---:|---:|---:|---:|---:|---:|---:|\n"
       << "| workers | " << rounds << " | " << spread(aborted.handled_ms) << " | "
       << spread(aborted.released_ms) << " |\n"
       << "| GUI thread, instrument reply limit " << here_reply_ms << " ms | 1 | "
       << spread(aborted_here.handled_ms) << " | – | – | – |\n\n"
       << "Abort latency p99 with workers (worker released): **"
       << fixed(percentile(aborted.released_ms, 99), 1) << " ms** (goal: under 100 ms). With the "
       << "readings on the GUI thread a click waits until every hung reading before it has run "
          "into its reply limit.\n\n"
       << "Measured on this machine (" << std::thread::hardware_concurrency()
       << " cores) while other builds may share it; figures vary run to run.\n";

    std::ofstream(out + "/workers.md") << md.str();
    std::fputs(md.str().c_str(), stdout);
    fs::remove_all(scratch);
    wxEntryCleanup();
    return 0;
}
