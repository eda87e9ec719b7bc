// SPDX-License-Identifier: MIT
#pragma once

// A real station window on a small project, in a folder of the test's own,
// with its history in an SQLite file there. Tests set options, then open().

#include <cstdlib>
#include <filesystem>
#include <string>

#include <wx/notebook.h>

#include "host/station_cell.h"
#include "host/station_frame.h"
#include "support/harness.h"
#include "test_folder.h"

namespace station_test {

// What the operator reads in a cell's Logger tab, once it is open.
inline wxString logger_text(station::StationCell* cell) {
    wxNotebook* book = cell->ui_view_notebook;
    book->SetSelection(std::size_t(book->FindPage(cell->ui_logger_panel)));
    return cell->ui_test_logger->GetValue();
}

class StationFixture : public ::testing::Test {
protected:
    // prefix names the test folder; more_items extend the board's items.
    explicit StationFixture(std::string prefix,
                            std::string more_items = "Noise ; -100 ; -85 ; dBV\n")
        : prefix_(std::move(prefix)), more_items_(std::move(more_items)) {}

    void SetUp() override {
        assertions_before = atsui_test::assertion_count();
        folder = fresh_folder(prefix_);
        project_path = write_board(folder, "Test board", more_items_);
        options.cells = 2;
        options.seed = 11;
        options.item_ms = 20;
        options.ticker_ms = 20;
        options.database = (folder / "history.sqlite").string();
    }

    void TearDown() override {
        if (frame) {
            for (station::StationCell* cell : frame->cells()) cell->abort();
            frame->Destroy();
            atsui_test::pump(50);
        }
        // ATSUI_KEEP_SCREENSHOTS keeps the folder, screenshots included, for a look.
        if (!std::getenv("ATSUI_KEEP_SCREENSHOTS")) std::filesystem::remove_all(folder);
        EXPECT_EQ(atsui_test::assertion_count(), assertions_before)
            << "toolkit assertions during the test";
    }

    void open(int settle_ms = 100) {
        frame =
            new station::StationFrame(options, station::load_project(project_path), project_path);
        frame->Show();
        atsui_test::pump(settle_ms);
    }

    bool all_idle() const {
        for (const station::StationCell* cell : frame->cells())
            if (cell->running()) return false;
        return true;
    }

    station::StationCell* cell(int n) const { return frame->cells()[n - 1]; }

    station::Options options;
    std::filesystem::path folder;
    std::string project_path;
    station::StationFrame* frame = nullptr;
    int assertions_before = 0;

private:
    std::string prefix_;
    std::string more_items_;
};

}  // namespace station_test
