// SPDX-License-Identifier: MIT
// The minimal host example, shown as its program shows it.
#include "minimal_station.h"
#include "support/harness.h"

#include <vector>

namespace {

using namespace atsui_test;

std::vector<minimal::MinimalCell*> cells_of(minimal::MinimalStation* station) {
    std::vector<minimal::MinimalCell*> cells;
    for (wxWindow* child : station->ui_cell_panel->GetChildren())
        if (auto* cell = dynamic_cast<minimal::MinimalCell*>(child)) cells.push_back(cell);
    return cells;
}

TEST(MinimalExample, CellsShowTheirGridsSideBySideOnScreen) {
    for (int n : {1, 2, 4}) {
        SCOPED_TRACE(n);
        auto* station = new minimal::MinimalStation(n);
        station->Show();
        ASSERT_TRUE(pump_until([&] { return station->IsShownOnScreen(); }));
        pump(200);

        EXPECT_TRUE(wxGetClientDisplayRect().Contains(station->GetScreenRect()))
            << station->GetScreenRect().x << "," << station->GetScreenRect().y << " "
            << station->GetSize().x << "x" << station->GetSize().y;
        const auto cells = cells_of(station);
        ASSERT_EQ(cells.size(), size_t(n));
        for (size_t i = 0; i < cells.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_TRUE(cells[i]->ui_refresh_timer.IsRunning());
            EXPECT_GT(cells[i]->ui_assertions->GetSize().y, 100);
            // Two columns, no slot left empty by the placeholder.
            const wxPoint at = cells[i]->GetPosition();
            const wxPoint first_in_row = cells[i - i % 2]->GetPosition();
            EXPECT_EQ(at.y, first_in_row.y);
            if (i % 2) {
                EXPECT_GT(at.x, cells[i - 1]->GetRect().GetRight());
            }
            if (i >= 2) {
                EXPECT_GT(at.y, cells[i - 2]->GetRect().GetBottom());
            }
        }
        EXPECT_EQ(station->ui_cell_panel->GetSizer()->GetItemCount(), size_t(n));
        station->Destroy();
        pump();
    }
}

TEST(MinimalExample, StartReachesTheHost) {
    auto* station = new minimal::MinimalStation(2);
    station->Show();
    ASSERT_TRUE(pump_until([&] { return station->IsShownOnScreen(); }));
    auto* cell = cells_of(station).at(1);
    cell->ui_serial_number->ChangeValue("SN42");
    click(cell->ui_start);
    pump();
    EXPECT_EQ(cell->ui_test_logger->GetValue(), "started SN42\n");
    EXPECT_EQ(cells_of(station).at(0)->ui_test_logger->GetValue(), "");
    station->Destroy();
    pump();
}

}  // namespace
