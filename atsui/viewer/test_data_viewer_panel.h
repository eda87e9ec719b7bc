// SPDX-License-Identifier: MIT
#pragma once

// Every member's type is complete here, as in generated wx code, so a host
// can use any member after including this header alone.
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/event.h>
#include <wx/grid.h>
#include <wx/panel.h>
#include <wx/radiobox.h>
#include <wx/sizer.h>
#include <wx/splitter.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace tov_atsui {

/// Browses recorded test data: command row, history and test-item grids
/// between two splitters, and the statistics pane.
///
/// A null parent, a parent being destroyed and a parent that cannot hold
/// children (a button, a menu bar) are refused with std::invalid_argument
/// before any window exists.
class TestDataViewerPanel : public wxPanel {
public:
    /// Builds the panel with empty grids and fields; all six arguments reach
    /// wxPanel as given (the default size asks for a height of 640).
    explicit TestDataViewerPanel(wxWindow* parent, wxWindowID id = wxID_ANY,
                                 const wxPoint& pos = wxDefaultPosition,
                                 const wxSize& size = wxSize(-1, 640), long style = wxTAB_TRAVERSAL,
                                 const wxString& name = wxEmptyString);

    /// Refuses (returns false, changes nothing) no parent and a parent inside
    /// the panel; a moved panel leaves its old parent's sizer, so add it to the new one.
    bool Reparent(wxWindowBase* new_parent) override;

    /// Splits the panel: data on the left, statistics on the right; updates live.
    wxSplitterWindow* m_splitter2;
    /// Left pane: the command row and both grids.
    wxPanel* m_panel15;
    /// "清空数据" (clear data); a click reaches on_clear_data.
    wxButton* m_button9;
    /// "导出数据" (export data); a click reaches on_export_data.
    wxButton* m_button10;
    /// "导入数据" (import data); a click reaches on_import_data.
    wxButton* m_button11;
    /// "保存单品数据" (save one unit's data, as an Excel file); a click reaches
    /// on_save_single_uut_test_data.
    wxButton* m_button12;
    /// Caption "Cell" of the cell filter.
    wxStaticText* m_staticText33;
    /// Filter by test cell, sorted, "all" selected; a change reaches on_cell_filter_changed.
    wxChoice* ui_cell_filter;
    /// Hidden selector of single-item or total statistics; a change reaches
    /// on_refresh_statistics_analyzer.
    wxRadioBox* ui_statistics_analyzer;
    /// Splits the left pane: history on top, test items below.
    wxSplitterWindow* m_splitter1;
    /// Top pane, holding ui_history.
    wxPanel* m_panel12;
    /// Read-only history, one row per tested unit: begin, end, serial number,
    /// result, description.
    wxGrid* ui_history;
    /// Bottom pane, holding ui_assertions.
    wxPanel* m_panel13;
    /// Read-only test items of a unit: name, value, lower, upper, unit, result.
    wxGrid* ui_assertions;
    /// Right pane: the statistics.
    wxPanel* ui_statistics_and_analyze_panel;
    /// Vertical sizer of the right pane, stacking the two statistics panels.
    wxBoxSizer* ui_statistics_and_analyze_sizer;

    /// Single-item analysis, shown at start.
    wxPanel* ui_single_item_analyze_panel;
    /// Caption "最大值" (maximum).
    wxStaticText* m_staticText161;
    /// Read-only maximum of the item's values.
    wxTextCtrl* ui_single_item_max;
    /// Caption "最小值" (minimum).
    wxStaticText* m_staticText171;
    /// Read-only minimum of the item's values.
    wxTextCtrl* ui_single_item_min;
    /// Caption "平均值" (average).
    wxStaticText* m_staticText181;
    /// Read-only average of the item's values.
    wxTextCtrl* ui_single_item_average;
    /// Caption "中间值" (median).
    wxStaticText* m_staticText34;
    /// Read-only median of the item's values.
    wxTextCtrl* ui_single_item_middle;
    /// Caption "方差" (variance).
    wxStaticText* m_staticText35;
    /// Read-only variance of the item's values.
    wxTextCtrl* ui_single_item_variance;
    /// Caption "标准差" (standard deviation).
    wxStaticText* m_staticText37;
    /// Read-only standard deviation of the item's values.
    wxTextCtrl* ui_single_item_std_deviation;
    /// Caption "OK数量" (OK count) of the item.
    wxStaticText* m_staticText162;
    /// Read-only number of OK results of the item.
    wxTextCtrl* ui_single_item_ok_count;
    /// Caption "NG数量" (NG count) of the item.
    wxStaticText* m_staticText172;
    /// Read-only number of NG results of the item.
    wxTextCtrl* ui_single_item_ng_count;
    /// Caption "通过率" (pass rate) of the item.
    wxStaticText* m_staticText182;
    /// Read-only pass rate of the item.
    wxTextCtrl* ui_single_item_yield;

    /// Total statistics, hidden at start.
    wxPanel* ui_total_statistics_panel;
    /// Caption "OK数量" (OK count) of all units.
    wxStaticText* m_staticText16;
    /// Read-only number of units that passed.
    wxTextCtrl* ui_total_statistics_ok_count;
    /// Caption "NG数量" (NG count) of all units.
    wxStaticText* m_staticText17;
    /// Read-only number of units that failed.
    wxTextCtrl* ui_total_statistics_ng_count;
    /// Caption "通过率" (pass rate) of all units.
    wxStaticText* m_staticText18;
    /// Read-only pass rate of all units.
    wxTextCtrl* ui_total_statistics_yield;
    /// Caption "最长测试时间" (longest test time).
    wxStaticText* m_staticText19;
    /// Read-only longest test time.
    wxTextCtrl* ui_total_statistics_max_test_time;
    /// Caption "最短测试时间" (shortest test time).
    wxStaticText* m_staticText20;
    /// Read-only shortest test time.
    wxTextCtrl* ui_total_statistics_min_test_time;
    /// Caption "平均测试时间" (average test time).
    wxStaticText* m_staticText21;
    /// Read-only average test time.
    wxTextCtrl* ui_total_statistics_average_test_time;

    /// Reached by a click on "清空数据" (clear data).
    virtual void on_clear_data(wxCommandEvent& event);
    /// Reached by a click on "导出数据" (export data).
    virtual void on_export_data(wxCommandEvent& event);
    /// Reached by a click on "导入数据" (import data).
    virtual void on_import_data(wxCommandEvent& event);
    /// Reached by a click on "保存单品数据": save the selected unit's data.
    virtual void on_save_single_uut_test_data(wxCommandEvent& event);
    /// Reached by a new choice in ui_cell_filter.
    virtual void on_cell_filter_changed(wxCommandEvent& event);
    /// Reached by a new choice in ui_statistics_analyzer.
    virtual void on_refresh_statistics_analyzer(wxCommandEvent& event);
    /// Reached by m_splitter2's idle events until the panel is placed on screen;
    /// then puts the sash in the middle once and unbinds itself. Does not skip.
    virtual void m_splitter2OnIdle(wxIdleEvent& event);
    /// Reached by m_splitter1's idle events until the panel is placed on screen;
    /// then puts the sash in the middle once and unbinds itself. Does not skip.
    virtual void m_splitter1OnIdle(wxIdleEvent& event);
};

}  // namespace tov_atsui
