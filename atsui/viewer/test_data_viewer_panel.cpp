// SPDX-License-Identifier: MIT
#include "atsui/viewer/test_data_viewer_panel.h"

#include <iterator>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/grid.h>
#include <wx/radiobox.h>
#include <wx/sizer.h>
#include <wx/splitter.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "atsui/detail/accessible.h"
#include "atsui/detail/lifecycle.h"
#include "atsui/detail/look.h"
#include "atsui/detail/translation.h"

namespace tov_atsui {

using detail::kCentredItem;
using detail::make_panel;

namespace {

constexpr detail::GridColumn kTestItemColumns[] = {
    {wxTRANSLATE("Item Name"), 300}, {wxTRANSLATE("Value"), 150}, {wxTRANSLATE("Lower"), 100},
    {wxTRANSLATE("Upper"), 100},     {wxTRANSLATE("Unit"), 100},  {wxTRANSLATE("Result"), 100}};

wxButton* add_button(wxWindow* parent, const wxString& label, wxSizer* row) {
    wxButton* button = detail::make_button(parent, label);
    row->Add(button, 0, kCentredItem, 5);
    return button;
}

// A grid on its own pane, filling it without a border.
wxGrid* add_grid(wxPanel* pane, const detail::GridColumn* columns, std::size_t count) {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    auto* grid = new wxGrid(pane, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0);
    detail::set_up_readonly_grid(grid, columns, count, 50);
    sizer->Add(grid, 1, wxALL | wxEXPAND, 0);
    detail::finish_panel(pane, sizer);
    return grid;
}

// Six columns: three label and field pairs a row.
wxFlexGridSizer* make_pairs_sizer() {
    auto* sizer = new wxFlexGridSizer(0, 6, 0, 0);
    sizer->SetFlexibleDirection(wxBOTH);
    sizer->SetNonFlexibleGrowMode(wxFLEX_GROWMODE_SPECIFIED);
    return sizer;
}

// A caption and the read-only field it names.
void add_pair(wxWindow* panel, wxSizer* sizer, const char* caption, wxStaticText*& label,
              wxTextCtrl*& field) {
    label = detail::make_label(panel, detail::tr(caption));
    sizer->Add(label, 0, kCentredItem, 5);
    field = new wxTextCtrl(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                           wxTE_READONLY);
    sizer->Add(field, 0, kCentredItem, 5);
}

// Right after construction a splitter has the panel's provisional size and
// waits for the host to place the panel. Idle events reach hidden and unplaced
// windows too: a host that builds the viewer early and shows it later, or
// places it some time after creating it, would have the sash centred in that
// provisional size, and SetSashPosition also drops the toolkit's own pending
// request to centre the sash on the next resize. The one-shot set-up therefore
// waits until the splitter is on screen and the panel has been placed: put in
// a sizer, sized by hand, or left where it is because nothing else will place
// it (its parent has no sizer, or the host gave the panel its full size).
//
// The size the panel had when it was built travels with the idle binding, so
// it goes when the binding does.
class BuiltSize : public wxObject {
public:
    wxSize size = wxDefaultSize;  // wxDefaultSize: the host gave the final size
};

bool is_placed(const wxWindow* panel, const BuiltSize* built) {
    if (panel->GetContainingSizer() || !panel->GetParent()->GetSizer()) return true;
    return !built || built->size == wxDefaultSize || panel->GetSize() != built->size;
}

BuiltSize* bind_sash_set_up(TestDataViewerPanel* panel, wxSplitterWindow* splitter,
                            void (TestDataViewerPanel::*handler)(wxIdleEvent&)) {
    auto* built = new BuiltSize;
    splitter->Bind(wxEVT_IDLE, handler, panel, wxID_ANY, wxID_ANY, built);
    return built;
}

void set_up_sash_once(TestDataViewerPanel* panel, wxSplitterWindow* splitter,
                      void (TestDataViewerPanel::*handler)(wxIdleEvent&), wxIdleEvent& event) {
    const auto* built = dynamic_cast<const BuiltSize*>(event.GetEventUserData());
    if (!splitter->IsShownOnScreen() || !is_placed(panel, built)) return;
    splitter->SetSashPosition(0);
    splitter->Unbind(wxEVT_IDLE, handler, panel);
}

}  // namespace

TestDataViewerPanel::TestDataViewerPanel(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                                         const wxSize& size, long style, const wxString& name)
    : wxPanel(detail::require_parent(parent, "TestDataViewerPanel"), id, pos, size,
             detail::panel_style(style), name) {
    auto* ui_root_sizer = new wxBoxSizer(wxHORIZONTAL);

    m_splitter2 = new wxSplitterWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                       wxSP_3D | wxSP_BORDER | wxSP_LIVE_UPDATE);
    BuiltSize* outer_built =
        bind_sash_set_up(this, m_splitter2, &TestDataViewerPanel::m_splitter2OnIdle);

