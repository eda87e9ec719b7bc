// SPDX-License-Identifier: MIT
// What the operator sees of a running station: figures the keyboard cannot
// change, text that reads under the desktop's theme (the suite runs this
// program under a dark and a high-contrast theme), and many cells on one
// screen.

#include <filesystem>
#include <string>
#include <vector>

#include <map>

#include <wx/display.h>
#include <wx/grid.h>
#include <wx/image.h>
#include <wx/notebook.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include "host/look.h"
#include "host/station_cell.h"
#include "host/station_frame.h"
#include "host/station_viewer.h"
#include "station_fixture.h"
#include "support/harness.h"

using namespace atsui_test;
using namespace station;
namespace fs = std::filesystem;

namespace {

constexpr int kFinishMs = 15000;

// The whole screen as the X server has it.
wxImage capture_screen(const fs::path& file) {
    const wxString command = wxString::Format("import -window root \"%s\"", file.string());
    if (wxExecute(command, wxEXEC_SYNC | wxEXEC_BLOCK) != 0) return wxImage();
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
    return wxImage(file.string(), wxBITMAP_TYPE_PNG);
}

// Asks each window to repaint and returns once every one has handled its
// paint event and the drawing has gone out to the X server.
bool painted_anew(const std::vector<wxWindow*>& windows, int timeout_ms = kFinishMs) {
    std::map<wxWindow*, int> paints;
    const auto count = [&paints](wxPaintEvent& event) {
        ++paints[static_cast<wxWindow*>(event.GetEventObject())];
        event.Skip();
    };
    for (wxWindow* window : windows) {
        window->Bind(wxEVT_PAINT, count);
        window->Refresh();
    }
    const bool all = pump_until([&] { return paints.size() == windows.size(); }, timeout_ms);
    for (wxWindow* window : windows) window->Unbind(wxEVT_PAINT, count);
    pump(0);
    return all;
}

struct TextLook {
    wxColour background;
    wxColour text;
    bool found = false;
};

// The region's two dominant colours: the most frequent one is the
// background; the text is the colour of the glyphs' cores, the one furthest
// from the background (edge pixels are blends between the two). A colour
// must cover a few pixels to count, so that no stray pixel decides.
TextLook look_of(const wxImage& shot, wxRect region) {
    region.Intersect(wxRect(0, 0, shot.GetWidth(), shot.GetHeight()));
    std::map<unsigned long, int> counts;
    for (int y = region.GetTop(); y <= region.GetBottom(); ++y)
        for (int x = region.GetLeft(); x <= region.GetRight(); ++x)
            ++counts[(unsigned long)shot.GetRed(x, y) << 16 | shot.GetGreen(x, y) << 8 |
                     shot.GetBlue(x, y)];
    auto colour = [](unsigned long rgb) {
        return wxColour((rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff);
    };
    TextLook look;
    int most = 0;
    for (const auto& [rgb, n] : counts)
        if (n > most) most = n, look.background = colour(rgb);
    constexpr int kFewPixels = 3;
    double furthest = 1.0;
    for (const auto& [rgb, n] : counts) {
        const double ratio = contrast_ratio(colour(rgb), look.background);
        if (n >= kFewPixels && colour(rgb) != look.background && ratio > furthest) {
            furthest = ratio;
            look.text = colour(rgb);
            look.found = true;
        }
    }
    return look;
}

// A control's inside, without its frame or focus ring.
wxRect inside(wxWindow* window) { return window->GetScreenRect().Deflate(4); }

// The screen rectangles of the grid's visible cells of one column.
std::vector<wxRect> visible_cells(wxGrid* grid, int col) {
    std::vector<wxRect> cells;
    wxWindow* area = grid->GetGridWindow();
    const wxRect shown(wxPoint(0, 0), area->GetClientSize());
    for (int row = 0; row < grid->GetNumberRows(); ++row) {
        wxRect r = grid->CellToRect(row, col);
        r.SetPosition(grid->CalcScrolledPosition(r.GetPosition()));
        if (!shown.Contains(r)) continue;
        r.SetPosition(area->ClientToScreen(r.GetPosition()));
        cells.push_back(r.Deflate(2));
    }
    return cells;
}

}  // namespace

class StationLook : public station_test::StationFixture {
protected:
    StationLook()
        : StationFixture("station-look",
                         "Noise ; -100 ; -85 ; dBV\n"
                         "Ripple ; 0 ; 30 ; mV\n") {}

