// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <deque>
#include <functional>

#include <wx/timer.h>

namespace station {

// Spreads over the frames the work that redraws much of a cell. When many
// cells start or show their verdicts at once, laying out and painting them
// all in one frame keeps every other event waiting for it (tens of
// milliseconds with 16 cells); a few per frame keep the window responsive,
// and the last cell follows the first by a few frames.
class DisplayPacer {
public:
    // At most per_slice pieces of work every slice_ms.
    DisplayPacer(std::size_t per_slice, int slice_ms);
    DisplayPacer(const DisplayPacer&) = delete;
    DisplayPacer& operator=(const DisplayPacer&) = delete;

    // Runs the work now while this slice has room, else in a later slice,
    // in the order posted.
    void post(std::function<void()> work);
    std::size_t waiting() const { return queue_.size(); }

private:
    void next_slice();

    std::size_t per_slice_;
    int slice_ms_;
    std::size_t used_ = 0;  // in the current slice
    std::deque<std::function<void()>> queue_;
    wxTimer slice_;
};

}  // namespace station
