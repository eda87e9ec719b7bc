// SPDX-License-Identifier: MIT
#include "logic/pg_forwarder.h"

#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "logic/history_store.h"
#include "logic/record.h"
#include "logic/text.h"

namespace station {

namespace {

constexpr std::size_t kBatch = 200;

struct Result {
    PGresult* r;
    explicit Result(PGresult* result) : r(result) {}
    ~Result() { PQclear(r); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    bool ok() const {
        const ExecStatusType s = PQresultStatus(r);
        return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
    }
};

// What the server said when it refused a statement.
struct ServerError {
    std::string state;    // SQLSTATE, "" when the connection failed before an answer
    std::string message;  // never empty
};

std::string first_line(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    const std::size_t line = text.find('\n');
    return line == std::string::npos ? text : text.substr(0, line);
}

std::string connection_error(PGconn* pg) {
    const std::string text = first_line(pg ? PQerrorMessage(pg) : "out of memory");
    return text.empty() ? "the connection failed without a reason" : text;
}

ServerError error_of(PGconn* pg, const Result& result) {
    ServerError e;
    if (const char* state = PQresultErrorField(result.r, PG_DIAG_SQLSTATE)) e.state = state;
    if (const char* primary = PQresultErrorField(result.r, PG_DIAG_MESSAGE_PRIMARY))
        e.message = primary;
    if (e.message.empty()) e.message = connection_error(pg);
    if (!e.state.empty() && e.state != "00000") e.message += " (SQLSTATE " + e.state + ")";
    return e;
}

std::optional<ServerError> execute(PGconn* pg, const char* sql) {
    Result r(PQexec(pg, sql));
    if (r.ok()) return std::nullopt;
    return error_of(pg, r);
}

// Errors of one test's values (classes 22 data exception, 23 integrity
// constraint, 54 program limit): the server would take the other tests.
bool is_test_error(const ServerError& e) {
    return e.state.size() == 5 &&
           (e.state.rfind("22", 0) == 0 || e.state.rfind("23", 0) == 0 ||
            e.state.rfind("54", 0) == 0);
}

// One test inside the open server transaction.
std::optional<ServerError> send_test(PGconn* pg, const std::string& station, const TestRecord& r) {
    const std::string begin = std::to_string(r.begin_ms), end = std::to_string(r.end_ms);
    const char* values[] = {station.c_str(),  r.cell.c_str(),         r.serial.c_str(),
                            begin.c_str(),    end.c_str(),            verdict_text(r.verdict),
                            r.description.c_str(), r.project.c_str(), r.project_hash.c_str(),
                            r.software.c_str()};
    Result inserted(PQexecParams(pg,
                                 "INSERT INTO tests(station, cell, serial, begin_ms, end_ms, "
                                 "verdict, description, project, project_hash, software) "
                                 "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10) "
                                 "ON CONFLICT DO NOTHING RETURNING id",
                                 10, nullptr, values, nullptr, nullptr, 0));
    if (!inserted.ok()) return error_of(pg, inserted);
    // Already on the server: an earlier batch got there, its answer did not.
    if (PQntuples(inserted.r) == 0 || r.items.empty()) return std::nullopt;
    const std::string test_id = PQgetvalue(inserted.r, 0, 0);
    std::string sql =
        "INSERT INTO items(test_id, position, name, value, lower, upper, unit, ok) VALUES ";
    std::vector<std::string> fields;
    fields.reserve(r.items.size() * 8);
    for (std::size_t i = 0; i < r.items.size(); ++i) {
        const ItemResult& item = r.items[i];
        const std::size_t n = fields.size();
        for (const std::string& field :
             {test_id, std::to_string(i), item.name, format_number(item.value),
              format_number(item.lower), format_number(item.upper), item.unit,
              std::string(item.ok ? "true" : "false")})
            fields.push_back(field);
        sql += i ? ", (" : "(";
        for (std::size_t k = 1; k <= 8; ++k)
            sql += "$" + std::to_string(n + k) + (k < 8 ? ", " : ")");
    }
    std::vector<const char*> params;
    for (const std::string& field : fields) params.push_back(field.c_str());
    Result items(PQexecParams(pg, sql.c_str(), int(params.size()), nullptr, params.data(), nullptr,
                              nullptr, 0));
    if (!items.ok()) return error_of(pg, items);
    return std::nullopt;
}

// A test named for the operator: serial, cell and when it began.
std::string test_name(const TestRecord& r) {
    return escape_bad_bytes(r.serial) + " (" + escape_bad_bytes(r.cell) + ", " + format_local(r.begin_ms) + ")";
}

}  // namespace

const char* PgForwarder::schema() {
    // Older stations made tests without what tested the unit; their rows
    // keep '' there, and they go on inserting without those columns.
    return R"(CREATE TABLE IF NOT EXISTS tests(
                id bigserial PRIMARY KEY,
                station text NOT NULL,
                cell text NOT NULL,
                serial text NOT NULL,
                begin_ms bigint NOT NULL,
                end_ms bigint NOT NULL,
                verdict text NOT NULL,
                description text NOT NULL,
                received timestamptz NOT NULL DEFAULT now(),
                UNIQUE (station, cell, begin_ms, serial));
              DO $$ BEGIN
                IF NOT EXISTS (SELECT 1 FROM information_schema.columns
                               WHERE table_schema = current_schema() AND table_name = 'tests'
                                 AND column_name = 'software') THEN
                  ALTER TABLE tests
                    ADD COLUMN IF NOT EXISTS project text NOT NULL DEFAULT '',
                    ADD COLUMN IF NOT EXISTS project_hash text NOT NULL DEFAULT '',
                    ADD COLUMN IF NOT EXISTS software text NOT NULL DEFAULT '';
                END IF;
              END $$;
              CREATE TABLE IF NOT EXISTS items(
                test_id bigint NOT NULL REFERENCES tests(id) ON DELETE CASCADE,
                position integer NOT NULL,
                name text NOT NULL,
                value double precision NOT NULL,
                lower double precision NOT NULL,
                upper double precision NOT NULL,
                unit text NOT NULL,
                ok boolean NOT NULL,
                PRIMARY KEY (test_id, position));
              CREATE INDEX IF NOT EXISTS items_by_name ON items(name, value);
              CREATE INDEX IF NOT EXISTS tests_by_station ON tests(station, cell, id);)";
}

