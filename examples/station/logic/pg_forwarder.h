// SPDX-License-Identifier: MIT
#pragma once

// Store and forward to a line's PostgreSQL server. Tests are committed to the
// station's own SQLite file first, with an outbox entry; this worker sends
// the outbox to the server on its own thread and its own connections, and
// removes an entry only once the server has committed the test. A retry
// after a lost answer is harmless: the server keeps one row per station,
// cell, begin time and serial number.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace station {

class HistoryStore;
struct TestRecord;

class PgForwarder {
public:
    enum class Level { info, warning, error };
    // Called on the forwarder's thread with each line worth logging; the
    // callee hands it to its own thread.
    using Report = std::function<void(Level level, const std::string& text)>;

    // address: a libpq connection URI (postgresql://...). Starts at once.
    PgForwarder(std::string database_path, std::string address, std::string station,
                Report report = {});
    // Stops the worker and waits for it.
    ~PgForwarder();
    PgForwarder(const PgForwarder&) = delete;
    PgForwarder& operator=(const PgForwarder&) = delete;

    // A test was committed locally: send it soon. Never blocks on the server.
    void wake();

    // Tests in the outbox when last looked at; -1 before the first look.
    std::int64_t waiting() const { return waiting_; }
    // "" while the server takes every test; otherwise why it does not, in
    // the server's words, for the status bar: it is away, it refuses the
    // connection, or it refused tests (which wait apart, see refused()).
    std::string problem() const;
    std::int64_t forwarded() const { return forwarded_; }
    // Tests the server refused (a value it cannot take), kept in the
    // station's outbox apart from the others, which go on. Each start of
    // the forwarder gives them another try.
    std::int64_t refused() const { return refused_; }

    // The server's tables, created by the first station that connects.
    static const char* schema();

private:
    void run(std::stop_token stop);
    // Sends the next batch; false when the server failed (problem() says why).
    bool forward_batch(void* connection, HistoryStore& store);
    // Sends tests in one server transaction; what the server said if it
    // refused them, test_error when it refused a test's values.
    std::optional<std::string> send(void* connection, const std::vector<const TestRecord*>& tests,
                                    bool& test_error);
    std::string connect_problem(void* connection) const;
    void count_refused(HistoryStore& store);
    void set_problem(const std::string& text);
    void report(Level level, const std::string& text) const;

    std::string database_path_;
    std::string address_;
    std::string station_;
    Report report_;
    std::atomic<std::int64_t> waiting_{-1};
    std::atomic<std::int64_t> forwarded_{0};
    std::atomic<std::int64_t> refused_{0};
    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    bool woken_ = false;
    std::string problem_;       // the server's connection or failure
    std::string refused_text_;  // the tests it refused
    std::jthread worker_;  // last: it runs on everything above
};

}  // namespace station
