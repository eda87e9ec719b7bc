// SPDX-License-Identifier: MIT
#include <atsui/launcher/ats_launcher.h>

#include <functional>
#include <vector>

#include <wx/listctrl.h>
#include <wx/statbmp.h>
#include <wx/statline.h>
#include <wx/uiaction.h>

#include "support/counting.h"
#include "support/harness.h"

using namespace atsui_test;
using tov_atsui::ATSLauncher;

namespace {

std::vector<wxString> labels_of(wxListCtrl* list) {
    std::vector<wxString> labels;
    for (long i = 0; i < list->GetItemCount(); ++i) labels.push_back(list->GetItemText(i));
    return labels;
}

std::vector<long> selected_of(wxListCtrl* list) {
    std::vector<long> selected;
    for (long i = -1; (i = list->GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) != -1;)
        selected.push_back(i);
    return selected;
}

long index_of(wxListCtrl* list, const wxString& label) { return list->FindItem(-1, label); }

// Project names as a host might find them on disk: out of order, mixed case.
const std::vector<wxString> kProjects = {"psu_burn_in", "Motor_EOL", "adc_cal",
                                         "Zeta-Rig",    "board_ict", "motor_eol_v2"};
const std::vector<wxString> kProjectsSorted = {"adc_cal",      "board_ict",   "Motor_EOL",
                                               "motor_eol_v2", "psu_burn_in", "Zeta-Rig"};

}  // namespace

class LauncherTest : public WindowTest {
protected:
    // Lets the launcher settle after the host filled its list.
    void settle() { pump(30); }
};

TEST_F(LauncherTest, CaptionsFontsAndStyles) {
    ATSLauncher l(top);
    EXPECT_EQ(l.GetTitle(), "Welcome to Pelno");
    EXPECT_TRUE(l.HasFlag(wxDEFAULT_DIALOG_STYLE));
    EXPECT_FALSE(l.HasFlag(wxRESIZE_BORDER));
    EXPECT_FALSE(l.HasFlag(wxMAXIMIZE_BOX));
    EXPECT_FALSE(l.IsShown());

    EXPECT_FALSE(l.m_bitmap4->GetBitmap().IsOk()) << "the picture area starts empty";
    EXPECT_EQ(l.m_bitmap4->GetSize(), wxSize(48, 48));
    EXPECT_EQ(l.m_staticText34->GetLabel(), "Pelno");
    expect_plain_font(l.m_staticText34, 16);
    EXPECT_EQ(l.m_staticText35->GetLabel(), "2021.06.04");
    EXPECT_EQ(l.m_staticText35->GetFont(), l.GetFont()) << "the version has no font of its own";

    struct Button {
        wxButton* button;
        const char* label;
        int points;
        bool flat;
    };
    const int normal = l.GetFont().GetPointSize();
    const std::vector<Button> buttons = {{l.ui_button_projects, "Projects", 14, true},
                                         {l.ui_button_learn, "Learn Pelno", 14, true},
                                         {l.ui_browse, "Browse\u2026\u2026", normal, false},
                                         {l.m_button14, "Open", normal, false}};
    for (const Button& b : buttons) {
        SCOPED_TRACE(b.label);
        EXPECT_EQ(code_points(b.button->GetLabel()), code_points_utf8(b.label));
        EXPECT_EQ(b.button->HasFlag(wxBORDER_NONE), b.flat);
        expect_plain_font(b.button, b.points);
        EXPECT_LT(b.button->GetId(), 0) << "no standard identifier";
    }
    EXPECT_EQ(l.GetDefaultItem(), nullptr);
    const std::u32string browse = code_points(l.ui_browse->GetLabel());
    ASSERT_GE(browse.size(), 2u);
    EXPECT_EQ(browse.substr(browse.size() - 2), U"\u2026\u2026");
    EXPECT_EQ(browse.find(U'.'), std::u32string::npos);

    EXPECT_EQ(l.ui_project_path->GetValue(), wxEmptyString);
    EXPECT_FALSE(l.ui_project_path->IsEditable());
    EXPECT_FALSE(l.ui_project_path->IsMultiLine());

    wxListCtrl* list = l.ui_project_list;
    EXPECT_EQ(list->GetItemCount(), 0);
    EXPECT_TRUE(list->HasFlag(wxLC_LIST));
    EXPECT_FALSE(list->HasFlag(wxLC_ICON));
    EXPECT_TRUE(list->HasFlag(wxLC_SINGLE_SEL));
    EXPECT_TRUE(list->HasFlag(wxLC_SORT_ASCENDING));
    EXPECT_FALSE(l.m_staticline4->IsVertical());
}

