// SPDX-License-Identifier: MIT
// Soak: every window built, shown, laid out and destroyed many times with its
// timers running at destruction; resident memory after a warm-up stays flat.

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstdio>

#include "support/harness.h"
#include "windows.h"

using namespace atsui_test;
using namespace atsui_reliability;

namespace {

// Growth of resident memory allowed between the end of the warm-up and the
// last round. A window tree costs tens to hundreds of KiB, so keeping even a
// few per hundred rounds goes over it (SoakSeesWindowsThatAreKept).
constexpr long kFlatBoundKib = 1024;

// A Cell grows by what the toolkit keeps of every widget given a font of its
// own (pango's and fontconfig's font caches, cairo's glyph caches, see
// docs/reliability.md): the same widgets built bare grow alike. Its bound is
// that growth, measured in the same run, plus the flat bound.
const std::string kCell = "Cell";

// Cells tick many times a second; a millisecond timer per cell would only
// measure how the event loop copes with eighteen of them.
constexpr int kTimerMs = 5;

const int kRounds = env_int("ATSUI_SOAK_ROUNDS", kSanitized ? 100 : 200);
const int kWarmUp = std::max(20, kRounds / 6);

long settled_resident_kib() {
    pump(0);
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
    return resident_kib();
}

struct SoakFigures {
    long after_warm_up = 0;
    long halfway = 0;
    long after = 0;
    double ms_per_round = 0;
};

class Soak : public WindowTest, public ::testing::WithParamInterface<size_t> {
protected:
    // One round of the window's life: built, shown in its host, laid out,
    // timers started at a millisecond, destroyed.
    void one_round(const WindowKind& kind, int round) {
        wxWindow* window = nullptr;
        if (kind.top_level) {
            window = kind.make(round % 2 ? top : nullptr);
        } else {
            window = kind.make(top);
            top->GetSizer()->Add(window, 1, wxEXPAND);
        }
        show_and_lay_out(window);
        if (!kind.top_level) top->Layout();
        for (wxTimer* timer : timers_of(window)) timer->Start(kTimerMs);
        pump(round % 5 == 0 ? 3 : 0);
        destroy_for_good(window);
    }

    SoakFigures soak(const WindowKind& kind, int rounds, int warm_up) {
        SoakFigures figures;
        top->Show();
        for (int round = 0; round < warm_up; ++round) one_round(kind, round);
        figures.after_warm_up = settled_resident_kib();
        const wxLongLong start = wxGetLocalTimeMillis();
        for (int round = 0; round < rounds; ++round) {
            one_round(kind, round);
            if (round == rounds / 2) figures.halfway = settled_resident_kib();
        }
        figures.ms_per_round = (wxGetLocalTimeMillis() - start).ToDouble() / rounds;
        figures.after = settled_resident_kib();
        return figures;
    }

    // Two kinds soaked in turns, a few rounds of one and then of the other,
    // each charged with the growth over its own turns: what a busier or a
    // quieter stretch of the machine does to the event loop falls on both.
    std::pair<SoakFigures, SoakFigures> soak_in_turns(const WindowKind& first,
                                                      const WindowKind& second, int rounds,
                                                      int warm_up) {
        constexpr int kTurns = 8;
        SoakFigures figures[2];
        const WindowKind* kinds[2] = {&first, &second};
        top->Show();
        for (const WindowKind* kind : kinds)
            for (int round = 0; round < warm_up; ++round) one_round(*kind, round);
        long before = settled_resident_kib();
        for (SoakFigures& f : figures) f.after = f.halfway = f.after_warm_up = before;
        for (int turn = 0; turn < kTurns; ++turn) {
            for (int k = 0; k < 2; ++k) {
                const wxLongLong start = wxGetLocalTimeMillis();
                for (int round = turn * rounds / kTurns; round < (turn + 1) * rounds / kTurns;
                     ++round)
                    one_round(*kinds[k], round);
                figures[k].ms_per_round += (wxGetLocalTimeMillis() - start).ToDouble() / rounds;
                const long now = settled_resident_kib();
                figures[k].after += now - before;
                if (turn < kTurns / 2) figures[k].halfway += now - before;
                before = now;
            }
        }
        return {figures[0], figures[1]};
    }
};

std::string kind_name(const ::testing::TestParamInfo<size_t>& info) {
    std::string name;
    for (char c : window_kinds()[info.param].name)
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
    return name;
}

}  // namespace

// Growth over the rounds after the warm-up, reported as a line of the
// table in docs/reliability.md.
long report(const WindowKind& kind, const SoakFigures& f) {
    const long growth = f.after - f.after_warm_up;
    char line[256];
    std::snprintf(line, sizeof line, "| %s | %d | %d | %ld | %ld | %ld | %+ld | %.1f |",
                  kind.name.c_str(), kWarmUp, kRounds, f.after_warm_up, f.halfway, f.after, growth,
                  f.ms_per_round);
    std::printf("soak %s\n", line);
    report_line(std::string("soak ") + line);
    return growth;
}

TEST_P(Soak, ResidentMemoryStaysFlat) {
    const WindowKind& kind = window_kinds()[GetParam()];
    const size_t top_levels = wxTopLevelWindows.size();
    // The Cell beside its widgets built bare, in turns.
    long toolkit = 0, growth = 0;
    if (kind.name == kCell) {
        const auto [bare, cell] = soak_in_turns(bare_cell_kind(), kind, kRounds, kWarmUp);
        toolkit = report(bare_cell_kind(), bare);
        growth = report(kind, cell);
    } else {
        growth = report(kind, soak(kind, kRounds, kWarmUp));
    }

    EXPECT_EQ(wxTopLevelWindows.size(), top_levels) << "a top-level window outlived its round";
    EXPECT_EQ(top->GetChildren().size(), 0u) << "a panel outlived its round";
    if (kSanitized) GTEST_SKIP() << "resident size is not a leak measure under AddressSanitizer";
    EXPECT_LE(growth, kFlatBoundKib + std::max(0L, toolkit))
        << kind.name << " grew by " << growth << " KiB, its widgets built bare by " << toolkit
        << " KiB";
}

INSTANTIATE_TEST_SUITE_P(EveryWindow, Soak, ::testing::Range<size_t>(0, window_kinds().size()),
                         kind_name);

// The measure itself: windows that a host forgets to destroy (kept hidden)
// must show as growth above the bound.
TEST_F(WindowTest, SoakSeesWindowsThatAreKept) {
    if (kSanitized) GTEST_SKIP() << "resident size is not a leak measure under AddressSanitizer";
    const WindowKind& cell = window_kinds()[2];
    ASSERT_EQ(cell.name, kCell);
    top->Show();
    for (int round = 0; round < 20; ++round) destroy_for_good(cell.make(top));
    const long before = settled_resident_kib();
    std::vector<wxWindow*> kept;
    for (int round = 0; round < 60; ++round) {
        wxWindow* window = cell.make(top);
        window->Hide();
        kept.push_back(window);
    }
    const long after = settled_resident_kib();
    for (wxWindow* window : kept) window->Destroy();
    EXPECT_GT(after - before, kFlatBoundKib)
        << "60 kept cells grew resident memory by only " << after - before << " KiB";
}
