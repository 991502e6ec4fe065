#pragma once

#include <optional>
#include <string>

#include "analytics/overview.h"
#include "charts/block_chart.h"
#include "charts/canvas.h"
#include "charts/frame.h"

// The block chart's "Theorie" line: what the combination is worth today at every index level
// of the chart, priced with the volatilities its last prices imply.
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

// Empty when the history gives no volatility for a side the combination has, or the name no
// expiry.
std::optional<TheoryCurve> TheoryCurveFor(const std::string& folder, const std::string& fileName,
                                          const Rates& rates, const DateTime& now);

// Dashed, clipped to the plot area, on the value scale of the squares (valueTop at the top).
void DrawTheoryLine(Canvas& canvas, const PlotArea& area, const IndexWindow& window,
                    double valueTop, const TheoryCurve& curve);

// The whole overlay for a block chart already drawn on canvas: reads the history again, as
// every chart pass does.
void DrawTheoryOverlay(Canvas& canvas, const std::string& folder, const std::string& fileName,
                       int width, int height, double valueTop, const Rates& rates,
                       const DateTime& now);

}  // namespace rendaal
