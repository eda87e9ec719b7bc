// SPDX-License-Identifier: MIT
#include "host/scripted_run.h"

#include <cstdio>

#include <wx/textctrl.h>

#include "host/look.h"
#include "host/notice.h"
#include "host/station_cell.h"
#include "host/station_frame.h"

namespace station {

namespace {

constexpr int kRetryMs = 50;
constexpr int kEndPollMs = 200;

}  // namespace

ScriptedRun::ScriptedRun(StationFrame* frame, int repeat, std::string station)
    : frame_(frame), repeat_(repeat), station_(std::move(station)) {
    set_unattended(true);
    retry_.SetOwner(this);
    end_.SetOwner(this);
    Bind(
        wxEVT_TIMER,
        [this](wxTimerEvent&) {
            if (!frame_) return;
            for (StationCell* cell : frame_->cells())
                if (!cell->running()) next(*cell);
        },
        retry_.GetId());
    Bind(
        wxEVT_TIMER, [this](wxTimerEvent&) { check_end(); }, end_.GetId());
    frame->set_on_shown([this](StationCell& cell, const TestRecord& record, bool saved) {
        on_shown(cell, record, saved);
    });
    CallAfter([this] { start_all(); });
}

ScriptedRun::~ScriptedRun() {
    if (frame_) frame_->set_on_shown({});
}

void ScriptedRun::start_all() {
    if (!frame_) return;
    for (StationCell* cell : frame_->cells()) next(*cell);
}

void ScriptedRun::next(StationCell& cell) {
    // A closing station's aborted tests are not tried again.
    if (!frame_ || frame_->closing()) return;
    const int done = done_[&cell];
    if (done >= repeat_) {
        if (every_cell_done() && !end_.IsRunning()) end_.Start(kEndPollMs);
        return;
    }
    cell.ui_serial_number->SetValue(
        wxString::Format("%s-%s-%d", from_utf8(station_), cell.cell_name(), done + 1));
    // A cell may refuse while its last worker is still leaving: the run
    // must not end a unit short and still report success.
    if (!cell.start()) retry_.StartOnce(kRetryMs);
}

void ScriptedRun::on_shown(StationCell& cell, const TestRecord& record, bool) {
    // The run's log: a line per verdict the operator has seen.
    std::printf("shown %s %s\n", record.serial.c_str(), verdict_text(record.verdict));
    std::fflush(stdout);
    if (record.verdict != Verdict::aborted) ++done_[&cell];
    CallAfter([this, cell = &cell] {
        if (frame_) next(*cell);
    });
}

bool ScriptedRun::every_cell_done() const {
    if (!frame_) return false;
    for (const StationCell* cell : frame_->cells()) {
        const auto done = done_.find(cell);
        if (done == done_.end() || done->second < repeat_) return false;
    }
    return true;
}

// Closes the station once nothing is left to do: tests unsaved after the
// grace are lost on close (the frame names them and the exit status says
// so); tests still in the outbox are sent by the next run.
void ScriptedRun::check_end() {
    if (!frame_) {
        end_.Stop();
        return;
    }
    if (frame_->tests_running()) return;
    waited_ms_ += kEndPollMs;
    if (frame_->unsaved() > 0 && waited_ms_ < kStoreGraceMs) return;
    const PgForwarder* line = frame_->forwarder();
    if (frame_->unsaved() == 0 && line && line->waiting() != 0 && waited_ms_ < kLineGraceMs)
        return;
    end_.Stop();
    if (frame_->unsaved() > 0) {
        for (const std::string& name : frame_->save_policy().unsaved_names())
            std::fprintf(stderr, "not stored: %s\n", name.c_str());
        std::fflush(stderr);
    }
    frame_->Close(true);
}

}  // namespace station
