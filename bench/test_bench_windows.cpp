// SPDX-License-Identifier: MIT
// The comparators are only worth their ratios if they build the same windows
// as ours: these checks hold the XRC documents and the floor to that.

#include <fstream>
#include <iterator>
#include <map>
#include <vector>

#include <atsui/atsui.h>
#include <wx/filename.h>
#include <wx/grid.h>
#include <wx/listctrl.h>
#include <wx/notebook.h>
#include <wx/splitter.h>

#include "support/harness.h"
#include "measure.h"
#include "window_tree.h"
#include "windows.h"
#include "xrc_windows.h"

using namespace atsui_test;
using namespace atsui_bench;

namespace {

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

// Where every window of the tree sits, by its path of child indices. An
// unshown notebook leaves its pages as they were built, so pages count by
// their best sizes, which decide the notebook's.
void collect_rects(wxWindow* w, const std::string& path, std::map<std::string, wxRect>& out) {
    if (wxDynamicCast(w->GetParent(), wxNotebook)) {
        out[path] = wxRect(w->GetBestSize());
        return;
    }
    if (!w->IsShown()) {
        out[path] = wxRect();  // where a hidden window sits is nobody's business
        return;
    }
    out[path] = w->GetRect();
    if (wxDynamicCast(w, wxGrid)) return;
    int i = 0;
    for (wxWindow* child : w->GetChildren())
        collect_rects(child, path + "/" + std::to_string(i++), out);
}

// The grid's and the list control's inner windows are the toolkit's own.
bool any_sizer(wxWindow* w) {
    if (wxDynamicCast(w, wxGrid) || wxDynamicCast(w, wxListCtrl)) return false;
    if (w->GetSizer()) return true;
    for (wxWindow* child : w->GetChildren())
        if (!child->IsTopLevel() && any_sizer(child)) return true;
    return false;
}

}  // namespace

class BenchWindowsTest : public WindowTest {
protected:
    static void SetUpTestSuite() {
        static const bool loaded = load_xrc_documents();
        ASSERT_TRUE(loaded) << "XRC documents in " << ATSUI_BENCH_XRC_DIR;
    }
};

TEST_F(BenchWindowsTest, RecordingsTellWindowsApart) {
    auto* a = new tov_atsui::Cell(top);
    auto* b = new tov_atsui::Cell(top);
    EXPECT_TRUE(differences(record(a), record(b), true).empty());

    b->ui_start->SetLabel("Go");
    b->ui_script_panel->Show();
    b->ui_prompt->SetBackgroundColour(*wxRED);
    const std::string diff = joined(differences(record(a), record(b), true));
    EXPECT_NE(diff.find("label Start != Go"), std::string::npos) << diff;
    EXPECT_NE(diff.find("shown 0 != 1"), std::string::npos) << diff;
    EXPECT_NE(diff.find("background"), std::string::npos) << diff;
    EXPECT_TRUE(differences(record(a), record(b), false).size() == 2) << diff;
}

TEST_F(BenchWindowsTest, XrcTwinsHaveTheWidgetsFontsAndColoursOfOurs) {
    for (const WindowKind& kind : window_kinds()) {
        if (!kind.xrc) continue;
        SCOPED_TRACE(kind.name);
        const WindowNode expected = record(kind.ours(top));
        EXPECT_GT(count_windows(expected), 30);
        EXPECT_EQ(joined(differences(expected, record(kind.xrc(top)), true)), "");
    }
    auto* cell = new XrcCell(top);
    EXPECT_EQ(cell->ui_history_grid->GetNumberCols(), 5);
    EXPECT_EQ(cell->ui_history_grid->GetColLabelValue(2), "Serial Number");
    EXPECT_EQ(cell->ui_assertions->GetRowLabelSize(), 50);
    EXPECT_NE(cell->ui_refresh_timer.GetId(), cell->ui_blink_timer.GetId());
    EXPECT_EQ(cell->ui_other_info_sizer->GetOrientation(), wxHORIZONTAL);
    auto* viewer = new XrcViewerPanel(top);
    EXPECT_EQ(viewer->ui_assertions->GetColLabelValue(0), "Item Name");
    EXPECT_EQ(viewer->ui_history->GetColSize(2), 200);
}

