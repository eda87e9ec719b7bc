// SPDX-License-Identifier: MIT
#include <atsui/station/about_dialog.h>
#include <atsui/station/manual_operation_dialog.h>
#include <atsui/station/ticker_exception_dialog.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <vector>

#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/settings.h>
#include <wx/statline.h>
#include <wx/testing.h>
#include <wx/uiaction.h>

#include "support/harness.h"

using namespace atsui_test;
using tov_atsui::AboutDialog;
using tov_atsui::ManualOperationDialog;
using tov_atsui::TickerExceptionDialog;

namespace {

// Escape as wxGTK delivers it: a char hook event from the focused window,
// travelling up to the dialog.
void press_escape(wxWindow* focus) {
    wxKeyEvent key(wxEVT_CHAR_HOOK);
    key.m_keyCode = WXK_ESCAPE;
    key.SetEventObject(focus);
    focus->HandleWindowEvent(key);
}

// Shows the dialog modelessly and waits until the toolkit has laid it out.
void show_and_settle(wxDialog* dialog) {
    dialog->Show();
    pump_until([&] { return dialog->IsShownOnScreen(); }, 2000);
    pump(50);
}

// Resizes a shown dialog; returns false when the size did not arrive.
bool resize_and_settle(wxDialog* dialog, const wxSize& size) {
    dialog->SetSize(size);
    const bool arrived = pump_until([&] { return dialog->GetSize() == size; }, 2000);
    dialog->Layout();
    pump(50);
    return arrived;
}

// Pixels of a shown window, as the screen has them, that are plainly red.
int red_pixels(wxWindow* window) {
    const wxRect r = window->GetScreenRect();
    wxBitmap shot(r.width, r.height);
    {
        wxScreenDC screen;
        wxMemoryDC memory(shot);
        memory.Blit(0, 0, r.width, r.height, &screen, r.x, r.y);
    }
    const wxImage image = shot.ConvertToImage();
    int count = 0;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (image.GetRed(x, y) > 180 && image.GetGreen(x, y) < 90 && image.GetBlue(x, y) < 90)
                ++count;
    return count;
}

// The default button that ends a shown dialog with wxID_OK: 20 pt, full
// width at the foot, 5 pixels from the edges.
void expect_closing_button(wxDialog* dialog, wxButton* button, const char* label) {
    EXPECT_EQ(button->GetLabel(), label);
    EXPECT_EQ(button->GetId(), wxID_OK);
    EXPECT_EQ(dialog->GetDefaultItem(), button);
    expect_plain_font(button, 20);
    const wxSize client = dialog->GetClientSize();
    const wxRect r = button->GetRect();
    EXPECT_EQ(r.x, 5);
    EXPECT_EQ(r.width, client.x - 10);
    EXPECT_EQ(r.GetBottom() + 1, client.y - 5);
}

bool is_single_line(wxStaticText* text) {
    return text->GetLabel().Find('\n') == wxNOT_FOUND &&
           text->GetSize().y < 2 * text->GetCharHeight();
}

}  // namespace

// What the operator of a station sees and does: the dialogs as the host shows
// them, modally, above the station.
class DialogTest : public WindowTest {};

// ---------------------------------------------------------------- ticker

TEST_F(DialogTest, TickerDialogCaptionsFontsAndColours) {
    TickerExceptionDialog d(top);
    EXPECT_EQ(d.GetTitle(), wxEmptyString);
    for (long flag : {long(wxDEFAULT_DIALOG_STYLE), long(wxMAXIMIZE_BOX), long(wxMINIMIZE_BOX),
                      long(wxRESIZE_BORDER)})
        EXPECT_TRUE(d.HasFlag(flag)) << std::hex << flag;
    EXPECT_EQ(d.GetMinSize(), wxDefaultSize);
    EXPECT_EQ(d.GetMaxSize(), wxDefaultSize);
    EXPECT_FALSE(d.IsShown());

    EXPECT_EQ(d.m_staticText13->GetLabel(), "Ticker Exception");
    expect_plain_font(d.m_staticText13, 20);

    EXPECT_EQ(d.ui_exception_trace->GetValue(), wxEmptyString);
    EXPECT_TRUE(d.ui_exception_trace->IsMultiLine());
    EXPECT_FALSE(d.ui_exception_trace->IsEditable());
    EXPECT_EQ(d.ui_exception_trace->GetForegroundColour(), wxColour(255, 0, 0));
    EXPECT_EQ(d.ui_exception_trace->GetMinSize(), wxSize(480, 320));
    EXPECT_FALSE(d.m_staticline3->IsVertical());

    EXPECT_EQ(d.m_button5->GetLabel(), "Stop Ticker");
    EXPECT_EQ(d.m_button5->GetId(), wxID_CANCEL);
    EXPECT_EQ(d.m_button51->GetLabel(), "Resume Ticker");
    EXPECT_EQ(d.m_button51->GetId(), wxID_OK);
    expect_plain_font(d.m_button5, 20);
    expect_plain_font(d.m_button51, 20);
    EXPECT_EQ(d.GetDefaultItem(), d.m_button51) << "\"Resume Ticker\" must be the default button";
}

