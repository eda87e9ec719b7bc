// SPDX-License-Identifier: MIT
// What a host can get wrong through the constructors' parameters and the
// public members, and what it gets: either a window that works, or a clear
// exception before any window exists. Never a toolkit assertion (a modal
// message box on an unattended station) that a plain wx window would not
// raise, a hang or a crash.

#include <atsui/atsui.h>

#include <climits>
#include <stdexcept>

#include <wx/notebook.h>
#include <wx/radiobox.h>
#include <wx/statbox.h>
#include <wx/toolbar.h>

#include "support/counting.h"
#include "support/harness.h"
#include "windows.h"

using namespace atsui_test;
using namespace atsui_reliability;
using namespace tov_atsui;

namespace {

// Both panels take the same six parameters.
struct PanelKind {
    const char* name;
    std::function<wxWindow*(wxWindow*, wxWindowID, const wxPoint&, const wxSize&, long)> make;
};

const std::vector<PanelKind>& panel_kinds() {
    static const std::vector<PanelKind> kinds = {
        {"Cell",
         [](wxWindow* p, wxWindowID id, const wxPoint& pos, const wxSize& size, long style) {
             return static_cast<wxWindow*>(new Cell(p, id, pos, size, style));
         }},
        {"TestDataViewerPanel",
         [](wxWindow* p, wxWindowID id, const wxPoint& pos, const wxSize& size, long style) {
             return static_cast<wxWindow*>(new TestDataViewerPanel(p, id, pos, size, style));
         }},
    };
    return kinds;
}

wxWindow* make_panel(const PanelKind& kind, wxWindow* parent) {
    return kind.make(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL);
}

// Message of the std::invalid_argument that constructing threw, or "".
std::string refusal(const std::function<void()>& construct) {
    try {
        construct();
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
    return "";
}

size_t descendants(wxWindow* window) {
    size_t n = 0;
    for (wxWindow* child : window->GetChildren()) n += 1 + descendants(child);
    return n;
}

// Counts the toolkit's assertions while it lives instead of failing the test:
// for misuse that a plain wx window asserts on too.
class ToolkitAssertions {
public:
    ToolkitAssertions() : previous_(wxSetAssertHandler(&ToolkitAssertions::on_assert)) {
        seen_ = 0;
    }
    ~ToolkitAssertions() { wxSetAssertHandler(previous_); }
    int seen() const { return seen_; }

private:
    static void on_assert(const wxString&, int, const wxString&, const wxString&, const wxString&) {
        ++seen_;
    }
    static inline int seen_ = 0;
    wxAssertHandler_t previous_;
};

class Misuse : public WindowTest {};

}  // namespace

TEST_F(Misuse, ParentsThatCannotHoldAPanelAreRefusedUpFront) {
    auto* frame = new Frame(nullptr);
    auto* button = new wxButton(top, wxID_ANY, "button");
    auto* field = new wxTextCtrl(top, wxID_ANY, "field");
    const wxString choices[] = {"a", "b"};
    auto* radio = new wxRadioBox(top, wxID_ANY, "radio", wxDefaultPosition, wxDefaultSize, 2,
                                 choices);
    struct BadParent {
        const char* what;
        wxWindow* parent;
    };
    const std::vector<BadParent> parents = {
        {"no parent", nullptr},
        {"a button", button},
        {"a text field", field},
        {"a radio box", radio},
        {"a menu bar", frame->m_menubar1},
    };
    for (const PanelKind& kind : panel_kinds())
        for (const BadParent& bad : parents) {
            SCOPED_TRACE(std::string(kind.name) + " on " + bad.what);
            const size_t children = bad.parent ? bad.parent->GetChildren().size() : 0;
            const std::string why = refusal([&] { make_panel(kind, bad.parent); });
            EXPECT_NE(why.find(kind.name), std::string::npos) << why;
            if (bad.parent) {
                EXPECT_EQ(bad.parent->GetChildren().size(), children);
            }
        }
    destroy_for_good(frame);
}

TEST_F(Misuse, ParentsOnTheirWayOutAreRefused) {
    // A frame whose Destroy() was called: deleted at the next idle time, and
    // every window built into it with it.
    auto* closing = new Frame(nullptr);
    closing->Show();
    closing->Destroy();
    for (const PanelKind& kind : panel_kinds()) {
        SCOPED_TRACE(kind.name);
        EXPECT_NE(refusal([&] { make_panel(kind, closing->ui_cell_panel); }), "");
    }
    EXPECT_NE(refusal([&] { new Frame(closing); }), "");
    EXPECT_EQ(closing->ui_cell_panel->GetChildren().size(), 1u) << "only m_panel9";
    pump_until([&] { return !is_top_level_alive(closing); });

    // A panel asked for a child while it is being deleted.
    auto* dying = new wxPanel(top);
    std::vector<std::string> refused;
    dying->Bind(wxEVT_DESTROY, [&](wxWindowDestroyEvent& event) {
        event.Skip();
        if (event.GetEventObject() != dying) return;
        for (const PanelKind& kind : panel_kinds())
            refused.push_back(refusal([&] { make_panel(kind, dying); }));
    });
    dying->Destroy();
    ASSERT_EQ(refused.size(), panel_kinds().size());
    for (const std::string& why : refused) EXPECT_NE(why, "");
}

TEST_F(Misuse, OddButWorkableParentsGiveWholeWindows) {
    auto* frame = new Frame(nullptr);
    auto* box = new wxStaticBox(top, wxID_ANY, "box");
    auto* book = new wxNotebook(top, wxID_ANY);
    auto* dialog = new TickerExceptionDialog(top);
    auto* cell = new Cell(top);
    const std::vector<std::pair<const char*, wxWindow*>> parents = {
        {"a static box", box},
        {"a notebook, without AddPage", book},
        {"a dialog", dialog},
        {"another cell's hidden region", cell->ui_other_info_panel},
        {"the frame itself, beside its cell area", frame},
    };
    top->Show();
    for (const PanelKind& kind : panel_kinds()) {
        wxWindow* reference = make_panel(kind, top);
        const size_t whole = descendants(reference);
        reference->Destroy();
        for (const auto& [what, parent] : parents) {
            SCOPED_TRACE(std::string(kind.name) + " on " + what);
            wxWindow* panel = make_panel(kind, parent);
            EXPECT_EQ(descendants(panel), whole);
            EXPECT_EQ(panel->GetParent(), parent);
            parent->Show();
            pump(0);
            panel->Destroy();
        }
    }
    // Built, then left to their parents: destroyed with them.
    for (const PanelKind& kind : panel_kinds()) make_panel(kind, book);
    for (auto* top_level : std::vector<wxWindow*>{frame, dialog}) destroy_for_good(top_level);
}

TEST_F(Misuse, IdsReachTheBaseAsGivenAndThePanelsWork) {
    // Outside the toolkit's range: what a plain panel does, nothing more.
    for (int id : {-3, 32767, INT_MAX, INT_MIN, -1000000000}) {
        SCOPED_TRACE(id);
        ToolkitAssertions plain;
        delete new wxPanel(top, id);
        const int plain_assertions = plain.seen();
        for (const PanelKind& kind : panel_kinds()) {
            SCOPED_TRACE(kind.name);
            ToolkitAssertions ours;
            wxWindow* panel = nullptr;
            EXPECT_NO_THROW(
                panel = kind.make(top, id, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL));
            ASSERT_NE(panel, nullptr);
            EXPECT_EQ(panel->GetId(), id);
            delete panel;
            EXPECT_EQ(ours.seen(), plain_assertions);
        }
    }

    // Standard ids, 0, ids equal to timer ids (small positive numbers) and an
    // id the toolkit asserts on; two cells with the same id still keep their
    // events apart.
    const int timer_id = wxTimer().GetId();
    for (int id : {int(wxID_OK), 0, timer_id, timer_id + 1, int(wxID_AUTO_LOWEST), -3}) {
        SCOPED_TRACE(id);
        ToolkitAssertions expected;
        auto* a = new CountingCell(top, id);
        auto* b = new CountingCell(top, id);
        fire(a->ui_refresh_timer);
        click(b->ui_start);
        EXPECT_EQ(a->log.summary(), "on_refresh_timer_event=1 ");
        EXPECT_EQ(b->log.summary(), "on_start_cell_test=1 ");
        delete a;
        delete b;
    }
}

TEST_F(Misuse, OddSizesPositionsAndStylesStillLayOut) {
    const std::vector<wxSize> sizes = {wxSize(-5, -5),
                                       wxSize(0, 0),
                                       wxSize(1, 1),
                                       wxSize(100000, 100000),
                                       wxSize(INT_MAX, INT_MAX),
                                       wxSize(INT_MIN, INT_MIN)};
    const std::vector<wxPoint> positions = {wxPoint(-100000, -100000), wxPoint(INT_MAX, INT_MAX),
                                            wxPoint(INT_MIN, INT_MIN)};
    const std::vector<long> styles = {0L,
                                      -1L,
                                      LONG_MAX,
                                      long(wxHSCROLL | wxVSCROLL),
                                      long(wxTRANSPARENT_WINDOW),
                                      long(wxBORDER_DOUBLE)};
    const wxSize client(900, 700);
    for (const PanelKind& kind : panel_kinds()) {
        auto check = [&](const std::string& what, const wxPoint& pos, const wxSize& size,
                         long style) {
            SCOPED_TRACE(std::string(kind.name) + " with " + what);
            wxWindow* panel = kind.make(top, wxID_ANY, pos, size, style);
            show_in_top(panel, client);
            // The host's sizer decides, whatever was asked for.
            EXPECT_EQ(panel->GetPosition(), wxPoint(0, 0));
            EXPECT_EQ(panel->GetSize(), client);
            panel->Destroy();
        };
        for (const wxSize& size : sizes)
            check(wxString::Format("size %d x %d", size.x, size.y).utf8_string(), wxDefaultPosition,
                  size, wxTAB_TRAVERSAL);
        for (const wxPoint& pos : positions)
            check(wxString::Format("position %d, %d", pos.x, pos.y).utf8_string(), pos,
                  wxDefaultSize, wxTAB_TRAVERSAL);
        for (long style : styles)
            check(wxString::Format("style %lx", style).utf8_string(), wxDefaultPosition,
                  wxDefaultSize, style);

        // A border of several kinds at once is none: the default border, the
        // other bits as given. A single border stays.
        wxWindow* plain = make_panel(kind, top);
        const wxBorder default_border = plain->GetBorder();
        plain->Destroy();
        for (long style : {-1L, long(LONG_MAX)}) {
            SCOPED_TRACE(wxString::Format("%s with style %lx", kind.name, style).utf8_string());
            wxWindow* panel = kind.make(top, wxID_ANY, wxDefaultPosition, wxDefaultSize, style);
            EXPECT_EQ(panel->GetBorder(), default_border);
            EXPECT_TRUE(panel->HasFlag(wxCLIP_CHILDREN));
            EXPECT_TRUE(panel->HasFlag(wxTAB_TRAVERSAL));
            panel->Destroy();
        }
        wxWindow* simple =
            kind.make(top, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxBORDER_SIMPLE);
        EXPECT_EQ(simple->GetBorder(), wxBORDER_SIMPLE);
        simple->Destroy();
    }
}

TEST_F(Misuse, ACellMovedToAnotherFrameWorksThereAndOutlivesTheOld) {
    auto* old_frame = new Frame(nullptr);
    auto* cell = new CountingCell(old_frame->ui_cell_panel);
    old_frame->ui_cell_panel->GetSizer()->Add(cell, 1, wxEXPAND | wxALL, 5);
    old_frame->Show();
    auto* new_frame = new Frame(nullptr);
    new_frame->Show();

    ASSERT_TRUE(cell->Reparent(new_frame->ui_cell_panel));
    EXPECT_EQ(cell->GetParent(), new_frame->ui_cell_panel);
    EXPECT_EQ(cell->GetContainingSizer(), nullptr) << "still laid out by the old frame";
    EXPECT_EQ(old_frame->ui_cell_panel->GetSizer()->GetItemCount(), 1u);
    // What a host does next: no "already in a sizer" assertion.
    new_frame->ui_cell_panel->GetSizer()->Add(cell, 1, wxEXPAND | wxALL, 5);
    new_frame->SetSize(1000, 700);
    new_frame->Layout();
    old_frame->Layout();
    pump(30);
    EXPECT_TRUE(new_frame->ui_cell_panel->GetClientRect().Contains(cell->GetRect()));
    EXPECT_GT(cell->GetSize().x, 300);

    destroy_for_good(old_frame);
    click(cell->ui_start);
    cell->ui_refresh_timer.Start(5);
    ASSERT_TRUE(pump_until([&] { return cell->log.count("on_refresh_timer_event") >= 2; }));
    EXPECT_EQ(cell->log.count("on_start_cell_test"), 1);
    destroy_for_good(new_frame);
}

TEST_F(Misuse, ReparentingAPanelNowhereOrIntoItselfIsRefused) {
    top->Show();
    for (const PanelKind& kind : panel_kinds()) {
        SCOPED_TRACE(kind.name);
        wxWindow* panel = make_panel(kind, top);
        pump(0);
        // Into one of its own windows the toolkit loops forever; to no parent
        // it leaves an orphan that nothing destroys.
        std::vector<wxWindow*> targets = {nullptr, panel, panel->GetChildren().front()};
        wxWindow* deep = panel;
        while (!deep->GetChildren().empty()) deep = deep->GetChildren().back();
        targets.push_back(deep);
        for (wxWindow* target : targets) {
            EXPECT_FALSE(panel->Reparent(target));
            EXPECT_EQ(panel->GetParent(), top);
        }
        EXPECT_FALSE(panel->Reparent(top)) << "already there";
        EXPECT_EQ(top->GetChildren().size(), 1u);
        panel->Destroy();
    }
}