// Compared unshown at fixed sizes: once shown, wxGTK gives the 16-point time
// field of a cell built after others were destroyed a size that drifts from
// instance to instance, compiled Cells included.
TEST_F(BenchWindowsTest, XrcTwinsAreLaidOutLikeOurs) {
    auto compare_at = [&](wxWindow* ours, wxWindow* xrc, const wxSize& size) {
        std::map<std::string, wxRect> ours_rects, xrc_rects;
        for (wxWindow* w : {ours, xrc}) {
            w->SetSize(size);
            w->Layout();
        }
        collect_rects(ours, "", ours_rects);
        collect_rects(xrc, "", xrc_rects);
        ASSERT_EQ(xrc_rects.size(), ours_rects.size());
        for (const auto& [path, rect] : ours_rects)
            EXPECT_EQ(xrc_rects.at(path), rect)
                << "window at " << path << " at " << size.x << "x" << size.y;
    };

    auto* ours = new tov_atsui::Cell(top);
    auto* xrc = new XrcCell(top);
    EXPECT_EQ(xrc->GetBestSize(), ours->GetBestSize());
    compare_at(ours, xrc, wxSize(900, 700));
    // The regions built hidden take the same places once a host shows them.
    for (wxPanel* p : {ours->ui_other_info_panel, ours->ui_statistics_panel, ours->ui_script_panel,
                       ours->ui_image_panel, xrc->ui_other_info_panel, xrc->ui_statistics_panel,
                       xrc->ui_script_panel, xrc->ui_image_panel})
        p->Show();
    compare_at(ours, xrc, wxSize(700, 500));

    auto* ours_viewer = new tov_atsui::TestDataViewerPanel(top);
    auto* xrc_viewer = new XrcViewerPanel(top);
    EXPECT_EQ(xrc_viewer->GetSize(), ours_viewer->GetSize());
    compare_at(ours_viewer, xrc_viewer, wxSize(1200, 640));
}

TEST_F(BenchWindowsTest, XrcViewerSetsItsSashesLikeOurs) {
    auto* ours = new tov_atsui::TestDataViewerPanel(top);
    auto* xrc = new XrcViewerPanel(top);
    // Side by side, each wider than its best width, so that they get the
    // same room.
    top->SetSizer(new wxBoxSizer(wxHORIZONTAL));
    top->GetSizer()->Add(ours, 1, wxEXPAND);
    top->GetSizer()->Add(xrc, 1, wxEXPAND);
    top->SetClientSize(2 * ours->GetBestSize().x + 100, 700);
    top->Show();
    ASSERT_TRUE(pump_until([&] { return ours->m_splitter1->GetSashPosition() > 10; }));
    pump(50);
    EXPECT_EQ(xrc->m_splitter2->GetSashPosition(), ours->m_splitter2->GetSashPosition());
    EXPECT_EQ(xrc->m_splitter1->GetSashPosition(), ours->m_splitter1->GetSashPosition());
}

TEST_F(BenchWindowsTest, FloorHasTheSameWidgetsAndNoSizers) {
    record_floors(top);
    for (const WindowKind& kind : window_kinds()) {
        SCOPED_TRACE(kind.name);
        wxWindow* floor = build_floor(kind, top);
        EXPECT_EQ(joined(differences(kind.recording, record(floor), false)), "");
        EXPECT_FALSE(any_sizer(floor));
        if (kind.name == "Frame") {
            // The station series puts its cells into the floor's cell area.
            wxWindow* area = floor->GetChildren()[station_cell_area_index()];
            auto* ours = new tov_atsui::Frame(nullptr);
            EXPECT_EQ(area->GetChildren().size(), ours->ui_cell_panel->GetChildren().size());
            destroy_window(ours);
        }
        destroy_window(floor);
    }
}

