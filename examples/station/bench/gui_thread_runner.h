// SPDX-License-Identifier: MIT
#pragma once

// The benchmark's point of comparison: a cell's readings made on the GUI
// thread, one per timer tick, each waiting for its instrument as long as
// that takes. It is what a station without workers would do; the workers
// benchmark and one instrument test measure what that costs the window.

#include <cstdint>
#include <memory>

#include <wx/event.h>
#include <wx/timer.h>

#include "host/station_frame.h"
#include "logic/cell_runner.h"

namespace station {

class GuiThreadRunner : public TestRunner, public wxEvtHandler {
public:
    explicit GuiThreadRunner(std::uint64_t simulation_seed);
    ~GuiThreadRunner() override;

    void start(const Project& project, int item_ms, InstrumentTimeouts timeouts,
               Callbacks callbacks) override;
    void stop() override;
    void stop_and_join() override;
    bool busy() const override { return run_ != nullptr; }

    // For StationFrame's constructor: every cell measures on the GUI thread.
    static StationFrame::RunnerFactory factory();

private:
    struct Run;
    // Measures the next item; ends the run after the last.
    void step();
    void end(const RunOutcome& outcome);

    Simulator simulator_;
    std::unique_ptr<Run> run_;
    wxTimer tick_;
};

}  // namespace station
