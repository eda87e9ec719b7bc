// SPDX-License-Identifier: MIT
#pragma once

// One cell's test session, without windows: which serial number may start a
// test, the states a cell goes through, what a test's record says when it
// ends, and the words the cell shows for all of it. The cell window asks it
// and shows the answers.

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "logic/cell_runner.h"
#include "logic/project.h"
#include "logic/record.h"
#include "logic/statistics.h"

namespace station {

enum class CellState {
    idle,       // no test yet: waiting for a serial number
    testing,    // the items are being measured
    storing,    // ended; the verdict waits for its commit
    stored,     // the verdict shown, the test in the store
    not_saved,  // the verdict shown, but its commit failed: it is tried again
    error,      // the verdict shown and stored: the station could not test the unit
};

// Why serial (UTF-8, without the spaces around it) cannot name a unit, in
// words for the operator; empty when it can. Refused: nothing, more than
// kMaxSerialLength characters, text that is not UTF-8 or holds NUL, and
// control characters (C0, DEL, C1), which end up in CSV, workbooks and logs.
std::string serial_problem(std::string_view serial);

// The serial numbers under test in the station's cells: one unit cannot be
// in two cells at once.
class SerialsInTest {
public:
    // Claims serial for cell and returns ""; when another cell has it, that
    // cell's name, and nothing is claimed.
    std::string claim(const std::string& serial, const std::string& cell);
    void release(const std::string& serial, const std::string& cell);

private:
    std::map<std::string, std::string> cells_;  // serial -> cell testing it
};

// What tests the units, beside the project: for the records.
struct TestStamp {
    std::string station;   // the station's name
    std::string software;  // the station software's version
};

class CellSession {
public:
    // serials: shared by the station's cells; without it a cell knows only its own.
    explicit CellSession(std::string cell, SerialsInTest* serials = nullptr);
    ~CellSession();
    CellSession(const CellSession&) = delete;
    CellSession& operator=(const CellSession&) = delete;

    const std::string& cell() const { return cell_; }
    void set_stamp(TestStamp stamp) { stamp_ = std::move(stamp); }
    const TestStamp& stamp() const { return stamp_; }
    CellState state() const { return state_; }
    bool testing() const { return state_ == CellState::testing; }
    // Testing, or ended and waiting for the commit: no new test yet.
    bool busy() const { return state_ == CellState::testing || state_ == CellState::storing; }

    // Starts a test of the unit typed or scanned (spaces around it do not
    // count) on the project. Returns "" once the test has begun; otherwise
    // why it cannot, and nothing changes.
    std::string begin(std::string_view typed_serial, const Project& project,
                      const std::string& project_path, std::int64_t now);
    // A reading of the running test; false (and ignored) when none runs.
    bool measured(const ItemResult& result);
    // Ends the running test as its run ended: completed, the items decide OK
    // or NG; failed (an instrument fault), Error; stopped, Aborted. Returns
    // the record to store.
    const TestRecord& finish(const RunOutcome& outcome, std::int64_t now);
    // The operator's abort: Aborted.
    const TestRecord& abort(std::int64_t now);

    // The verdict of the ended test is shown; saved: it is in the store.
    void shown(bool saved);
    // A test of this cell shown as not saved was stored later.
    void saved_later(const TestRecord& record);
    // Tests of this cell shown but not in the store.
    std::size_t unsaved() const { return unsaved_.size(); }

    // The running test's project (with its instruments' addresses resolved).
    const Project& running_project() const { return project_; }
    Project& running_project() { return project_; }
    // The running test, or the last one.
    const TestRecord& record() const { return record_; }

    // OK and NG of the verdicts shown; Aborted and Error count in neither.
    const Counters& counters() const { return counters_; }
    void clear_counters() { counters_ = Counters{}; }

    // What the cell's banner says in its state: "Ready", "Testing X ...",
    // "X: OK", "X: NG (not saved)".
    std::string banner() const;
    // The log line of the start and of the end of the test.
    std::string start_line() const;
    std::string end_line() const;
    // The history row's result: "OK", or "OK (not saved)" until stored.
    static std::string result_text(Verdict verdict, bool saved);

private:
    using Key = std::pair<std::int64_t, std::string>;  // begin time, serial
    const TestRecord& end(std::int64_t now);
    void release_serial();

    std::string cell_;
    SerialsInTest* serials_;
    TestStamp stamp_;
    CellState state_ = CellState::idle;
    Project project_;
    TestRecord record_;
    std::string claimed_;  // the serial this cell holds in serials_
    std::set<Key> unsaved_;
    Counters counters_;
};

}  // namespace station
