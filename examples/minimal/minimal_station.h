// SPDX-License-Identifier: MIT
#pragma once

// The smallest host: a station frame with N cells and nothing else.
#include <atsui/atsui.h>

namespace minimal {

class MinimalCell : public tov_atsui::Cell {
public:
    using Cell::Cell;
    void on_start_cell_test(wxCommandEvent&) override {
        ui_test_logger->AppendText("started " + ui_serial_number->GetValue() + "\n");
    }
};

class MinimalStation : public tov_atsui::Frame {
public:
    explicit MinimalStation(int cells) : Frame(nullptr) {
        // The placeholder would take the first grid slot and stagger the cells.
        wxSizer* grid = ui_cell_panel->GetSizer();
        grid->Detach(m_panel9);
        m_panel9->Destroy();
        for (int i = 0; i < cells; ++i) {
            auto* cell = new MinimalCell(ui_cell_panel);
            cell->ui_cell_name->SetLabel(wxString::Format("Cell %d", i + 1));
            grid->Add(cell, 1, wxEXPAND | wxALL, 5);
            cell->ui_refresh_timer.Start(500);
        }
        // Fit() alone leaves the grids no height: ask for room, within the screen.
        const int rows = (cells + 1) / 2;
        wxSize size = FromDIP(wxSize(1000, 300 + 400 * rows));
        size.DecTo(wxGetClientDisplayRect().GetSize());
        SetSize(size);
        Centre();
    }
};

}  // namespace minimal
