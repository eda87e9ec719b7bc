// SPDX-License-Identifier: MIT
#include "host/station_launcher.h"

#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/dirdlg.h>
#include <wx/filename.h>
#include <wx/listctrl.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/statbmp.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "host/command_line.h"
#include "host/look.h"
#include "logic/places.h"
#include "host/settings.h"
#include "logic/project.h"

namespace station {

namespace {

wxString learn_title() { return wxString::Format(_("Learn %s"), kProductName); }

}  // namespace

StationLauncher::StationLauncher(const std::string& folder, OpenHandler on_open)
    : ATSLauncher(nullptr), on_open_(std::move(on_open)) {
    m_bitmap4->SetBitmap(
        wxArtProvider::GetBitmap(wxART_EXECUTABLE_FILE, wxART_OTHER, wxSize(48, 48)));
    // The layer's header names another product; the station says its own.
    m_staticText34->SetLabel(kProductName);
    m_staticText35->SetLabel(wxString::Format(_("Version %s"), station_version()));
    ui_button_learn->SetLabel(learn_title());
    Layout();
    ui_project_list->Bind(wxEVT_LIST_ITEM_SELECTED, &StationLauncher::on_selected, this);
    ui_project_list->Bind(wxEVT_LIST_ITEM_ACTIVATED, &StationLauncher::on_activated, this);
    // Closed without a choice: nothing else keeps the program alive.
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Destroy(); });
    Bind(wxEVT_CHAR_HOOK, &StationLauncher::on_key, this);
    show_folder(folder);
}

void StationLauncher::show_folder(const std::string& folder) {
    folder_ = folder;
    projects_ = find_projects(folder);
    ui_project_list->DeleteAllItems();
    // find_projects sorts, and the list keeps that order (it sorts only through SortItems).
    for (std::size_t i = 0; i < projects_.size(); ++i) {
        const long item =
            ui_project_list->InsertItem(long(i), wxFileName(from_utf8(projects_[i])).GetName());
        ui_project_list->SetItemData(item, long(i));
    }
    ui_project_path->Clear();
    SetTitle(wxString::Format(_("Welcome to %s"), kProductName) + " - " + from_utf8(folder));
}

void StationLauncher::choose(const std::string& project) {
    if (project.empty() || !wxFileName::FileExists(from_utf8(project))) return;
    show_path(project);
    const wxFileName wanted(from_utf8(project));
    for (std::size_t i = 0; i < projects_.size(); ++i)
        if (wxFileName(from_utf8(projects_[i])).SameAs(wanted)) {
            ui_project_list->SetItemState(long(i), wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                                          wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
            ui_project_list->EnsureVisible(long(i));
        }
}

void StationLauncher::on_selected(wxListEvent& event) {
    const long index = long(ui_project_list->GetItemData(event.GetIndex()));
    if (index >= 0 && index < long(projects_.size()))
        show_path(projects_[index]);
}

// A long folder would otherwise hide the file name, which is what the
// operator checks before opening.
void StationLauncher::show_path(const std::string& path) {
    ui_project_path->SetValue(from_utf8(path));
    ui_project_path->SetInsertionPointEnd();
}

void StationLauncher::on_activated(wxListEvent& event) {
    on_selected(event);
    open_chosen();
}

// The launcher has no OK or Cancel button for the dialog's own Return and
// Escape to press: Return opens the chosen project wherever the keyboard is,
// except on a button, which Return presses; Escape closes without a choice.
void StationLauncher::on_key(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    if (event.HasAnyModifiers()) {
        event.Skip();
    } else if (key == WXK_ESCAPE) {
        Close();
    } else if ((key == WXK_RETURN || key == WXK_NUMPAD_ENTER) &&
               !dynamic_cast<wxButton*>(wxWindow::FindFocus())) {
        open_chosen();
    } else {
        event.Skip();
    }
}

void StationLauncher::on_click_projects(wxCommandEvent&) { show_folder(folder_); }

void StationLauncher::on_click_learn(wxCommandEvent&) {
    const wxString readme = from_utf8(manual_path());
    if (readme.empty()) {
        wxString searched;
        for (const std::string& folder : data_folders()) searched += "\n" + from_utf8(folder);
        wxLogWarning("The station's manual (README.md) was not found");
        wxMessageBox(_("The manual, README.md, is in none of these folders:") + searched,
                     learn_title(), wxOK | wxICON_INFORMATION, this);
        return;
    }
    if (!wxLaunchDefaultApplication(readme))
        wxMessageBox(wxString::Format(_("The README is at %s"), readme), learn_title(), wxOK | wxICON_INFORMATION, this);
}

void StationLauncher::on_browse(wxCommandEvent&) {
    wxDirDialog dialog(this, _("Folder of test projects"), from_utf8(folder_),
                       wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return;
    show_folder(to_utf8(dialog.GetPath()));
    if (Settings* settings = Settings::current())
        settings->set_folder("projects", dialog.GetPath());
}

void StationLauncher::on_open(wxCommandEvent&) { open_chosen(); }

void StationLauncher::open_chosen() {
    const std::string path = to_utf8(ui_project_path->GetValue());
    if (path.empty()) {
        wxMessageBox(_("Choose a project in the list first."), _("Open"), wxOK | wxICON_INFORMATION,
                     this);
        return;
    }
    try {
        load_project(path);
    } catch (const ProjectError& error) {
        wxMessageBox(from_utf8(error.what()), _("Cannot open the project"), wxOK | wxICON_ERROR,
                     this);
        return;
    }
    if (on_open_ && on_open_(path)) Destroy();
}

}  // namespace station