TEST_F(LauncherTest, ShownLauncherLaysOutItsTwoColumns) {
    auto* l = new ATSLauncher(top);
    for (const wxString& name : kProjects) l->ui_project_list->InsertItem(0, name);
    l->Show();
    ASSERT_TRUE(pump_until([&] { return l->IsShownOnScreen(); }, 2000));
    pump(50);

    const wxSize client = l->GetClientSize();
    const wxRect over = top->GetScreenRect();
    const wxRect outer = l->GetScreenRect();
    EXPECT_NEAR(outer.x - over.x, (over.width - outer.width) / 2, 2) << "centred on its parent";
    EXPECT_NEAR(outer.y - over.y, (over.height - outer.height) / 2, 2) << "centred on its parent";

    // Left column: header at the top, flat buttons across the column, no gaps.
    const wxRect projects = l->ui_button_projects->GetRect();
    const wxRect learn = l->ui_button_learn->GetRect();
    const int column = projects.width;
    EXPECT_EQ(projects.x, 0);
    EXPECT_EQ(learn.x, 0);
    EXPECT_EQ(learn.width, column);
    EXPECT_EQ(learn.y, projects.GetBottom() + 1);
    EXPECT_EQ(l->m_bitmap4->GetRect(), wxRect(5, 5, 48, 48));
    EXPECT_EQ(l->m_staticText34->GetPosition().x, 5 + 48 + 5 + 5);
    EXPECT_GT(l->m_staticText35->GetPosition().y, l->m_staticText34->GetRect().GetBottom());
    EXPECT_GE(column, l->m_staticText34->GetRect().GetRight() + 1 + 5);
    EXPECT_LT(learn.GetBottom(), client.y / 2) << "the left column's items stay at its top";

    // Path row: the field takes what "Browse……" and "Open" leave.
    const wxRect path = l->ui_project_path->GetRect();
    const wxRect browse = l->ui_browse->GetRect();
    const wxRect open = l->m_button14->GetRect();
    EXPECT_EQ(path.x, column + 5);
    EXPECT_EQ(browse.x, path.GetRight() + 1 + 10);
    EXPECT_EQ(open.x, browse.GetRight() + 1 + 10);
    EXPECT_EQ(open.GetRight() + 1 + 5, client.x);
    EXPECT_EQ(browse.width, l->ui_browse->GetBestSize().x);
    EXPECT_EQ(open.width, l->m_button14->GetBestSize().x);
    for (const wxRect& r : {browse, open})
        EXPECT_NEAR(r.y + r.height / 2, path.y + path.height / 2, 1) << "centred in the row";

    // Separator and list fill the right column; the list sets the height.
    const wxRect line = l->m_staticline4->GetRect();
    const wxRect list = l->ui_project_list->GetRect();
    EXPECT_EQ(line.x, path.x);
    EXPECT_EQ(line.GetRight(), open.GetRight());
    EXPECT_EQ(list.x, path.x);
    EXPECT_EQ(list.GetRight(), open.GetRight());
    EXPECT_GE(list.width, 480);
    EXPECT_GE(list.height, 400);
    EXPECT_EQ(list.GetBottom() + 1 + 5, client.y);

    // A long path does not widen anything.
    l->ui_project_path->SetValue(wxString('x', 400));
    l->Layout();
    pump(20);
    EXPECT_EQ(l->ui_project_path->GetRect(), path);

    // Every project has a place in the list view.
    for (long i = 0; i < l->ui_project_list->GetItemCount(); ++i) {
        wxRect item;
        ASSERT_TRUE(l->ui_project_list->GetItemRect(i, item));
        EXPECT_FALSE(item.IsEmpty()) << l->ui_project_list->GetItemText(i);
    }
    l->Destroy();
}

TEST_F(LauncherTest, EachButtonReachesExactlyItsOwnHandler) {
    CountingLauncher l(top);
    const std::vector<std::pair<wxButton*, const char*>> routes = {
        {l.ui_button_projects, "on_click_projects"},
        {l.ui_button_learn, "on_click_learn"},
        {l.ui_browse, "on_browse"},
        {l.m_button14, "on_open"}};
    for (const auto& [button, handler] : routes) {
        SCOPED_TRACE(handler);
        l.log.clear();
        click(button);
        EXPECT_EQ(l.log.count(handler), 1) << l.log.summary();
        EXPECT_EQ(l.log.total(), 1) << l.log.summary();
    }
}

