// SPDX-License-Identifier: MIT
// How fast the windows build: each window against its XRC twin and its floor,
// and the station's main frame with 0 to 64 cells. Hosts a real wxApp; the
// "shown" measurements wait for the X server and pump its events.
//
//   atsui_bench [benchmark flags] [--report=FILE.md --plot-data=FILE.dat
//               --plot-image=NAME.png --notes=FILE.md]
//   atsui_bench --memory=Cell:ours     (one memory series, printed; used by the above)

#include <malloc.h>
#include <unistd.h>

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include <atsui/atsui.h>
#include <benchmark/benchmark.h>
#include <wx/wx.h>

#include "measure.h"
#include "windows.h"
#include "xrc_windows.h"

namespace atsui_bench {

namespace {

int g_assertions = 0;
wxFrame* g_hidden_host = nullptr;  // parent of hidden panels and of the dialogs
wxFrame* g_shown_host = nullptr;   // shown; holds one panel at a time
std::map<int, wxSize> g_station_size;

void on_assert(const wxString& file, int line, const wxString& func, const wxString& cond,
               const wxString& msg) {
    ++g_assertions;
    std::cerr << "toolkit assertion: " << file << ":" << line << " in " << func << ": " << cond
              << " " << msg << std::endl;
}

class BenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

// Lets the X server catch up with everything asked of it, then handles what
// it sent back (map, configure, expose) and the idle work that follows.
void settle() {
    wxTheApp->ProcessPendingEvents();
    XSync(wxGetX11Display(), False);
    wxTheApp->Yield(true);
    wxTheApp->ProcessIdle();
}

using Clock = std::chrono::steady_clock;
double ms_since(Clock::time_point& mark) {
    const Clock::time_point now = Clock::now();
    const double ms = std::chrono::duration<double, std::milli>(now - mark).count();
    mark = now;
    return ms;
}

wxWindow* build(const WindowKind& kind, Variant v, wxWindow* parent) {
    switch (v) {
        case Variant::ours: return kind.ours(parent);
        case Variant::xrc: return kind.xrc(parent);
        case Variant::floor: return build_floor(kind, parent);
    }
    return nullptr;
}

void window_hidden(benchmark::State& state, const std::string& name, Variant v) {
    const WindowKind& kind = window_kind(name);
    for (auto _ : state) {
        wxWindow* w = build(kind, v, g_hidden_host);
        w->Layout();
        destroy_window(w);
    }
}

void window_shown(benchmark::State& state, const std::string& name, Variant v) {
    const WindowKind& kind = window_kind(name);
    for (auto _ : state) {
        wxWindow* w = build(kind, v, kind.panel ? g_shown_host : g_hidden_host);
        if (kind.panel)
            g_shown_host->SendSizeEvent();  // a frame's only child fills it
        else
            w->Show();
        settle();
        destroy_window(w);
        settle();
    }
}

// A station at start-up: the main frame, its cells, the layout the host
// asks for, the first show.
void station(benchmark::State& state, Variant v) {
    const int cells = static_cast<int>(state.range(0));
    const WindowKind& frame_kind = window_kind("Frame");
    const WindowKind& cell_kind = window_kind("Cell");
    WindowNode floor_frame = frame_kind.recording;
    floor_frame.size = g_station_size.at(cells);

    double construct = 0, layout = 0, show = 0, teardown = 0;
    for (auto _ : state) {
        Clock::time_point mark = Clock::now();
        wxFrame* frame;
        if (v == Variant::floor) {
            frame = static_cast<wxFrame*>(rebuild_top(floor_frame, nullptr));
            wxWindow* area = frame->GetChildren()[station_cell_area_index()];
            for (int i = 0; i < cells; ++i) rebuild(cell_kind.recording, area);
            construct += ms_since(mark);
        } else {
            auto* ours = new tov_atsui::Frame(nullptr);
            for (int i = 0; i < cells; ++i)
                add_cell(ours, build(cell_kind, v, ours->ui_cell_panel));
            frame = ours;
            construct += ms_since(mark);
            frame->Layout();
            frame->Fit();
        }
        layout += ms_since(mark);
        frame->Show();
        settle();
        show += ms_since(mark);
        destroy_window(frame);
        settle();
        teardown += ms_since(mark);
    }
    const auto avg = benchmark::Counter::kAvgIterations;
    state.counters["construct_ms"] = benchmark::Counter(construct, avg);
    state.counters["layout_ms"] = benchmark::Counter(layout, avg);
    state.counters["show_ms"] = benchmark::Counter(show, avg);
    state.counters["destroy_ms"] = benchmark::Counter(teardown, avg);
}

void measure_station_sizes() {
    for (int cells : kCellCounts) {
        auto* frame = new tov_atsui::Frame(nullptr);
        for (int i = 0; i < cells; ++i) add_cell(frame, new tov_atsui::Cell(frame->ui_cell_panel));
        frame->Layout();
        frame->Fit();
        g_station_size[cells] = frame->GetSize();
        destroy_window(frame);
    }
}

void register_benchmarks() {
    const Variant variants[] = {Variant::ours, Variant::xrc, Variant::floor};
    for (const WindowKind& kind : window_kinds()) {
        for (bool shown : {false, true}) {
            for (Variant v : variants) {
                if (v == Variant::xrc && !kind.xrc) continue;
                auto* b = benchmark::RegisterBenchmark(
                    window_bench_name(kind.name, shown, v).c_str(),
                    [name = kind.name, shown, v](benchmark::State& state) {
                        shown ? window_shown(state, name, v) : window_hidden(state, name, v);
                    });
                b->Unit(benchmark::kMillisecond)->UseRealTime();
            }
        }
    }
    // What make_label gave up: Wrap(-1) after creating each static text.
    for (bool wrap : {true, false}) {
        auto* b = benchmark::RegisterBenchmark(
            wrap ? kLabelWithWrap : kLabelWithoutWrap, [wrap](benchmark::State& state) {
                for (auto _ : state) {
                    auto* text = new wxStaticText(g_hidden_host, wxID_ANY, "Yield");
                    if (wrap) text->Wrap(-1);
                    text->Destroy();
                }
            });
        b->Unit(benchmark::kMillisecond)->UseRealTime();
    }
    for (Variant v : variants) {
        for (int cells : kCellCounts) {
            auto* b =
                benchmark::RegisterBenchmark(station_bench_name(v, cells).c_str(),
                                             [v](benchmark::State& state) { station(state, v); });
            b->Arg(cells)->Unit(benchmark::kMillisecond)->UseRealTime();
            // A 64-cell station takes about a second; a fixed count keeps
            // the run to minutes.
            b->Iterations(cells >= 16 ? 1 : cells >= 4 ? 3 : 8);
        }
    }
}

// ---------------------------------------------------------------- memory

double rss_kib() {
    long pages = 0, resident = 0;
    std::ifstream statm("/proc/self/statm");
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024.0);
}

double heap_kib() {
    const struct mallinfo2 info = mallinfo2();
    return (info.uordblks + info.hblkhd) / 1024.0;
}

// One fresh process per series, so that freed memory of earlier windows
// cannot hide the cost of new ones. Windows are kept until the end.
int memory_series(const std::string& what, Variant v) {
    const WindowKind& kind = window_kind(what);
    std::vector<int> counts;
    wxFrame* host;
    wxWindow* area;
    if (what == "Cell") {
        counts = {1, 2, 4, 8, 16, 32, 64};
        if (v == Variant::floor) {
            host = static_cast<wxFrame*>(rebuild_top(window_kind("Frame").recording, nullptr));
            area = host->GetChildren()[station_cell_area_index()];
        } else {
            auto* frame = new tov_atsui::Frame(nullptr);
            host = frame;
            area = frame->ui_cell_panel;
        }
    } else {
        counts = {1, 2, 4, 8, 16};
        host = new wxFrame(nullptr, wxID_ANY, "viewers", wxDefaultPosition, wxSize(1200, 900));
        host->SetSizer(new wxBoxSizer(wxVERTICAL));
        area = host;
    }
    host->Show();
    settle();
    std::printf("0 %.0f %.0f\n", rss_kib(), heap_kib());
    int made = 0;
    for (int target : counts) {
        for (; made < target; ++made) {
            wxWindow* w = build(kind, v, area);
            if (v == Variant::floor) continue;
            if (what == "Cell")
                add_cell(host, w);
            else
                host->GetSizer()->Add(w, 1, wxEXPAND);
        }
        if (v != Variant::floor) {
            host->Layout();
            if (what == "Cell") host->Fit();
        }
        settle();
        std::printf("%d %.0f %.0f\n", target, rss_kib(), heap_kib());
    }
    std::fflush(stdout);
    destroy_window(host);
    return 0;
}

std::vector<MemorySeries> collect_memory(const std::string& self) {
    std::vector<MemorySeries> all;
    for (const char* what : {"Cell", "TestDataViewerPanel"}) {
        for (Variant v : {Variant::ours, Variant::xrc, Variant::floor}) {
            if (v == Variant::xrc && !window_kind(what).xrc) continue;
            const std::string command =
                "'" + self + "' --memory=" + what + ":" + variant_name(v) + " 2>&1";
            FILE* pipe = popen(command.c_str(), "r");
            if (!pipe) continue;
            MemorySeries series{what, v, {}};
            char line[256];
            while (std::fgets(line, sizeof line, pipe)) {
                MemoryPoint p{};
                if (std::sscanf(line, "%d %lf %lf", &p.n, &p.rss_kib, &p.heap_kib) == 3)
                    series.points.push_back(p);
                else
                    std::cerr << "memory " << what << ": " << line;
            }
            if (pclose(pipe) == 0) all.push_back(series);
        }
    }
    return all;
}

// ---------------------------------------------------------------- reporting

// Keeps the medians for the report and shows the console table as usual.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    explicit CollectingReporter(Results& results) : results_(results) {}

