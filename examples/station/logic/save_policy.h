// SPDX-License-Identifier: MIT
#pragma once

// What becomes of finished tests on their way into the store. Verdicts that
// arrive together share one commit (one sync of the disk, not one per
// cell). A commit that fails keeps its tests: they are shown as not saved,
// tried again on a timer and once more on close, until the store takes
// them; closing while some are still unsaved needs the operator's word, and
// then each is named in the log.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "logic/record.h"

namespace station {

class SavePolicy {
public:
    // Stores the tests all or none, skipping any already stored; throws a
    // std::exception saying why when it cannot. A HistoryStoreError of a
    // kind other than "other" says the store takes no test now (busy,
    // full, failing): the tests are then not tried one by one.
    using Writer = std::function<void(const std::vector<TestRecord>&)>;

    explicit SavePolicy(Writer writer);

    // A finished test waits for the next commit.
    void add(const TestRecord& record);
    std::size_t waiting() const { return waiting_.size(); }

    struct Result {
        std::vector<TestRecord> stored;     // now in the store, the waiting and the retried
        std::vector<TestRecord> failed;     // of the waiting, those not stored
        bool began_failing = false;         // the store took the last commit, not this one
        std::string error;                  // why the store refused; "" when all are stored
    };
    // Commits the waiting tests after the unsaved ones, oldest first. When the
    // store refuses the batch but takes a test alone, the others are tried
    // one by one: one test the store refuses does not hold back the rest.
    Result commit();

    // Shown but not in the store, oldest first.
    const std::vector<TestRecord>& unsaved() const { return unsaved_; }
    // Why the last commit failed; "" after one that stored everything.
    const std::string& error() const { return error_; }
    // When to try the unsaved tests again, counted from the last failed
    // commit: soon at first, then less often, so that a store that stays
    // locked does not hold the station up on every try.
    int retry_delay_ms() const;

    // What closing must ask the operator; "" when closing loses nothing.
    std::string close_question() const;
    // "Cell 1 UNIT-7 (OK, begun 2026-12-08 15:00:05)": one line per unsaved test.
    std::vector<std::string> unsaved_names() const;

private:
    Writer writer_;
    std::vector<TestRecord> waiting_;
    std::vector<TestRecord> unsaved_;
    std::string error_;
    int failures_ = 0;  // failed commits in a row
};

// "Cell 1 UNIT-7 (OK, begun 2026-12-08 15:00:05)"
std::string describe_test(const TestRecord& record);

}  // namespace station
