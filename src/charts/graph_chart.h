#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "charts/canvas.h"
#include "charts/frame.h"
#include "charts/history.h"
#include "charts/legend.h"

namespace rendaal {

// The time window of the graph chart. The history starts at the first line with a real date
// (today when there is none); at least one day is shown, and at most kMaxChartDays, the most
// recent ones, so that a stray ancient date cannot make the axis walk for ever.
struct TimeSpan {
    int64_t firstDay = 0;
    int64_t lastDay = 1;
    double pixelsPerDay = 0;
};
inline constexpr int64_t kMaxChartDays = 36525;  // a hundred years
TimeSpan TimeSpanFor(const std::vector<std::string>& lines, const Date& today,
                     const PlotArea& area);

// Day ticks, grid lines, day numbers and month names under the plot.
void DrawTimeAxis(Canvas& canvas, const PlotArea& area, const TimeSpan& span);

// A text under an axis, its box from x to x + width.
struct AxisLabel {
    int x = 0;
    int width = 0;
    bool preferred = false;  // kept before the others (day 1 of a month)
    std::string text;
};
// Pixels that must stay free between two labels of a row: closer, "30" and "1" read as "301".
inline constexpr int kAxisLabelGap = 2;
// The labels of one row that are drawn, in their given (left to right) order: the preferred
// ones first, then the others, each only where it keeps kAxisLabelGap from every label kept.
std::vector<AxisLabel> SpacedLabels(const std::vector<AxisLabel>& labels);

// What the passes of one graph chart leave for its texts, which are drawn after every line so
// that no line runs through them.
struct GraphTexts {
    struct Label {
        std::string text;
        Color color;
        int x = 0;  // the series' first point
        int y = 0;
    };
    PlotContents contents;
    std::vector<Label> seriesNames;
    std::vector<Label> profits;       // x and y unused
    std::optional<Color> guideColor;  // set when the guide lines were drawn
    std::vector<LegendEntry> extra;   // drawn over the chart before the texts
};

// One pass of the "Grafiek" view, value against time for pass.series, with its texts.
void DrawGraphChart(const ChartPass& pass, Canvas& canvas, ChartState& state,
                    ChartOutputs& outputs);
// The same without the texts, which are added to texts.
void DrawGraphSeries(const ChartPass& pass, Canvas& canvas, ChartState& state,
                     ChartOutputs& outputs, GraphTexts& texts);
// The series names next to their lines; the profit lines and the key of the dashed lines in one
// box, where it hides nothing drawn before.
void DrawGraphTexts(Canvas& canvas, const PlotArea& area, GraphTexts& texts);

// The result read-out of the graph chart (l1 .. l4) from the first, second-to-last and last
// value of the sum.
std::array<LabelOutput, 4> ResultReadout(double first, double secondToLast, double last);

// Dutch short month name, 1..12.
const char* ShortMonthName(int month);

}  // namespace rendaal
