#pragma once

#include <optional>
#include <string>
#include <vector>

#include "charts/chart_state.h"
#include "core/calendar.h"

namespace rendaal {

// The chart's hover read-out: the date of the last history line the chart drew, the quote
// time of the last index page and that line's prices. Lines end with a carriage return (the
// text ends with one); the windows show it with line feeds (ShownText). Without a drawn line
// the date is empty.
std::string HoverText(const std::optional<Date>& lastRowDate, const std::string& quoteTimeText,
                      const LastRowTexts& last);

// The point the chart drew nearest to the mouse at (x, y), picture coordinates: the nearest
// date (by x alone) in the graph, the nearest square in the blocks. Empty when it drew none.
std::optional<ChartPoint> NearestPoint(const std::vector<ChartPoint>& points, int x, int y,
                                       bool blocks);

// The read-out lines of that point: its date and sum, in the blocks also the index level.
std::string PointText(const ChartPoint& point, bool blocks);

// The text with every carriage return turned into "\n", for a tooltip.
std::string DisplayLineBreaks(std::string text);

}  // namespace rendaal
