// SPDX-License-Identifier: MIT
// A cell's rules without a window: which serial number starts a test, what
// the test's record and the cell's words say as it runs and ends, and what
// becomes of tests the store does not take.

#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "logic/cell_session.h"
#include "logic/history_store.h"
#include "logic/save_policy.h"
#include "logic/scan_flow.h"

using namespace station;

namespace {

Project board() {
    return parse_project("title: Board\nSupply ; 4.75 ; 5.25 ; V\nGain ; 25 ; 27 ; dB\n");
}

ItemResult reading(const TestItem& item, double value) {
    return {item.name,  value,     item.lower,
            item.upper, item.unit, within_limits(value, item.lower, item.upper)};
}

RunOutcome completed() { return {}; }

}  // namespace

// What a scanner or an operator may send as a serial number, and what the
// cell says to each refusal.
TEST(CellSession, SerialNumbersTheCellRefusesAndAccepts) {
    const std::string longest(kMaxSerialLength, 'S');
    // 64 characters of three bytes each are still 64 characters.
    std::string wide;
    for (std::size_t i = 0; i < kMaxSerialLength; ++i) wide += "\xe6\xb5\x8b";
    for (const std::string& fine :
         {std::string("UNIT-1"), longest, wide, std::string("SN 0042/7"), std::string("ü-ø-€")})
        EXPECT_EQ(serial_problem(fine), "") << fine;

    const struct {
        std::string serial;
        const char* says;
    } refused[] = {
        {"", "Enter a serial number"},
        {longest + "S", "too long (65 characters, at most 64)"},
        {wide + "\xe6\xb5\x8b", "too long"},
        {"UNIT\x7f"
         "1",
         "control characters"},                 // DEL
        {"UNIT\t1", "control characters"},      // C0
        {"UNIT\x1b[2J", "control characters"},  // an escape sequence
        {"UNIT\xc2\x85"
         "1",
         "control characters"},  // C1 (NEL)
        {std::string("UNIT\0"
                     "1",
                     6),
         "NUL byte (byte 5)"},
        {"UNIT\xff"
         "1",
         "not UTF-8 text (byte 5)"},
        {"\xc0\xaf", "not UTF-8 text (byte 1)"},  // an overlong '/'
        {"UNIT\xed\xa0\x80", "not UTF-8 text"},   // a surrogate
        {"UNIT\xe6\xb5", "not UTF-8 text"},       // cut in the middle
    };
    for (const auto& r : refused) {
        const std::string problem = serial_problem(r.serial);
        EXPECT_NE(problem.find(r.says), std::string::npos)
            << "serial of " << r.serial.size() << " bytes: \"" << problem << "\"";
    }

    // The cell refuses the same, and stays idle with nothing claimed.
    SerialsInTest serials;
    CellSession cell("Cell 1", &serials);
    EXPECT_NE(cell.begin("BAD\x7f", board(), "board.atp", 1000), "");
    EXPECT_EQ(cell.state(), CellState::idle);
    EXPECT_EQ(cell.banner(), "Ready");
    EXPECT_NE(cell.begin(longest + "X", board(), "board.atp", 1000), "");
    // Spaces around a scanned serial are not part of it.
    EXPECT_EQ(cell.begin("  " + longest + " \t", board(), "board.atp", 1000), "");
    EXPECT_EQ(cell.record().serial, longest);
}

// One unit cannot be tested in two cells at once; once its test ends, the
// unit may be tested again anywhere.
TEST(CellSession, OneSerialTestsInOneCellAtATime) {
    SerialsInTest serials;
    CellSession first("Cell 1", &serials);
    CellSession second("Cell 2", &serials);
    ASSERT_EQ(first.begin("DUP-1", board(), "board.atp", 1000), "");
    EXPECT_EQ(second.begin("DUP-1", board(), "board.atp", 1001),
              "DUP-1 is already testing in Cell 1");
    EXPECT_EQ(second.state(), CellState::idle);
    EXPECT_EQ(second.begin(" DUP-1 ", board(), "board.atp", 1001),
              "DUP-1 is already testing in Cell 1");
    EXPECT_EQ(second.begin("DUP-2", board(), "board.atp", 1002), "");
    // Waiting for its commit, the first cell still holds the unit.
    first.abort(1500);
    EXPECT_EQ(first.state(), CellState::storing);
    second.abort(1500);
    second.shown(true);
    first.shown(true);
    EXPECT_EQ(second.begin("DUP-1", board(), "board.atp", 2000), "");

    // A cell that goes while testing lets the unit go.
    {
        CellSession third("Cell 3", &serials);
        ASSERT_EQ(third.begin("GONE-1", board(), "board.atp", 3000), "");
    }
    EXPECT_EQ(first.begin("GONE-1", board(), "board.atp", 3001), "");
}

