// SPDX-License-Identifier: MIT
#pragma once

// The station's one way to use SQLite: a connection, its prepared statements
// and transactions, each released by its destructor. Every failure is an
// sqlite::Error carrying SQLite's extended result code, so that callers tell
// a damaged file from a full disk or a lock by the code, never by the text.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace station::sqlite {

class Error : public std::runtime_error {
public:
    Error(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    // SQLite's extended result code (SQLITE_IOERR_WRITE, SQLITE_CORRUPT_INDEX, ...).
    int code() const { return code_; }
    // Its primary code (SQLITE_IOERR, SQLITE_CORRUPT, ...).
    int primary() const { return code_ & 0xff; }

private:
    int code_;
};

class Database;

// One use of a prepared statement. Statements are prepared once per
// connection and kept, keyed by their text; a use resets and unbinds its
// statement when it goes, so the next use finds it ready. A statement still
// in use when the same text is asked for again gets a fresh copy.
class Statement {
public:
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&&) = delete;
    ~Statement();

    Statement& bind(int index, std::int64_t value);
    Statement& bind(int index, int value) { return bind(index, std::int64_t(value)); }
    Statement& bind(int index, double value);
    Statement& bind(int index, std::string_view value);
    Statement& bind(int index, const std::string& value) { return bind(index, std::string_view(value)); }
    Statement& bind(int index, const char* value) { return bind(index, std::string_view(value)); }
    Statement& bind_null(int index);

    // True with a row to read, false when done; throws Error.
    bool step();
    // Steps to the end, for statements that return no rows.
    void run();

    std::int64_t integer(int column) const;
    double real(int column) const;
    bool null(int column) const;
    std::string text(int column) const;
    // The text without a copy, valid until the next step: for scans over
    // millions of rows.
    std::string_view text_view(int column) const;

private:
    friend class Database;
    Statement(Database& db, sqlite3_stmt* stmt, bool* in_use);

    Database* db_;
    sqlite3_stmt* stmt_;
    bool* in_use_;  // the cache's flag; null for a copy made because the cached one was in use
};

class Database {
public:
    // Opens path with SQLite's open flags (SQLITE_OPEN_READWRITE, ...), with
    // extended result codes on. Throws Error.
    Database(const std::string& path, int flags);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const std::string& path() const { return path_; }
    sqlite3* handle() const { return db_; }

    // Runs one or more statements that return nothing. Throws Error.
    void exec(std::string_view sql);
    Statement prepare(std::string_view sql);

    std::int64_t last_insert_id() const;
    // Rows changed by the last statement.
    int changes() const;
    bool read_only() const;

    // Called now and then while a long statement runs (every few thousand
    // steps of SQLite's machine, at most every interval); empty turns it off.
    // The callback may throw to interrupt the statement: the statement then
    // fails with SQLITE_INTERRUPT and the callback's exception is rethrown.
    void set_progress(std::function<void()> tick);

    // The error SQLite reports for the last call on this connection.
    [[noreturn]] void fail() const;
    [[noreturn]] void fail(int code) const;

private:
    friend class Statement;
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    struct Cached {
        sqlite3_stmt* stmt = nullptr;
        bool in_use = false;
    };
    static int on_progress(void* self);

    std::string path_;
    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, Cached, Hash, std::equal_to<>> cache_;
    std::function<void()> progress_;
    std::int64_t last_tick_ns_ = 0;
    std::exception_ptr interrupted_;
};

// BEGIN IMMEDIATE (or DEFERRED for readers) now; ROLLBACK unless commit()
// was called, so a fault anywhere leaves the file as it was.
class Transaction {
public:
    enum class Kind { immediate, deferred };
    explicit Transaction(Database& db, Kind kind = Kind::immediate);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Database* db_;
};

}  // namespace station::sqlite
