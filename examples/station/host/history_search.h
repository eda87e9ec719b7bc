// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <wx/panel.h>
#include <wx/timer.h>

#include "logic/history_store.h"

class wxButton;
class wxCheckBox;
class wxChoice;
class wxDatePickerCtrl;
class wxTextCtrl;

namespace station {

// The viewer's row for finding a unit: a serial number's beginning, the
// days the tests began on, and the order of the rows.
class HistorySearchBar : public wxPanel {
public:
    explicit HistorySearchBar(wxWindow* parent);

    // The filter with this row's serial and days added.
    HistoryFilter narrow(HistoryFilter filter) const;
    HistoryOrder order() const;

    // Told when what the row asks for changed; typing waits for a pause.
    std::function<void()> on_changed;
    // Told for the unit history and report buttons.
    std::function<void()> on_unit_history;
    std::function<void()> on_print;

    wxTextCtrl* ui_serial = nullptr;
    wxCheckBox* ui_from_enabled = nullptr;
    wxDatePickerCtrl* ui_from = nullptr;
    wxCheckBox* ui_to_enabled = nullptr;
    wxDatePickerCtrl* ui_to = nullptr;
    wxChoice* ui_order = nullptr;
    wxButton* ui_unit_history = nullptr;
    wxButton* ui_report = nullptr;
    // Runs a search this long after the last key, so that a scanner's burst
    // or fast typing makes one query.
    wxTimer typing;

private:
    void changed();
};

}  // namespace station