// The cell's states and words through a test, and the record it leaves.
TEST(CellSession, ATestGoesThroughItsStatesAndLeavesItsRecord) {
    CellSession cell("Cell 2");
    const Project project = board();
    EXPECT_EQ(cell.begin("U-1", Project{}, "none.atp", 1000), "No test project");
    ASSERT_EQ(cell.begin("U-1", project, "board.atp", 1000), "");
    EXPECT_EQ(cell.state(), CellState::testing);
    EXPECT_EQ(cell.banner(), "Testing U-1 ...");
    EXPECT_EQ(cell.start_line(), "Test of U-1 started: Board, 2 items");
    EXPECT_EQ(cell.begin("U-2", project, "board.atp", 1001), "A test is already running");

    EXPECT_TRUE(cell.measured(reading(project.items[0], 5.0)));
    EXPECT_TRUE(cell.measured(reading(project.items[1], 30.0)));
    const TestRecord& record = cell.finish(completed(), 1800);
    EXPECT_EQ(record.cell, "Cell 2");
    EXPECT_EQ(record.serial, "U-1");
    EXPECT_EQ(record.begin_ms, 1000);
    EXPECT_EQ(record.end_ms, 1800);
    EXPECT_EQ(record.verdict, Verdict::ng);
    EXPECT_EQ(record.items.size(), 2u);
    EXPECT_EQ(cell.state(), CellState::storing);
    EXPECT_TRUE(cell.busy());
    EXPECT_EQ(cell.begin("U-2", project, "board.atp", 1801), "The last test is still being stored");
    // A reading that arrives late belongs to no test.
    EXPECT_FALSE(cell.measured(reading(project.items[0], 5.0)));
    EXPECT_EQ(cell.record().items.size(), 2u);

    cell.shown(true);
    EXPECT_EQ(cell.state(), CellState::stored);
    EXPECT_EQ(cell.banner(), "U-1: NG");
    EXPECT_EQ(cell.end_line(), "Test of U-1 ended: NG (" + record.description + ")");
    EXPECT_EQ(cell.counters().ng, 1u);

    // Aborted: said how far it got, counted in neither OK nor NG.
    ASSERT_EQ(cell.begin("U-2", project, "board.atp", 2000), "");
    cell.measured(reading(project.items[0], 5.0));
    EXPECT_EQ(cell.abort(2100).verdict, Verdict::aborted);
    EXPECT_EQ(cell.record().description, "aborted after 1 of 2 items");
    cell.shown(true);
    EXPECT_EQ(cell.banner(), "U-2: Aborted");
    EXPECT_EQ(cell.counters().ok + cell.counters().ng, 1u);

    // An instrument fault: the station could not test the unit. Error, in a
    // state of its own, counted in neither OK nor NG.
    ASSERT_EQ(cell.begin("U-3", project, "board.atp", 3000), "");
    cell.measured(reading(project.items[0], 5.0));
    RunOutcome fault;
    fault.kind = RunOutcome::Kind::failed;
    fault.item = "Gain";
    fault.reason = "no answer within 3000 ms";
    EXPECT_EQ(cell.finish(fault, 3100).verdict, Verdict::error);
    EXPECT_EQ(cell.record().description, "instrument fault at Gain: no answer within 3000 ms");
    cell.shown(true);
    EXPECT_EQ(cell.state(), CellState::error);
    EXPECT_EQ(cell.banner(), "U-3: Error");
    EXPECT_EQ(cell.counters().ok + cell.counters().ng, 1u);
}

