// SPDX-License-Identifier: MIT
#include "logic/report_html.h"

#include "logic/text.h"

namespace station {

namespace {

// What the record does not say reads as such, not as an empty cell.
std::string or_unknown(const std::string& text) {
    return text.empty() ? "<i>" + html_escape(tr("not recorded")) + "</i>" : html_escape(text);
}

const char* verdict_colour(Verdict verdict) {
    switch (verdict) {
        case Verdict::ok: return "#007000";
        case Verdict::ng: return "#c00000";
        case Verdict::error: return "#a05000";
        default: return "#000000";
    }
}

void add_row(std::string& html, const std::string& caption, const std::string& value) {
    html += "<tr><td><b>";
    html += html_escape(caption);
    html += "</b></td><td>" + value + "</td></tr>\n";
}

void add_test(std::string& html, const TestRecord& t) {
    html += "<table cellspacing=\"0\" cellpadding=\"2\">\n";
    add_row(html, tr("Station"), or_unknown(t.station));
    add_row(html, tr("Project"), or_unknown(t.project));
    add_row(html, tr("Serial number"), html_escape(t.serial));
    add_row(html, tr("Cell"), html_escape(t.cell));
    add_row(html, tr("Began"), html_escape(format_local(t.begin_ms)));
    add_row(html, tr("Ended"), html_escape(format_local(t.end_ms)));
    add_row(html, tr("Verdict"),
            std::string("<font color=\"") + verdict_colour(t.verdict) + "\"><b>" +
                html_escape(verdict_caption(t.verdict)) + "</b></font>");
    if (!t.description.empty()) add_row(html, tr("Description"), html_escape(t.description));
    if (!t.software.empty()) add_row(html, tr("Software"), html_escape(t.software));
    html += "</table>\n";
    if (t.items.empty()) {
        html += "<p><i>" + html_escape(tr("No items were measured.")) + "</i></p>\n";
        return;
    }
    html +=
        "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">\n"
        "<tr bgcolor=\"#e8e8e8\"><th align=\"left\">" + html_escape(tr("Item")) +
        "</th><th align=\"right\">" + html_escape(tr("Value")) + "</th><th align=\"right\">" +
        html_escape(tr("Lower limit")) + "</th><th align=\"right\">" +
        html_escape(tr("Upper limit")) + "</th><th align=\"left\">" + html_escape(tr("Unit")) +
        "</th><th>" + html_escape(tr("Result")) + "</th></tr>\n";
    for (const ItemResult& item : t.items) {
        html += "<tr><td>" + html_escape(item.name) + "</td><td align=\"right\">" +
                html_escape(format_number(item.value)) + "</td><td align=\"right\">" +
                html_escape(format_number(item.lower)) + "</td><td align=\"right\">" +
                html_escape(format_number(item.upper)) + "</td><td>" + html_escape(item.unit) +
                "</td><td align=\"center\"><font color=\"" +
                verdict_colour(item.ok ? Verdict::ok : Verdict::ng) + "\">" +
                html_escape(item.ok ? tr("OK") : tr("NG")) + "</font></td></tr>\n";
    }
    html += "</table>\n";
}

std::string page(const std::string& title, const std::string& body) {
    return "<html><head><meta charset=\"utf-8\"><title>" + html_escape(title) +
           "</title></head><body>\n" + body + "</body></html>\n";
}

}  // namespace

std::string html_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string test_report_html(const TestRecord& test) {
    std::string body = "<h2>" + html_escape(tr("Test report")) + "</h2>\n";
    add_test(body, test);
    return page(tr_format("Test report %s", test.serial), body);
}

std::string unit_history_html(const std::string& serial, const std::vector<TestRecord>& tests) {
    std::string body = "<h2>" + html_escape(tr_format("Unit history: %s", serial)) + "</h2>\n<p>" +
                       html_escape(tests.size() == 1 ? tr("1 test.")
                                                     : tr_format("%zu tests.", tests.size())) +
                       "</p>\n";
    for (const TestRecord& t : tests) {
        body += "<hr><h3>" + html_escape(format_local(t.begin_ms)) + " &mdash; " +
                html_escape(verdict_caption(t.verdict)) + "</h3>\n";
        add_test(body, t);
    }
    return page(tr_format("Unit history %s", serial), body);
}

}  // namespace station
