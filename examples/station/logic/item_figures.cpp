// SPDX-License-Identifier: MIT
#include "logic/item_figures.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <numeric>
#include <string_view>

#include "logic/sqlite.h"
#include "logic/text.h"

namespace station {

namespace {

// SQLite keeps infinities as REAL; BETWEEN the largest doubles leaves them out.
constexpr const char* kFinite = "BETWEEN -1.7976931348623157e308 AND 1.7976931348623157e308";

// What the filter asks of a test beyond the item's project (the key holds
// that), as SQL on "t" with parameters from ?10 on. Empty: every test.
struct TestsCondition {
    std::string sql;
    std::function<void(sqlite::Statement&)> bind = [](sqlite::Statement&) {};
};

TestsCondition tests_condition(const HistoryFilter& filter) {
    TestsCondition c;
    if (!filter.cell.empty()) c.sql += " AND t.cell_id = (SELECT id FROM cells WHERE name = ?10)";
    // LIKE folds ASCII letters, as the search does; % and _ are the serial's own.
    std::string pattern;
    for (char ch : filter.serial) {
        if (ch == '%' || ch == '_' || ch == '\\') pattern += '\\';
        pattern += ch;
    }
    if (!filter.serial.empty()) c.sql += " AND t.serial LIKE ?11 ESCAPE '\\'";
    if (filter.from_ms) c.sql += " AND t.begin_ms >= ?12";
    if (filter.to_ms) c.sql += " AND t.begin_ms < ?13";
    c.bind = [filter, pattern = pattern + "%"](sqlite::Statement& s) {
        if (!filter.cell.empty()) s.bind(10, filter.cell);
        if (!filter.serial.empty()) s.bind(11, pattern);
        if (filter.from_ms) s.bind(12, *filter.from_ms);
        if (filter.to_ms) s.bind(13, *filter.to_ms);
    };
    return c;
}

// The key's readings in stored order; the tests' table only when the filter
// needs it, each test then found by its id in the order the index gives.
std::string readings_of(const TestsCondition& c) {
    return std::string(" FROM items i INDEXED BY items_by_key_test") +
           (c.sql.empty() ? "" : " JOIN tests t ON t.id = i.test_id") + " WHERE i.name_id = ?1" +
           c.sql;
}

Figure some(double value) { return {value, {}}; }

// figure_bins(value, first, width, bins): the counts of the values in bins
// of equal width from first, the top bin taking what lies above, as text
// "n0,n1,...". One pass over the rows, in step with the other aggregates:
// a GROUP BY would sort every row to find forty groups.
struct Bins {
    double first = 0, width = 0;
    std::vector<std::int64_t> counts;
};

void bins_step(sqlite3_context* context, int, sqlite3_value** argv) {
    auto** state = static_cast<Bins**>(sqlite3_aggregate_context(context, sizeof(Bins*)));
    if (!state) return sqlite3_result_error_nomem(context);
    try {
        if (!*state) {
            const std::int64_t bins = std::clamp<std::int64_t>(sqlite3_value_int64(argv[3]), 1, 4096);
            *state = new Bins{sqlite3_value_double(argv[1]), sqlite3_value_double(argv[2]),
                              std::vector<std::int64_t>(std::size_t(bins), 0)};
        }
        Bins& b = **state;
        const double v = sqlite3_value_double(argv[0]);
        // As CAST(... AS INTEGER) would: towards zero, then into range.
        const double at = b.width > 0 ? (v - b.first) / b.width : 0;
        const std::int64_t last = std::int64_t(b.counts.size()) - 1;
        const std::int64_t bin = at <= 0 ? 0 : at >= double(last) ? last : std::int64_t(at);
        ++b.counts[std::size_t(bin)];
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(context);
    }
}

void bins_final(sqlite3_context* context) {
    auto** state = static_cast<Bins**>(sqlite3_aggregate_context(context, 0));
    if (!state || !*state) return sqlite3_result_null(context);
    std::unique_ptr<Bins> b(*state);
    *state = nullptr;
    std::string text;
    for (std::int64_t n : b->counts) text += (text.empty() ? "" : ",") + std::to_string(n);
    sqlite3_result_text(context, text.c_str(), int(text.size()), SQLITE_TRANSIENT);
}

std::vector<std::int64_t> parse_bins(std::string_view text) {
    std::vector<std::int64_t> counts;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        counts.push_back(std::strtoll(std::string(text.substr(0, comma)).c_str(), nullptr, 10));
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return counts;
}

}  // namespace

ItemFigures::ItemFigures(const HistoryStore& store) : store_(store) {
    sqlite3_create_function_v2(store.handle(), "figure_bins", 4, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                               nullptr, nullptr, bins_step, bins_final, nullptr);
}

ItemLimits ItemLimits::of(double lower, double upper) {
    ItemLimits l;
    if (std::isfinite(lower)) l.lower = lower;
    if (std::isfinite(upper)) l.upper = upper;
    return l;
}

Capability capability(std::int64_t readings, std::int64_t values, double minimum,
                      double maximum, double mean, double sigma, const ItemLimits& limits) {
    Capability c;
    c.readings = readings;
    c.values = values;
    if (values == 0) {
        const std::string why = readings ? tr("no numeric values") : tr("no readings");
        c.mean = c.sigma = c.cp = c.cpk = Figure::none(why);
        return c;
    }
    c.minimum = minimum;
    c.maximum = maximum;
    // Values near the largest double add up to infinity: no figure then.
    if (!std::isfinite(mean)) {
        c.mean = c.sigma = c.cp = c.cpk = Figure::none(tr("values too large to add up"));
        return c;
    }
    c.mean = some(mean);
    if (values < 2) {
        c.sigma = c.cp = c.cpk = Figure::none(tr("needs 2 values"));
        return c;
    }
    if (!std::isfinite(sigma)) {
        c.sigma = c.cp = c.cpk = Figure::none(tr("values too large to add up"));
        return c;
    }
    c.sigma = some(sigma);
    const auto& [lower, upper] = limits;
    if (!lower && !upper) {
        c.cp = c.cpk = Figure::none(tr("no limits"));
        return c;
    }
    if (lower && upper && *lower > *upper) {
        c.cp = c.cpk = Figure::none(tr("lower limit above upper"));
        return c;
    }
    if (!(sigma > 0)) {
        c.cp = c.cpk = Figure::none(tr("no spread (sigma 0)"));
        return c;
    }
    const auto finite = [](double v) { return std::isfinite(v) ? some(v) : Figure::none(tr("too large")); };
    c.cp = lower && upper ? finite((*upper - *lower) / (6 * sigma))
                          : Figure::none(tr("needs both limits"));
    double nearest = INFINITY;
    if (upper) nearest = std::min(nearest, *upper - mean);
    if (lower) nearest = std::min(nearest, mean - *lower);
    c.cpk = finite(nearest / (3 * sigma));
    return c;
}

std::string figure_text(const Figure& figure, int digits) {
    if (!figure.value) return "\u2014";
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", digits, *figure.value);
    return text;
}

std::int64_t Histogram::total() const {
    return std::accumulate(counts.begin(), counts.end(), std::int64_t(0));
}

int ItemFigures::bins_for(std::int64_t values) {
    if (values <= 1) return 1;
    return int(std::min<double>(kMaxBins, std::ceil(std::sqrt(double(values)))));
}

std::optional<ItemFigures::Key> ItemFigures::find(const ItemKey& key,
                                                  const HistoryFilter& filter) const {
    // One project's keys never show under another's filter.
    if (filter.project && *filter.project != key.project) return std::nullopt;
    std::optional<Key> found;
    store_.read(
        "SELECT n.id, n.count, n.sum, n.sum_squares, n.minimum, n.maximum FROM item_names n "
        "JOIN projects p ON p.id = n.project_id "
        "WHERE p.name = ? AND n.name = ? AND n.unit = ? AND n.counted",
        [&](sqlite::Statement& s) {
            s.bind(1, key.project).bind(2, key.name).bind(3, key.unit);
            if (!s.step()) return;
            Key k;
            k.id = s.integer(0);
            k.count = s.integer(1);
            // An infinite reading makes the sums infinite (and SQLite keeps
            // a NaN as NULL): then only a pass over the readings can tell.
            const bool known = !s.null(2) && !s.null(3) && !s.null(4) && !s.null(5);
            if (known && k.count > 0) {
                k.sum = s.real(2);
                k.squares = s.real(3);
                k.minimum = s.real(4);
                k.maximum = s.real(5);
                k.finite = std::isfinite(k.sum) && std::isfinite(k.squares) &&
                           std::isfinite(k.minimum) && std::isfinite(k.maximum);
                const double centre = k.sum / double(k.count);
                k.centre = std::isfinite(centre) ? centre : 0;
            }
            found = k;
        });
    return found;
}

Capability ItemFigures::capability(const ItemKey& key, const HistoryFilter& filter,
                                   const ItemLimits& limits) const {
    const std::optional<Key> k = find(key, filter);
    if (!k) return station::capability(0, 0, 0, 0, 0, 0, limits);
    const TestsCondition c = tests_condition(filter);
    // Every test of the project: the running figures say it all.
    if (c.sql.empty() && k->finite) {
        const double n = double(k->count), mean = k->sum / n;
        double sigma = 0;
        if (k->count > 1 && k->minimum != k->maximum)
            sigma = std::sqrt(std::max(0.0, (k->squares - k->sum * mean) / (n - 1)));
        return station::capability(k->count, k->count, k->minimum, k->maximum, mean, sigma,
                                   limits);
    }
    // Sums of the values less the item's running mean: the squares stay
    // small, and so does what cancels in the variance.
    const std::string sql =
        "SELECT count(*), count(v), min(v), max(v), sum(v - ?2), sum((v - ?2) * (v - ?2)) "
        "FROM (SELECT CASE WHEN i.value " +
        std::string(kFinite) + " THEN i.value END AS v" + readings_of(c) + ")";
    std::int64_t readings = 0, values = 0;
    double minimum = 0, maximum = 0, mean = 0, sigma = 0;
    store_.read(sql, [&](sqlite::Statement& s) {
        s.bind(1, k->id).bind(2, k->centre);
        c.bind(s);
        if (!s.step()) return;
        readings = s.integer(0);
        values = s.integer(1);
        if (values == 0) return;
        minimum = s.real(2);
        maximum = s.real(3);
        const double n = double(values), sum = s.real(4), squares = s.real(5);
        mean = k->centre + sum / n;
        // All alike: exactly no spread, whatever the sums' rounding says.
        if (values > 1 && minimum != maximum)
            sigma = std::sqrt(std::max(0.0, (squares - sum * sum / n) / (n - 1)));
    });
    return station::capability(readings, values, minimum, maximum, mean, sigma, limits);
}

Histogram ItemFigures::histogram(const ItemKey& key, const HistoryFilter& filter, double minimum,
                                 double maximum, int bins) const {
    Histogram h;
    h.first = minimum;
    bins = std::max(1, bins);
    h.width = maximum > minimum ? (maximum - minimum) / bins : 0;
    if (!(h.width > 0) || !std::isfinite(h.width)) {
        h.width = 0;
        bins = 1;
    }
    h.counts.assign(std::size_t(bins), 0);
    const std::optional<Key> k = find(key, filter);
    if (!k) return h;
    const TestsCondition c = tests_condition(filter);
    if (c.sql.empty()) {
        // A count per bin off the index by value: ranges, no sorting.
        const std::string range =
            "SELECT count(*) FROM items INDEXED BY items_by_value WHERE name_id = ?1 "
            "AND value >= ?2 AND value < ?3";
        const std::string last =
            "SELECT count(*) FROM items INDEXED BY items_by_value WHERE name_id = ?1 "
            "AND value >= ?2 AND value <= ?3";
        for (int bin = 0; bin < bins; ++bin) {
            const bool top = bin == bins - 1;
            const double from = bin == 0 ? minimum : minimum + h.width * bin;
            const double to = top ? maximum : minimum + h.width * (bin + 1);
            store_.read(top ? last : range, [&](sqlite::Statement& s) {
                s.bind(1, k->id).bind(2, from).bind(3, to);
                if (s.step()) h.counts[std::size_t(bin)] = s.integer(0);
            });
        }
        return h;
    }
    // The top edge belongs to the last bin.
    const std::string sql =
        "SELECT min(CAST((i.value - ?2) / ?3 AS INTEGER), ?4) AS bin, count(*)" +
        readings_of(c) + " AND i.value BETWEEN ?2 AND ?5 GROUP BY bin";
    store_.read(sql, [&](sqlite::Statement& s) {
        s.bind(1, k->id).bind(2, minimum).bind(3, h.width > 0 ? h.width : 1.0);
        s.bind(4, std::int64_t(bins - 1)).bind(5, maximum);
        c.bind(s);
        while (s.step()) {
            const std::int64_t bin = std::clamp<std::int64_t>(s.integer(0), 0, bins - 1);
            h.counts[std::size_t(bin)] += s.integer(1);
        }
    });
    return h;
}

ItemFigures::Picture ItemFigures::picture(const ItemKey& key, const HistoryFilter& filter,
                                          const ItemLimits& limits) const {
    const std::optional<Key> k = find(key, filter);
    const TestsCondition c = tests_condition(filter);
    if (!k || c.sql.empty() || !k->finite) {
        Picture p{capability(key, filter, limits), {}};
        const Capability& f = p.capability;
        p.histogram = f.values ? histogram(key, filter, f.minimum, f.maximum, bins_for(f.values))
                               : Histogram{};
        return p;
    }
    // Bins over the project's range, sums per bin: one pass over the readings.
    Picture p;
    Histogram& h = p.histogram;
    int bins = bins_for(k->count);
    h.first = k->minimum;
    h.width = k->maximum > k->minimum ? (k->maximum - k->minimum) / bins : 0;
    if (!(h.width > 0) || !std::isfinite(h.width)) {
        h.width = 0;
        bins = 1;
    }
    h.counts.assign(std::size_t(bins), 0);
    const std::string sql =
        "SELECT count(*), min(i.value), max(i.value), sum(i.value - ?5), "
        "sum((i.value - ?5) * (i.value - ?5)), figure_bins(i.value, ?2, ?3, ?4)" +
        readings_of(c) + " AND i.value " + kFinite;
    std::int64_t values = 0;
    double minimum = 0, maximum = 0, sum = 0, squares = 0;
    store_.read(sql, [&](sqlite::Statement& s) {
        s.bind(1, k->id).bind(2, h.first).bind(3, h.width).bind(4, std::int64_t(bins));
        s.bind(5, k->centre);
        c.bind(s);
        if (!s.step() || s.integer(0) == 0) return;
        values = s.integer(0);
        minimum = s.real(1);
        maximum = s.real(2);
        sum = s.real(3);
        squares = s.real(4);
        const std::vector<std::int64_t> counts = parse_bins(s.text_view(5));
        if (counts.size() == h.counts.size()) h.counts = counts;
    });
    if (values == 0) {
        p.capability = capability(key, filter, limits);  // says why: no readings, or no numbers
        return p;
    }
    const double n = double(values);
    double sigma = 0;
    if (values > 1 && minimum != maximum)
        sigma = std::sqrt(std::max(0.0, (squares - sum * sum / n) / (n - 1)));
    p.capability = station::capability(values, values, minimum, maximum, k->centre + sum / n,
                                       sigma, limits);
    return p;
}

std::vector<TrendPoint> ItemFigures::trend(const ItemKey& key, const HistoryFilter& filter,
                                           int tests) const {
    std::vector<TrendPoint> points;
    const std::optional<Key> k = find(key, filter);
    if (!k || tests <= 0) return points;
    TestsCondition c = tests_condition(filter);
    const std::string sql = "SELECT t.begin_ms, i.value, i.ok FROM items i INDEXED BY "
                            "items_by_key_test JOIN tests t ON t.id = i.test_id "
                            "WHERE i.name_id = ?1" +
                            c.sql + " ORDER BY i.test_id DESC LIMIT ?2";
    store_.read(sql, [&](sqlite::Statement& s) {
        s.bind(1, k->id).bind(2, std::int64_t(tests));
        c.bind(s);
        while (s.step()) {
            const double value = s.real(1);
            if (std::isfinite(value)) points.push_back({s.integer(0), value, s.integer(2) != 0});
        }
    });
    // Stored order is the order tests ended in; imports may have added older ones late.
    std::reverse(points.begin(), points.end());
    std::stable_sort(points.begin(), points.end(),
                     [](const TrendPoint& a, const TrendPoint& b) { return a.begin_ms < b.begin_ms; });
    return points;
}

}  // namespace station