// A verdict shown without its test in the store says so until the test is
// stored; a later test does not hide that an earlier one is unsaved.
TEST(CellSession, AnUnsavedVerdictSaysSoUntilItIsStored) {
    CellSession cell("Cell 1");
    ASSERT_EQ(cell.begin("N-1", board(), "board.atp", 1000), "");
    const TestRecord first = cell.abort(1100);
    cell.shown(false);
    EXPECT_EQ(cell.state(), CellState::not_saved);
    EXPECT_EQ(cell.banner(), "N-1: Aborted (not saved)");
    EXPECT_NE(cell.end_line().find("NOT SAVED"), std::string::npos) << cell.end_line();
    EXPECT_EQ(CellSession::result_text(Verdict::ok, false), "OK (not saved)");
    EXPECT_EQ(cell.unsaved(), 1u);

    ASSERT_EQ(cell.begin("N-2", board(), "board.atp", 2000), "");
    const TestRecord second = cell.abort(2100);
    cell.shown(true);
    EXPECT_EQ(cell.state(), CellState::stored);
    EXPECT_EQ(cell.unsaved(), 1u);
    cell.saved_later(second);  // not one of the unsaved: nothing changes
    EXPECT_EQ(cell.unsaved(), 1u);
    cell.saved_later(first);
    EXPECT_EQ(cell.unsaved(), 0u);

    ASSERT_EQ(cell.begin("N-3", board(), "board.atp", 3000), "");
    const TestRecord third = cell.abort(3100);
    cell.shown(false);
    cell.saved_later(third);
    EXPECT_EQ(cell.state(), CellState::stored);
    EXPECT_EQ(cell.banner(), "N-3: Aborted");
}

namespace {

// A store that fails on demand: all of a batch or none, like the real one.
struct FlakyStore {
    std::vector<TestRecord> kept;
    bool full = false;
    std::string refuses_serial;  // a test the store refuses, as "other"
    int writes = 0;

    SavePolicy::Writer writer() {
        return [this](const std::vector<TestRecord>& records) {
            ++writes;
            if (full)
                throw HistoryStoreError("database or disk is full", HistoryStoreError::Kind::full);
            for (const TestRecord& r : records)
                if (r.serial == refuses_serial) throw std::runtime_error("refused " + r.serial);
            for (const TestRecord& r : records) {
                bool there = false;
                for (const TestRecord& k : kept)
                    there = there || (k.serial == r.serial && k.begin_ms == r.begin_ms);
                if (!there) kept.push_back(r);
            }
        };
    }
};

TestRecord test_of(const std::string& serial, std::int64_t begin) {
    TestRecord r;
    r.cell = "Cell 1";
    r.serial = serial;
    r.begin_ms = begin;
    r.end_ms = begin + 10;
    r.verdict = Verdict::ok;
    return r;
}

}  // namespace

// Verdicts that arrive together share one commit; a store that refuses
// keeps nothing from the batch, and the policy keeps all of it, tries again
// less and less often, and stores it all once the store takes it.
TEST(SavePolicy, UnsavedTestsWaitForTheStoreAndNothingIsLost) {
    FlakyStore store;
    SavePolicy policy(store.writer());
    policy.add(test_of("A", 1));
    policy.add(test_of("B", 2));
    EXPECT_EQ(policy.waiting(), 2u);
    SavePolicy::Result r = policy.commit();
    EXPECT_EQ(store.writes, 1) << "two verdicts, one commit";
    EXPECT_EQ(r.stored.size(), 2u);
    EXPECT_TRUE(r.failed.empty());
    EXPECT_EQ(policy.close_question(), "");

    store.full = true;
    policy.add(test_of("C", 3));
    policy.add(test_of("D", 4));
    store.writes = 0;
    r = policy.commit();
    EXPECT_EQ(store.writes, 1) << "a full store is tried once, not test by test";
    EXPECT_TRUE(r.began_failing);
    EXPECT_EQ(r.error, "database or disk is full");
    ASSERT_EQ(r.failed.size(), 2u);
    ASSERT_EQ(policy.unsaved().size(), 2u);
    const int first_delay = policy.retry_delay_ms();

    // Retried while the store stays full: still unsaved, tried less often.
    policy.add(test_of("E", 5));
    r = policy.commit();
    EXPECT_FALSE(r.began_failing);
    EXPECT_EQ(r.failed.size(), 1u) << "only the new test is newly unsaved";
    EXPECT_EQ(policy.unsaved().size(), 3u);
    EXPECT_GT(policy.retry_delay_ms(), first_delay);
    for (int i = 0; i < 10; ++i) policy.commit();
    EXPECT_LE(policy.retry_delay_ms(), 5000) << "tried at least every few seconds";

    // Closing now would lose them: the question names each.
    const std::string question = policy.close_question();
    EXPECT_NE(question.find("3 tests are not saved (database or disk is full)"), std::string::npos)
        << question;
    for (const char* serial : {"Cell 1 C (OK, begun", "Cell 1 D (OK", "Cell 1 E (OK"})
        EXPECT_NE(question.find(serial), std::string::npos) << question;
    EXPECT_EQ(policy.unsaved_names().size(), 3u);

    // Room again: the retry stores them, oldest first, without another test.
    store.full = false;
    r = policy.commit();
    ASSERT_EQ(r.stored.size(), 3u);
    EXPECT_EQ(r.stored[0].serial, "C");
    EXPECT_TRUE(policy.unsaved().empty());
    EXPECT_EQ(policy.error(), "");
    EXPECT_EQ(policy.close_question(), "");
    ASSERT_EQ(store.kept.size(), 5u);
    EXPECT_EQ(store.kept[2].serial, "C");
    EXPECT_EQ(store.kept[4].serial, "E");
}