    bool ReportContext(const Context& context) override {
        std::ostringstream out;
        out << context.cpu_info.num_cpus << " CPUs at " << context.cpu_info.cycles_per_second / 1e6
            << " MHz";
        results_.machine = out.str();
        return ConsoleReporter::ReportContext(context);
    }

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                ++errors;
                continue;
            }
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median") continue;
            Timing& t = results_.timings[run.run_name.function_name];
            t.total_ms = run.GetAdjustedRealTime();
            t.cpu_ms = run.GetAdjustedCPUTime();
            t.repetitions = static_cast<int>(run.repetitions);
            for (const auto& [name, counter] : run.counters) {
                std::string phase = name;
                phase.resize(phase.size() - 3);  // drops "_ms"
                t.phases_ms[phase] = counter.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    int errors = 0;

private:
    Results& results_;
};

std::string option(std::vector<char*>& args, const std::string& name) {
    const std::string prefix = "--" + name + "=";
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (std::strncmp(*it, prefix.c_str(), prefix.size()) == 0) {
            std::string value = *it + prefix.size();
            args.erase(it);
            return value;
        }
    }
    return {};
}

bool has_flag(const std::vector<char*>& args, const char* prefix) {
    for (char* a : args)
        if (std::strncmp(a, prefix, std::strlen(prefix)) == 0) return true;
    return false;
}

