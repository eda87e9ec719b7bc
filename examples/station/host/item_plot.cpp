// SPDX-License-Identifier: MIT
#include "host/item_plot.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include <wx/dcbuffer.h>
#include <wx/graphics.h>
#include <wx/sizer.h>
#include <wx/settings.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "host/look.h"
#include "logic/text.h"

namespace station {

namespace {

// A tick step of 1, 2 or 5 times a power of ten giving about `ticks` ticks.
double nice_step(double span, int ticks) {
    const double raw = span / std::max(1, ticks);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (raw <= m * power) return m * power;
    return 10 * power;
}

wxString tick_text(double v, double step) {
    // Enough decimals for the step, none beyond.
    const int decimals = std::clamp(int(-std::floor(std::log10(step) + 1e-9)), 0, 9);
    if (std::fabs(v) < step * 1e-6) v = 0;
    return wxString::Format("%.*f", decimals, v);
}

// Widens [lo, hi] to take v in.
void take(double& lo, double& hi, std::optional<double> v) {
    if (!v) return;
    lo = std::min(lo, *v);
    hi = std::max(hi, *v);
}

// A range of no width (one value) made visible, then a margin on each side.
void open_up(double& lo, double& hi, double margin) {
    if (!(hi > lo)) {
        const double half = std::max(std::fabs(lo) * 0.05, 1e-9);
        lo -= half;
        hi += half;
    }
    const double pad = (hi - lo) * margin;
    lo -= pad;
    hi += pad;
}

wxColour bar_colour() { return wxColour(70, 130, 180); }

}  // namespace

ItemPlot::ItemPlot(wxWindow* parent, Kind kind)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxFULL_REPAINT_ON_RESIZE),
      kind_(kind) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetMinSize(FromDIP(wxSize(280, 140)));
    SetName(kind == Kind::histogram ? "histogram" : "trend");
    Bind(wxEVT_PAINT, &ItemPlot::on_paint, this);
}

void ItemPlot::show_histogram(const Histogram& histogram, const ItemLimits& limits,
                              std::optional<double> mean) {
    histogram_ = histogram;
    limits_ = limits;
    mean_ = mean;
    has_data_ = histogram.total() > 0;
    message_ = has_data_ ? wxString() : _("no values");
    set_ranges();
    Refresh();
}

void ItemPlot::show_trend(std::vector<TrendPoint> points, const ItemLimits& limits,
                          std::optional<double> mean) {
    points_ = std::move(points);
    limits_ = limits;
    mean_ = mean;
    has_data_ = !points_.empty();
    message_ = has_data_ ? wxString() : _("no values");
    set_ranges();
    Refresh();
}

void ItemPlot::show_nothing(const wxString& message) {
    has_data_ = false;
    message_ = message;
    histogram_ = {};
    points_.clear();
    Refresh();
}

void ItemPlot::set_ranges() {
    if (!has_data_) return;
    if (kind_ == Kind::histogram) {
        x_lo_ = histogram_.first;
        x_hi_ = histogram_.first + histogram_.width * double(histogram_.counts.size());
        take(x_lo_, x_hi_, limits_.lower);
        take(x_lo_, x_hi_, limits_.upper);
        open_up(x_lo_, x_hi_, 0.04);
        y_lo_ = 0;
        y_hi_ = double(*std::max_element(histogram_.counts.begin(), histogram_.counts.end())) * 1.12;
    } else {
        x_lo_ = -0.5;
        x_hi_ = double(points_.size()) - 0.5;
        y_lo_ = y_hi_ = points_.front().value;
        for (const TrendPoint& p : points_) take(y_lo_, y_hi_, p.value);
        take(y_lo_, y_hi_, limits_.lower);
        take(y_lo_, y_hi_, limits_.upper);
        open_up(y_lo_, y_hi_, 0.08);
    }
}

