// SPDX-License-Identifier: MIT
#include "xrc_windows.h"

#include <stdexcept>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/radiobox.h>
#include <wx/splitter.h>
#include <wx/filename.h>
#include <wx/gauge.h>
#include <wx/grid.h>
#include <wx/notebook.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

namespace atsui_bench {

namespace {

struct Column {
    const char* label;
    int width;
};

constexpr Column kHistoryColumns[] = {{"Begin Time", 150},
                                      {"End Time", 150},
                                      {"Serial Number", 200},
                                      {"Result", 150},
                                      {"Description", 200}};

constexpr Column kTestItemColumns[] = {{"Item Name", 300}, {"Value", 150}, {"Lower", 100},
                                       {"Upper", 100},     {"Unit", 100},  {"Result", 100}};

// XRC creates a grid without a table; a host sets it up in code, with the
// calls the compiled windows make.
void set_up_grid(wxGrid* grid, const Column* columns, int count, int row_label_size) {
    grid->CreateGrid(0, count);
    grid->EnableEditing(false);
    grid->EnableGridLines(true);
    grid->EnableDragGridSize(false);
    grid->SetMargins(0, 0);
    for (int col = 0; col < count; ++col) grid->SetColSize(col, columns[col].width);
    grid->EnableDragColMove(false);
    grid->EnableDragColSize(true);
    for (int col = 0; col < count; ++col) grid->SetColLabelValue(col, columns[col].label);
    grid->SetColLabelSize(30);
    grid->SetColLabelAlignment(wxALIGN_CENTER, wxALIGN_CENTER);
    grid->EnableDragRowSize(false);
    grid->SetRowLabelSize(row_label_size);
    grid->SetRowLabelAlignment(wxALIGN_CENTER, wxALIGN_CENTER);
    grid->SetDefaultCellAlignment(wxALIGN_LEFT, wxALIGN_CENTER);
}

template <int N>
void set_up_grid(wxGrid* grid, const Column (&columns)[N], int row_label_size) {
    set_up_grid(grid, columns, N, row_label_size);
}

template <typename T>
T* member(wxWindow* root, const char* name) {
    T* found = dynamic_cast<T*>(root->FindWindow(XRCID(name)));
    if (!found) throw std::runtime_error(std::string("XRC document lacks ") + name);
    return found;
}

}  // namespace

bool load_xrc_documents() {
    wxXmlResource* res = wxXmlResource::Get();
    // A host in production does not want a stat() of the file on every load.
    res->SetFlags(res->GetFlags() | wxXRC_NO_RELOADING);
    res->InitAllHandlers();
    const wxString dir = wxString::FromUTF8(ATSUI_BENCH_XRC_DIR);
    return res->LoadFile(wxFileName(dir, "cell.xrc")) &&
           res->LoadFile(wxFileName(dir, "test_data_viewer_panel.xrc"));
}

XrcCell::XrcCell(wxWindow* parent) {
    if (!wxXmlResource::Get()->LoadPanel(this, parent, "Cell"))
        throw std::runtime_error("XRC: no panel \"Cell\"");
    ui_refresh_timer.SetOwner(this, ui_refresh_timer.GetId());
    ui_blink_timer.SetOwner(this, ui_blink_timer.GetId());

    ui_other_info_panel = member<wxPanel>(this, "ui_other_info_panel");
    ui_other_info_sizer =
        static_cast<wxBoxSizer*>(ui_other_info_panel->GetSizer()->GetItem(size_t{0})->GetSizer());
    m_staticline11 = member<wxStaticLine>(this, "m_staticline11");
    ui_statistics_panel = member<wxPanel>(this, "ui_statistics_panel");
    m_staticText2 = member<wxStaticText>(this, "m_staticText2");
    ui_ok_count = member<wxTextCtrl>(this, "ui_ok_count");
    m_staticText3 = member<wxStaticText>(this, "m_staticText3");
    ui_ng_count = member<wxTextCtrl>(this, "ui_ng_count");
    m_staticText4 = member<wxStaticText>(this, "m_staticText4");
    ui_ok_percent = member<wxTextCtrl>(this, "ui_ok_percent");
    ui_serial_number_panel = member<wxPanel>(this, "ui_serial_number_panel");
    m_staticText1 = member<wxStaticText>(this, "m_staticText1");
    ui_serial_number = member<wxTextCtrl>(this, "ui_serial_number");
    ui_start = member<wxButton>(this, "ui_start");
    ui_abort = member<wxButton>(this, "ui_abort");
    ui_script_panel = member<wxPanel>(this, "ui_script_panel");
    m_staticText5 = member<wxStaticText>(this, "m_staticText5");
    ui_script_path = member<wxTextCtrl>(this, "ui_script_path");
    ui_browse_script = member<wxButton>(this, "ui_browse_script");
    ui_prompt = member<wxButton>(this, "ui_prompt");
    ui_view_notebook = member<wxNotebook>(this, "ui_view_notebook");
    ui_assert_panel = member<wxPanel>(this, "ui_assert_panel");
    ui_assertions = member<wxGrid>(this, "ui_assertions");
    ui_logger_panel = member<wxPanel>(this, "ui_logger_panel");
    ui_test_logger = member<wxTextCtrl>(this, "ui_test_logger");
    ui_history_panel = member<wxPanel>(this, "ui_history_panel");
    ui_history_grid = member<wxGrid>(this, "ui_history_grid");
    ui_cell_name = member<wxStaticText>(this, "ui_cell_name");
    ui_elapse_time = member<wxTextCtrl>(this, "ui_elapse_time");
    ui_gauge = member<wxGauge>(this, "ui_gauge");
    ui_image_panel = member<wxPanel>(this, "ui_image_panel");
    m_staticline2 = member<wxStaticLine>(this, "m_staticline2");
    ui_bitmap = member<wxStaticBitmap>(this, "ui_bitmap");

    set_up_grid(ui_assertions, nullptr, 0, 50);
    set_up_grid(ui_history_grid, kHistoryColumns, 80);

    Bind(wxEVT_TIMER, &XrcCell::on_refresh_timer_event, this, ui_refresh_timer.GetId());
    Bind(wxEVT_TIMER, &XrcCell::on_blink_timer_event, this, ui_blink_timer.GetId());
    ui_serial_number->Bind(wxEVT_TEXT_ENTER, &XrcCell::on_start_cell_test, this);
    ui_start->Bind(wxEVT_BUTTON, &XrcCell::on_start_cell_test, this);
    ui_abort->Bind(wxEVT_BUTTON, &XrcCell::on_abort_cell_test, this);
    ui_browse_script->Bind(wxEVT_BUTTON, &XrcCell::on_browse_script, this);
}

namespace {

// The compiled panel's one-shot sash set-up, which XRC cannot express.
template <typename Panel>
void set_up_sash_once(Panel* panel, wxSplitterWindow* splitter,
                      void (Panel::*handler)(wxIdleEvent&)) {
    const bool placed = panel->GetContainingSizer() || !panel->GetParent()->GetSizer();
    if (!placed || !splitter->IsShownOnScreen()) return;
    splitter->SetSashPosition(0);
    splitter->Unbind(wxEVT_IDLE, handler, panel);
}

}  // namespace

XrcViewerPanel::XrcViewerPanel(wxWindow* parent) {
    if (!wxXmlResource::Get()->LoadPanel(this, parent, "TestDataViewerPanel"))
        throw std::runtime_error("XRC: no panel \"TestDataViewerPanel\"");
    m_splitter2 = member<wxSplitterWindow>(this, "m_splitter2");
    m_splitter2->Bind(wxEVT_IDLE, &XrcViewerPanel::m_splitter2OnIdle, this);
    m_panel15 = member<wxPanel>(this, "m_panel15");
    m_button9 = member<wxButton>(this, "m_button9");
    m_button10 = member<wxButton>(this, "m_button10");
    m_button11 = member<wxButton>(this, "m_button11");
    m_button12 = member<wxButton>(this, "m_button12");
    m_staticText33 = member<wxStaticText>(this, "m_staticText33");
    ui_cell_filter = member<wxChoice>(this, "ui_cell_filter");
    ui_statistics_analyzer = member<wxRadioBox>(this, "ui_statistics_analyzer");
    ui_statistics_analyzer->Hide();
    m_splitter1 = member<wxSplitterWindow>(this, "m_splitter1");
    m_splitter1->Bind(wxEVT_IDLE, &XrcViewerPanel::m_splitter1OnIdle, this);
    m_panel12 = member<wxPanel>(this, "m_panel12");
    ui_history = member<wxGrid>(this, "ui_history");
    m_panel13 = member<wxPanel>(this, "m_panel13");
    ui_assertions = member<wxGrid>(this, "ui_assertions");
    ui_statistics_and_analyze_panel = member<wxPanel>(this, "ui_statistics_and_analyze_panel");
    ui_statistics_and_analyze_sizer =
        static_cast<wxBoxSizer*>(ui_statistics_and_analyze_panel->GetSizer());
    ui_single_item_analyze_panel = member<wxPanel>(this, "ui_single_item_analyze_panel");
    m_staticText161 = member<wxStaticText>(this, "m_staticText161");
    ui_single_item_max = member<wxTextCtrl>(this, "ui_single_item_max");
    m_staticText171 = member<wxStaticText>(this, "m_staticText171");
    ui_single_item_min = member<wxTextCtrl>(this, "ui_single_item_min");
    m_staticText181 = member<wxStaticText>(this, "m_staticText181");
    ui_single_item_average = member<wxTextCtrl>(this, "ui_single_item_average");
    m_staticText34 = member<wxStaticText>(this, "m_staticText34");
    ui_single_item_middle = member<wxTextCtrl>(this, "ui_single_item_middle");
    m_staticText35 = member<wxStaticText>(this, "m_staticText35");
    ui_single_item_variance = member<wxTextCtrl>(this, "ui_single_item_variance");
    m_staticText37 = member<wxStaticText>(this, "m_staticText37");
    ui_single_item_std_deviation = member<wxTextCtrl>(this, "ui_single_item_std_deviation");
    m_staticText162 = member<wxStaticText>(this, "m_staticText162");
    ui_single_item_ok_count = member<wxTextCtrl>(this, "ui_single_item_ok_count");
    m_staticText172 = member<wxStaticText>(this, "m_staticText172");
    ui_single_item_ng_count = member<wxTextCtrl>(this, "ui_single_item_ng_count");
    m_staticText182 = member<wxStaticText>(this, "m_staticText182");
    ui_single_item_yield = member<wxTextCtrl>(this, "ui_single_item_yield");
    ui_total_statistics_panel = member<wxPanel>(this, "ui_total_statistics_panel");
    m_staticText16 = member<wxStaticText>(this, "m_staticText16");
    ui_total_statistics_ok_count = member<wxTextCtrl>(this, "ui_total_statistics_ok_count");
    m_staticText17 = member<wxStaticText>(this, "m_staticText17");
    ui_total_statistics_ng_count = member<wxTextCtrl>(this, "ui_total_statistics_ng_count");
    m_staticText18 = member<wxStaticText>(this, "m_staticText18");
    ui_total_statistics_yield = member<wxTextCtrl>(this, "ui_total_statistics_yield");
    m_staticText19 = member<wxStaticText>(this, "m_staticText19");
    ui_total_statistics_max_test_time =
        member<wxTextCtrl>(this, "ui_total_statistics_max_test_time");
    m_staticText20 = member<wxStaticText>(this, "m_staticText20");
    ui_total_statistics_min_test_time =
        member<wxTextCtrl>(this, "ui_total_statistics_min_test_time");
    m_staticText21 = member<wxStaticText>(this, "m_staticText21");
    ui_total_statistics_average_test_time =
        member<wxTextCtrl>(this, "ui_total_statistics_average_test_time");

    set_up_grid(ui_history, kHistoryColumns, 50);
    set_up_grid(ui_assertions, kTestItemColumns, 50);
    for (wxPanel* pane : {m_panel12, m_panel13, m_panel15}) pane->Layout();
    Layout();

    m_button9->Bind(wxEVT_BUTTON, &XrcViewerPanel::on_clear_data, this);
    m_button10->Bind(wxEVT_BUTTON, &XrcViewerPanel::on_export_data, this);
    m_button11->Bind(wxEVT_BUTTON, &XrcViewerPanel::on_import_data, this);
    m_button12->Bind(wxEVT_BUTTON, &XrcViewerPanel::on_save_single_uut_test_data, this);
    ui_cell_filter->Bind(wxEVT_CHOICE, &XrcViewerPanel::on_cell_filter_changed, this);
    ui_statistics_analyzer->Bind(wxEVT_RADIOBOX, &XrcViewerPanel::on_refresh_statistics_analyzer,
                                 this);
}

void XrcViewerPanel::m_splitter2OnIdle(wxIdleEvent&) {
    set_up_sash_once(this, m_splitter2, &XrcViewerPanel::m_splitter2OnIdle);
}

void XrcViewerPanel::m_splitter1OnIdle(wxIdleEvent&) {
    set_up_sash_once(this, m_splitter1, &XrcViewerPanel::m_splitter1OnIdle);
}

}  // namespace atsui_bench
