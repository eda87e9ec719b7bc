// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include <wx/string.h>

#include "logic/record.h"

class wxWindow;

namespace station {

// A report through wx's print dialog: a printer, or the dialog's own print
// to file. False when the operator cancelled or printing failed (then told).
bool print_html(wxWindow* parent, const wxString& html, const wxString& title);

// The report as a PDF file, A4, with no dialog: wxHtmlPrintout's pages drawn
// on a cairo PDF surface. Throws std::runtime_error naming the file and why
// it could not be written.
void write_pdf(const wxString& html, const std::string& path, const wxString& title);

// A test's report through the print dialog.
void print_test_report(wxWindow* parent, const TestRecord& test);

}  // namespace station
