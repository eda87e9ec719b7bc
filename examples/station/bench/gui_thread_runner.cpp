// SPDX-License-Identifier: MIT
#include "bench/gui_thread_runner.h"

#include <stop_token>

namespace station {

struct GuiThreadRunner::Run {
    Project project;
    InstrumentTimeouts timeouts;
    Callbacks callbacks;
    InstrumentSessions sessions;
    std::size_t index = 0;
    std::stop_source stop;
};

GuiThreadRunner::GuiThreadRunner(std::uint64_t simulation_seed) : simulator_(simulation_seed) {
    tick_.SetOwner(this);
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) { step(); });
}

GuiThreadRunner::~GuiThreadRunner() { stop_and_join(); }

StationFrame::RunnerFactory GuiThreadRunner::factory() {
    return [](std::uint64_t seed) { return std::make_unique<GuiThreadRunner>(seed); };
}

void GuiThreadRunner::start(const Project& project, int item_ms, InstrumentTimeouts timeouts,
                            Callbacks callbacks) {
    stop_and_join();
    run_ = std::make_unique<Run>();
    run_->project = project;
    run_->timeouts = timeouts;
    run_->callbacks = std::move(callbacks);
    tick_.Start(item_ms);
}

void GuiThreadRunner::step() {
    if (!run_) return;
    Run& r = *run_;
    RunOutcome outcome;
    if (r.index < r.project.items.size()) {
        const TestItem& item = r.project.items[r.index];
        outcome.item = item.name;
        try {
            ItemResult result{item.name, 0, item.lower, item.upper, item.unit, false};
            result.value = measure_item(r.stop.get_token(), r.project, item, simulator_,
                                        r.sessions, r.timeouts);
            result.ok = within_limits(result.value, result.lower, result.upper);
            if (r.callbacks.measured) r.callbacks.measured(r.index, result);
            if (++r.index < r.project.items.size()) return;
            outcome.item.clear();
        } catch (const InstrumentStopped&) {
            outcome.kind = RunOutcome::Kind::stopped;
        } catch (const InstrumentError& error) {
            outcome.kind = RunOutcome::Kind::failed;
            outcome.reason = error.what();
        }
    }
    end(outcome);
}

void GuiThreadRunner::end(const RunOutcome& outcome) {
    tick_.Stop();
    const std::unique_ptr<Run> ended = std::move(run_);
    if (ended->callbacks.finished) ended->callbacks.finished(outcome);
}

// Nothing runs between ticks: a stop ends the run at once.
void GuiThreadRunner::stop() {
    if (!run_) return;
    RunOutcome stopped;
    stopped.kind = RunOutcome::Kind::stopped;
    if (run_->index < run_->project.items.size())
        stopped.item = run_->project.items[run_->index].name;
    end(stopped);
}

void GuiThreadRunner::stop_and_join() {
    tick_.Stop();
    run_.reset();
}

}  // namespace station