TEST_F(DialogTest, TickerDialogEndsWithTheButtonsOwnResult) {
    struct Case {
        const char* gesture;
        std::function<void(TickerExceptionDialog&)> act;
        int expected;
    };
    const std::vector<Case> cases = {
        {"Stop Ticker", [](TickerExceptionDialog& d) { click(d.m_button5); }, wxID_CANCEL},
        {"Resume Ticker", [](TickerExceptionDialog& d) { click(d.m_button51); }, wxID_OK},
        {"Escape in the trace",
         [](TickerExceptionDialog& d) { press_escape(d.ui_exception_trace); }, wxID_CANCEL},
        {"Escape on Resume", [](TickerExceptionDialog& d) { press_escape(d.m_button51); },
         wxID_CANCEL},
        {"close box", [](TickerExceptionDialog& d) { d.Close(); }, wxID_CANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gesture);
        TickerExceptionDialog d(top);
        d.ui_exception_trace->SetValue("Traceback: ZeroDivisionError");
        const int result = run_modal(d, [&](wxDialog&) { c.act(d); });
        EXPECT_EQ(result, c.expected);
        EXPECT_FALSE(d.IsModal());
        EXPECT_EQ(d.ui_exception_trace->GetValue(), "Traceback: ZeroDivisionError");
    }
}

TEST_F(DialogTest, TickerDialogLayoutGivesExtraHeightToTheButtonRow) {
    auto* d = new TickerExceptionDialog(top);
    show_and_settle(d);
    const wxSize fitted = d->GetSize();
    const wxRect trace = d->ui_exception_trace->GetRect();
    EXPECT_GE(trace.width, 480);
    EXPECT_GE(trace.height, 320);
    const int resume_height = d->m_button51->GetSize().y;

    ASSERT_TRUE(resize_and_settle(d, fitted + wxSize(200, 240)));
    const wxSize client = d->GetClientSize();

    // Every row spans the width; the trace keeps its height.
    for (wxWindow* row :
         {static_cast<wxWindow*>(d->m_staticText13), static_cast<wxWindow*>(d->ui_exception_trace),
          static_cast<wxWindow*>(d->m_staticline3)}) {
        EXPECT_EQ(row->GetPosition().x, 5);
        EXPECT_EQ(row->GetSize().x, client.x - 10);
    }
    EXPECT_EQ(d->ui_exception_trace->GetSize().y, trace.height);

    // The button row took the extra height: "Stop Ticker" fills it, "Resume
    // Ticker" keeps its own height at the right edge.
    const wxRect stop = d->m_button5->GetRect();
    const wxRect resume = d->m_button51->GetRect();
    const int row_top = d->m_staticline3->GetRect().GetBottom() + 1 + 5;
    EXPECT_EQ(stop.x, 5);
    EXPECT_EQ(stop.y, row_top + 5);
    EXPECT_EQ(stop.GetBottom() + 1, client.y - 5);
    EXPECT_GT(stop.height, resume_height + 200);
    EXPECT_EQ(resume.height, resume_height);
    EXPECT_EQ(resume.GetRight() + 1, client.x - 5);
    EXPECT_EQ(resume.y, stop.y);
    d->Destroy();
}

