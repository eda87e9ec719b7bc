// SPDX-License-Identifier: MIT
#include "logic/save_policy.h"

#include <algorithm>
#include <exception>
#include <iterator>

#include "logic/history_store.h"
#include "logic/text.h"

namespace station {

namespace {

constexpr int kRetryDelaysMs[] = {1000, 2000, 5000};

struct Attempt {
    std::string why;          // "" when the writer took the tests
    bool whole_store = false; // the store takes no test now, whichever it is
};

Attempt try_write(const SavePolicy::Writer& writer, const std::vector<TestRecord>& records) {
    using Kind = HistoryStoreError::Kind;
    try {
        writer(records);
        return {};
    } catch (const HistoryStoreError& error) {
        const Kind kind = error.kind();
        return {error.what(), kind != Kind::other};
    } catch (const std::exception& error) {
        const std::string why = error.what();
        return {why.empty() ? "the store gave no reason" : why};
    }
}

}  // namespace

SavePolicy::SavePolicy(Writer writer) : writer_(std::move(writer)) {}

void SavePolicy::add(const TestRecord& record) { waiting_.push_back(record); }

SavePolicy::Result SavePolicy::commit() {
    Result result;
    if (waiting_.empty() && unsaved_.empty()) return result;
    std::vector<TestRecord> batch;
    batch.swap(unsaved_);
    const std::size_t retried = batch.size();
    std::move(waiting_.begin(), waiting_.end(), std::back_inserter(batch));
    waiting_.clear();

    std::vector<bool> stored(batch.size(), false);
    const Attempt all = try_write(writer_, batch);
    std::string why = all.why;
    if (why.empty()) {
        stored.assign(batch.size(), true);
    } else if (batch.size() > 1 && !all.whole_store) {
        // A store that takes no test at all is tried once more, not once per test.
        const Attempt alone = try_write(writer_, {batch.front()});
        if (alone.why.empty()) {
            stored[0] = true;
            for (std::size_t i = 1; i < batch.size(); ++i) {
                const Attempt one = try_write(writer_, {batch[i]});
                stored[i] = one.why.empty();
                if (!stored[i]) why = batch[i].serial + ": " + one.why;
            }
        } else {
            why = alone.why;
        }
    }

    for (std::size_t i = 0; i < batch.size(); ++i) {
        if (stored[i]) {
            result.stored.push_back(batch[i]);
        } else {
            if (i >= retried) result.failed.push_back(batch[i]);
            unsaved_.push_back(batch[i]);
        }
    }
    if (unsaved_.empty()) {
        failures_ = 0;
        error_.clear();
    } else {
        result.began_failing = error_.empty();
        ++failures_;
        error_ = why;
        result.error = why;
    }
    return result;
}

int SavePolicy::retry_delay_ms() const {
    const int last = int(std::size(kRetryDelaysMs)) - 1;
    return kRetryDelaysMs[std::clamp(failures_ - 1, 0, last)];
}

std::string SavePolicy::close_question() const {
    if (unsaved_.empty()) return {};
    std::string text = unsaved_.size() == 1 ? "1 test is not saved"
                                            : std::to_string(unsaved_.size()) + " tests are not saved";
    text += " (" + error_ + "):\n";
    constexpr std::size_t kNamed = 10;
    const std::vector<std::string> names = unsaved_names();
    for (std::size_t i = 0; i < names.size() && i < kNamed; ++i) text += "\n" + names[i];
    if (names.size() > kNamed) text += "\nand " + std::to_string(names.size() - kNamed) + " more";
    text += "\n\nThey are lost if the station closes now.";
    return text;
}

std::vector<std::string> SavePolicy::unsaved_names() const {
    std::vector<std::string> names;
    for (const TestRecord& record : unsaved_) names.push_back(describe_test(record));
    return names;
}

std::string describe_test(const TestRecord& record) {
    return record.cell + " " + record.serial + " (" + verdict_text(record.verdict) + ", begun " +
           format_local(record.begin_ms) + ")";
}

}  // namespace station
