// SPDX-License-Identifier: MIT
// The viewer's pictures of an item: the operator clicks a test and one of
// its items, and the histogram, trend and capability of that item over the
// shown tests appear, drawn where their own mapping says.

#include <cmath>
#include <filesystem>
#include <random>

#include <wx/choice.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>
#include <wx/grid.h>
#include <wx/radiobox.h>
#include <wx/rawbmp.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "host/item_plot.h"
#include "host/station_viewer.h"
#include "logic/item_figures.h"
#include "support/harness.h"
#include "test_folder.h"

using namespace atsui_test;
using namespace station;
namespace fs = std::filesystem;

namespace {

constexpr double kLower = 11.4, kUpper = 12.6;

// Mean, sample sigma and Cpk of values, computed here the plain way.
std::string expected_cpk(const std::vector<double>& values) {
    double mean = 0;
    for (double v : values) mean += v;
    mean /= double(values.size());
    double squares = 0;
    for (double v : values) squares += (v - mean) * (v - mean);
    const double sigma = std::sqrt(squares / double(values.size() - 1));
    return figure_text({std::min(kUpper - mean, mean - kLower) / (3 * sigma), {}}, 3);
}

// The plot as its paint handler draws it, read back pixel by pixel.
wxImage rendered(const ItemPlot& plot) {
    wxBitmap bitmap(plot.GetClientSize());
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
        plot.draw(*gc);
    }
    return bitmap.ConvertToImage();
}

bool near_colour(const wxImage& image, int x, int y, const wxColour& c) {
    if (x < 0 || y < 0 || x >= image.GetWidth() || y >= image.GetHeight()) return false;
    return std::abs(image.GetRed(x, y) - c.Red()) < 40 &&
           std::abs(image.GetGreen(x, y) - c.Green()) < 40 &&
           std::abs(image.GetBlue(x, y) - c.Blue()) < 40;
}

// Whether a vertical line of the colour runs at x (within a pixel) over
// most of the plot's height.
bool vertical_line_at(const wxImage& image, const wxRect& area, double x, const wxColour& c) {
    int hits = 0, rows = 0;
    for (int y = area.y + 2; y < area.GetBottom() - 2; y += 3, ++rows)
        for (int dx = -1; dx <= 1; ++dx)
            if (near_colour(image, int(std::lround(x)) + dx, y, c)) {
                ++hits;
                break;
            }
    return rows > 0 && hits * 10 >= rows * 9;
}

bool horizontal_line_at(const wxImage& image, const wxRect& area, double y, const wxColour& c) {
    int hits = 0, columns = 0;
    for (int x = area.x + 2; x < area.GetRight() - 2; x += 3, ++columns)
        for (int dy = -1; dy <= 1; ++dy)
            if (near_colour(image, x, int(std::lround(y)) + dy, c)) {
                ++hits;
                break;
            }
    return columns > 0 && hits * 10 >= columns * 8;
}

}  // namespace

class ItemPlotView : public ::testing::Test {
protected:
    void SetUp() override {
        assertions_before = assertion_count();
        folder = station_test::fresh_folder("item-plot");
        store = std::make_unique<HistoryStore>((folder / "history.sqlite").string());
        std::mt19937 random(7);
        std::normal_distribution<double> cell1(12.05, 0.1), cell2(11.8, 0.15);
        std::vector<TestRecord> tests;
        for (int i = 0; i < 240; ++i) {
            const bool first = i % 4 != 0;
            TestRecord r;
            r.cell = first ? "Cell 1" : "Cell 2";
            r.project = "PSU";
            r.serial = "SN" + std::to_string(i);
            r.begin_ms = 1'765'000'000'000 + i * 60'000;
            r.end_ms = r.begin_ms + 20'000;
            const double v = first ? cell1(random) : cell2(random);
            r.items = {{"Output", v, kLower, kUpper, "V", within_limits(v, kLower, kUpper)},
                       {"Ripple", 0.05, 0, 0.1, "V", true}};
            conclude(r);
            tests.push_back(r);
            (first ? values_cell1 : values_cell2).push_back(v);
            values_all.push_back(v);
        }
        // A product tested once: one value, no spread to speak of.
        TestRecord once = tests.back();
        once.project = "Amplifier";
        once.serial = "AMP1";
        once.begin_ms += 600'000;
        once.end_ms += 600'000;
        tests.push_back(once);
        store->import(tests);
    }

    void TearDown() override {
        if (viewer) viewer->Destroy();
        pump(50);
        store.reset();
        fs::remove_all(folder);
        EXPECT_EQ(assertion_count(), assertions_before) << "toolkit assertions during the test";
    }

    StationViewerPanel* open(std::optional<std::string> project) {
        viewer = new StationViewerFrame(nullptr, *store, std::move(project));
        viewer->Show();
        pump(100);
        return viewer->panel;
    }

    // A click of the mouse on a grid's cell, through the X server.
    bool click_cell(wxGrid* grid, int row, int col) {
        grid->MakeCellVisible(row, col);
        pump(30);
        const wxRect cell = grid->CellToRect(row, col);
        const wxPoint scrolled = grid->CalcScrolledPosition(cell.GetPosition());
        const wxPoint at = grid->GetGridWindow()->ClientToScreen(
            scrolled + wxPoint(cell.width / 2, cell.height / 2));
        sim.MouseMove(at);
        pump(30);
        sim.MouseClick();
        return pump_until([&] { return grid->GetGridCursorRow() == row; });
    }

    fs::path folder;
    std::unique_ptr<HistoryStore> store;
    std::vector<double> values_all, values_cell1, values_cell2;
    StationViewerFrame* viewer = nullptr;
    int assertions_before = 0;
    wxUIActionSimulator sim;
};