    void SetUp() override {
        StationFixture::SetUp();
        options.seed = 3;
        options.ticker_ms = 1000;
    }

    // One test in every cell, each with its own serial number, to the end.
    void test_every_cell() {
        int unit = 0;
        for (StationCell* cell : frame->cells()) {
            cell->ui_serial_number->SetValue(wxString::Format("UNIT-%d", ++unit));
            ASSERT_TRUE(cell->start());
        }
        ASSERT_TRUE(pump_until([&] { return all_idle(); }, kFinishMs));
    }

    // Clicks into the field and types as an operator with a keyboard would.
    void type_into(wxUIActionSimulator& sim, wxTextCtrl* field, const char* text) {
        const wxRect r = field->GetScreenRect();
        sim.MouseMove(r.GetPosition() + wxSize(r.width * 3 / 4, r.height / 2));
        pump(60);
        sim.MouseClick();
        pump(60);
        sim.Char(WXK_END);
        sim.Char(WXK_BACK);
        sim.Text(text);
        pump(120);
    }
};

TEST_F(StationLook, TypingChangesNoFigureButTheSerialNumber) {
    open(200);
    test_every_cell();

    struct Figure {
        std::string name;
        wxTextCtrl* field;
    };
    std::vector<Figure> figures{{"frame OK", frame->ui_ok_count},
                                {"frame NG", frame->ui_ng_count},
                                {"frame Yield", frame->ui_ok_percent}};
    for (StationCell* cell : frame->cells()) {
        const std::string name = cell->cell_name().utf8_string();
        figures.push_back({name + " OK", cell->ui_ok_count});
        figures.push_back({name + " NG", cell->ui_ng_count});
        figures.push_back({name + " Yield", cell->ui_ok_percent});
        figures.push_back({name + " elapsed time", cell->ui_elapse_time});
    }

    ASSERT_TRUE(activate(frame)) << "the station did not become active";
    wxUIActionSimulator sim;
    for (const Figure& figure : figures) {
        SCOPED_TRACE(figure.name);
        ASSERT_TRUE(figure.field->IsShownOnScreen());
        const wxString before = figure.field->GetValue();
        ASSERT_FALSE(before.empty());
        type_into(sim, figure.field, "SN27102");
        EXPECT_EQ(figure.field->GetValue(), before);
    }

    // The same gestures do reach the one field the operator owns.
    StationCell* cell = frame->cells().front();
    type_into(sim, cell->ui_serial_number, "SN27102");
    EXPECT_EQ(cell->ui_serial_number->GetValue(), "SN27102");
}

// Under whatever GTK_THEME the suite set: every text the station colours
// (or leaves to the theme on the layer's colours) is measured on the screen.
TEST_F(StationLook, EveryTextReadsOnTheScreen) {
    options.cells = 5;
    options.seed = 2;
    options.item_ms = 120;
    open(200);
    ASSERT_TRUE(activate(frame));
    std::vector<StationCell*> cells = frame->cells();

    int measured = 0;
    std::vector<std::string> unreadable;
    double lowest = 21;
    std::string lowest_what;
    auto check = [&](const wxImage& shot, const std::string& what, const wxRect& region) {
        const TextLook look = look_of(shot, region);
        ++measured;
        const double ratio = look.found ? contrast_ratio(look.text, look.background) : 1.0;
        if (ratio < lowest) {
            lowest = ratio;
            lowest_what = what;
        }
        if (ratio < kReadableContrast)
            unreadable.push_back(what + ": " +
                                 (look.found ? (look.text.GetAsString(wxC2S_HTML_SYNTAX) + " on " +
                                                look.background.GetAsString(wxC2S_HTML_SYNTAX) +
                                                ", " + std::to_string(ratio))
                                                   .ToStdString()
                                             : std::string("no text apart from the background")));
    };
    auto check_idle_cell = [&](const wxImage& shot, StationCell* cell, const std::string& when) {
        const std::string name = cell->cell_name().utf8_string() + " " + when;
        for (wxStaticText* label : {cell->m_staticText1, cell->m_staticText2, cell->m_staticText3,
                                    cell->m_staticText4, cell->ui_cell_name})
            check(shot, name + " caption " + label->GetLabel().utf8_string(),
                  label->GetScreenRect());
        for (wxTextCtrl* figure :
             {cell->ui_ok_count, cell->ui_ng_count, cell->ui_ok_percent, cell->ui_elapse_time})
            check(shot, name + " figure " + figure->GetValue().utf8_string(), inside(figure));
        check(shot, name + " Start", inside(cell->ui_start));
        check(shot, name + " Abort", inside(cell->ui_abort));
        check(shot, name + " banner " + cell->ui_prompt->GetLabel().utf8_string(),
              inside(cell->ui_prompt));
        for (const wxRect& r : visible_cells(cell->ui_assertions, 5))
            check(shot, name + " result", r);
    };
    auto check_frame = [&](const wxImage& shot) {
        for (wxStaticText* label :
             {frame->ui_ok_count_label, frame->ui_ng_count_label, frame->m_staticText8})
            check(shot, "frame caption " + label->GetLabel().utf8_string(), label->GetScreenRect());
        for (wxTextCtrl* figure : {frame->ui_ok_count, frame->ui_ng_count, frame->ui_ok_percent})
            check(shot, "frame figure", inside(figure));
    };

    // Ready.
    pump(200);
    wxImage shot = capture_screen(folder / "ready.png");
    ASSERT_TRUE(shot.IsOk()) << "no screenshot";
    check_frame(shot);
    for (StationCell* cell : cells) check_idle_cell(shot, cell, "ready");

    // Testing, one cell refusing an empty serial number.
    for (std::size_t n = 0; n + 1 < cells.size(); ++n) {
        cells[n]->ui_serial_number->SetValue(wxString::Format("UNIT-%zu", n + 1));
        ASSERT_TRUE(cells[n]->start());
    }
    ASSERT_FALSE(cells.back()->start());
    pump(150);
    shot = capture_screen(folder / "testing.png");
    for (StationCell* cell : cells)
        check(shot, cell->cell_name().utf8_string() + " banner while testing",
              inside(cell->ui_prompt));

    // Verdicts: OK, NG and one aborted, once they stop blinking, and the
    // blink's other phase (the verdict's colour as text on the cell).
    cells[cells.size() - 2]->abort();
    ASSERT_TRUE(pump_until([&] { return all_idle(); }, kFinishMs));
    bool ok = false, ng = false;
    for (StationCell* cell : cells) {
        ok = ok || cell->ui_prompt->GetLabel().EndsWith(": OK");
        ng = ng || cell->ui_prompt->GetLabel().EndsWith(": NG");
    }
    EXPECT_TRUE(ok && ng) << "choose a seed that gives both verdicts";
    StationCell* blinking = cells.front();
    if (pump_until(
            [&] {
                return blinking->ui_prompt->GetBackgroundColour() ==
                       blinking->GetBackgroundColour();
            },
            2000)) {
        shot = capture_screen(folder / "blink.png");
        check(shot, "banner between blinks", inside(blinking->ui_prompt));
    } else {
        ADD_FAILURE() << "the verdict never blinked";
    }
    ASSERT_TRUE(pump_until(
        [&] {
            for (StationCell* cell : cells)
                if (cell->ui_blink_timer.IsRunning()) return false;
            return true;
        },
        6000));
    pump(100);
    shot = capture_screen(folder / "verdicts.png");
    check_frame(shot);
    for (StationCell* cell : cells) check_idle_cell(shot, cell, "after its test");

    // The test data window's verdicts, once both grids have painted what
    // they hold: a new window under load can take longer than any fixed wait.
    StationViewerFrame* viewer = frame->show_viewer();
    viewer->panel->ui_history->SetGridCursor(0, 0);
    ASSERT_TRUE(painted_anew({viewer->panel->ui_history->GetGridWindow(),
                              viewer->panel->ui_assertions->GetGridWindow()}))
        << "the viewer's grids never painted";
    shot = capture_screen(folder / "viewer.png");
    for (const wxRect& r : visible_cells(viewer->panel->ui_history, 3))
        check(shot, "viewer history result", r);
    for (const wxRect& r : visible_cells(viewer->panel->ui_assertions, 5))
        check(shot, "viewer item result", r);

    EXPECT_GT(measured, 20 * int(cells.size()));
    std::printf("contrast: %d texts measured, lowest %.2f:1 (%s)\n", measured, lowest,
                lowest_what.c_str());
    std::string list;
    for (const std::string& line : unreadable) list += "\n  " + line;
    EXPECT_TRUE(unreadable.empty())
        << unreadable.size() << " texts below " << kReadableContrast << ":1" << list;
}

// Eight and sixteen cells on a 1920 x 1080 screen (the size the suite gives
// this program): each cell's verdict banner whole, and at least three rows
// of its measurement grid, inside the window, the screen and the cell.
TEST_F(StationLook, ManyCellsEachShowTheirBannerAndThreeMeasuredRows) {
    constexpr int kRowsToSee = 3;
    const wxRect screen = wxDisplay(0u).GetGeometry();
    ASSERT_EQ(screen.GetSize(), wxSize(1920, 1080)) << "run under ATSUI_SCREEN=1920x1080x24";
    for (int cells : {8, 16}) {
        SCOPED_TRACE(std::to_string(cells) + " cells");
        options.cells = cells;
        options.item_ms = 10;
        open(200);
        test_every_cell();
        pump(200);

        // What of a window the user sees: clipped by every window around it.
        auto seen = [&](wxWindow* window) {
            wxRect r = window->GetScreenRect();
            for (wxWindow* w = window->GetParent(); w; w = w->GetParent())
                r.Intersect(wxRect(w->ClientToScreen(wxPoint(0, 0)), w->GetClientSize()));
            return r.Intersect(screen);
        };
        for (StationCell* cell : frame->cells()) {
            SCOPED_TRACE(cell->cell_name().utf8_string());
            ASSERT_GE(cell->ui_assertions->GetNumberRows(), kRowsToSee);
            EXPECT_TRUE(cell->ui_prompt->IsShownOnScreen());
            EXPECT_EQ(seen(cell->ui_prompt), cell->ui_prompt->GetScreenRect());
            EXPECT_GE(cell->ui_prompt->GetSize().y, cell->ui_prompt->GetBestSize().y);

            wxGrid* grid = cell->ui_assertions;
            EXPECT_TRUE(grid->IsShownOnScreen());
            const wxRect rows_area = seen(grid->GetGridWindow());
            int whole_rows = 0;
            for (int row = 0; row < grid->GetNumberRows(); ++row) {
                wxRect r = grid->CellToRect(row, 0);
                r.SetPosition(grid->GetGridWindow()->ClientToScreen(
                    grid->CalcScrolledPosition(r.GetPosition())));
                if (rows_area.Contains(r)) ++whole_rows;
            }
            EXPECT_GE(whole_rows, kRowsToSee);

            // Sixteen cells: every column in the grid's width, each figure,
            // unit and result whole in its column; the name keeps some room.
            if (cells < 16) continue;
            const int shown_width = grid->GetGridWindow()->GetClientSize().x;
            EXPECT_LE(grid->CellToRect(0, 5).GetRight(), shown_width);
            EXPECT_GE(grid->GetColSize(0), grid->FromDIP(40));
            for (int row = 0; row < grid->GetNumberRows(); ++row)
                for (int col = 1; col <= 5; ++col)
                    EXPECT_LE(grid->GetTextExtent(grid->GetCellValue(row, col)).x,
                              grid->GetColSize(col))
                        << "row " << row << " column " << col << ": "
                        << grid->GetCellValue(row, col);
            EXPECT_GE(cell->ui_gauge->GetSize().x, grid->FromDIP(20)) << "no room for the progress";
        }
        frame->Destroy();
        frame = nullptr;
        pump(100);
    }
}