// One test the store refuses does not hold back the tests beside it.
TEST(SavePolicy, ATestTheStoreRefusesIsKeptApart) {
    FlakyStore store;
    store.refuses_serial = "BAD";
    SavePolicy policy(store.writer());
    policy.add(test_of("A", 1));
    policy.add(test_of("BAD", 2));
    policy.add(test_of("C", 3));
    const SavePolicy::Result r = policy.commit();
    EXPECT_EQ(r.stored.size(), 2u);
    ASSERT_EQ(r.failed.size(), 1u);
    EXPECT_EQ(r.failed[0].serial, "BAD");
    EXPECT_NE(r.error.find("BAD"), std::string::npos) << r.error;
    ASSERT_EQ(store.kept.size(), 2u);
    EXPECT_EQ(store.kept[1].serial, "C");
    EXPECT_NE(policy.close_question().find("1 test is not saved"), std::string::npos);
}

// Where the next scan lands: back in its own cell with a scanner per cell,
// on round the station to the next idle cell with one scanner for all.
TEST(ScanFlow, TheKeyboardGoesWhereTheNextScanBelongs) {
    const std::vector<bool> second_busy{false, true, false, false};
    const ScanFlow per_cell;
    EXPECT_EQ(per_cell.after_start(second_busy, 1), std::nullopt);
    EXPECT_TRUE(per_cell.takes_keyboard_after_verdict(second_busy, 1, 2));
    EXPECT_EQ(per_cell.after_start_all({true, true, false, false}), 2u);
    EXPECT_EQ(per_cell.after_start_all({true, true}), std::nullopt);

    const ScanFlow one_scanner(true);
    EXPECT_EQ(one_scanner.after_start(second_busy, 1), 2u);
    // Busy cells are passed over, and the round wraps to the first cell.
    EXPECT_EQ(one_scanner.after_start({false, true, true, true}, 2), 0u);
    EXPECT_EQ(one_scanner.after_start({false, true, false, true}, 3), 0u);
    // Every other cell busy: the keyboard stays.
    EXPECT_EQ(one_scanner.after_start({true, true, true}, 0), std::nullopt);
    EXPECT_EQ(one_scanner.after_start({true}, 0), std::nullopt);

    // A verdict does not take the keyboard from a field waiting for a scan,
    // but takes it from a busy cell's field or from anywhere else.
    EXPECT_FALSE(one_scanner.takes_keyboard_after_verdict({false, false, true}, 0, 1));
    EXPECT_TRUE(one_scanner.takes_keyboard_after_verdict({false, false, true}, 0, 2));
    EXPECT_TRUE(one_scanner.takes_keyboard_after_verdict({false, false, true}, 0, 0));
    EXPECT_TRUE(one_scanner.takes_keyboard_after_verdict({false, false, true}, 0, std::nullopt));
}
