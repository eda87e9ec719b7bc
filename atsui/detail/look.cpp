// SPDX-License-Identifier: MIT
#include "atsui/detail/look.h"

#include <wx/button.h>
#include <wx/grid.h>
#include <wx/panel.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/dcclient.h>
#include <wx/timer.h>

#include "atsui/detail/translation.h"

namespace tov_atsui::detail {

wxFont plain_font(int points, const wxString& face) {
    return wxFont(points, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false,
                  face);
}

wxFont cell_font(int points) {
    if (points <= 0) points = wxNORMAL_FONT->GetPointSize();
    return plain_font(points, "DejaVu Sans");
}

wxColour ok_colour() { return wxColour(0, 128, 64); }
wxColour ng_colour() { return wxColour(255, 0, 0); }

wxStaticText* make_label(wxWindow* parent, const wxString& label) {
    auto* text = new wxStaticText(parent, wxID_ANY, label, wxDefaultPosition, wxDefaultSize, 0);
    // Every label of the layer is wrapped at -1 right after creation. It
    // stays, although a negative width wraps nothing and costs a re-layout.
    text->Wrap(-1);
    return text;
}

wxPanel* make_panel(wxWindow* parent) {
    return new wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL);
}

wxButton* make_button(wxWindow* parent, const wxString& label, long style) {
    return new wxButton(parent, wxID_ANY, label, wxDefaultPosition, wxDefaultSize, style);
}

wxButton* add_default_button(wxWindow* dialog, wxWindowID id, const wxString& label, wxSizer* row,
                             int flags) {
    auto* button = new wxButton(dialog, id, label, wxDefaultPosition, wxDefaultSize, 0);
    button->SetDefault();
    button->SetFont(plain_font(kDialogPoints));
    row->Add(button, 0, flags, 5);
    return button;
}

void finish_panel(wxWindow* panel, wxSizer* sizer) {
    panel->SetSizer(sizer);
    panel->Layout();
    sizer->Fit(panel);
}

void finish_window(wxWindow* window, wxSizer* sizer) {
    finish_panel(window, sizer);
    window->Centre(wxBOTH);
}

void own_timer(wxTimer& timer, wxWindow* owner) { timer.SetOwner(owner, timer.GetId()); }

void set_up_readonly_grid(wxGrid* grid, const GridColumn* columns, std::size_t count,
                          int row_label_size) {
    const int cols = static_cast<int>(count);
    grid->CreateGrid(0, cols);
    grid->EnableEditing(false);
    grid->EnableGridLines(true);
    grid->EnableDragGridSize(false);
    grid->SetMargins(0, 0);
    for (int col = 0; col < cols; ++col) grid->SetColSize(col, columns[col].width);
    grid->EnableDragColMove(false);
    grid->EnableDragColSize(true);
    for (int col = 0; col < cols; ++col) grid->SetColLabelValue(col, tr(columns[col].label));
    grid->SetColLabelSize(30);
    grid->SetColLabelAlignment(wxALIGN_CENTER, wxALIGN_CENTER);
    grid->EnableDragRowSize(false);
    grid->SetRowLabelSize(row_label_size);
    grid->SetRowLabelAlignment(wxALIGN_CENTER, wxALIGN_CENTER);
    grid->SetDefaultCellAlignment(wxALIGN_LEFT, wxALIGN_CENTER);
}

wxStaticBitmap* make_picture(wxWindow* parent, const wxSize& size) {
    auto* picture = new wxStaticBitmap(parent, wxID_ANY, wxNullBitmap, wxDefaultPosition, size, 0);
#if defined(__WXMSW__)
    // Bound after the control's own handler, so called before it.
    picture->Bind(wxEVT_PAINT, [picture](wxPaintEvent& event) {
        if (picture->GetBitmap().IsOk()) {
            event.Skip();
            return;
        }
        // Nothing else paints it: without this the area stays black.
        wxPaintDC dc(picture);
        dc.SetBackground(wxBrush(picture->GetBackgroundColour()));
        dc.Clear();
    });
#endif
    return picture;
}

}  // namespace tov_atsui::detail