PgForwarder::PgForwarder(std::string database_path, std::string address, std::string station,
                         Report report)
    : database_path_(std::move(database_path)),
      address_(std::move(address)),
      station_(std::move(station)),
      report_(std::move(report)),
      worker_([this](std::stop_token stop) { run(stop); }) {}

PgForwarder::~PgForwarder() {
    worker_.request_stop();
    worker_.join();
}

void PgForwarder::wake() {
    // Counted at once, so nobody reads "nothing waits" before the worker looks.
    waiting_ = std::max<std::int64_t>(waiting_, 0) + 1;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        woken_ = true;
    }
    wake_.notify_all();
}

std::string PgForwarder::problem() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return problem_.empty() ? refused_text_ : problem_;
}

void PgForwarder::report(Level level, const std::string& text) const {
    if (report_) report_(level, text);
}

void PgForwarder::set_problem(const std::string& text) {
    std::string before;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        before = problem_;
        problem_ = text;
    }
    if (text == before) return;
    if (text.empty())
        report(Level::info, "Line server: sending again");
    else
        report(Level::warning, "Line server: " + text);
}

void PgForwarder::count_refused(HistoryStore& store) {
    const std::vector<RefusedTest> tests = store.refused();
    refused_ = std::int64_t(tests.size());
    std::string text;
    if (!tests.empty()) {
        const RefusedTest& last = tests.back();
        text = std::to_string(tests.size()) + (tests.size() == 1 ? " test" : " tests") +
               " refused by the line server, kept here; last " + escape_bad_bytes(last.serial) + " (" +
               escape_bad_bytes(last.cell) + "): " + escape_bad_bytes(last.reason);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    refused_text_ = text;
}

// A server transaction around some tests; what the server said if it refused.
std::optional<std::string> PgForwarder::send(void* connection,
                                             const std::vector<const TestRecord*>& tests,
                                             bool& test_error) {
    auto* pg = static_cast<PGconn*>(connection);
    test_error = false;
    if (auto e = execute(pg, "BEGIN")) return e->message;
    for (const TestRecord* r : tests)
        if (auto e = send_test(pg, station_, *r)) {
            execute(pg, "ROLLBACK");
            test_error = PQstatus(pg) == CONNECTION_OK && is_test_error(*e);
            return e->message;
        }
    if (auto e = execute(pg, "COMMIT")) {
        test_error = PQstatus(pg) == CONNECTION_OK && is_test_error(*e);
        return e->message;
    }
    return std::nullopt;
}

bool PgForwarder::forward_batch(void* connection, HistoryStore& store) {
    const std::vector<HistoryStore::OutboxTest> batch = store.outbox(kBatch);
    if (batch.empty()) return true;
    std::vector<const TestRecord*> all;
    for (const auto& t : batch) all.push_back(&t.record);
    bool test_error = false;
    bool failed = false;
    std::vector<std::int64_t> sent;
    if (const auto why = send(connection, all, test_error); !why) {
        for (const auto& t : batch) sent.push_back(t.id);
    } else if (!test_error) {
        set_problem("line server failed: " + *why);
        return false;
    } else {
        // The server refuses one test's values: each test goes on its own,
        // so that the one it refuses does not hold back the others.
        for (const auto& t : batch) {
            const auto refused = send(connection, {&t.record}, test_error);
            if (!refused) {
                sent.push_back(t.id);
            } else if (test_error) {
                store.refuse(t.id, escape_bad_bytes(*refused));
                report(Level::error, "Line server refused the test " + test_name(t.record) +
                                         ": " + *refused +
                                         ". The test stays in this station's history and is "
                                         "sent again when the station starts next.");
            } else {
                set_problem("line server failed: " + *refused);
                failed = true;
                break;
            }
        }
        count_refused(store);
    }
    forwarded_ += std::int64_t(sent.size());
    // Should this fail, the next batch sends the tests again and the server
    // keeps the copies it has.
    try {
        store.sent(sent);
    } catch (const HistoryStoreError& error) {
        report(Level::warning, std::string("Line server: ") + error.what());
    }
    return !failed;
}

// Why the connection failed, in the server's words when it answered.
std::string PgForwarder::connect_problem(void* connection) const {
    auto* pg = static_cast<PGconn*>(connection);
    const std::string said = connection_error(pg);
    if (pg && PQconnectionNeedsPassword(pg))
        return "line server wants a password (give it in ~/.pgpass, PGPASSFILE or PGPASSWORD): " +
               said;
    if (pg && PQconnectionUsedPassword(pg))
        return "line server refused the connection: " + said;
    // Did anything answer at that address? The server's own refusals (no
    // such database or role, not allowed from here) are not "unreachable".
    const char* keys[] = {"dbname", "connect_timeout", nullptr};
    const char* values[] = {address_.c_str(), "5", nullptr};
    switch (PQpingParams(keys, values, 1)) {
        case PQPING_OK: return "line server refused the connection: " + said;
        case PQPING_REJECT:
            return "line server is not taking connections now (starting or stopping): " + said;
        default: return "line server unreachable: " + said;
    }
}

void PgForwarder::run(std::stop_token stop) {
    // The worker's own connection to the station's file, through the store.
    std::unique_ptr<HistoryStore> store;
    try {
        // The station checked the file as it opened it, just before.
        HistoryStore::Opening opening;
        opening.check = false;
        store = std::make_unique<HistoryStore>(database_path_, opening);
        // Tests the server refused before get one more try at each start:
        // the server, or this station, may have changed since.
        if (const std::size_t refused = store->refused().size()) {
            report(Level::warning, "Line server: " + std::to_string(refused) +
                                       " tests it refused before are sent again");
            store->retry_refused();
        }
    } catch (const HistoryStoreError& error) {
        set_problem(error.what());
        return;
    }
    std::unique_ptr<PGconn, void (*)(PGconn*)> pg(nullptr, PQfinish);
    auto pause = std::chrono::milliseconds(200);

    while (!stop.stop_requested()) {
        bool sent = true;
        try {
            waiting_ = store->outbox_size();
            if (waiting_ > 0) {
                if (!pg || PQstatus(pg.get()) != CONNECTION_OK) {
                    const char* keys[] = {"dbname", "connect_timeout", "application_name",
                                          nullptr};
                    const std::string name = "atsui_station " + station_;
                    const char* values[] = {address_.c_str(), "5", name.c_str(), nullptr};
                    pg.reset(PQconnectdbParams(keys, values, 1));
                    if (PQstatus(pg.get()) != CONNECTION_OK) {
                        set_problem(connect_problem(pg.get()));
                        pg.reset();
                        sent = false;
                    } else {
                        PQsetNoticeProcessor(
                            pg.get(), [](void*, const char*) {}, nullptr);
                        // Stations starting together must not race to create the tables.
                        const std::string create =
                            std::string("BEGIN; SELECT pg_advisory_xact_lock(7341); ") +
                            schema() + " COMMIT;";
                        if (auto e = execute(pg.get(), create.c_str())) {
                            set_problem("line server refused the tables: " + e->message);
                            execute(pg.get(), "ROLLBACK");
                            pg.reset();
                            sent = false;
                        }
                    }
                }
                if (pg) {
                    sent = forward_batch(pg.get(), *store);
                    if (sent) {
                        set_problem("");
                        waiting_ = store->outbox_size();
                    } else {
                        pg.reset();
                    }
                }
            }
        } catch (const HistoryStoreError& error) {
            // The station's own file failed (busy, full): try again later.
            set_problem(error.what());
            sent = false;
        }
        // Straight on while a backlog drains; otherwise until woken, and
        // with a growing pause while the server is away.
        if (sent && waiting_ > 0) continue;
        pause = sent ? std::chrono::milliseconds(200)
                     : std::min(pause * 2, std::chrono::milliseconds(5000));
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, stop, sent ? std::chrono::milliseconds(1000) : pause,
                       [this] { return woken_ && problem_.empty(); });
        woken_ = false;
    }
}

}  // namespace station
