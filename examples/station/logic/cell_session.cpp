// SPDX-License-Identifier: MIT
#include "logic/cell_session.h"

#include <vector>

#include "logic/text.h"

namespace station {

namespace {

// The code points of text, which must be valid UTF-8.
std::vector<char32_t> code_points(std::string_view text) {
    std::vector<char32_t> points;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
        char32_t point = length == 1   ? lead
                         : length == 2 ? lead & 0x1f
                         : length == 3 ? lead & 0x0f
                                       : lead & 0x07;
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
            point = (point << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3f);
        points.push_back(point);
        i += length;
    }
    return points;
}

bool control(char32_t c) { return c < 0x20 || (c >= 0x7f && c <= 0x9f); }

}  // namespace

std::string serial_problem(std::string_view serial) {
    if (serial.empty()) return tr("Enter a serial number to start");
    if (const auto at = invalid_text_at(serial)) {
        if (serial[*at] == '\0')
            return tr_format("Serial number has a NUL byte (byte %zu)", *at + 1);
        return tr_format("Serial number is not UTF-8 text (byte %zu)", *at + 1);
    }
    const std::vector<char32_t> points = code_points(serial);
    if (points.size() > kMaxSerialLength)
        return tr_format("Serial number too long (%zu characters, at most %zu)", points.size(),
                         std::size_t(kMaxSerialLength));
    for (char32_t c : points)
        if (control(c)) return tr("Serial number has control characters");
    return {};
}

std::string SerialsInTest::claim(const std::string& serial, const std::string& cell) {
    const auto [at, added] = cells_.emplace(serial, cell);
    if (added || at->second == cell) return {};
    return at->second;
}

void SerialsInTest::release(const std::string& serial, const std::string& cell) {
    const auto at = cells_.find(serial);
    if (at != cells_.end() && at->second == cell) cells_.erase(at);
}

CellSession::CellSession(std::string cell, SerialsInTest* serials)
    : cell_(std::move(cell)), serials_(serials) {}

CellSession::~CellSession() { release_serial(); }

void CellSession::release_serial() {
    if (serials_ && !claimed_.empty()) serials_->release(claimed_, cell_);
    claimed_.clear();
}

std::string CellSession::begin(std::string_view typed_serial, const Project& project,
                               const std::string& project_path, std::int64_t now) {
    if (state_ == CellState::testing) return tr("A test is already running");
    if (state_ == CellState::storing) return tr("The last test is still being stored");
    const std::string serial(trim(typed_serial));
    if (std::string problem = serial_problem(serial); !problem.empty()) return problem;
    if (project.items.empty()) return tr("No test project");
    if (serials_) {
        if (const std::string other = serials_->claim(serial, cell_); !other.empty())
            return tr_format("%s is already testing in %s", serial, other);
        claimed_ = serial;
    }
    (void)project_path;
    project_ = project;
    record_ = TestRecord{};
    record_.cell = cell_;
    record_.serial = serial;
    record_.begin_ms = now;
    // What tests the unit, as it begins.
    record_.project = project.title;
    record_.project_hash = project.hash;
    record_.station = stamp_.station;
    record_.software = stamp_.software;
    state_ = CellState::testing;
    return {};
}

bool CellSession::measured(const ItemResult& result) {
    if (state_ != CellState::testing) return false;
    record_.items.push_back(result);
    return true;
}

const TestRecord& CellSession::end(std::int64_t now) {
    record_.end_ms = now;
    state_ = CellState::storing;
    release_serial();
    return record_;
}

const TestRecord& CellSession::finish(const RunOutcome& outcome, std::int64_t now) {
    if (state_ != CellState::testing) return record_;
    switch (outcome.kind) {
        case RunOutcome::Kind::completed: conclude(record_); break;
        case RunOutcome::Kind::failed:
            // The station could not test the unit: not the unit's failure.
            record_.verdict = Verdict::error;
            record_.description =
                tr_format("instrument fault at %s: %s", outcome.item, outcome.reason);
            break;
        case RunOutcome::Kind::stopped: return abort(now);
    }
    return end(now);
}

const TestRecord& CellSession::abort(std::int64_t now) {
    if (state_ != CellState::testing) return record_;
    record_.verdict = Verdict::aborted;
    record_.description = tr_format("aborted after %zu of %zu items", record_.items.size(),
                                    project_.items.size());
    return end(now);
}

void CellSession::shown(bool saved) {
    if (state_ != CellState::storing) return;
    counters_.count(record_.verdict);
    if (!saved) {
        unsaved_.insert({record_.begin_ms, record_.serial});
        state_ = CellState::not_saved;
    } else {
        state_ = record_.verdict == Verdict::error ? CellState::error : CellState::stored;
    }
}

void CellSession::saved_later(const TestRecord& record) {
    if (unsaved_.erase({record.begin_ms, record.serial}) == 0) return;
    if (state_ == CellState::not_saved && record.begin_ms == record_.begin_ms &&
        record.serial == record_.serial)
        state_ = record_.verdict == Verdict::error ? CellState::error : CellState::stored;
}

std::string CellSession::result_text(Verdict verdict, bool saved) {
    return saved ? verdict_caption(verdict)
                 : tr_format("%s (not saved)", verdict_caption(verdict));
}

std::string CellSession::banner() const {
    switch (state_) {
        case CellState::idle: return tr("Ready");
        case CellState::testing:
        case CellState::storing: return tr_format("Testing %s ...", record_.serial);
        case CellState::stored:
        case CellState::error: return record_.serial + ": " + verdict_caption(record_.verdict);
        case CellState::not_saved:
            return record_.serial + ": " + result_text(record_.verdict, false);
    }
    return {};
}

std::string CellSession::start_line() const {
    return tr_format("Test of %s started: %s, %zu items", record_.serial, project_.title,
                     project_.items.size());
}

std::string CellSession::end_line() const {
    return state_ == CellState::not_saved
               ? tr_format("Test of %s ended: %s (%s); NOT SAVED, kept in memory and tried again",
                           record_.serial, verdict_caption(record_.verdict), record_.description)
               : tr_format("Test of %s ended: %s (%s)", record_.serial,
                           verdict_caption(record_.verdict), record_.description);
}

}  // namespace station
