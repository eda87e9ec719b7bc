// SPDX-License-Identifier: MIT
#include "logic/pg_line.h"

#include <libpq-fe.h>

#include <memory>

#include "logic/text.h"

namespace station {

namespace {

constexpr const char* kCopiedUpTo = "line_copied_up_to";

std::string first_line(const char* text) {
    std::string s = text ? text : "";
    const std::size_t end = s.find('\n');
    return end == std::string::npos ? s : s.substr(0, end);
}

}  // namespace

std::string redacted_address(std::string_view address) {
    std::string text(address);
    // user:password@ in a URI's authority.
    if (const std::size_t scheme = text.find("://"); scheme != std::string::npos) {
        const std::size_t start = scheme + 3;
        const std::size_t end = text.find_first_of("/?", start);
        const std::size_t at = text.rfind('@', end == std::string::npos ? text.size() : end);
        if (at != std::string::npos && at >= start) {
            const std::size_t colon = text.find(':', start);
            if (colon != std::string::npos && colon < at)
                text.replace(colon + 1, at - colon - 1, "***");
        }
    }
    // password=... as a URI parameter or a keyword of a connection string.
    for (std::size_t pos = 0; (pos = text.find("password", pos)) != std::string::npos;) {
        const bool keyword_start = pos == 0 || text[pos - 1] == '?' || text[pos - 1] == '&' ||
                                   text[pos - 1] == ' ' || text[pos - 1] == '\t';
        std::size_t value = pos + 8;
        while (value < text.size() && text[value] == ' ') ++value;
        if (!keyword_start || value >= text.size() || text[value] != '=') {
            pos += 8;
            continue;
        }
        ++value;
        while (value < text.size() && text[value] == ' ') ++value;
        std::size_t end = value;
        if (end < text.size() && text[end] == '\'') {
            for (++end; end < text.size() && text[end] != '\''; ++end)
                if (text[end] == '\\') ++end;
            if (end < text.size()) ++end;
        } else {
            end = text.find_first_of("& \t", value);
            if (end == std::string::npos) end = text.size();
        }
        text.replace(value, end - value, "***");
        pos = value + 3;
    }
    return text;
}

std::size_t copy_line_history(const std::string& address, HistoryStore& store) {
    std::unique_ptr<PGconn, void (*)(PGconn*)> pg(PQconnectdb(address.c_str()), PQfinish);
    if (PQstatus(pg.get()) != CONNECTION_OK)
        throw LineServerError("cannot reach the line server: " +
                              first_line(PQerrorMessage(pg.get())));
    const std::string after = store.setting(kCopiedUpTo).empty() ? "0" : store.setting(kCopiedUpTo);
    const char* params[] = {after.c_str()};
    // Rows stream one by one: a line's history does not fit a result set in memory.
    if (!PQsendQueryParams(pg.get(),
                           // A server only older stations used has no columns for
                           // what tested a unit: read them from the row as JSON.
                           "SELECT t.id, t.station, t.cell, t.serial, t.begin_ms, t.end_ms, "
                           "t.verdict, t.description, i.name, i.value, i.lower, i.upper, i.unit, "
                           "i.ok, coalesce(to_jsonb(t) ->> 'project', ''), "
                           "coalesce(to_jsonb(t) ->> 'project_hash', ''), "
                           "coalesce(to_jsonb(t) ->> 'software', '') "
                           "FROM tests t LEFT JOIN items i ON i.test_id = t.id "
                           "WHERE t.id > $1 ORDER BY t.id, i.position",
                           1, nullptr, params, nullptr, nullptr, 0) ||
        !PQsetSingleRowMode(pg.get()))
        throw LineServerError("the line server refused the query: " +
                              first_line(PQerrorMessage(pg.get())));

    long long last_id = std::stoll(after);
    std::string failure;
    const HistoryStore::ImportResult result = store.import_from([&](const auto& add) {
        TestRecord record;
        long long current = -1;
        while (PGresult* raw = PQgetResult(pg.get())) {
            std::unique_ptr<PGresult, void (*)(PGresult*)> row(raw, PQclear);
            const ExecStatusType status = PQresultStatus(raw);
            if (status == PGRES_TUPLES_OK) continue;  // the end of the rows
            if (status != PGRES_SINGLE_TUPLE) {
                failure = first_line(PQresultErrorMessage(raw));
                continue;  // drain, then fail outside
            }
            const long long id = std::stoll(PQgetvalue(raw, 0, 0));
            if (id != current) {
                if (current >= 0) add(record);
                current = id;
                last_id = id;
                record = TestRecord{};
                record.cell = std::string(PQgetvalue(raw, 0, 1)) + " / " + PQgetvalue(raw, 0, 2);
                record.serial = PQgetvalue(raw, 0, 3);
                record.begin_ms = std::stoll(PQgetvalue(raw, 0, 4));
                record.end_ms = std::stoll(PQgetvalue(raw, 0, 5));
                record.verdict = parse_verdict(PQgetvalue(raw, 0, 6)).value_or(Verdict::aborted);
                record.description = PQgetvalue(raw, 0, 7);
                record.station = PQgetvalue(raw, 0, 1);
                record.project = PQgetvalue(raw, 0, 14);
                record.project_hash = PQgetvalue(raw, 0, 15);
                record.software = PQgetvalue(raw, 0, 16);
            }
            if (PQgetisnull(raw, 0, 8)) continue;
            // The server writes numbers the C way, whatever this process's locale.
            const auto number = [&](int col) {
                return parse_number(PQgetvalue(raw, 0, col)).value_or(0.0);
            };
            record.items.push_back({PQgetvalue(raw, 0, 8), number(9), number(10), number(11),
                                    PQgetvalue(raw, 0, 12), PQgetvalue(raw, 0, 13)[0] == 't'});
        }
        if (!failure.empty()) throw LineServerError("the line server failed: " + failure);
        if (current >= 0) add(record);
    });
    store.set_setting(kCopiedUpTo, std::to_string(last_id));
    return result.added;
}

}  // namespace station
