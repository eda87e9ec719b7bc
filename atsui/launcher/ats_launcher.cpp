// SPDX-License-Identifier: MIT
#include "atsui/launcher/ats_launcher.h"

#include <memory>
#include <vector>

#include <wx/button.h>
#include <wx/eventfilter.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#if defined(__WXMSW__)
#include <wx/msw/wrapcctl.h>
#endif

#include "atsui/detail/accessible.h"
#include "atsui/detail/lifecycle.h"
#include "atsui/detail/look.h"
#include "atsui/detail/translation.h"

namespace tov_atsui {

using detail::make_button;

namespace {

// Label order of the project list: case-insensitive, then by case, then by
// position, so that equal labels keep the order in which they came.
struct LabelOrder {
    std::vector<wxString> labels;

    bool before(std::size_t a, std::size_t b) const {
        int c = labels[a].CmpNoCase(labels[b]);
        if (c == 0) c = labels[a].compare(labels[b]);
        return c != 0 ? c < 0 : a < b;
    }
};

int wxCALLBACK compare_by_label(wxIntPtr a, wxIntPtr b, wxIntPtr order) {
    const auto& o = *reinterpret_cast<const LabelOrder*>(order);
    const auto i = static_cast<std::size_t>(a), j = static_cast<std::size_t>(b);
    return o.before(i, j) ? -1 : o.before(j, i) ? 1 : 0;
}

// Nobody changes the selection when the list re-sorts, so the host hears
// nothing of the list's own selection and focus changes meanwhile. A filter
// runs before any handler, whenever and wherever the host bound its own.
class QuietSelection : public wxEventFilter {
public:
    explicit QuietSelection(wxListCtrl* list) : list_(list) { wxEvtHandler::AddFilter(this); }
    ~QuietSelection() override { wxEvtHandler::RemoveFilter(this); }
    QuietSelection(const QuietSelection&) = delete;
    QuietSelection& operator=(const QuietSelection&) = delete;

    int FilterEvent(wxEvent& event) override {
        const wxEventType type = event.GetEventType();
        const bool selection = type == wxEVT_LIST_ITEM_SELECTED ||
                               type == wxEVT_LIST_ITEM_DESELECTED ||
                               type == wxEVT_LIST_ITEM_FOCUSED;
        return selection && event.GetEventObject() == list_ ? Event_Ignore : Event_Skip;
    }

private:
    wxListCtrl* list_;
};

// The generic list control that wxGTK uses ignores wxLC_SORT_ASCENDING;
// wxMSW's native one sorts as each item arrives, by rules of its own (a
// "word sort" that skips hyphens, equal labels in any order) and returns an
// index other than the one asked for. Hosts get one behaviour everywhere:
// an item goes where InsertItem put it, and once the event loop runs the
// list is put back in label order here, keeping each item's data and the
// operator's selection and focus with their items.
void restore_label_order(wxListCtrl* list) {
    const long count = list->GetItemCount();
    LabelOrder order;
    order.labels.reserve(count);
    for (long i = 0; i < count; ++i) order.labels.push_back(list->GetItemText(i));
    bool sorted = true;
    for (long i = 1; i < count && sorted; ++i) sorted = !order.before(i, i - 1);
    if (sorted) return;

    const long selected = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    const long focused = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED);

    // SortItems drops the selection and focus; dropped here first, while every
    // item still carries its own data, and put back on the same items after.
    const QuietSelection quiet(list);
    if (selected >= 0) list->SetItemState(selected, 0, wxLIST_STATE_SELECTED);
    if (focused >= 0) list->SetItemState(focused, 0, wxLIST_STATE_FOCUSED);

    // SortItems compares item data, so each item carries its old index meanwhile.
    std::vector<wxUIntPtr> data(count);
    for (long i = 0; i < count; ++i) {
        data[i] = list->GetItemData(i);
        list->SetItemPtrData(i, static_cast<wxUIntPtr>(i));
    }
    list->SortItems(compare_by_label, reinterpret_cast<wxIntPtr>(&order));

