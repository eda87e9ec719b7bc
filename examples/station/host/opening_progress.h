// SPDX-License-Identifier: MIT
#pragma once

// How far opening a history file got, shown once it takes long enough for an
// operator to wonder: the check of a big file, the upgrade of an old one.

#include <chrono>
#include <memory>
#include <string>

class wxProgressDialog;
class wxWindow;

namespace station {

class OpeningProgress {
public:
    explicit OpeningProgress(wxWindow* parent = nullptr,
                             std::chrono::milliseconds quiet = std::chrono::milliseconds(400));
    ~OpeningProgress();
    OpeningProgress(const OpeningProgress&) = delete;
    OpeningProgress& operator=(const OpeningProgress&) = delete;

    // For HistoryStore::Opening::progress: told the stage now and then.
    void operator()(const std::string& stage);

    // The window, while it shows; nullptr before and after.
    wxProgressDialog* dialog() const { return dialog_.get(); }

private:
    wxWindow* parent_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::milliseconds quiet_;
    std::unique_ptr<wxProgressDialog> dialog_;
    std::string stage_;
};

}  // namespace station
