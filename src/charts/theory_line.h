#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analytics/overview.h"
#include "charts/block_chart.h"
#include "charts/canvas.h"
#include "charts/frame.h"

// The block chart's "Theorie" line: what the combination is worth today, or on a chosen day
// before expiry, at every index level of the chart, priced with the volatilities its last
// prices imply.
namespace rendaal {

inline constexpr Color kTheoryColor = Rgb(128, 0, 128);

struct TheoryCurve {
    Strikes strikes;
    std::optional<double> ivPut;
    std::optional<double> ivCall;
    double years = 0;  // from today to expiry
    Rates rates;
    double At(double level) const;  // NaN where no value exists
};

// The date the line is priced at: days after today, never before today and at the latest the
// day before expiry (today itself when that lies in the past).
Date TheoryDate(const Date& today, const Date& expiry, int64_t days);

// Empty when the history's lines give no volatility for a side the combination has, or the
// name no expiry. now is Amsterdam time; the curve is the value days after today.
std::optional<TheoryCurve> TheoryCurveFor(const std::string& fileName,
                                          const std::vector<std::string>& lines, const Rates& rates,
                                          const DateTime& now, int64_t days = 0);

// Dashed, clipped to the plot area, on the value scale of the squares (valueTop at the top).
void DrawTheoryLine(Canvas& canvas, const PlotArea& area, const IndexWindow& window,
                    double valueTop, const TheoryCurve& curve, PlotContents* contents = nullptr);

// The whole overlay for a block chart already drawn on canvas from the history's lines.
void DrawTheoryOverlay(Canvas& canvas, const std::string& fileName,
                       const std::vector<std::string>& lines, int width, int height,
                       double valueTop, const Rates& rates, const DateTime& now, int64_t days = 0,
                       PlotContents* contents = nullptr);

// The graph chart's line: on each day the chart plots, the value at that day's index level and
// time to expiry, with the volatilities of the last prices. today is the chart's last day.
void DrawTheoryByDay(Canvas& canvas, const PlotArea& area, double valueTop,
                     const std::string& fileName, const std::vector<std::string>& lines,
                     const Rates& rates, const DateTime& now, const Date& today,
                     PlotContents* contents = nullptr);

// The key's text: "Theorie per dag" for the graph chart; for the block chart "Theorie vandaag"
// or, when the day priced lies later, "Theorie over N dagen".
std::string TheoryCaption(bool blocks, const std::string& fileName, const DateTime& now,
                          int64_t days);

// One sentence with the line's latest values, for a screen reader; empty without a line.
std::string TheorySummary(bool blocks, const std::string& fileName,
                          const std::vector<std::string>& lines, const Rates& rates,
                          const DateTime& now, int64_t days);

}  // namespace rendaal