TEST_F(DialogTest, TickerTraceIsRedAndTheOperatorCannotEditIt) {
    auto* d = new TickerExceptionDialog(top);
    const wxString trace =
        "Traceback (most recent call last):\n  File \"ticker.py\", line 7\nKeyError: 'x'";
    d->ui_exception_trace->SetValue(trace);
    EXPECT_EQ(d->ui_exception_trace->GetNumberOfLines(), 3);
    ASSERT_TRUE(activate(d)) << "the dialog did not become active";
    pump(100);
    EXPECT_GT(red_pixels(d->ui_exception_trace), 20) << "the trace is not drawn in red";

    d->ui_exception_trace->SetFocus();
    d->ui_exception_trace->SetInsertionPointEnd();
    pump(100);
    wxUIActionSimulator sim;
    sim.Text("typed");
    pump(100);
    sim.Char(WXK_BACK);
    pump(150);
    EXPECT_EQ(d->ui_exception_trace->GetValue(), trace);
    // Selecting and copying stays possible.
    d->ui_exception_trace->SelectAll();
    EXPECT_EQ(d->ui_exception_trace->GetStringSelection(), trace);
    d->Destroy();
}

// A host that asks the operator after its ticker failed, as a station does.
struct TickerHost {
    wxWindow* parent;
    bool ticking = true;
    void report(const wxString& trace) {
        TickerExceptionDialog dialog(parent);
        dialog.ui_exception_trace->SetValue(trace);
        ticking = dialog.ShowModal() == wxID_OK;
    }
};

// Answers the ticker dialog after checking what the operator would read.
class AnswerTicker : public wxExpectModalBase<TickerExceptionDialog, AnswerTicker> {
public:
    AnswerTicker(int answer, wxString* seen) : answer_(answer), seen_(seen) {}

protected:
    int OnInvoked(TickerExceptionDialog* d) const override {
        *seen_ = d->ui_exception_trace->GetValue();
        return answer_;
    }

private:
    int answer_;
    wxString* seen_;
};

TEST_F(DialogTest, HostReadsTheOperatorsAnswerFromShowModal) {
    TickerHost host{top};
    wxString seen;
    wxTEST_DIALOG(host.report("IOError: fixture lost"), AnswerTicker(wxID_CANCEL, &seen));
    EXPECT_FALSE(host.ticking);
    EXPECT_EQ(seen, "IOError: fixture lost");
    wxTEST_DIALOG(host.report("retry"), AnswerTicker(wxID_OK, &seen));
    EXPECT_TRUE(host.ticking);
    EXPECT_EQ(seen, "retry");
}

// ---------------------------------------------------------------- about

TEST_F(DialogTest, AboutDialogShowsFiveSingleLinesAndAFullWidthOk) {
    auto* d = new AboutDialog(top);
    EXPECT_EQ(d->GetTitle(), wxEmptyString);
    EXPECT_EQ(d->GetWindowStyleFlag() & (wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxRESIZE_BORDER),
              0);
    const std::vector<wxStaticText*> lines = {d->m_staticText11, d->m_staticText12,
                                              d->m_staticText13, d->m_staticText14,
                                              d->m_staticText15};
    EXPECT_EQ(lines[0]->GetLabel(), "Tarvo ATS: an Auto Test System created by Tarvo");
    EXPECT_TRUE(lines[2]->GetLabel().StartsWith("Web site: "));
    EXPECT_EQ(lines[3]->GetLabel(), "Version : 2024.06.04");
    EXPECT_TRUE(lines[4]->GetLabel().StartsWith("Author  : "));
    // The maker's notice, address and author are free texts, but present.
    EXPECT_FALSE(lines[1]->GetLabel().empty());
    EXPECT_GT(lines[2]->GetLabel().length(), wxString("Web site: ").length());
    EXPECT_GT(lines[4]->GetLabel().length(), wxString("Author  : ").length());
    EXPECT_TRUE(lines[4]->GetLabel().Contains("@"));

    show_and_settle(d);
    expect_closing_button(d, d->m_button6, "OK");
    const wxSize client = d->GetClientSize();
    int widest = 0, bottom = 0;
    for (wxStaticText* line : lines) {
        SCOPED_TRACE(line->GetLabel().utf8_string());
        expect_plain_font(line, 20);
        EXPECT_TRUE(is_single_line(line));
        EXPECT_EQ(line->GetPosition().x, 5) << "left-aligned";
        EXPECT_GT(line->GetPosition().y, bottom) << "one under the other, in order";
        bottom = line->GetRect().GetBottom();
        widest = std::max(widest, line->GetSize().x);
    }
    EXPECT_EQ(client.x, widest + 10) << "as wide as the longest line";
    EXPECT_GT(d->m_button6->GetRect().y, bottom);
    d->Destroy();
}

