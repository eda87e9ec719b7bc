#include "atsui/viewer/test_data_viewer_panel.h"

namespace tov_atsui {

// Not built yet.
TestDataViewerPanel::TestDataViewerPanel(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                                         const wxSize& size, long style, const wxString& name)
    : wxPanel(parent, id, pos, size, style, name) {}

void TestDataViewerPanel::on_clear_data(wxCommandEvent& event) { event.Skip(); }
void TestDataViewerPanel::on_export_data(wxCommandEvent& event) { event.Skip(); }
void TestDataViewerPanel::on_import_data(wxCommandEvent& event) { event.Skip(); }
void TestDataViewerPanel::on_save_single_uut_test_data(wxCommandEvent& event) { event.Skip(); }
void TestDataViewerPanel::on_cell_filter_changed(wxCommandEvent& event) { event.Skip(); }
void TestDataViewerPanel::on_refresh_statistics_analyzer(wxCommandEvent& event) { event.Skip(); }
void TestDataViewerPanel::m_splitter2OnIdle(wxIdleEvent&) {}
void TestDataViewerPanel::m_splitter1OnIdle(wxIdleEvent&) {}

}  // namespace tov_atsui
