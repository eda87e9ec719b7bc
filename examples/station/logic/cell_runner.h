// SPDX-License-Identifier: MIT
#pragma once

// One cell's test sequence on a worker thread of its own, so that a slow or
// hung instrument never holds up the window or the other cells.
//
// The runner owns everything the worker touches (its copy of the project,
// the cell's simulation stream, the instrument sessions); the caller only
// hears of progress through the callbacks, which run on the worker thread
// and must hand their data to the caller's own thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>

#include "logic/instrument.h"
#include "logic/project.h"
#include "logic/record.h"
#include "logic/simulator.h"

namespace station {

struct RunOutcome {
    enum class Kind { completed, failed, stopped };
    Kind kind = Kind::completed;
    std::string item;    // the item being measured when the run failed or stopped
    std::string reason;  // why it failed
};

class CellRunner {
public:
    struct Callbacks {
        // One per item, in order; index counts from 0.
        std::function<void(std::size_t index, const ItemResult& result)> measured;
        // Exactly once per run, last.
        std::function<void(const RunOutcome& outcome)> finished;
    };

    explicit CellRunner(std::uint64_t simulation_seed) : simulator_(simulation_seed) {}
    // Stops the run and waits for it: no callback comes after this.
    ~CellRunner() { stop_and_join(); }
    CellRunner(const CellRunner&) = delete;
    CellRunner& operator=(const CellRunner&) = delete;

    // Measures the project's items one after another, each taking at least
    // item_ms. Instruments are the project's, with every address resolved
    // (an empty one fails the items that use it). Each run opens fresh
    // instrument sessions: an instrument that went away and came back works
    // again on the next run. A previous run is joined first; once stopped it
    // ends within one wait slice.
    void start(const Project& project, int item_ms, InstrumentTimeouts timeouts,
               Callbacks callbacks);
    // The same run made on the caller's thread instead, one item per step(),
    // each step waiting for its instrument as long as that takes; callbacks
    // run on the caller's thread. For comparison only (the workers
    // benchmark): it is what a station without workers would do.
    void start_here(const Project& project, InstrumentTimeouts timeouts, Callbacks callbacks);
    // Measures the next item of a run started here; false once it has ended.
    bool step();
    // Asks the run to end; does not wait.
    void stop();
    void stop_and_join();
    // The run has not ended yet (it may be ending after a stop). A new run
    // can start without waiting once this is false.
    bool busy() const { return busy_.load(); }

private:
    using Sessions = std::map<std::string, std::unique_ptr<Instrument>>;
    struct HereRun {
        Project project;
        InstrumentTimeouts timeouts;
        Callbacks callbacks;
        Sessions sessions;
        std::size_t index = 0;
        std::stop_source stop;
    };

    void run(std::stop_token stop, const Project& project, int item_ms, InstrumentTimeouts timeouts,
             const Callbacks& callbacks);
    // One item's reading; throws InstrumentStopped or InstrumentError.
    double measure(std::stop_token stop, const Project& project, const TestItem& item,
                   Sessions& sessions, InstrumentTimeouts timeouts);

    Simulator simulator_;
    std::unique_ptr<HereRun> here_;
    std::atomic<bool> busy_{false};
    std::jthread worker_;
};

}  // namespace station
