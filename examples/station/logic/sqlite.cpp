// SPDX-License-Identifier: MIT
#include "logic/sqlite.h"

#include <sqlite3.h>

#include <chrono>

namespace station::sqlite {

Statement::Statement(Database& db, sqlite3_stmt* stmt, bool* in_use)
    : db_(&db), stmt_(stmt), in_use_(in_use) {}

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(other.stmt_), in_use_(other.in_use_) {
    other.stmt_ = nullptr;
}

Statement::~Statement() {
    if (!stmt_) return;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    if (in_use_)
        *in_use_ = false;
    else
        sqlite3_finalize(stmt_);
}

Statement& Statement::bind(int index, std::int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
}

Statement& Statement::bind(int index, double value) {
    sqlite3_bind_double(stmt_, index, value);
    return *this;
}

Statement& Statement::bind(int index, std::string_view value) {
    // A string_view of an empty string may have no data; SQLite reads that as NULL.
    sqlite3_bind_text(stmt_, index, value.empty() ? "" : value.data(), int(value.size()),
                      SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::bind_null(int index) {
    sqlite3_bind_null(stmt_, index);
    return *this;
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    db_->fail(rc);
}

void Statement::run() {
    while (step()) {
    }
    sqlite3_reset(stmt_);
}

std::int64_t Statement::integer(int column) const { return sqlite3_column_int64(stmt_, column); }
double Statement::real(int column) const { return sqlite3_column_double(stmt_, column); }
bool Statement::null(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

std::string Statement::text(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return p ? std::string(p, std::size_t(sqlite3_column_bytes(stmt_, column))) : std::string();
}

std::string_view Statement::text_view(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return p ? std::string_view(p, std::size_t(sqlite3_column_bytes(stmt_, column)))
             : std::string_view();
}

Database::Database(const std::string& path, int flags) : path_(path) {
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
        const int code = db_ ? sqlite3_extended_errcode(db_) : rc;
        sqlite3_close(db_);
        db_ = nullptr;
        throw Error(code, why);
    }
    sqlite3_extended_result_codes(db_, 1);
}

Database::~Database() {
    for (auto& [sql, cached] : cache_) sqlite3_finalize(cached.stmt);
    sqlite3_close(db_);
}

void Database::exec(std::string_view sql) {
    const std::string text(sql);
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) fail();
}

Statement Database::prepare(std::string_view sql) {
    auto found = cache_.find(sql);
    if (found == cache_.end()) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.data(), int(sql.size()), &stmt, nullptr) != SQLITE_OK)
            fail();
        found = cache_.emplace(std::string(sql), Cached{stmt, false}).first;
    }
    if (found->second.in_use) {
        // The same text stepped again while its cached copy is still being read.
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.data(), int(sql.size()), &stmt, nullptr) != SQLITE_OK)
            fail();
        return Statement(*this, stmt, nullptr);
    }
    // Elements of an unordered_map stay where they are as it grows.
    found->second.in_use = true;
    return Statement(*this, found->second.stmt, &found->second.in_use);
}

std::int64_t Database::last_insert_id() const { return sqlite3_last_insert_rowid(db_); }
int Database::changes() const { return sqlite3_changes(db_); }
bool Database::read_only() const { return sqlite3_db_readonly(db_, "main") == 1; }

void Database::set_progress(std::function<void()> tick) {
    progress_ = std::move(tick);
    interrupted_ = nullptr;
    if (progress_)
        sqlite3_progress_handler(db_, 20000, &Database::on_progress, this);
    else
        sqlite3_progress_handler(db_, 0, nullptr, nullptr);
}

int Database::on_progress(void* self) {
    auto* db = static_cast<Database*>(self);
    // SQLite's steps are quick and uneven: the caller hears at most every 50 ms.
    const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
    if (now - db->last_tick_ns_ < 50'000'000) return 0;
    db->last_tick_ns_ = now;
    try {
        db->progress_();
    } catch (...) {
        db->interrupted_ = std::current_exception();
        return 1;
    }
    return 0;
}

void Database::fail() const { fail(sqlite3_extended_errcode(db_)); }

void Database::fail(int code) const {
    if ((code & 0xff) == SQLITE_INTERRUPT && interrupted_) {
        auto* self = const_cast<Database*>(this);
        std::exception_ptr why = self->interrupted_;
        self->interrupted_ = nullptr;
        std::rethrow_exception(why);
    }
    // sqlite3_step returns the code; the connection's message may be older.
    const char* message = sqlite3_errmsg(db_);
    if (sqlite3_extended_errcode(db_) != code) message = sqlite3_errstr(code);
    throw Error(code, message ? message : sqlite3_errstr(code));
}

Transaction::Transaction(Database& db, Kind kind) : db_(&db) {
    db_->exec(kind == Kind::immediate ? "BEGIN IMMEDIATE" : "BEGIN");
}

Transaction::~Transaction() {
    if (db_ && !sqlite3_get_autocommit(db_->handle()))
        sqlite3_exec(db_->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit() {
    db_->exec("COMMIT");
    db_ = nullptr;
}

}  // namespace station::sqlite
