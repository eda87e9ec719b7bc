// SPDX-License-Identifier: MIT
// The pictures of the API reference: each window of the layer as a host
// gets it, shown on the display it runs under, with the name of each of its
// members pointing at the widget it holds. Where the widgets are is read
// from the live windows, and which members there are from the headers
// (members.inc, made by members.py), so the pictures follow both.
//
// usage: window_pictures DIR    writes DIR/<window>.png, exits non-zero on
//                                a window it could not capture

#include <atsui/atsui.h>

#include <algorithm>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include <wx/wx.h>
#include <wx/dcmemory.h>
#include <wx/ffile.h>
#include <wx/filename.h>
#include <wx/grid.h>
#include <wx/listctrl.h>
#include <wx/notebook.h>
#include <wx/utils.h>

#include "members.inc"

namespace {

// A member's widget, where it is in the window's picture.
struct Label {
    wxString name;
    wxRect rect;
    int y = 0;  // where the label goes in its column
};

// What the picture shows and what its footer lists.
struct Members {
    std::vector<Label> shown;
    std::vector<wxString> hidden;  // widgets not on screen in this picture
    std::vector<wxString> other;   // sizers and other non-widgets
};

// Sorts each member of `window` by what it is, relative to `top`.
template <class Window>
void collect(Window& window, wxTopLevelWindow* top, Members& out) {
    const wxRect frame = top->GetScreenRect();
    visit_members(window, [&](const char* name, auto* member) {
        using T = std::remove_pointer_t<decltype(member)>;
        if constexpr (std::is_base_of_v<wxWindow, T>) {
            if (member != nullptr && member->IsShownOnScreen()) {
                wxRect r = member->GetScreenRect();
                r.Offset(-frame.x, -frame.y);
                r.Intersect(wxRect(frame.GetSize()));
                if (!r.IsEmpty()) {
                    out.shown.push_back({name, r});
                    return;
                }
            }
            out.hidden.emplace_back(name);
        } else {
            out.other.emplace_back(name);
        }
    });
}

// The window's pixels as the display shows them: GTK 3 draws off-screen,
// so they are read from the X root window, as a user's screenshot would be.
wxImage capture(wxTopLevelWindow* window, const wxString& file) {
    const wxRect r = window->GetScreenRect();
    const wxString command = wxString::Format(
        "import -window root -crop %dx%d+%d+%d +repage \"%s\"", r.width, r.height, r.x, r.y, file);
    if (wxExecute(command, wxEXEC_SYNC) != 0) return wxImage();
    return wxImage(file, wxBITMAP_TYPE_PNG);
}

// What lies outside the captured pixels cannot be pointed at.
void clip(Members& members, wxSize size) {
    std::vector<Label> inside;
    for (Label& label : members.shown) {
        label.rect.Intersect(wxRect(size));
        if (label.rect.IsEmpty()) members.hidden.push_back(label.name);
        else inside.push_back(label);
    }
    members.shown = inside;
}

// Words of `items` joined into lines of at most `width` pixels.
std::vector<wxString> wrap(wxDC& dc, const wxString& title, const std::vector<wxString>& items,
                           int width) {
    std::vector<wxString> lines;
    if (items.empty()) return lines;
    wxString line = title;
    for (size_t i = 0; i < items.size(); ++i) {
        const wxString word = items[i] + (i + 1 < items.size() ? ", " : "");
        if (dc.GetTextExtent(line + word).x > width && line != title) {
            lines.push_back(line);
            line = "    ";
        }
        line += word;
    }
    lines.push_back(line);
    return lines;
}

// Spreads labels down a column near their widgets' middles, none overlapping.
void place(std::vector<Label*>& column, int line_height) {
    std::sort(column.begin(), column.end(),
              [](const Label* a, const Label* b) { return a->rect.GetY() + a->rect.height / 2 <
                                                           b->rect.GetY() + b->rect.height / 2; });
    int next = 0;
    for (Label* label : column) {
        label->y = std::max(label->rect.y + label->rect.height / 2 - line_height / 2, next);
        next = label->y + line_height;
    }
}

// The screenshot between two columns of names, each joined to its widget by
// a line, with a footer naming the members the picture cannot show. Moves
// the outlines into the picture's coordinates.
wxImage annotate(const wxImage& shot, Members& members) {
    wxBitmap scratch(1, 1);
    wxMemoryDC measure(scratch);
    measure.SetFont(wxFont(wxFontInfo(9).Family(wxFONTFAMILY_TELETYPE)));
    int text_width = 0;
    for (const Label& label : members.shown)
        text_width = std::max(text_width, measure.GetTextExtent(label.name).x);
    const int line_height = measure.GetCharHeight() + 3;
    const int column = text_width + 40;

    std::vector<Label*> left, right;
    for (Label& label : members.shown)
        (label.rect.x + label.rect.width / 2 < shot.GetWidth() / 2 ? left : right).push_back(&label);
    place(left, line_height);
    place(right, line_height);
    // From here on the outlines are in the picture's coordinates.
    for (Label& label : members.shown) label.rect.x += column;

    const int width = shot.GetWidth() + 2 * column;
    std::vector<wxString> footer = wrap(measure, "Not shown here: ", members.hidden, width - 20);
    for (const wxString& line : wrap(measure, "Not widgets (sizers, menus, tools): ", members.other, width - 20))
        footer.push_back(line);
    int body = shot.GetHeight();
    for (const Label& label : members.shown) body = std::max(body, label.y + line_height);
    const int height = body + 10 + static_cast<int>(footer.size()) * line_height + 10;

    wxBitmap canvas(width, height, 24);
    wxMemoryDC dc(canvas);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    dc.DrawBitmap(wxBitmap(shot), column, 0);
    dc.SetFont(measure.GetFont());
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    // Neighbouring labels in different colours, so crossing lines stay apart.
    const wxColour colours[] = {wxColour(200, 0, 0), wxColour(0, 90, 200), wxColour(0, 130, 0),
                                wxColour(170, 0, 170), wxColour(200, 110, 0)};
    size_t n = 0;
    for (Label* label : left) {
        const wxColour& colour = colours[n++ % std::size(colours)];
        dc.SetPen(wxPen(colour, 1));
        dc.SetTextForeground(colour);
        const wxRect& r = label->rect;
        dc.DrawRectangle(r);
        const int tw = dc.GetTextExtent(label->name).x;
        const int mid = label->y + line_height / 2;
        dc.DrawText(label->name, column - 30 - tw, label->y);
        dc.DrawLine(column - 26, mid, r.x, std::clamp(mid, r.y, r.GetBottom()));
    }
    for (Label* label : right) {
        const wxColour& colour = colours[n++ % std::size(colours)];
        dc.SetPen(wxPen(colour, 1));
        dc.SetTextForeground(colour);
        const wxRect& r = label->rect;
        dc.DrawRectangle(r);
        const int mid = label->y + line_height / 2;
        const int x = column + shot.GetWidth() + 30;
        dc.DrawText(label->name, x, label->y);
        dc.DrawLine(x - 4, mid, r.GetRight(), std::clamp(mid, r.y, r.GetBottom()));
    }
    dc.SetTextForeground(*wxBLACK);
    int y = body + 10;
    for (const wxString& line : footer) {
        dc.DrawText(line, 10, y);
        y += line_height;
    }
    dc.SelectObject(wxNullBitmap);
    return canvas.ConvertToImage();
}

// Beside each picture, what it shows in words: "label NAME X Y W H" with the
// outline's place in the picture, "hidden NAME", "other NAME".
bool write_list(const wxString& file, const Members& members) {
    wxFFile out(file, "w");
    if (!out.IsOpened()) return false;
    for (const Label& l : members.shown)
        out.Write(wxString::Format("label %s %d %d %d %d\n", l.name, l.rect.x, l.rect.y,
                                   l.rect.width, l.rect.height));
    for (const wxString& name : members.hidden) out.Write("hidden " + name + "\n");
    for (const wxString& name : members.other) out.Write("other " + name + "\n");
    return out.Close();
}

// One picture: the window to open, and how to list its members.
struct Picture {
    wxString name;
    std::function<wxTopLevelWindow*()> open;
};

template <class Window>
wxTopLevelWindow* shown(Window* window, wxSize size = wxDefaultSize) {
    if (size != wxDefaultSize) window->SetSize(size);
    // Wholly on the screen, which is what is captured.
    window->Move(0, 0);
    window->Show();
    return window;
}

std::vector<Picture> pictures() {
    using namespace tov_atsui;
    return {
        {"frame", [] { return shown(new Frame(nullptr), wxSize(1200, 760)); }},
        {"cell",
         [] {
             auto* frame = new wxFrame(nullptr, wxID_ANY, "Cell");
             auto* sizer = new wxBoxSizer(wxVERTICAL);
             sizer->Add(new Cell(frame), 1, wxEXPAND);
             frame->SetSizer(sizer);
             return shown(frame, wxSize(560, 720));
         }},
        {"test_data_viewer",
         [] {
             auto* frame = new TestDataViewerFrame(nullptr);
             frame->ui_root_sizer->Add(new TestDataViewerPanel(frame), 1, wxEXPAND);
             return shown(frame, wxSize(1300, 720));
         }},
        {"launcher", [] { return shown(new ATSLauncher(nullptr)); }},
        {"ticker_exception_dialog", [] { return shown(new TickerExceptionDialog(nullptr)); }},
        {"about_dialog", [] { return shown(new AboutDialog(nullptr)); }},
        {"manual_operation_dialog", [] { return shown(new ManualOperationDialog(nullptr)); }},
    };
}

// The members of whatever layer windows `top` is or holds.
void collect_all(wxTopLevelWindow* top, Members& out) {
    using namespace tov_atsui;
    std::function<void(wxWindow*)> walk = [&](wxWindow* w) {
        if (auto* x = dynamic_cast<Frame*>(w)) collect(*x, top, out);
        else if (auto* x = dynamic_cast<Cell*>(w)) collect(*x, top, out);
        else if (auto* x = dynamic_cast<TestDataViewerFrame*>(w)) collect(*x, top, out);
        else if (auto* x = dynamic_cast<TestDataViewerPanel*>(w)) collect(*x, top, out);
        else if (auto* x = dynamic_cast<ATSLauncher*>(w)) collect(*x, top, out);
        else if (auto* x = dynamic_cast<TickerExceptionDialog*>(w)) collect(*x, top, out);
        else if (auto* x = dynamic_cast<AboutDialog*>(w)) collect(*x, top, out);
        else if (auto* x = dynamic_cast<ManualOperationDialog*>(w)) collect(*x, top, out);
        for (wxWindow* child : w->GetChildren())
            if (!child->IsTopLevel()) walk(child);
    };
    walk(top);
}

// Lets the window map, lay out and paint before it is read.
void settle() {
    const wxLongLong until = wxGetLocalTimeMillis() + 700;
    while (wxGetLocalTimeMillis() < until) {
        wxTheApp->Yield(true);
        wxMilliSleep(10);
    }
}

class PicturesApp : public wxApp {
public:
    bool OnInit() override {
        if (argc != 2) {
            wxFprintf(stderr, "usage: window_pictures DIR\n");
            return false;
        }
        dir_ = argv[1];
        if (!wxFileName::Mkdir(dir_, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL)) {
            wxFprintf(stderr, "window_pictures: cannot make the folder %s\n", dir_);
            return false;
        }
        wxInitAllImageHandlers();
        CallAfter(&PicturesApp::run);
        return true;
    }