wxRect ItemPlot::area() const {
    const wxSize size = GetClientSize();
    const int left = FromDIP(58), right = FromDIP(10), top = FromDIP(18), bottom = FromDIP(20);
    return wxRect(left, top, std::max(1, size.x - left - right),
                  std::max(1, size.y - top - bottom));
}

double ItemPlot::x_of(double x) const {
    const wxRect a = area();
    return a.x + (x - x_lo_) / (x_hi_ - x_lo_) * a.width;
}

double ItemPlot::y_of(double y) const {
    const wxRect a = area();
    return a.y + a.height - (y - y_lo_) / (y_hi_ - y_lo_) * a.height;
}

void ItemPlot::on_paint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
    dc.Clear();
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
    if (gc) draw(*gc);
}

void ItemPlot::draw(wxGraphicsContext& gc) const {
    const wxRect a = area();
    const wxColour paper = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    const wxColour ink = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT);
    const wxColour faint = wxColour((paper.Red() + ink.Red() * 3) / 4,
                                    (paper.Green() + ink.Green() * 3) / 4,
                                    (paper.Blue() + ink.Blue() * 3) / 4);
    const wxColour grid((paper.Red() * 7 + ink.Red()) / 8, (paper.Green() * 7 + ink.Green()) / 8,
                        (paper.Blue() * 7 + ink.Blue()) / 8);
    gc.SetAntialiasMode(wxANTIALIAS_DEFAULT);
    gc.SetPen(wxPen(faint));
    gc.SetBrush(wxBrush(paper));
    gc.DrawRectangle(a.x, a.y, a.width, a.height);
    gc.SetFont(GetFont(), ink);
    if (!has_data_) {
        double w = 0, h = 0;
        gc.GetTextExtent(message_, &w, &h);
        gc.DrawText(message_, a.x + (a.width - w) / 2, a.y + (a.height - h) / 2);
        return;
    }
    gc.Clip(a.x - FromDIP(56), a.y - FromDIP(18), a.width + FromDIP(66), a.height + FromDIP(38));

    // Grid and tick labels.
    const double x_step = kind_ == Kind::histogram ? nice_step(x_hi_ - x_lo_, 5) : 0;
    const double y_step = nice_step(y_hi_ - y_lo_, 4);
    gc.SetPen(wxPen(grid));
    for (double y = std::ceil(y_lo_ / y_step) * y_step; y <= y_hi_; y += y_step) {
        const double py = y_of(y);
        gc.StrokeLine(a.x, py, a.GetRight(), py);
        const wxString text = kind_ == Kind::histogram ? wxString::Format("%.0f", y)
                                                       : tick_text(y, y_step);
        double w = 0, h = 0;
        gc.GetTextExtent(text, &w, &h);
        gc.DrawText(text, a.x - w - FromDIP(4), py - h / 2);
    }
    if (kind_ == Kind::histogram) {
        for (double x = std::ceil(x_lo_ / x_step) * x_step; x <= x_hi_; x += x_step) {
            const double px = x_of(x);
            gc.StrokeLine(px, a.y, px, a.GetBottom());
            const wxString text = tick_text(x, x_step);
            double w = 0, h = 0;
            gc.GetTextExtent(text, &w, &h);
            gc.DrawText(text, px - w / 2, a.GetBottom() + FromDIP(3));
        }
    } else {
        // The first and the last test's time under the ends of the line.
        const wxString first = from_utf8(format_local(points_.front().begin_ms));
        const wxString last = from_utf8(format_local(points_.back().begin_ms));
        double w = 0, h = 0;
        gc.DrawText(first, a.x, a.GetBottom() + FromDIP(3));
        gc.GetTextExtent(last, &w, &h);
        if (points_.size() > 1) gc.DrawText(last, a.GetRight() - w, a.GetBottom() + FromDIP(3));
    }

    const auto outside = [&](double v) {
        return (limits_.lower && v < *limits_.lower) || (limits_.upper && v > *limits_.upper);
    };
    if (kind_ == Kind::histogram) {
        const std::size_t bins = histogram_.counts.size();
        for (std::size_t i = 0; i < bins; ++i) {
            const std::int64_t n = histogram_.counts[i];
            if (n == 0) continue;
            const double from = histogram_.first + histogram_.width * double(i);
            double left = x_of(from), right = x_of(from + histogram_.width);
            if (histogram_.width == 0) {
                left -= FromDIP(3);
                right += FromDIP(3);
            }
            const double top = y_of(double(n));
            const bool ng = outside(from + histogram_.width / 2);
            const wxColour fill = ng ? ng_colour() : bar_colour();
            gc.SetPen(wxPen(paper));
            gc.SetBrush(wxBrush(fill));
            gc.DrawRectangle(left, top, std::max(1.0, right - left), a.GetBottom() + 1 - top);
        }
    } else {
        wxGraphicsPath line = gc.CreatePath();
        for (std::size_t i = 0; i < points_.size(); ++i) {
            const double px = x_of(double(i)), py = y_of(points_[i].value);
            if (i == 0)
                line.MoveToPoint(px, py);
            else
                line.AddLineToPoint(px, py);
        }
        gc.SetPen(wxPen(faint));
        gc.StrokePath(line);
        const double r = points_.size() > 100 ? FromDIP(2) : FromDIP(3);
        gc.SetPen(*wxTRANSPARENT_PEN);
        for (std::size_t i = 0; i < points_.size(); ++i) {
            gc.SetBrush(wxBrush(points_[i].ok ? readable_on(ok_colour(), paper) : ng_colour()));
            gc.DrawEllipse(x_of(double(i)) - r, y_of(points_[i].value) - r, 2 * r, 2 * r);
        }
    }

    // The mean, then the limits over everything, each named where it is.
    if (mean_) {
        gc.SetPen(wxPen(faint, 1, wxPENSTYLE_SHORT_DASH));
        if (kind_ == Kind::histogram)
            gc.StrokeLine(x_of(*mean_), a.y, x_of(*mean_), a.GetBottom());
        else
            gc.StrokeLine(a.x, y_of(*mean_), a.GetRight(), y_of(*mean_));
    }
    gc.SetPen(wxPen(limit_colour(), FromDIP(2)));
    gc.SetFont(GetFont(), readable_on(limit_colour(), paper));
    for (const auto& [limit, name] : {std::pair{limits_.lower, wxTRANSLATE("LSL")}, std::pair{limits_.upper, wxTRANSLATE("USL")}}) {
        if (!limit) continue;
        const wxString text = wxString::Format("%s %s", wxGetTranslation(name), from_utf8(format_number(*limit)));
        double w = 0, h = 0;
        gc.GetTextExtent(text, &w, &h);
        if (kind_ == Kind::histogram) {
            const double px = std::round(x_of(*limit));
            gc.StrokeLine(px, a.y, px, a.GetBottom());
            const bool left = limit == limits_.lower;
            gc.DrawText(text, left ? px - w - FromDIP(2) : px + FromDIP(2), a.y - h - 1);
        } else {
            const double py = std::round(y_of(*limit));
            gc.StrokeLine(a.x, py, a.GetRight(), py);
            gc.DrawText(text, a.GetRight() - w - FromDIP(2),
                        limit == limits_.upper ? py - h - 1 : py + 1);
        }
    }
}