TEST_F(LauncherTest, DefaultHandlersChangeNothingAndEndNoModalRun) {
    ATSLauncher l(top);
    l.ui_project_path->SetValue("/srv/projects/adc_cal");
    for (const wxString& name : kProjects) l.ui_project_list->InsertItem(0, name);
    settle();
    l.ui_project_list->SetItemState(2, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    const std::vector<wxString> labels = labels_of(l.ui_project_list);

    PropagationCounter unhandled(&l, wxEVT_BUTTON);
    bool modal_throughout = true;
    const int result = run_modal(l, [&](wxDialog& d) {
        for (wxButton* b : {l.ui_button_projects, l.ui_button_learn, l.ui_browse, l.m_button14}) {
            click(b);
            pump(10);
            modal_throughout = modal_throughout && d.IsModal();
        }
        d.EndModal(wxID_APPLY);
    });
    EXPECT_EQ(result, wxID_APPLY) << "a launcher button ended the modal run";
    EXPECT_TRUE(modal_throughout);
    EXPECT_EQ(unhandled.count(), 4) << "each click was skipped on to the launcher";
    EXPECT_EQ(l.ui_project_path->GetValue(), "/srv/projects/adc_cal");
    EXPECT_EQ(labels_of(l.ui_project_list), labels);
    EXPECT_EQ(selected_of(l.ui_project_list), std::vector<long>{2});
}

TEST_F(LauncherTest, ProjectsAHostAddsComeOutSortedWithTheirData) {
    ATSLauncher l(top);
    wxListCtrl* list = l.ui_project_list;
    // A host hears of insertions where it binds: on the list or on its window.
    int notified = 0, notified_launcher = 0;
    list->Bind(wxEVT_LIST_INSERT_ITEM, [&](wxListEvent& e) {
        ++notified;
        e.Skip();
    });
    l.Bind(wxEVT_LIST_INSERT_ITEM, [&](wxListEvent& e) {
        ++notified_launcher;
        e.Skip();
    });

    // The index InsertItem returns addresses the new project until the event
    // loop runs, whatever the order it arrives in.
    for (std::size_t n = 0; n < kProjects.size(); ++n) {
        const long at = (n % 2) ? list->GetItemCount() : 0;
        const long index = list->InsertItem(at, kProjects[n]);
        ASSERT_EQ(list->GetItemText(index), kProjects[n]);
        list->SetItemData(index, long(n + 1));
    }
    EXPECT_EQ(notified, int(kProjects.size())) << "the host still hears of every insertion";
    EXPECT_EQ(notified_launcher, int(kProjects.size())) << "insertions stop at the list";
    settle();
    EXPECT_EQ(labels_of(list), kProjectsSorted);
    for (std::size_t n = 0; n < kProjects.size(); ++n)
        EXPECT_EQ(list->GetItemData(index_of(list, kProjects[n])), wxUIntPtr(n + 1))
            << kProjects[n];

    // A selected, focused project stays so while others arrive before it,
    // and the host hears of no selection change that nobody made.
    const long state = wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED;
    list->SetItemState(index_of(list, "psu_burn_in"), state, state);
    CallLog on_list, on_launcher;  // where a host may bind: the list, or its window
    auto counter = [](CallLog& log) {
        return [&log](wxListEvent& e) {
            const wxEventType type = e.GetEventType();
            log.hit(type == wxEVT_LIST_ITEM_SELECTED     ? "selected"
                    : type == wxEVT_LIST_ITEM_DESELECTED ? "deselected"
                                                         : "focused");
            e.Skip();
        };
    };
    const auto count_on_list = counter(on_list), count_on_launcher = counter(on_launcher);
    const auto selection_events = {wxEVT_LIST_ITEM_SELECTED, wxEVT_LIST_ITEM_DESELECTED,
                                   wxEVT_LIST_ITEM_FOCUSED};
    for (const auto& type : selection_events) {
        list->Bind(type, count_on_list);
        l.Bind(type, count_on_launcher);
    }
    list->InsertItem(list->GetItemCount(), "aaa_first");
    list->InsertItem(list->GetItemCount(), "Quartz");
    settle();
    std::vector<wxString> expected = kProjectsSorted;
    expected.insert(expected.begin(), "aaa_first");
    expected.insert(expected.end() - 1, "Quartz");
    ASSERT_EQ(labels_of(list), expected) << "no re-sort ran";
    EXPECT_EQ(on_list.total(), 0) << on_list.summary();
    EXPECT_EQ(on_launcher.total(), 0) << on_launcher.summary();
    const long kept = index_of(list, "psu_burn_in");
    EXPECT_EQ(selected_of(list), std::vector<long>{kept});
    EXPECT_EQ(list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED), kept);
    EXPECT_EQ(list->GetItemData(kept), wxUIntPtr(1));

    // What the host does itself it still hears of, once on each handler.
    list->SetItemState(index_of(list, "Quartz"), wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    for (const CallLog* log : {&on_list, &on_launcher}) {
        EXPECT_EQ(log->count("deselected"), 1) << log->summary();
        EXPECT_EQ(log->count("selected"), 1) << log->summary();
    }
    for (const auto& type : selection_events) {
        list->Unbind(type, count_on_list);
        l.Unbind(type, count_on_launcher);
    }

    // Projects of the same name join the first, each with its data, in the
    // order in which they stood: one put before it stays before, one
    // appended stays after.
    const wxUIntPtr earlier = list->GetItemData(index_of(list, "board_ict"));
    list->SetItemData(list->InsertItem(0, "board_ict"), 99);
    list->SetItemData(list->InsertItem(list->GetItemCount(), "board_ict"), 100);
    settle();
    const long first = index_of(list, "board_ict");
    ASSERT_EQ(list->GetItemText(first + 2), "board_ict");
    const std::vector<wxUIntPtr> data = {list->GetItemData(first), list->GetItemData(first + 1),
                                         list->GetItemData(first + 2)};
    EXPECT_EQ(data, (std::vector<wxUIntPtr>{99, earlier, 100}));
}

// One behaviour on every toolkit: wxMSW's native list would sort by rules of
// its own as each item arrives and answer with another index.
TEST_F(LauncherTest, AProjectStaysWhereTheHostPutItUntilTheListSorts) {
    ATSLauncher l(top);
    wxListCtrl* list = l.ui_project_list;
    // Equal but for case, a hyphen that a word sort skips.
    const std::vector<wxString> arriving = {"zeta", "a-c", "Board", "ab", "board", "Alpha"};
    for (std::size_t n = 0; n < arriving.size(); ++n)
        EXPECT_EQ(list->InsertItem(list->GetItemCount(), arriving[n]), long(n)) << arriving[n];
    EXPECT_EQ(labels_of(list), arriving) << "sorted before the event loop ran";
    settle();
    EXPECT_EQ(labels_of(list),
              (std::vector<wxString>{"a-c", "ab", "Alpha", "Board", "board", "zeta"}));
}

TEST_F(LauncherTest, TheOperatorSelectsOneProjectAtATime) {
    auto* l = new ATSLauncher(top);
    wxListCtrl* list = l->ui_project_list;
    for (const wxString& name : kProjects) list->InsertItem(0, name);
    ASSERT_TRUE(activate(l)) << "the launcher did not become active";
    pump(50);

    wxUIActionSimulator sim;
    auto click_item = [&](long index, int modifiers = wxMOD_NONE) {
        wxRect r;
        ASSERT_TRUE(list->GetItemRect(index, r));
        sim.MouseMove(list->ClientToScreen(r.GetPosition() + wxPoint(r.width / 3, r.height / 2)));
        pump(80);
        if (modifiers & wxMOD_CONTROL) sim.KeyDown(WXK_CONTROL);
        sim.MouseClick();
        if (modifiers & wxMOD_CONTROL) sim.KeyUp(WXK_CONTROL);
        pump(120);
    };
    click_item(1);
    EXPECT_EQ(selected_of(list), std::vector<long>{1});
    click_item(4);
    EXPECT_EQ(selected_of(list), std::vector<long>{4});
    click_item(2, wxMOD_CONTROL);
    EXPECT_LE(selected_of(list).size(), 1u) << "Ctrl+click added a second selection";
    EXPECT_EQ(labels_of(list), kProjectsSorted) << "selecting does not reorder";

    // Selecting by program obeys the same rule.
    list->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    list->SetItemState(5, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    EXPECT_EQ(selected_of(list), std::vector<long>{5});
    l->Destroy();
}

TEST_F(LauncherTest, LauncherComesAndGoesCleanly) {
    const int before = assertion_count();
    for (int round = 0; round < 10; ++round) {
        auto* l = new ATSLauncher(round % 2 ? top : nullptr);
        // Insertions whose sort is still pending when the launcher goes.
        for (const wxString& name : kProjects) l->ui_project_list->InsertItem(0, name);
        if (round % 3 == 0) l->Show();
        l->Destroy();
        pump(5);
    }
    pump(20);
    EXPECT_EQ(assertion_count(), before);
}