// ---------------------------------------------------------------- manual operation

// The explanation, line by line, as the operator must read it.
const char* const kManualLines[] = {
    "要使用（显示）你自定义的“手动操作对话框”，需要在一个名为“manual_operation_dialog”的模块中定义名为“ManualOperationDialog”的类。",
    "该类通常继承自wx.Dialog类，以提供模式对话框所具有的典型功能：",
    "0. 以父窗口对象为参数的构建、初始化函数",
    "1. ShowModal成员函数，以显示模式对话框",
    "2. Destroy成员函数，以销毁对话框",
    "",
    "而现在，你看到了本窗口，很可能是以下原因引起：",
    "0. 在本软件目录下没有找到名为“manual_operation_dialog”的模块（即“manual_operation_dialog.py”脚本文件）",
    "1. 上述模块（文件）中没有定义类“ManualOperationDialog”",
    "2. 在创建上述类的实例时发生了异常",
    "3. 在调用上述类实例的“ShowModal”函数时发生了异常",
};

TEST_F(DialogTest, ManualOperationTextIsExactInEveryLocale) {
    ManualOperationDialog d(top);
    const std::u32string shown = code_points(d.ui_message->GetValue());

    std::u32string expected;
    for (std::size_t i = 0; i < std::size(kManualLines); ++i) {
        if (i > 0) expected += U'\n';
        expected += code_points_utf8(kManualLines[i]);
    }
    EXPECT_EQ(expected.size(), 391u);
    EXPECT_EQ(shown.size(), 391u);
    EXPECT_TRUE(shown == expected)
        << "the text differs from the first differing code point at "
        << std::distance(
               shown.begin(),
               std::mismatch(shown.begin(), shown.end(), expected.begin(), expected.end()).first);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), U'\n'), 10);
    EXPECT_NE(shown.back(), U'\n');
    const wxArrayString lines = wxSplit(d.ui_message->GetValue(), '\n', '\0');
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[5], wxEmptyString);
    // wxMSW's line functions count the lines as wrapped on screen.
#if !defined(__WXMSW__)
    EXPECT_EQ(d.ui_message->GetNumberOfLines(), 11);
    EXPECT_EQ(d.ui_message->GetLineText(5), wxEmptyString);
#endif
    // Full-width punctuation, not its ASCII look-alikes.
    for (char32_t c :
         {U'\uFF08', U'\uFF09', U'\uFF0C', U'\uFF1A', U'\u201C', U'\u201D', U'\u3002', U'\u3001'})
        EXPECT_NE(shown.find(c), std::u32string::npos) << std::hex << unsigned(c);
    for (char32_t c : {U'(', U')', U',', U':', U'"'})
        EXPECT_EQ(shown.find(c), std::u32string::npos) << char(c);
}

TEST_F(DialogTest, ManualOperationDialogLooksAsBuilt) {
    auto* d = new ManualOperationDialog(top);
    EXPECT_EQ(d->GetTitle(), wxEmptyString);
    EXPECT_EQ(d->GetWindowStyleFlag() & (wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxRESIZE_BORDER),
              0);
    EXPECT_TRUE(d->ui_message->IsMultiLine());
    EXPECT_FALSE(d->ui_message->IsEditable());
    EXPECT_FALSE(d->ui_message->HasFlag(wxTE_NO_VSCROLL));
    EXPECT_EQ(d->ui_message->GetBackgroundColour(),
              wxSystemSettings::GetColour(wxSYS_COLOUR_3DLIGHT));
    expect_plain_font(d->ui_message, 20);

    show_and_settle(d);
    expect_closing_button(d, d->m_button6, "Close");
    const wxSize client = d->GetClientSize();
    const wxRect text = d->ui_message->GetRect();
    EXPECT_EQ(text.GetSize(), wxSize(700, 500));
    EXPECT_EQ(text.GetPosition(), wxPoint(5, 5));
    EXPECT_EQ(client.x, 700 + 10);
    EXPECT_EQ(d->m_button6->GetRect().y, text.GetBottom() + 1 + 10);
    d->Destroy();
}

namespace {
// Whether the character at pos shows in the text's box.
bool in_view(wxTextCtrl* text, long pos) {
    const wxPoint at = text->PositionToCoords(pos);
    return at.y >= 0 && at.y < text->GetClientSize().y;
}
}  // namespace

