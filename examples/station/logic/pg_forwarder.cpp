// SPDX-License-Identifier: MIT
#include "logic/pg_forwarder.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include <wx/log.h>

#include "logic/record.h"
#include "logic/text.h"

namespace station {

namespace {

constexpr int kBatch = 200;

struct OutboxTest {
    std::int64_t id = 0;
    TestRecord record;
};

struct Sqlite {
    sqlite3* db = nullptr;
    ~Sqlite() { sqlite3_close(db); }
};

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

std::vector<OutboxTest> read_outbox(sqlite3* db) {
    std::vector<OutboxTest> tests;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT o.test_id, c.name, t.serial, t.begin_ms, t.end_ms, t.verdict, "
                           "t.description FROM outbox o JOIN tests t ON t.id = o.test_id "
                           "JOIN cells c ON c.id = t.cell_id ORDER BY o.test_id LIMIT ?",
                           -1, &s, nullptr) != SQLITE_OK)
        return tests;
    const auto text = [](sqlite3_stmt* st, int col) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
        return p ? std::string(p) : std::string();
    };
    sqlite3_bind_int(s, 1, kBatch);
    while (sqlite3_step(s) == SQLITE_ROW) {
        OutboxTest t;
        t.id = sqlite3_column_int64(s, 0);
        t.record.cell = text(s, 1);
        t.record.serial = text(s, 2);
        t.record.begin_ms = sqlite3_column_int64(s, 3);
        t.record.end_ms = sqlite3_column_int64(s, 4);
        t.record.verdict = Verdict(sqlite3_column_int(s, 5));
        t.record.description = text(s, 6);
        tests.push_back(std::move(t));
    }
    sqlite3_finalize(s);
    sqlite3_stmt* items = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT n.name, i.value, i.lower, i.upper, i.unit, i.ok FROM items i "
                       "JOIN item_names n ON n.id = i.name_id WHERE i.test_id = ? "
                       "ORDER BY i.position",
                       -1, &items, nullptr);
    for (OutboxTest& t : tests) {
        sqlite3_bind_int64(items, 1, t.id);
        while (sqlite3_step(items) == SQLITE_ROW)
            t.record.items.push_back({text(items, 0), sqlite3_column_double(items, 1),
                                      sqlite3_column_double(items, 2),
                                      sqlite3_column_double(items, 3), text(items, 4),
                                      sqlite3_column_int(items, 5) != 0});
        sqlite3_reset(items);
    }
    sqlite3_finalize(items);
    return tests;
}

std::int64_t outbox_size(sqlite3* db) {
    sqlite3_stmt* s = nullptr;
    std::int64_t n = -1;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM outbox", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
        n = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    return n;
}

bool remove_from_outbox(sqlite3* db, const std::vector<OutboxTest>& tests) {
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return false;
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "DELETE FROM outbox WHERE test_id = ?", -1, &s, nullptr);
    for (const OutboxTest& t : tests) {
        sqlite3_bind_int64(s, 1, t.id);
        sqlite3_step(s);
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

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

PgForwarder::PgForwarder(std::string database_path, std::string address, std::string station)
    : database_path_(std::move(database_path)),
      address_(std::move(address)),
      station_(std::move(station)),
      worker_([this] { run(); }) {}

PgForwarder::~PgForwarder() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
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

// From the worker: wxLog keeps a thread's messages until the GUI thread's
// next idle time, so the log's targets are only ever touched there.
void PgForwarder::set_problem(const std::string& text) {
    std::string before;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        before = problem_;
        problem_ = text;
    }
    if (text == before) return;
    if (text.empty())
        wxLogMessage("Line server: sending again");
    else
        wxLogWarning("Line server: %s", wxString::FromUTF8(text));
}

bool PgForwarder::forward_batch(void* connection, void* outbox) {
    auto* pg = static_cast<PGconn*>(connection);
    auto* db = static_cast<sqlite3*>(outbox);
    const std::vector<OutboxTest> tests = read_outbox(db);
    if (tests.empty()) return true;
    if (!execute(pg, "BEGIN")) return false;
    for (const OutboxTest& t : tests) {
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
    // Should this fail, the next batch sends the tests again and the server
    // keeps the copies it has.
    remove_from_outbox(db, tests);
    return true;
}

void PgForwarder::run() {
    Sqlite local;
    if (sqlite3_open_v2(database_path_.c_str(), &local.db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        set_problem("cannot open " + database_path_);
        return;
    }
    sqlite3_busy_timeout(local.db, 5000);
    std::unique_ptr<PGconn, void (*)(PGconn*)> pg(nullptr, PQfinish);
    auto pause = std::chrono::milliseconds(200);

    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (stop_) return;
        }
        waiting_ = outbox_size(local.db);
        bool sent = true;
        if (waiting_ > 0) {
            if (!pg || PQstatus(pg.get()) != CONNECTION_OK) {
                const char* keys[] = {"dbname", "connect_timeout", "application_name", nullptr};
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
                        std::string("BEGIN; SELECT pg_advisory_xact_lock(7341); ") + schema() +
                        " COMMIT;";
                    if (!execute(pg.get(), create.c_str())) {
                        set_problem("line server refused the tables: " + pg_error(pg.get()));
                        execute(pg.get(), "ROLLBACK");
                        pg.reset();
                        sent = false;
                    }
                }
            }
            if (pg) {
                sent = forward_batch(pg.get(), local.db);
                if (sent) {
                    set_problem("");
                    waiting_ = outbox_size(local.db);
                } else {
                    set_problem("line server failed: " + pg_error(pg.get()));
                    pg.reset();
                }
            }
        }
        // Straight on while a backlog drains; otherwise until woken, and
        // with a growing pause while the server is away.
        if (sent && waiting_ > 0) continue;
        pause = sent ? std::chrono::milliseconds(200)
                     : std::min(pause * 2, std::chrono::milliseconds(5000));
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, sent ? std::chrono::milliseconds(1000) : pause,
                       [this] { return stop_ || (woken_ && problem_.empty()); });
        woken_ = false;
    }
}

}  // namespace station
