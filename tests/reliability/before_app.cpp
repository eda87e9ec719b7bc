// SPDX-License-Identifier: MIT
// A window constructed when no GUI application is running: before
// wxEntryStart, under the console application that wxEntryStart makes when
// no wxApp was implemented (as here), and after wxEntryCleanup. The toolkit
// itself would crash in its first GTK call; the window refuses with
// std::logic_error. No test harness here: it would start a GUI app itself.

#include <atsui/atsui.h>

#include <cstdio>
#include <functional>
#include <utility>
#include <vector>
#include <stdexcept>
#include <string>

#include <wx/wx.h>

namespace {

int passed = 0, failed = 0;

void expect(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    std::fflush(stdout);
    ++(ok ? passed : failed);
}

// True when constructing threw std::logic_error and built nothing.
template <typename Construct>
bool refused_without_app(Construct construct) {
    try {
        construct();
    } catch (const std::logic_error& error) {
        return std::string(error.what()).find("not initialised") != std::string::npos;
    }
    return false;
}

}  // namespace

// Every window whose parent may be null.
const std::vector<std::pair<const char*, std::function<void()>>>& top_level_windows() {
    static const std::vector<std::pair<const char*, std::function<void()>>> windows = {
        {"Frame", [] { new tov_atsui::Frame(nullptr); }},
        {"TickerExceptionDialog", [] { new tov_atsui::TickerExceptionDialog(nullptr); }},
        {"AboutDialog", [] { new tov_atsui::AboutDialog(nullptr); }},
        {"ManualOperationDialog", [] { new tov_atsui::ManualOperationDialog(nullptr); }},
        {"TestDataViewerFrame", [] { new tov_atsui::TestDataViewerFrame(nullptr); }},
        {"ATSLauncher", [] { new tov_atsui::ATSLauncher(nullptr); }},
    };
    return windows;
}

void expect_all_refused(const std::string& when) {
    for (const auto& [name, construct] : top_level_windows())
        expect(refused_without_app(construct),
               std::string(name) + " " + when + " throws std::logic_error");
}

int main(int argc, char** argv) {
    expect_all_refused("before wxEntryStart");

    if (!wxEntryStart(argc, argv)) {
        std::printf("cannot start the toolkit (is DISPLAY set?)\n");
        return 2;
    }
    expect_all_refused("under a console application");
    wxEntryCleanup();

    expect_all_refused("after wxEntryCleanup");

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
