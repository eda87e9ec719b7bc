// SPDX-License-Identifier: MIT
// The benchmark's inserts through SOCI, apart from the plain SQLite ones:
// SOCI's back end wraps the SQLite API in a namespace of its own.

#include <soci/soci-config.h>
// Debian's SOCI is configured with Boost, which this program does not need
// and the machine may not have; the Boost parts are header-only templates.
#undef SOCI_HAVE_BOOST
#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;
double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}
namespace fs = std::filesystem;
}  // namespace

std::vector<double> soci_api(const std::string& path, int tests, bool sync) {
    fs::remove(path);
    soci::session sql(*soci::factory_sqlite3(), "db=" + path);
    sql << "PRAGMA journal_mode = WAL";
    sql << (sync ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = OFF");
    sql << "CREATE TABLE t(id INTEGER PRIMARY KEY, serial TEXT, begin_ms INTEGER, verdict INTEGER)";
    sql << "CREATE TABLE i(test_id INTEGER, position INTEGER, value REAL, ok INTEGER)";
    std::string serial;
    long long begin = 0, id = 0;
    int verdict = 0, position = 0, ok = 1;
    double value = 0;
    soci::statement test = (sql.prepare << "INSERT INTO t(serial, begin_ms, verdict) "
                                           "VALUES (:s, :b, :v)",
                            soci::use(serial), soci::use(begin), soci::use(verdict));
    soci::statement item = (sql.prepare << "INSERT INTO i VALUES (:t, :p, :v, :o)", soci::use(id),
                            soci::use(position), soci::use(value), soci::use(ok));
    std::vector<double> times;
    for (int n = 0; n < tests; ++n) {
        const auto start = Clock::now();
        soci::transaction transaction(sql);
        serial = "SN" + std::to_string(n);
        begin = 1770000000000 + n;
        test.execute(true);
        sql.get_last_insert_id("t", id);
        for (position = 0; position < 8; ++position) {
            value = 5.0 + position;
            item.execute(true);
        }
        transaction.commit();
        times.push_back(ms_since(start));
    }
    return times;
}