    int OnExit() override { return status_; }

private:
    void run() {
        for (const Picture& picture : pictures()) {
            Members members;
            wxTopLevelWindow* window = picture.open();
            window->Raise();
            settle();
            collect_all(window, members);
            const wxString file = wxFileName(dir_, picture.name + ".png").GetFullPath();
            const wxImage shot = capture(window, file);
            clip(members, shot.GetSize());
            if (!shot.IsOk() || members.shown.empty() ||
                !annotate(shot, members).SaveFile(file, wxBITMAP_TYPE_PNG)) {
                wxFprintf(stderr, "window_pictures: could not make %s (%zu widgets on screen)\n",
                          file, members.shown.size());
                status_ = 1;
            } else if (!write_list(wxFileName(dir_, picture.name + ".txt").GetFullPath(), members)) {
                wxFprintf(stderr, "window_pictures: could not write the list of %s\n", file);
                status_ = 1;
            } else {
                wxPrintf("%s: %zu members labelled, %zu not shown, %zu not widgets\n", file,
                         members.shown.size(), members.hidden.size(), members.other.size());
            }
            window->Destroy();
            settle();
        }
        ExitMainLoop();
    }

    wxString dir_;
    int status_ = 0;
};

}  // namespace

wxIMPLEMENT_APP(PicturesApp);
