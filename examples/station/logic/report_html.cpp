// SPDX-License-Identifier: MIT
#include "logic/report_html.h"

#include "logic/text.h"

namespace station {

namespace {

// What the record does not say reads as such, not as an empty cell.
std::string or_unknown(const std::string& text) {
    return text.empty() ? "<i>not recorded</i>" : html_escape(text);
}

const char* verdict_colour(Verdict verdict) {
    switch (verdict) {
        case Verdict::ok: return "#007000";
        case Verdict::ng: return "#c00000";
        case Verdict::error: return "#a05000";
        default: return "#000000";
    }
}

void add_row(std::string& html, const char* caption, const std::string& value) {
    html += "<tr><td><b>";
    html += caption;
    html += "</b></td><td>" + value + "</td></tr>\n";
}

void add_test(std::string& html, const TestRecord& t) {
    html += "<table cellspacing=\"0\" cellpadding=\"2\">\n";
    add_row(html, "Station", or_unknown(t.station));
    add_row(html, "Project", or_unknown(t.project));
    add_row(html, "Serial number", html_escape(t.serial));
    add_row(html, "Cell", html_escape(t.cell));
    add_row(html, "Began", html_escape(format_local(t.begin_ms)));
    add_row(html, "Ended", html_escape(format_local(t.end_ms)));
    add_row(html, "Verdict",
            std::string("<font color=\"") + verdict_colour(t.verdict) + "\"><b>" +
                verdict_text(t.verdict) + "</b></font>");
    if (!t.description.empty()) add_row(html, "Description", html_escape(t.description));
    if (!t.software.empty()) add_row(html, "Software", html_escape(t.software));
    html += "</table>\n";
    if (t.items.empty()) {
        html += "<p><i>No items were measured.</i></p>\n";
        return;
    }
    html +=
        "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">\n"
        "<tr bgcolor=\"#e8e8e8\"><th align=\"left\">Item</th><th align=\"right\">Value</th>"
        "<th align=\"right\">Lower limit</th><th align=\"right\">Upper limit</th>"
        "<th align=\"left\">Unit</th><th>Result</th></tr>\n";
    for (const ItemResult& item : t.items) {
        html += "<tr><td>" + html_escape(item.name) + "</td><td align=\"right\">" +
                html_escape(format_number(item.value)) + "</td><td align=\"right\">" +
                html_escape(format_number(item.lower)) + "</td><td align=\"right\">" +
                html_escape(format_number(item.upper)) + "</td><td>" + html_escape(item.unit) +
                "</td><td align=\"center\"><font color=\"" +
                verdict_colour(item.ok ? Verdict::ok : Verdict::ng) + "\">" +
                (item.ok ? "OK" : "NG") + "</font></td></tr>\n";
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
    std::string body = "<h2>Test report</h2>\n";
    add_test(body, test);
    return page("Test report " + test.serial, body);
}

std::string unit_history_html(const std::string& serial, const std::vector<TestRecord>& tests) {
    std::string body = "<h2>Unit history: " + html_escape(serial) + "</h2>\n<p>" +
                       std::to_string(tests.size()) +
                       (tests.size() == 1 ? " test" : " tests") + ".</p>\n";
    for (const TestRecord& t : tests) {
        body += "<hr><h3>" + html_escape(format_local(t.begin_ms)) + " &mdash; " +
                verdict_text(t.verdict) + "</h3>\n";
        add_test(body, t);
    }
    return page("Unit history " + serial, body);
}

}  // namespace station
