// SPDX-License-Identifier: MIT
#pragma once

// A scripted run (--repeat N): every cell tests N units one after another,
// as an operator with a scanner would, then the station closes. It drives
// the frame from outside, through what an operator's hands and eyes have:
// a serial number typed into a cell, Start, the verdicts shown.
//
// The run ends once every cell has shown N verdicts and nothing is left to
// store: it waits a while for unsaved tests to be stored, and on a line for
// the server to have every test. Its standard output gets a line per verdict
// shown ("shown SERIAL VERDICT"); tests it could not store make the exit
// status non-zero and are named on standard error.

#include <map>
#include <string>

#include <wx/event.h>
#include <wx/timer.h>
#include <wx/weakref.h>

namespace station {

class StationCell;
class StationFrame;
struct TestRecord;

class ScriptedRun : public wxEvtHandler {
public:
    // Waiting for unsaved tests to be stored, and for a line server, at the end.
    static constexpr int kStoreGraceMs = 15000;
    static constexpr int kLineGraceMs = 60000;

    ScriptedRun(StationFrame* frame, int repeat, std::string station);
    ~ScriptedRun() override;
    ScriptedRun(const ScriptedRun&) = delete;
    ScriptedRun& operator=(const ScriptedRun&) = delete;

private:
    void start_all();
    // The cell's next unit, or the end of the run once every cell is done.
    void next(StationCell& cell);
    void on_shown(StationCell& cell, const TestRecord& record, bool saved);
    bool every_cell_done() const;
    void check_end();

    wxWeakRef<StationFrame> frame_;
    int repeat_;
    std::string station_;
    std::map<const StationCell*, int> done_;  // verdicts shown, aborts aside
    wxTimer retry_;  // a start that a cell refused
    wxTimer end_;    // polls the store and the line once every cell is done
    int waited_ms_ = 0;
};

}  // namespace station