TEST_F(ItemPlotView, ClickingAnItemShowsItsHistogramTrendAndCapabilityOverTheShownTests) {
    StationViewerPanel* panel = open("PSU");
    ItemPlotPanel* plots = panel->ui_item_plot;
    ASSERT_NE(plots, nullptr);
    ASSERT_TRUE(activate(viewer));
    ASSERT_TRUE(click_cell(panel->ui_history, 3, 2));
    ASSERT_TRUE(click_cell(panel->ui_assertions, 1, 0));
    ASSERT_TRUE(pump_until([&] { return plots->ui_title->GetLabel() == "Ripple [V]"; }))
        << plots->ui_title->GetLabel();
    // All alike: a single bar, and Cp a dash for want of spread.
    EXPECT_EQ(plots->ui_cp->GetValue(), L"\u2014");
    ASSERT_TRUE(click_cell(panel->ui_assertions, 0, 0));
    ASSERT_TRUE(pump_until([&] { return plots->ui_title->GetLabel() == "Output [V]"; }))
        << plots->ui_title->GetLabel();
    ASSERT_TRUE(plots->ui_histogram->has_data());
    EXPECT_TRUE(plots->ui_histogram->IsShownOnScreen());
    EXPECT_TRUE(plots->ui_trend->IsShownOnScreen());
    EXPECT_GE(plots->ui_histogram->GetSize().y, plots->ui_histogram->FromDIP(100));
    EXPECT_EQ(plots->ui_cpk->GetValue(), expected_cpk(values_all));
    EXPECT_TRUE(plots->ui_note->GetLabel().StartsWith("240 values"))
        << plots->ui_note->GetLabel();

    // The limits are drawn where the plot's mapping puts them, both inside
    // the drawn area, the lower left of the upper.
    const ItemPlot& histogram = *plots->ui_histogram;
    const wxRect area = histogram.area();
    const double lower_x = histogram.x_of(kLower), upper_x = histogram.x_of(kUpper);
    EXPECT_GT(lower_x, area.x);
    EXPECT_LT(upper_x, area.GetRight());
    EXPECT_LT(lower_x + 20, upper_x);
    wxImage image = rendered(histogram);
    EXPECT_TRUE(vertical_line_at(image, area, lower_x, ItemPlot::limit_colour()));
    EXPECT_TRUE(vertical_line_at(image, area, upper_x, ItemPlot::limit_colour()));
    EXPECT_FALSE(vertical_line_at(image, area, (lower_x + upper_x) / 2, ItemPlot::limit_colour()));
    // Every value lies between the axis' ends.
    EXPECT_LE(histogram.x_min(), *std::min_element(values_all.begin(), values_all.end()));
    EXPECT_GE(histogram.x_max(), *std::max_element(values_all.begin(), values_all.end()));

    const ItemPlot& trend = *plots->ui_trend;
    image = rendered(trend);
    EXPECT_TRUE(horizontal_line_at(image, trend.area(), trend.y_of(kUpper), ItemPlot::limit_colour()));
    EXPECT_TRUE(horizontal_line_at(image, trend.area(), trend.y_of(kLower), ItemPlot::limit_colour()));
    EXPECT_LT(trend.y_of(kUpper), trend.y_of(kLower));

    // Another cell: the figures follow the filter.
    int cell2 = -1;
    for (unsigned i = 0; i < panel->ui_cell_filter->GetCount(); ++i)
        if (panel->ui_cell_filter->GetString(i) == "Cell 2") cell2 = int(i);
    ASSERT_GE(cell2, 0);
    choose(panel->ui_cell_filter, cell2);
    pump(50);
    EXPECT_EQ(plots->ui_cpk->GetValue(), expected_cpk(values_cell2));
    EXPECT_TRUE(plots->ui_note->GetLabel().StartsWith("60 values")) << plots->ui_note->GetLabel();

    // The totals take the place of the item's figures and pictures.
    choose(panel->ui_statistics_analyzer, 1);
    pump(50);
    EXPECT_FALSE(plots->ui_histogram->IsShownOnScreen());
    choose(panel->ui_statistics_analyzer, 0);
    pump(50);
    EXPECT_TRUE(plots->ui_histogram->IsShownOnScreen());
}

TEST_F(ItemPlotView, OneValueShowsADashAndSaysWhy) {
    StationViewerPanel* panel = open("Amplifier");
    ItemPlotPanel* plots = panel->ui_item_plot;
    panel->ui_history->SetGridCursor(0, 0);
    pump(30);
    panel->ui_assertions->SetGridCursor(0, 0);
    pump(30);
    EXPECT_EQ(plots->ui_cp->GetValue(), L"\u2014");
    EXPECT_EQ(plots->ui_cpk->GetValue(), L"\u2014");
    EXPECT_EQ(plots->ui_sigma->GetValue(), L"\u2014");
    EXPECT_EQ(plots->ui_cpk->GetToolTipText(), "needs 2 values");
    EXPECT_TRUE(plots->ui_note->GetLabel().Contains("needs 2 values")) << plots->ui_note->GetLabel();
    for (wxTextCtrl* field : {plots->ui_mean, plots->ui_sigma, plots->ui_cp, plots->ui_cpk}) {
        EXPECT_FALSE(field->GetValue().Lower().Contains("inf")) << field->GetValue();
        EXPECT_FALSE(field->GetValue().Lower().Contains("nan")) << field->GetValue();
    }
    // One value is still a bar and a point.
    EXPECT_TRUE(plots->ui_histogram->has_data());
    EXPECT_TRUE(plots->ui_trend->has_data());
    EXPECT_TRUE(vertical_line_at(rendered(*plots->ui_histogram), plots->ui_histogram->area(),
                                 plots->ui_histogram->x_of(kUpper), ItemPlot::limit_colour()));
}