    // Left pane: command row above the two grids.
    m_panel15 = make_panel(m_splitter2);
    auto* bSizer22 = new wxBoxSizer(wxVERTICAL);
    auto* bSizer24 = new wxBoxSizer(wxHORIZONTAL);

    m_button9 = add_button(m_panel15, detail::tr("清空数据"), bSizer24);
    m_button10 = add_button(m_panel15, detail::tr("导出数据"), bSizer24);
    m_button11 = add_button(m_panel15, detail::tr("导入数据"), bSizer24);
    m_button12 = detail::make_button(m_panel15, detail::tr("保存单品数据"));
    m_button12->SetToolTip(detail::tr("保存选中的单个UUT测试数据到指定的文件中，Excel文档格式"));
    bSizer24->Add(m_button12, 0, kCentredItem, 5);

    m_staticText33 = detail::make_label(m_panel15, detail::tr("Cell"));
    bSizer24->Add(m_staticText33, 0, kCentredItem, 5);
    const wxString ui_cell_filterChoices[] = {detail::tr("all")};
    ui_cell_filter =
        new wxChoice(m_panel15, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                     WXSIZEOF(ui_cell_filterChoices), ui_cell_filterChoices, wxCB_SORT);
    ui_cell_filter->SetSelection(0);
    bSizer24->Add(ui_cell_filter, 0, kCentredItem, 5);
    bSizer24->Add(0, 0, 1, wxEXPAND, 5);

    const wxString ui_statistics_analyzerChoices[] = {detail::tr("单项分析"), detail::tr("总量统计")};
    ui_statistics_analyzer =
        new wxRadioBox(m_panel15, wxID_ANY, detail::tr("数据统计与分析"), wxDefaultPosition,
                       wxDefaultSize, WXSIZEOF(ui_statistics_analyzerChoices),
                       ui_statistics_analyzerChoices, 1, wxRA_SPECIFY_ROWS);
    ui_statistics_analyzer->SetSelection(0);
    ui_statistics_analyzer->Hide();
    bSizer24->Add(ui_statistics_analyzer, 0, wxALL, 5);
    bSizer22->Add(bSizer24, 0, wxEXPAND, 5);

    // History above test items.
    m_splitter1 = new wxSplitterWindow(m_panel15, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                       wxSP_3D | wxSP_BORDER);
    BuiltSize* inner_built =
        bind_sash_set_up(this, m_splitter1, &TestDataViewerPanel::m_splitter1OnIdle);
    m_panel12 = make_panel(m_splitter1);
    ui_history = add_grid(m_panel12, detail::kHistoryColumns, std::size(detail::kHistoryColumns));
    m_panel13 = make_panel(m_splitter1);
    ui_assertions = add_grid(m_panel13, kTestItemColumns, std::size(kTestItemColumns));
    m_splitter1->SplitHorizontally(m_panel12, m_panel13, 0);
    bSizer22->Add(m_splitter1, 1, wxEXPAND, 5);
    detail::finish_panel(m_panel15, bSizer22);

    // Right pane: single-item statistics, then the hidden totals.
    ui_statistics_and_analyze_panel = make_panel(m_splitter2);
    ui_statistics_and_analyze_sizer = new wxBoxSizer(wxVERTICAL);

