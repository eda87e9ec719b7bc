// SPDX-License-Identifier: MIT
#include "host/report_printing.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <unistd.h>

#include <wx/dcgraph.h>
#include <wx/graphics.h>
#include <wx/html/htmprint.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/print.h>

#include "host/look.h"
#include "logic/report_html.h"

namespace station {

namespace {

// The page in the printout's pixels: A4 at 300 dots per inch, drawn on a
// PDF surface whose unit is the point.
constexpr int kDpi = 300;
constexpr int kPageWidthMm = 210, kPageHeightMm = 297;
constexpr double kPointsPerInch = 72.0;
constexpr double kMmPerInch = 25.4;

const wxString kFooter = "<p align=\"right\"><font size=\"2\">@TITLE@ &mdash; page @PAGENUM@ of "
                         "@PAGESCNT@</font></p>";

// wxHtmlPrintout scales by the DC's size: a DC on a cairo context made from
// a native one would say 0 x 0, so this one says the page's size.
class PageDCImpl : public wxGCDCImpl {
public:
    PageDCImpl(wxDC* owner, wxGraphicsContext* context, wxSize size)
        : wxGCDCImpl(owner, context), size_(size) {}
    void DoGetSize(int* width, int* height) const override {
        if (width) *width = size_.x;
        if (height) *height = size_.y;
    }
    wxSize GetPPI() const override { return wxSize(kDpi, kDpi); }

private:
    wxSize size_;
};

class PageDC : public wxDC {
public:
    PageDC(wxGraphicsContext* context, wxSize size)
        : wxDC(new PageDCImpl(this, context, size)) {}
};

// The PDF's bytes go through our own file, so that a failed write is known
// with the system's reason.
struct PdfFile {
    std::FILE* file = nullptr;
    int error = 0;
};

cairo_status_t write_bytes(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<PdfFile*>(closure);
    if (std::fwrite(data, 1, length, out->file) != length) {
        out->error = errno ? errno : EIO;
        return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
}

std::runtime_error cannot_write(const std::string& path, const std::string& why) {
    return std::runtime_error("cannot write the PDF file " + path + ": " + why);
}

}  // namespace

bool print_html(wxWindow* parent, const wxString& html, const wxString& title) {
    wxHtmlEasyPrinting printing(title, parent);
    printing.SetFooter(kFooter);
    if (printing.PrintText(html)) return true;
    // Cancel is not a failure; the rest is told.
    if (wxPrinter::GetLastError() != wxPRINTER_CANCELLED) {
        wxLogError("Printing \"%s\" failed", title);
        wxMessageBox(_("The report was not printed: the printer or the print system refused it."),
                     title, wxOK | wxICON_ERROR, parent);
    }
    return false;
}

void write_pdf(const wxString& html, const std::string& path, const wxString& title) {
    // A failed write must not cost the file a report of the same name left
    // there before: the pages go to a file beside it, renamed when whole.
    const std::string part = path + ".part";
    PdfFile out;
    out.file = std::fopen(part.c_str(), "wb");
    if (!out.file) throw cannot_write(path, std::strerror(errno));
    const double width_pt = kPageWidthMm / kMmPerInch * kPointsPerInch;
    const double height_pt = kPageHeightMm / kMmPerInch * kPointsPerInch;
    cairo_surface_t* surface =
        cairo_pdf_surface_create_for_stream(write_bytes, &out, width_pt, height_pt);
    cairo_t* cairo = cairo_create(surface);
    cairo_scale(cairo, kPointsPerInch / kDpi, kPointsPerInch / kDpi);
    const wxSize page(int(kPageWidthMm / kMmPerInch * kDpi), int(kPageHeightMm / kMmPerInch * kDpi));
    {
        wxGraphicsContext* context =
            wxGraphicsRenderer::GetCairoRenderer()->CreateContextFromNativeContext(cairo);
        PageDC dc(context, page);
        wxHtmlPrintout printout(title);
        printout.SetFooter(kFooter);
        printout.SetHtmlText(html);
        printout.SetDC(&dc);
        printout.SetPPIPrinter(kDpi, kDpi);
        // wxHtml's own idea of a screen: the page looks the same on every display.
        printout.SetPPIScreen(96, 96);
        printout.SetPageSizePixels(page.x, page.y);
        printout.SetPageSizeMM(kPageWidthMm, kPageHeightMm);
        printout.SetPaperRectPixels(wxRect(page));
        printout.OnPreparePrinting();
        int first = 1, last = 1, from = 1, to = 1;
        printout.GetPageInfo(&first, &last, &from, &to);
        printout.OnBeginPrinting();
        printout.OnBeginDocument(first, last);
        for (int number = first; number <= last && printout.HasPage(number); ++number) {
            printout.OnPrintPage(number);
            context->Flush();
            cairo_show_page(cairo);
        }
        printout.OnEndDocument();
        printout.OnEndPrinting();
    }
    cairo_destroy(cairo);
    cairo_surface_finish(surface);
    const cairo_status_t status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    const bool flushed = std::fflush(out.file) == 0 && ::fsync(::fileno(out.file)) == 0;
    if (!flushed && !out.error) out.error = errno ? errno : EIO;
    const bool closed = std::fclose(out.file) == 0;
    if (!closed && !out.error) out.error = errno ? errno : EIO;
    if (status != CAIRO_STATUS_SUCCESS || out.error) {
        std::remove(part.c_str());
        throw cannot_write(path, out.error ? std::strerror(out.error)
                                           : cairo_status_to_string(status));
    }
    if (std::rename(part.c_str(), path.c_str()) != 0) {
        const int error = errno;
        std::remove(part.c_str());
        throw cannot_write(path, std::strerror(error));
    }
}

void print_test_report(wxWindow* parent, const TestRecord& test) {
    print_html(parent, from_utf8(test_report_html(test)),
               wxString::Format(_("Test report %s"), from_utf8(test.serial)));
}

}  // namespace station
