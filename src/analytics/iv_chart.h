#pragma once

#include <string>
#include <vector>

#include "analytics/overview.h"
#include "charts/canvas.h"

// The volatility chart: a combination's put and call IV per day, in percent against the date,
// drawn like the other charts (same frame, fonts and value axis).
namespace rendaal {

inline constexpr const char* kNoVolatilityText = "Geen volatiliteit te berekenen";

// fileName gives the title; rows in any order, absent volatilities leave a gap in their line.
void DrawIvChart(Canvas& canvas, int width, int height, const std::string& fileName,
                 const std::vector<IvRow>& rows);

// What the chart shows, for a screen reader and a tooltip: the combination, the span of days
// and the last day's volatilities.
std::string IvChartDescription(const std::string& fileName, const std::vector<IvRow>& rows);

}  // namespace rendaal
