// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include <wx/dialog.h>

#include "logic/history_store.h"

class wxButton;
class wxHtmlWindow;

namespace station {

// Every test of one unit, in every cell and project, newest first, with
// its items: read once from the store when opened, shown as it prints.
class UnitHistoryDialog : public wxDialog {
public:
    // Throws HistoryStoreError when the store cannot be read.
    UnitHistoryDialog(wxWindow* parent, const HistoryStore& store, const std::string& serial);

    const std::string& serial() const { return serial_; }
    const std::vector<TestRecord>& tests() const { return tests_; }
    // Throws std::runtime_error naming the file.
    void save_pdf(const std::string& path) const;

    wxHtmlWindow* ui_report = nullptr;
    wxButton* ui_print = nullptr;
    wxButton* ui_save_pdf = nullptr;

private:
    void on_save_pdf();

    std::string serial_;
    std::vector<TestRecord> tests_;
    wxString html_;
};

}  // namespace station