    long new_selected = -1, new_focused = -1;
    for (long i = 0; i < count; ++i) {
        const auto old = static_cast<long>(list->GetItemData(i));
        list->SetItemPtrData(i, data[old]);
        if (old == selected) new_selected = i;
        if (old == focused) new_focused = i;
    }
    if (new_focused >= 0)
        list->SetItemState(new_focused, wxLIST_STATE_FOCUSED, wxLIST_STATE_FOCUSED);
    if (new_selected >= 0)
        list->SetItemState(new_selected, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
}

// The project list: on wxMSW without the native sort (see above). The style
// is asked for while the window is created, so Create runs in the derived
// constructor, where the override is the one called.
class ProjectList : public wxListCtrl {
public:
    ProjectList(wxWindow* parent, const wxSize& size, long style) {
        Create(parent, wxID_ANY, wxDefaultPosition, size, style);
    }

#if defined(__WXMSW__)
    WXDWORD MSWGetStyle(long style, WXDWORD* exstyle) const override {
        return wxListCtrl::MSWGetStyle(style, exstyle) & ~WXDWORD(LVS_SORTASCENDING);
    }
#endif
};

}  // namespace

ATSLauncher::ATSLauncher(wxWindow* parent)
    : wxDialog(detail::top_level_parent(parent, "ATSLauncher"), wxID_ANY, detail::tr("Welcome to Pelno"),
               wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE) {
    SetSizeHints(wxDefaultSize, wxDefaultSize);

    auto* bSizer36 = new wxBoxSizer(wxHORIZONTAL);
    auto* bSizer37 = new wxBoxSizer(wxVERTICAL);
    auto* bSizer38 = new wxBoxSizer(wxHORIZONTAL);

    // Product header: picture beside name and version.
    m_bitmap4 = detail::make_picture(this, wxSize(48, 48));
    bSizer38->Add(m_bitmap4, 0, wxALL, 5);
    auto* bSizer39 = new wxBoxSizer(wxVERTICAL);
    m_staticText34 = detail::make_label(this, "Pelno");
    m_staticText34->SetFont(detail::plain_font(16));
    bSizer39->Add(m_staticText34, 0, wxALL, 5);
    m_staticText35 = detail::make_label(this, "2021.06.04");
    bSizer39->Add(m_staticText35, 0, wxALL, 4);
    bSizer38->Add(bSizer39, 0, wxEXPAND, 5);
    bSizer37->Add(bSizer38, 0, wxEXPAND, 5);

    // Left column's flat buttons.
    const wxFont buttonFont = detail::plain_font(14);
    ui_button_projects = make_button(this, detail::tr("Projects"), wxBORDER_NONE);
    ui_button_projects->SetFont(buttonFont);
    bSizer37->Add(ui_button_projects, 0, wxALL | wxEXPAND, 0);
    ui_button_learn = make_button(this, detail::tr("Learn Pelno"), wxBORDER_NONE);
    ui_button_learn->SetFont(buttonFont);
    bSizer37->Add(ui_button_learn, 0, wxALL | wxEXPAND, 0);
    bSizer36->Add(bSizer37, 0, wxEXPAND, 5);

    // Right column: path row, separator, project list.
    auto* bSizer40 = new wxBoxSizer(wxVERTICAL);
    auto* bSizer41 = new wxBoxSizer(wxHORIZONTAL);
    ui_project_path = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition,
                                     wxDefaultSize, wxTE_READONLY);
    bSizer41->Add(ui_project_path, 1, detail::kCentredItem, 5);
    ui_browse = make_button(this, detail::tr("Browse\u2026\u2026"));
    bSizer41->Add(ui_browse, 0, detail::kCentredItem, 5);
    m_button14 = make_button(this, detail::tr("Open"));
    bSizer41->Add(m_button14, 0, detail::kCentredItem, 5);
    bSizer40->Add(bSizer41, 0, wxEXPAND, 5);

    m_staticline4 =
        new wxStaticLine(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLI_HORIZONTAL);
    bSizer40->Add(m_staticline4, 0, wxEXPAND | wxALL, 5);

    // One view mode only: the control cannot combine icon and list views, and
    // project names carry no icons.
    ui_project_list =
        new ProjectList(this, wxSize(480, 400), wxLC_LIST | wxLC_SINGLE_SEL | wxLC_SORT_ASCENDING);
    bSizer40->Add(ui_project_list, 1, wxALL | wxEXPAND, 5);
    bSizer36->Add(bSizer40, 1, wxEXPAND, 5);

    detail::finish_window(this, bSizer36);
    detail::give_accessible_names(*this);

    ui_button_projects->Bind(wxEVT_BUTTON, &ATSLauncher::on_click_projects, this);
    ui_button_learn->Bind(wxEVT_BUTTON, &ATSLauncher::on_click_learn, this);
    ui_browse->Bind(wxEVT_BUTTON, &ATSLauncher::on_browse, this);
    m_button14->Bind(wxEVT_BUTTON, &ATSLauncher::on_open, this);

    // The sort waits for the event loop: InsertItem returns the index the
    // item went to, and a host may still address the item by it (SetItemData).
    // A burst of insertions costs one sort.
    auto pending = std::make_shared<bool>(false);
    wxListCtrl* list = ui_project_list;
    list->Bind(wxEVT_LIST_INSERT_ITEM, [list, pending](wxListEvent& event) {
        if (!*pending) {
            *pending = true;
            list->CallAfter([list, pending] {
                *pending = false;
                restore_label_order(list);
            });
        }
        event.Skip();
    });
}

void ATSLauncher::on_click_projects(wxCommandEvent& event) { event.Skip(); }
void ATSLauncher::on_click_learn(wxCommandEvent& event) { event.Skip(); }
void ATSLauncher::on_browse(wxCommandEvent& event) { event.Skip(); }
void ATSLauncher::on_open(wxCommandEvent& event) { event.Skip(); }

}  // namespace tov_atsui
