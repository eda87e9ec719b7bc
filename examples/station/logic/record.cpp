// SPDX-License-Identifier: MIT
#include "logic/record.h"

#include "logic/text.h"

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

std::string verdict_caption(Verdict verdict) {
    switch (verdict) {
        case Verdict::ok: return tr("OK");
        case Verdict::ng: return tr("NG");
        case Verdict::aborted: return tr("Aborted");
        case Verdict::error: return tr("Error");
    }
    return tr("Aborted");
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
    // Names until the description would grow past its bound; then a count.
    constexpr std::size_t kRoom = kMaxDescriptionLength - 40;
    std::string failed;
    std::size_t listed = 0, all = 0;
    for (const ItemResult& item : record.items) {
        if (item.ok) continue;
        ++all;
        if (text_length(failed) + text_length(item.name) + 2 > kRoom) continue;
        if (!failed.empty()) failed += ", ";
        failed += item.name;
        ++listed;
    }
    if (listed < all) failed = tr_format("%s and %zu more", failed, all - listed);
    record.verdict = all == 0 ? Verdict::ok : Verdict::ng;
    record.description = all == 0
                             ? tr_format("all %zu items within limits", record.items.size())
                             : tr_format("out of limits: %s", failed);
}

}  // namespace station
