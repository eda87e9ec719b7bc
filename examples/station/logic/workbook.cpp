// SPDX-License-Identifier: MIT
#include "logic/workbook.h"

#include <xlsxwriter.h>

#include "logic/text.h"

namespace station {

namespace {

// Records of older stations do not say what tested them.
std::string known(const std::string& text) {
    return text.empty() ? "not recorded" : text;
}

}  // namespace

void write_unit_workbook(const std::string& path, const TestRecord& record) {
    lxw_workbook* book = workbook_new(path.c_str());
    if (!book) throw WorkbookError("cannot create " + path);
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Unit");
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);

    worksheet_set_column(sheet, 0, 0, 22, nullptr);
    worksheet_set_column(sheet, 1, 6, 14, nullptr);
    const std::pair<const char*, std::string> details[] = {
        {"Serial Number", record.serial},
        {"Cell", record.cell},
        {"Begin Time", format_local(record.begin_ms)},
        {"End Time", format_local(record.end_ms)},
        {"Result", verdict_text(record.verdict)},
        {"Description", record.description},
        {"Project", known(record.project)},
        {"Project Hash", known(record.project_hash)},
        {"Station", known(record.station)},
        {"Software", known(record.software)}};
    lxw_row_t row = 0;
    for (const auto& [label, value] : details) {
        worksheet_write_string(sheet, row, 0, label, bold);
        worksheet_write_string(sheet, row, 1, value.c_str(), nullptr);
        ++row;
    }

    ++row;
    const char* headings[] = {"Item Name", "Value", "Lower", "Upper", "Unit", "Result"};
    for (lxw_col_t col = 0; col < 6; ++col)
        worksheet_write_string(sheet, row, col, headings[col], bold);
    for (const ItemResult& item : record.items) {
        ++row;
        worksheet_write_string(sheet, row, 0, item.name.c_str(), nullptr);
        worksheet_write_number(sheet, row, 1, item.value, nullptr);
        worksheet_write_number(sheet, row, 2, item.lower, nullptr);
        worksheet_write_number(sheet, row, 3, item.upper, nullptr);
        worksheet_write_string(sheet, row, 4, item.unit.c_str(), nullptr);
        worksheet_write_string(sheet, row, 5, item.ok ? "OK" : "NG", nullptr);
    }

    const lxw_error error = workbook_close(book);
    if (error != LXW_NO_ERROR)
        throw WorkbookError("cannot write " + path + ": " + lxw_strerror(error));
}

}  // namespace station
