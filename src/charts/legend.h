#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "charts/canvas.h"
#include "charts/frame.h"

// The key of a chart (every mark and line style it draws, with what it means) and the lines
// drawn over a chart before its key, so that the key keeps clear of them.
namespace rendaal {

struct LegendEntry {
    enum class Mark { None, Square, DashedLine };
    Mark mark = Mark::None;
    Color markColor = chart_colors::kBlack;
    std::string text;
    Color textColor = chart_colors::kBlack;
};

// The first candidate where a w x h box lies inside the plot and hides nothing drawn; empty
// when there is none. A box found is added to contents.
std::optional<Box> PlaceClearBox(PlotContents& contents, const PlotArea& area, int w, int h,
                                 const std::vector<std::pair<int, int>>& candidates);

// The entries in a framed white box, pitch pixels apart: in one column, else in two, else in
// one row, wherever that hides nothing; nothing at all on a plot too full for any (the key
// must not cover what it explains). The box drawn, or empty.
std::optional<Box> DrawLegend(Canvas& canvas, const PlotArea& area, PlotContents& contents,
                              const std::vector<LegendEntry>& entries, int pitch);

// A dashed line through the points, 2 pixels wide so it shows on any screen, cut to the plot's
// rows; the dashes run on along the whole line. What is drawn goes into contents.
void DrawDashedPolyline(Canvas& canvas, const PlotArea& area,
                        const std::vector<std::pair<double, double>>& points, Color color,
                        PlotContents* contents);

// Drawn on a chart after its lines and before its key: draw gets the plot and the chart's top
// value and adds what it draws to contents; entry says what it is in the key.
struct ChartOverlay {
    std::function<void(Canvas&, const PlotArea&, double valueTop, PlotContents&)> draw;
    LegendEntry entry;
};

}  // namespace rendaal
