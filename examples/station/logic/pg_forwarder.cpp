// SPDX-License-Identifier: MIT
#include "logic/pg_forwarder.h"

#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <memory>
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
    bool ok() const {
        const ExecStatusType s = PQresultStatus(r);
        return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
    }
};

bool execute(PGconn* pg, const char* sql) { return Result(PQexec(pg, sql)).ok(); }

std::string pg_error(PGconn* pg) {
    std::string text = pg ? PQerrorMessage(pg) : "out of memory";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    const std::size_t line = text.find('\n');
    return line == std::string::npos ? text : text.substr(0, line);
}

}  // namespace

const char* PgForwarder::schema() {
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
    return problem_;
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

bool PgForwarder::forward_batch(void* connection, HistoryStore& store) {
    auto* pg = static_cast<PGconn*>(connection);
    const std::vector<HistoryStore::OutboxTest> tests = store.outbox(kBatch);
    if (tests.empty()) return true;
    if (!execute(pg, "BEGIN")) return false;
    for (const HistoryStore::OutboxTest& t : tests) {
        const TestRecord& r = t.record;
        const std::string begin = std::to_string(r.begin_ms), end = std::to_string(r.end_ms);
        const char* values[] = {station_.c_str(),     r.cell.c_str(), r.serial.c_str(),
                                begin.c_str(),        end.c_str(),    verdict_text(r.verdict),
                                r.description.c_str()};
        Result inserted(PQexecParams(pg,
                                     "INSERT INTO tests(station, cell, serial, begin_ms, end_ms, "
                                     "verdict, description) VALUES ($1, $2, $3, $4, $5, $6, $7) "
                                     "ON CONFLICT DO NOTHING RETURNING id",
                                     7, nullptr, values, nullptr, nullptr, 0));
        if (!inserted.ok()) {
            execute(pg, "ROLLBACK");
            return false;
        }
        // Already on the server: an earlier batch got there, its answer did not.
        if (PQntuples(inserted.r) == 0 || r.items.empty()) continue;
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
        Result items(PQexecParams(pg, sql.c_str(), int(params.size()), nullptr, params.data(),
                                  nullptr, nullptr, 0));
        if (!items.ok()) {
            execute(pg, "ROLLBACK");
            return false;
        }
    }
    if (!execute(pg, "COMMIT")) return false;
    forwarded_ += std::int64_t(tests.size());
    std::vector<std::int64_t> ids;
    for (const HistoryStore::OutboxTest& t : tests) ids.push_back(t.id);
    // Should this fail, the next batch sends the tests again and the server
    // keeps the copies it has.
    try {
        store.sent(ids);
    } catch (const HistoryStoreError& error) {
        report(Level::warning, std::string("Line server: ") + error.what());
    }
    return true;
}

void PgForwarder::run(std::stop_token stop) {
    // The worker's own connection to the station's file, through the store.
    std::unique_ptr<HistoryStore> store;
    try {
        // The station checked the file as it opened it, just before.
        HistoryStore::Opening opening;
        opening.check = false;
        store = std::make_unique<HistoryStore>(database_path_, opening);
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
                        set_problem("line server unreachable: " + pg_error(pg.get()));
                        pg.reset();
                        sent = false;
                    } else {
                        PQsetNoticeProcessor(
                            pg.get(), [](void*, const char*) {}, nullptr);
                        // Stations starting together must not race to create the tables.
                        const std::string create =
                            std::string("BEGIN; SELECT pg_advisory_xact_lock(7341); ") +
                            schema() + " COMMIT;";
                        if (!execute(pg.get(), create.c_str())) {
                            set_problem("line server refused the tables: " + pg_error(pg.get()));
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
                        set_problem("line server failed: " + pg_error(pg.get()));
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