ItemPlotPanel::ItemPlotPanel(wxWindow* parent) : wxPanel(parent, wxID_ANY) {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    ui_title = new wxStaticText(this, wxID_ANY, wxEmptyString);
    ui_title->SetFont(ui_title->GetFont().Bold());
    sizer->Add(ui_title, 0, wxLEFT | wxRIGHT | wxTOP, 5);
    auto* pairs = new wxFlexGridSizer(0, 8, 0, 0);
    const auto field = [&](const char* caption, wxTextCtrl*& ctrl) {
        pairs->Add(new wxStaticText(this, wxID_ANY, wxGetTranslation(caption)), 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
        ctrl = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition,
                              FromDIP(wxSize(80, -1)), wxTE_READONLY);
        ctrl->SetName(caption);
        pairs->Add(ctrl, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    };
    field(wxTRANSLATE("Mean"), ui_mean);
    field(wxTRANSLATE("Sigma"), ui_sigma);
    field("Cp", ui_cp);
    field("Cpk", ui_cpk);
    sizer->Add(pairs, 0);
    ui_note = new wxStaticText(this, wxID_ANY, wxEmptyString);
    sizer->Add(ui_note, 0, wxLEFT | wxRIGHT | wxBOTTOM, 5);
    ui_histogram = new ItemPlot(this, ItemPlot::Kind::histogram);
    ui_trend = new ItemPlot(this, ItemPlot::Kind::trend);
    sizer->Add(ui_histogram, 1, wxEXPAND | wxALL, 5);
    sizer->Add(ui_trend, 1, wxEXPAND | wxALL, 5);
    SetSizer(sizer);
    clear();
}

void ItemPlotPanel::clear() {
    ui_title->SetLabel(_("Select an item of a test to see its histogram and trend."));
    for (wxTextCtrl* field : {ui_mean, ui_sigma, ui_cp, ui_cpk}) {
        field->ChangeValue(wxEmptyString);
        field->UnsetToolTip();
    }
    ui_note->SetLabel(wxEmptyString);
    ui_histogram->show_nothing(_("no item selected"));
    ui_trend->show_nothing(_("no item selected"));
}

void ItemPlotPanel::show(const HistoryStore& store, const ItemKey& key,
                         const HistoryFilter& filter, const ItemLimits& limits) {
    const wxString unit = key.unit.empty() ? wxString() : " [" + from_utf8(key.unit) + "]";
    ui_title->SetLabel(from_utf8(key.name) + unit);
    try {
        const ItemFigures figures(store);
        const ItemFigures::Picture picture = figures.picture(key, filter, limits);
        const Capability& c = picture.capability;
        const std::pair<wxTextCtrl*, const Figure*> shown[] = {
            {ui_mean, &c.mean}, {ui_sigma, &c.sigma}, {ui_cp, &c.cp}, {ui_cpk, &c.cpk}};
        wxString why;
        for (const auto& [field, f] : shown) {
            field->ChangeValue(from_utf8(figure_text(*f, field == ui_mean || field == ui_sigma ? 6 : 3)));
            if (f->why_not.empty()) {
                field->UnsetToolTip();
                continue;
            }
            field->SetToolTip(from_utf8(f->why_not));
            const wxString reason = from_utf8(f->why_not);
            if (!why.Contains(reason)) why += (why.empty() ? "" : "; ") + reason;
        }
        wxString note = wxString::Format(_("%lld values in the shown tests"),
                                         static_cast<long long>(c.values));
        if (c.readings > c.values)
            note += wxString::Format(_(" (%lld readings not numbers)"),
                                     static_cast<long long>(c.readings - c.values));
        ui_note->SetLabel(why.empty() ? note : note + L". \u2014: " + why);
        if (c.values == 0) {
            ui_histogram->show_nothing(from_utf8(c.mean.why_not));
            ui_trend->show_nothing(from_utf8(c.mean.why_not));
        } else {
            ui_histogram->show_histogram(picture.histogram, limits, c.mean.value);
            ui_trend->show_trend(figures.trend(key, filter, kTrendTests), limits, c.mean.value);
        }
    } catch (const std::exception& error) {
        for (wxTextCtrl* field : {ui_mean, ui_sigma, ui_cp, ui_cpk}) field->ChangeValue(L"\u2014");
        ui_note->SetLabel(wxString::Format(_("The figures could not be read: %s"), from_utf8(error.what())));
        ui_histogram->show_nothing(_("not read"));
        ui_trend->show_nothing(_("not read"));
    }
    ui_note->Wrap(std::max(FromDIP(200), GetClientSize().x - FromDIP(10)));
    Layout();
}

}  // namespace station
