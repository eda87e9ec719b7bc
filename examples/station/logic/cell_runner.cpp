// SPDX-License-Identifier: MIT
#include "logic/cell_runner.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>

namespace station {

namespace {

using Clock = std::chrono::steady_clock;

// Sleeps until the deadline; false when a stop came first (at once, not
// at the end of a slice).
bool wait_until(std::stop_token stop, Clock::time_point deadline) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    return !wake.wait_until(lock, stop, deadline, [] { return false; }) && !stop.stop_requested();
}

}  // namespace

void CellRunner::stop_and_join() {
    if (!worker_.joinable()) return;
    worker_.request_stop();
    worker_.join();
}

void CellRunner::start(const Project& project, int item_ms, InstrumentTimeouts timeouts,
                       Callbacks callbacks) {
    stop_and_join();
    busy_ = true;
    worker_ = std::jthread(
        [this, project, item_ms, timeouts, callbacks = std::move(callbacks)](std::stop_token stop) {
            run(stop, project, item_ms, timeouts, callbacks);
        });
}

double measure_item(std::stop_token stop, const Project& project, const TestItem& item,
                    Simulator& simulator, InstrumentSessions& sessions,
                    InstrumentTimeouts timeouts) {
    if (stop.stop_requested()) throw InstrumentStopped();
    if (item.instrument.empty()) return simulator.measure(item);
    const InstrumentEntry* entry = project.instrument(item.instrument);
    const auto address = entry ? parse_instrument_address(entry->address) : std::nullopt;
    if (!address)
        throw InstrumentError(item.instrument +
                              ": no address (the station's instrument simulator is "
                              "not running)");
    auto& session = sessions[item.instrument];
    if (!session) session = std::make_unique<Instrument>(item.instrument, *address, timeouts);
    const auto readings = session->measure(item.query, stop);
    if (readings.size() != 1)
        throw InstrumentError(item.instrument + ": " + item.query + " answered " +
                              std::to_string(readings.size()) + " readings where one was expected");
    return readings.front();
}

void CellRunner::stop() { worker_.request_stop(); }

void CellRunner::run(std::stop_token stop, const Project& project, int item_ms,
                     InstrumentTimeouts timeouts, const Callbacks& callbacks) {
    InstrumentSessions sessions;
    RunOutcome outcome;
    for (std::size_t index = 0; index < project.items.size(); ++index) {
        const TestItem& item = project.items[index];
        const auto due = Clock::now() + std::chrono::milliseconds(item_ms);
        outcome.item = item.name;
        ItemResult result{item.name, 0, item.lower, item.upper, item.unit, false};
        try {
            result.value = measure_item(stop, project, item, simulator_, sessions, timeouts);
            if (!wait_until(stop, due)) throw InstrumentStopped();
        } catch (const InstrumentStopped&) {
            outcome.kind = RunOutcome::Kind::stopped;
            break;
        } catch (const InstrumentError& error) {
            outcome.kind = RunOutcome::Kind::failed;
            outcome.reason = error.what();
            break;
        }
        result.ok = within_limits(result.value, result.lower, result.upper);
        if (callbacks.measured) callbacks.measured(index, result);
    }
    if (outcome.kind == RunOutcome::Kind::completed) outcome.item.clear();
    // Sessions close here, on the thread that used them.
    sessions.clear();
    // Cleared first, so that whoever hears of the end can start the next
    // run without waiting for this thread (only the return is left).
    busy_ = false;
    if (callbacks.finished) callbacks.finished(outcome);
}

}  // namespace station