std::string machine_description() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    }
    return "unknown CPU";
}

}  // namespace

int run(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    const std::string memory = option(args, "memory");
    const std::string report = option(args, "report");
    const std::string plot_data = option(args, "plot-data");
    const std::string plot_image = option(args, "plot-image");
    const std::string notes = option(args, "notes");

    // Repetitions interleaved at random, so that drift on a noisy machine
    // spreads over every variant alike; medians are reported.
    static char reps[] = "--benchmark_repetitions=15";
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    static char min_time[] = "--benchmark_min_time=0.3";
    static char aggregates[] = "--benchmark_report_aggregates_only=true";
    if (!has_flag(args, "--benchmark_repetitions")) args.push_back(reps);
    if (!has_flag(args, "--benchmark_enable_random_interleaving")) args.push_back(interleave);
    if (!has_flag(args, "--benchmark_min_time")) args.push_back(min_time);
    if (!has_flag(args, "--benchmark_report_aggregates_only")) args.push_back(aggregates);
    int n = static_cast<int>(args.size());
    args.push_back(nullptr);

    wxSetAssertHandler(on_assert);
    wxApp::GTKAllowDiagnosticsControl();
    int wx_argc = 1;
    if (!wxEntryStart(wx_argc, argv)) {
        std::cerr << "cannot start the toolkit (is DISPLAY set?)" << std::endl;
        return 2;
    }
    wxSetAssertHandler(on_assert);
    delete wxLog::SetActiveTarget(new wxLogStderr);
    if (!wxTheApp->CallOnInit()) return 2;
    // The floor leaves widgets at their default sizes, about which GTK
    // complains at length; writing the complaints would be measured too.
    wxApp::GTKSuppressDiagnostics();
    if (!load_xrc_documents()) {
        std::cerr << "cannot load the XRC documents from " << ATSUI_BENCH_XRC_DIR << std::endl;
        return 2;
    }

    g_hidden_host =
        new wxFrame(nullptr, wxID_ANY, "hidden host", wxDefaultPosition, wxSize(800, 600));
    g_shown_host =
        new wxFrame(nullptr, wxID_ANY, "shown host", wxDefaultPosition, wxSize(1000, 800));
    g_shown_host->Show();
    settle();
    record_floors(g_hidden_host);

    int status = 0;
    if (!memory.empty()) {
        const std::string what = memory.substr(0, memory.find(':'));
        const std::string v = memory.substr(memory.find(':') + 1);
        status = memory_series(what, v == "xrc"     ? Variant::xrc
                                     : v == "floor" ? Variant::floor
                                                    : Variant::ours);
    } else {
        Results results;
        for (int i = 1; i < n; ++i) {
            if (std::strncmp(args[i], "--benchmark_out", 15) == 0) continue;  // where, not how
            results.flags += (results.flags.empty() ? "" : " ") + std::string(args[i]);
        }
        measure_station_sizes();
        register_benchmarks();
        benchmark::Initialize(&n, args.data());
        if (benchmark::ReportUnrecognizedArguments(n, args.data())) return 1;

        CollectingReporter reporter(results);
        benchmark::RunSpecifiedBenchmarks(&reporter);
        results.machine = machine_description() + ", " + results.machine + ", " + wxVERSION_STRING;
        if (reporter.errors) status = 1;

        if (!report.empty()) {
            char self[4096] = {};
            if (readlink("/proc/self/exe", self, sizeof self - 1) > 0)
                results.memory = collect_memory(self);
            if (!write_report(results, report, plot_data, plot_image, notes)) status = 1;
        }
    }

    destroy_window(g_shown_host);
    destroy_window(g_hidden_host);
    wxTheApp->OnExit();
    wxEntryCleanup();
    if (g_assertions) {
        std::cerr << g_assertions << " toolkit assertions" << std::endl;
        status = 1;
    }
    return status;
}

}  // namespace atsui_bench

wxIMPLEMENT_APP_NO_MAIN(atsui_bench::BenchApp);

int main(int argc, char** argv) { return atsui_bench::run(argc, argv); }