TEST_F(DialogTest, ManualOperationTextIsReadFromItsFirstLine) {
    auto* d = new ManualOperationDialog(top);
    wxTextCtrl* text = d->ui_message;
    ASSERT_TRUE(activate(d)) << "the dialog did not become active";
    pump(100);
    auto visible = [&](long pos) { return in_view(text, pos); };
    EXPECT_TRUE(visible(0)) << "the first line is scrolled out of view";

    // Whatever the fonts make of it, the operator reaches the last line.
    text->SetFocus();
    pump(50);
    wxUIActionSimulator sim;
    sim.Char(WXK_END, wxMOD_CONTROL);
    EXPECT_TRUE(pump_until([&] { return visible(text->GetLastPosition()); }, 1000));
    EXPECT_EQ(code_points(text->GetValue()).size(), 391u);
    d->Destroy();
}

TEST_F(DialogTest, ManualOperationTextScrollsWithTheMouseWheel) {
    auto* d = new ManualOperationDialog(top);
    wxTextCtrl* text = d->ui_message;
#if defined(__WXMSW__)
    {
        // Without a font that has ideographs the Chinese lines draw as
        // narrow boxes (as a private-use character does), the text fits its
        // box and there is nothing to scroll.
        wxScreenDC dc;
        dc.SetFont(text->GetFont());
        if (dc.GetTextExtent(U8("测")).x == dc.GetTextExtent(wxString(wxUniChar(0xE000))).x)
            GTEST_SKIP() << "no font with Chinese ideographs (Wine's prefix has none)";
    }
#endif
    ASSERT_TRUE(activate(d)) << "the dialog did not become active";
    pump(100);
    auto visible = [&](long pos) { return in_view(text, pos); };
    const long last = text->GetLastPosition();
    ASSERT_TRUE(visible(0));
    ASSERT_FALSE(visible(last)) << "the text fits its box: nothing to scroll";
    EXPECT_TRUE(shows_scroll_bar(text, wxVERTICAL)) << "no scroll bar to show the rest";
    EXPECT_GT(text->GetScrollRange(wxVERTICAL), text->GetScrollThumb(wxVERTICAL));

    // Down until the last line shows, a bounded number of notches.
    int notches = 0;
    while (!visible(last) && notches < 40) {
        ASSERT_TRUE(turn_wheel(text, 1)) << "no X display for the wheel";
        ++notches;
        pump_until([&] { return visible(last); }, 100);
    }
    EXPECT_TRUE(visible(last)) << "the last line stayed out of reach";
    EXPECT_FALSE(visible(0));
    EXPECT_GT(text->GetScrollPos(wxVERTICAL), 0);

    // And back up to the first line.
    turn_wheel(text, -notches);
    EXPECT_TRUE(pump_until([&] { return visible(0); }, 1000));
    d->Destroy();
}

// ---------------------------------------------------------------- both style-0 dialogs

TEST_F(DialogTest, OkAndCloseAndEscapeEndTheStyleZeroDialogsWithOk) {
    struct Case {
        const char* gesture;
        std::function<wxDialog*()> make;
        std::function<void(wxDialog*)> act;
    };
    auto ok_of = [](wxDialog* d) {
        auto* about = dynamic_cast<AboutDialog*>(d);
        return about ? about->m_button6 : static_cast<ManualOperationDialog*>(d)->m_button6;
    };
    const std::vector<Case> cases = {
        {"OK", [&] { return new AboutDialog(top); }, [&](wxDialog* d) { click(ok_of(d)); }},
        {"Escape in about", [&] { return new AboutDialog(top); },
         [&](wxDialog* d) { press_escape(ok_of(d)); }},
        {"Close", [&] { return new ManualOperationDialog(top); },
         [&](wxDialog* d) { click(ok_of(d)); }},
        {"Escape in the text", [&] { return new ManualOperationDialog(top); },
         [&](wxDialog* d) { press_escape(static_cast<ManualOperationDialog*>(d)->ui_message); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gesture);
        wxDialog* d = c.make();
        EXPECT_EQ(d->FindWindow(wxID_CANCEL), nullptr);
        EXPECT_EQ(run_modal(*d, [&](wxDialog&) { c.act(d); }), wxID_OK);
        d->Destroy();
    }
    pump(10);
}
