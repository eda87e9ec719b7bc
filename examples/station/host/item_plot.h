// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <wx/panel.h>
#include <wx/window.h>

#include "logic/item_figures.h"

class wxGraphicsContext;
class wxStaticText;
class wxTextCtrl;

namespace station {

// One picture of an item: its histogram (bars over the value, limits as
// vertical lines) or its trend (values in test order, limits as horizontal
// lines). Drawn with wxGraphicsContext: two kinds of plot do not need a
// plotting library, and the mapping below is the one the painting uses.
class ItemPlot : public wxWindow {
public:
    enum class Kind { histogram, trend };
    ItemPlot(wxWindow* parent, Kind kind);

    void show_histogram(const Histogram& histogram, const ItemLimits& limits,
                        std::optional<double> mean);
    void show_trend(std::vector<TrendPoint> points, const ItemLimits& limits,
                    std::optional<double> mean);
    // Nothing to draw: the message says why.
    void show_nothing(const wxString& message);

    Kind kind() const { return kind_; }
    bool has_data() const { return has_data_; }
    const wxString& message() const { return message_; }
    // Where the plot draws, in client pixels, at the window's current size.
    wxRect area() const;
    // Client x of a value (histogram) or of a point's index (trend); client
    // y of a count (histogram) or of a value (trend).
    double x_of(double x) const;
    double y_of(double y) const;
    // The range the axes span.
    double x_min() const { return x_lo_; }
    double x_max() const { return x_hi_; }

    // What painting draws, on any context of the window's size.
    void draw(wxGraphicsContext& gc) const;

    static wxColour limit_colour() { return wxColour(220, 0, 0); }

private:
    void on_paint(wxPaintEvent& event);
    void set_ranges();

    Kind kind_;
    bool has_data_ = false;
    wxString message_;
    Histogram histogram_;
    std::vector<TrendPoint> points_;
    ItemLimits limits_;
    std::optional<double> mean_;
    double x_lo_ = 0, x_hi_ = 1, y_lo_ = 0, y_hi_ = 1;
};

// The selected item's capability figures, histogram and trend over the
// viewer's filtered tests, each asked of the store when shown.
class ItemPlotPanel : public wxPanel {
public:
    explicit ItemPlotPanel(wxWindow* parent);

    // limits: those of the item in the selected test.
    void show(const HistoryStore& store, const ItemKey& key, const HistoryFilter& filter,
              const ItemLimits& limits);
    void clear();

    // The newest tests the trend shows at most.
    static constexpr int kTrendTests = 200;

    wxStaticText* ui_title = nullptr;
    wxTextCtrl* ui_mean = nullptr;
    wxTextCtrl* ui_sigma = nullptr;
    wxTextCtrl* ui_cp = nullptr;
    wxTextCtrl* ui_cpk = nullptr;
    // Why a figure is a dash, and over how many values the figures are.
    wxStaticText* ui_note = nullptr;
    ItemPlot* ui_histogram = nullptr;
    ItemPlot* ui_trend = nullptr;
};

}  // namespace station
