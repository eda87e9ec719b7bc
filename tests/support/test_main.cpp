// SPDX-License-Identifier: MIT
// A GoogleTest program hosting a real wxApp. No main loop runs: tests pump
// events themselves. A toolkit assertion fails the running test instead of
// opening a message box, which would hang a headless run.

#include <atomic>
#include <clocale>
#include <iostream>

#include <gtest/gtest.h>
#include <wx/wx.h>

namespace atsui_test {

namespace {
std::atomic<int> g_assertions{0};
int g_outside_test = 0;

void on_assert(const wxString& file, int line, const wxString& func, const wxString& cond,
               const wxString& msg) {
    ++g_assertions;
    const std::string text =
        wxString::Format("%s:%d in %s: \"%s\" failed: %s", file, line, func, cond, msg)
            .utf8_string();
    if (::testing::UnitTest::GetInstance()->current_test_info()) {
        ADD_FAILURE() << "toolkit assertion: " << text;
    } else {
        ++g_outside_test;
        std::cerr << "toolkit assertion outside a test: " << text << std::endl;
    }
}

class TestApp : public wxApp {
public:
    // The base would parse the command line, which belongs to GoogleTest.
    bool OnInit() override { return true; }
};
}  // namespace

int assertion_count() { return g_assertions; }

}  // namespace atsui_test

wxIMPLEMENT_APP_NO_MAIN(atsui_test::TestApp);

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    wxSetAssertHandler(atsui_test::on_assert);
    if (!wxEntryStart(argc, argv)) {
        std::cerr << "cannot start the toolkit (is DISPLAY set?)" << std::endl;
        return 2;
    }
    wxSetAssertHandler(atsui_test::on_assert);
    delete wxLog::SetActiveTarget(new wxLogStderr);
    if (!wxTheApp->CallOnInit()) return 2;

    int status = RUN_ALL_TESTS();

    const wxWindowList remaining = wxTopLevelWindows;
    for (wxWindow* window : remaining) window->Destroy();
    wxTheApp->ProcessIdle();
    wxTheApp->OnExit();
    wxEntryCleanup();
    if (atsui_test::g_outside_test > 0) status = 1;
    return status;
}