TEST_F(BenchWindowsTest, DestroyedFramesAndDialogsAreGoneAtOnce) {
    // A measurement that left them alive would time an ever larger program.
    const size_t before = wxTopLevelWindows.size();
    for (WindowKind& kind : window_kinds()) {
        if (kind.panel) continue;
        SCOPED_TRACE(kind.name);
        destroy_window(kind.ours(top));
        EXPECT_EQ(wxTopLevelWindows.size(), before);
    }
}

// The report's arithmetic, on medians whose answers are known.
class BenchReport : public ::testing::Test {
protected:
    void SetUp() override {
        dir = wxFileName::CreateTempFileName("atsui-bench-report");
        wxRemoveFile(dir);
        wxMkdir(dir);
        md = (dir + "/performance.md").utf8_string();
        dat = (dir + "/cells.dat").utf8_string();
    }
    void TearDown() override { wxFileName::Rmdir(dir, wxPATH_RMDIR_RECURSIVE); }

    void window(const char* name, bool shown, double ours, double xrc, double floor) {
        results.timings[window_bench_name(name, shown, Variant::ours)] = {ours, ours, {}, 9};
        if (xrc > 0)
            results.timings[window_bench_name(name, shown, Variant::xrc)] = {xrc, xrc, {}, 9};
        results.timings[window_bench_name(name, shown, Variant::floor)] = {floor, floor, {}, 9};
    }

    // Station totals a + b·N + c·N² for each variant.
    void station(Variant v, double a, double b, double c = 0) {
        for (int n : kCellCounts)
            results.timings[station_bench_name(v, n)] = {a + b * n + c * n * n, 0, {}, 9};
    }

    std::string report() {
        EXPECT_TRUE(write_report(results, md, dat, "cells.png", ""));
        std::ifstream in(md);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    wxString dir;
    std::string md, dat;
    Results results;
};

TEST_F(BenchReport, RatiosAndPerCellCostComeFromTheSameRunsMedians) {
    window("Cell", false, 3, 4, 2);
    window("Cell", true, 6, 5, 3);
    window("Frame", false, 1.1, 0, 1);
    station(Variant::ours, 20, 2);
    station(Variant::xrc, 20, 3);
    station(Variant::floor, 10, 1);
    results.memory.push_back(
        {"Cell",
         Variant::ours,
         {{0, 500, 50}, {1, 1700, 170}, {2, 2400, 240}, {4, 3800, 380}, {8, 6600, 660}}});
    const std::string text = report();

    EXPECT_NE(text.find("| Cell | 3.00 | 4.00 | 2.00 | 0.75 | 1.50 |"), std::string::npos) << text;
    EXPECT_NE(text.find("| Frame | 1.10 | – | 1.00 | – | 1.10 |"), std::string::npos) << text;
    EXPECT_NE(text.find("ours 2.00 ms, XRC 3.00 ms, floor 1.00 ms"), std::string::npos) << text;
    EXPECT_NE(text.find("per-cell cost at 8 cells: 1.00"), std::string::npos) << text;
    EXPECT_NE(text.find("| 8 | 36.00 |"), std::string::npos) << text;
    // The first window's one-time set-up stays out of the slope.
    EXPECT_NE(text.find("| Cell | ours | 1,2,4,8 | 700 | 70 |"), std::string::npos) << text;
    EXPECT_NE(text.find("largest ratio is 2.00 (Cell (shown))"), std::string::npos) << text;
    EXPECT_NE(text.find("document: not met"), std::string::npos) << text;
    EXPECT_NE(text.find("(per-cell cost at 64 within 1.2 × that at 8): met"), std::string::npos);

    std::ifstream plot(dat);
    std::string line, rows;
    while (std::getline(plot, line)) rows += line + "\n";
    EXPECT_NE(rows.find("8 36 44 18\n"), std::string::npos) << rows;
}

TEST_F(BenchReport, CostThatGrowsFasterThanTheCellsFailsTheLinearGoal) {
    station(Variant::ours, 20, 2, 0.05);
    const std::string text = report();
    // Per cell: 2.4 at 8 cells, 5.2 at 64.
    EXPECT_NE(text.find("(per-cell cost at 64 within 1.2 × that at 8): not met (2.17)"),
              std::string::npos)
        << text;
}
