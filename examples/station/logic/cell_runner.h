// SPDX-License-Identifier: MIT
#pragma once

// One cell's test sequence on a worker thread of its own, so that a slow or
// hung instrument never holds up the window or the other cells.
//
// The runner owns everything the worker touches (its copy of the project,
// the cell's simulation stream, the instrument sessions); the caller only
// hears of progress through the callbacks, which run on the worker thread
// and must hand their data to the caller's own thread. Other ways of running
// a test (the benchmark's readings on the GUI thread) implement TestRunner.

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

// Instrument sessions of one run, by instrument name.
using InstrumentSessions = std::map<std::string, std::unique_ptr<Instrument>>;

// One item's reading: from the simulator, or from its instrument through a
// session opened on first use. Throws InstrumentStopped or InstrumentError.
double measure_item(std::stop_token stop, const Project& project, const TestItem& item,
                    Simulator& simulator, InstrumentSessions& sessions,
                    InstrumentTimeouts timeouts);

// What runs a cell's tests. Callbacks may run on another thread: the caller
// hands their data to its own.
class TestRunner {
public:
    struct Callbacks {
        // One per item, in order; index counts from 0.
        std::function<void(std::size_t index, const ItemResult& result)> measured;
        // Exactly once per run, last.
        std::function<void(const RunOutcome& outcome)> finished;
    };

    virtual ~TestRunner() = default;
    // Measures the project's items one after another, each taking at least
    // item_ms. Instruments are the project's, with every address resolved
    // (an empty one fails the items that use it).
    virtual void start(const Project& project, int item_ms, InstrumentTimeouts timeouts,
                       Callbacks callbacks) = 0;
    // Asks the run to end; does not wait.
    virtual void stop() = 0;
    // Stops the run and waits for it: no callback comes after this.
    virtual void stop_and_join() = 0;
    // The run has not ended yet (it may be ending after a stop). A new run
    // can start without waiting once this is false.
    virtual bool busy() const = 0;
};

// The cell's worker: each run on a thread of its own.
class CellRunner : public TestRunner {
public:
    explicit CellRunner(std::uint64_t simulation_seed) : simulator_(simulation_seed) {}
    ~CellRunner() override { stop_and_join(); }
    CellRunner(const CellRunner&) = delete;
    CellRunner& operator=(const CellRunner&) = delete;

    // Each run opens fresh instrument sessions: an instrument that went away
    // and came back works again on the next run. A previous run is joined
    // first; once stopped it ends within one wait slice.
    void start(const Project& project, int item_ms, InstrumentTimeouts timeouts,
               Callbacks callbacks) override;
    void stop() override;
    void stop_and_join() override;
    bool busy() const override { return busy_.load(); }

private:
    void run(std::stop_token stop, const Project& project, int item_ms, InstrumentTimeouts timeouts,
             const Callbacks& callbacks);

    Simulator simulator_;
    std::atomic<bool> busy_{false};
    std::jthread worker_;
};

}  // namespace station
