// SPDX-License-Identifier: MIT
#include "logic/record.h"

namespace station {

const char* verdict_text(Verdict verdict) {
    switch (verdict) {
        case Verdict::ok: return "OK";
        case Verdict::ng: return "NG";
        case Verdict::aborted: return "Aborted";
        case Verdict::error: return "Error";
    }
    return "Aborted";
}

std::optional<Verdict> parse_verdict(const std::string& text) {
    for (Verdict v : {Verdict::ok, Verdict::ng, Verdict::aborted, Verdict::error})
        if (text == verdict_text(v)) return v;
    return std::nullopt;
}

bool within_limits(double value, double lower, double upper) {
    return value >= lower && value <= upper;
}

void conclude(TestRecord& record) {
    std::string failed;
    for (const ItemResult& item : record.items) {
        if (item.ok) continue;
        if (!failed.empty()) failed += ", ";
        failed += item.name;
    }
    record.verdict = failed.empty() ? Verdict::ok : Verdict::ng;
    record.description = failed.empty()
                             ? "all " + std::to_string(record.items.size()) + " items within limits"
                             : "out of limits: " + failed;
}

}  // namespace station