    ui_single_item_analyze_panel = make_panel(ui_statistics_and_analyze_panel);
    auto* fgSizer11 = make_pairs_sizer();
    wxPanel* single = ui_single_item_analyze_panel;
    add_pair(single, fgSizer11, "最大值", m_staticText161, ui_single_item_max);
    add_pair(single, fgSizer11, "最小值", m_staticText171, ui_single_item_min);
    add_pair(single, fgSizer11, "平均值", m_staticText181, ui_single_item_average);
    add_pair(single, fgSizer11, "中间值", m_staticText34, ui_single_item_middle);
    add_pair(single, fgSizer11, "方差", m_staticText35, ui_single_item_variance);
    add_pair(single, fgSizer11, "标准差", m_staticText37, ui_single_item_std_deviation);
    add_pair(single, fgSizer11, "OK数量", m_staticText162, ui_single_item_ok_count);
    add_pair(single, fgSizer11, "NG数量", m_staticText172, ui_single_item_ng_count);
    add_pair(single, fgSizer11, "通过率", m_staticText182, ui_single_item_yield);
    detail::finish_panel(single, fgSizer11);
    ui_statistics_and_analyze_sizer->Add(single, 0, wxEXPAND | wxALL, 5);

    ui_total_statistics_panel = make_panel(ui_statistics_and_analyze_panel);
    ui_total_statistics_panel->Hide();
    auto* fgSizer1 = make_pairs_sizer();
    wxPanel* total = ui_total_statistics_panel;
    add_pair(total, fgSizer1, "OK数量", m_staticText16, ui_total_statistics_ok_count);
    add_pair(total, fgSizer1, "NG数量", m_staticText17, ui_total_statistics_ng_count);
    add_pair(total, fgSizer1, "通过率", m_staticText18, ui_total_statistics_yield);
    add_pair(total, fgSizer1, "最长测试时间", m_staticText19, ui_total_statistics_max_test_time);
    add_pair(total, fgSizer1, "最短测试时间", m_staticText20, ui_total_statistics_min_test_time);
    add_pair(total, fgSizer1, "平均测试时间", m_staticText21,
             ui_total_statistics_average_test_time);
    detail::finish_panel(total, fgSizer1);
    ui_statistics_and_analyze_sizer->Add(total, 0, wxEXPAND | wxALL, 5);

    detail::finish_panel(ui_statistics_and_analyze_panel, ui_statistics_and_analyze_sizer);
    m_splitter2->SplitVertically(m_panel15, ui_statistics_and_analyze_panel, 0);

    // The panel keeps the size it was given: no Fit.
    ui_root_sizer->Add(m_splitter2, 1, wxEXPAND, 5);
    SetSizer(ui_root_sizer);
    Layout();
    if (!size.IsFullySpecified()) outer_built->size = inner_built->size = GetSize();
    detail::give_accessible_names(*this);

    // Bindings.
    m_button9->Bind(wxEVT_BUTTON, &TestDataViewerPanel::on_clear_data, this);
    m_button10->Bind(wxEVT_BUTTON, &TestDataViewerPanel::on_export_data, this);
    m_button11->Bind(wxEVT_BUTTON, &TestDataViewerPanel::on_import_data, this);
    m_button12->Bind(wxEVT_BUTTON, &TestDataViewerPanel::on_save_single_uut_test_data, this);
    ui_cell_filter->Bind(wxEVT_CHOICE, &TestDataViewerPanel::on_cell_filter_changed, this);
    ui_statistics_analyzer->Bind(wxEVT_RADIOBOX,
                                 &TestDataViewerPanel::on_refresh_statistics_analyzer, this);
}

bool TestDataViewerPanel::Reparent(wxWindowBase* new_parent) {
    return detail::prepare_reparent(this, new_parent) && wxPanel::Reparent(new_parent);
}

void TestDataViewerPanel::on_clear_data(wxCommandEvent& event) { event.Skip(); }
void TestDataViewerPanel::on_export_data(wxCommandEvent& event) { event.Skip(); }
void TestDataViewerPanel::on_import_data(wxCommandEvent& event) { event.Skip(); }
void TestDataViewerPanel::on_save_single_uut_test_data(wxCommandEvent& event) { event.Skip(); }
void TestDataViewerPanel::on_cell_filter_changed(wxCommandEvent& event) { event.Skip(); }
void TestDataViewerPanel::on_refresh_statistics_analyzer(wxCommandEvent& event) { event.Skip(); }

// Not skipped: the set-up is this panel's own business.
void TestDataViewerPanel::m_splitter2OnIdle(wxIdleEvent& event) {
    set_up_sash_once(this, m_splitter2, &TestDataViewerPanel::m_splitter2OnIdle, event);
}

void TestDataViewerPanel::m_splitter1OnIdle(wxIdleEvent& event) {
    set_up_sash_once(this, m_splitter1, &TestDataViewerPanel::m_splitter1OnIdle, event);
}

}  // namespace tov_atsui
