// SPDX-License-Identifier: MIT
#include "host/display_pacer.h"

namespace station {

DisplayPacer::DisplayPacer(std::size_t per_slice, int slice_ms)
    : per_slice_(per_slice == 0 ? 1 : per_slice), slice_ms_(slice_ms) {
    slice_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { next_slice(); });
}

void DisplayPacer::post(std::function<void()> work) {
    if (!slice_.IsRunning()) {
        used_ = 0;
        slice_.StartOnce(slice_ms_);
    }
    if (used_ < per_slice_ && queue_.empty()) {
        ++used_;
        work();
    } else {
        queue_.push_back(std::move(work));
    }
}

// A slice is longer than a frame: the window lays out and paints what one
// slice changed before the next slice runs.
void DisplayPacer::next_slice() {
    used_ = 0;
    if (queue_.empty()) return;
    slice_.StartOnce(slice_ms_);
    while (used_ < per_slice_ && !queue_.empty()) {
        auto work = std::move(queue_.front());
        queue_.pop_front();
        ++used_;
        work();  // may post more
    }
}

}  // namespace station
