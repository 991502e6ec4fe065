#pragma once

#include <optional>
#include <string>
#include <vector>

#include "charts/canvas.h"
#include "charts/frame.h"
#include "charts/history.h"
#include "charts/legend.h"

namespace rendaal {

// The index levels the block chart's horizontal axis covers.
struct IndexWindow {
    double lowStrike = 0;  // after the completion of a Single
    double highStrike = 0;
    double lowEdge = 0;
    double highEdge = 0;
    double width = 0;
    double scale = 0;  // pixels per index point; 0 when the window is degenerate
    int left = 0;
    double X(double level) const { return left + (level - lowEdge) * scale; }
};

// The window around the strikes. A Single has one strike only; the missing one is the mirror
// image of the existing strike about the index level of the last plotted line (about the
// strike itself when nothing was plotted), so the window holds both the strike and the index.
IndexWindow IndexWindowFor(const ChartHeader& header, const std::vector<std::string>& lines,
                           const PlotArea& area);

// The AEX value of the last line the block chart plots; empty when it plots none.
std::optional<double> LastPlottedIndex(const std::vector<std::string>& lines);

// Square colour of a weekday (1 = Sunday .. 7 = Saturday); empty on the weekend, where the
// brush keeps its colour.
std::optional<Color> WeekdayColor(int weekday, const SystemColors& colors);

// Marks, grid lines and labels of the index axis, with its "AEX" caption and arrow.
void DrawIndexAxis(Canvas& canvas, const PlotArea& area, const IndexWindow& window);

// One pass of the "Blokjes" view, value against index level for pass.series, with its legend.
void DrawBlockChart(const ChartPass& pass, Canvas& canvas, ChartState& state,
                    ChartOutputs& outputs);
// The same without the legend; what it draws on the plot is added to contents.
void DrawBlockSeries(const ChartPass& pass, Canvas& canvas, ChartState& state,
                     ChartOutputs& outputs, PlotContents& contents);
// The weekday colours, the expiry value lines and the extra entries in a box where it hides
// nothing of contents.
void DrawBlockLegend(Canvas& canvas, const PlotArea& area, PlotContents& contents,
                     const SystemColors& colors, const std::vector<LegendEntry>& extra = {});

}  // namespace rendaal
