#include "charts/block_chart.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "core/text.h"

namespace rendaal {
namespace {

using namespace chart_colors;

// A window wider than this many index points (only from absurd strikes or index values) gets
// its major marks only, so the walk stays short.
constexpr int64_t kMaxIndexSteps = 100000;

const char* const kNotDownloaded = " 0,00";

// The line from a strike at the bottom edge to the side edge, cut where it leaves the plot.
void DrawClippedDash(Canvas& canvas, const PlotArea& area, PlotContents& contents, int x0, int y0,
                     int x1, int y1) {
    const auto line = ClipToPlot(area, x0, y0, x1, y1);
    if (!line) {
        return;
    }
    canvas.SetPenStyle(PenStyle::Dash);
    canvas.MoveTo(line->x0, line->y0);
    canvas.LineTo(line->x1, line->y1);
    canvas.SetPenStyle(PenStyle::Solid);
    contents.AddLine(line->x0, line->y0, line->x1, line->y1);
}

void DrawExpiryLines(Canvas& canvas, const PlotArea& area, const ChartHeader& header,
                     const IndexWindow& window, double top, PlotContents& contents) {
    double xl = window.X(window.lowStrike);
    double xh = window.X(window.highStrike);
    const int h = Nearest(header.margin * 0.9 / top * (area.bottom - area.top));
    if (header.swapped) {
        std::swap(xl, xh);
    }
    canvas.SetPenColor(kBlack);
    if (!Contains(header.putLabel, "Geen")) {
        DrawClippedDash(canvas, area, contents, Nearest(xl), area.bottom, area.left,
                        area.bottom - h);
    }
    if (!Contains(header.callLabel, "Geen")) {
        DrawClippedDash(canvas, area, contents, Nearest(xh), area.bottom, area.right,
                        area.bottom - h);
    }
}

// A level outside the index window (or a value above the scale) would put its square on the
// axes and their labels; what lies beyond the plot area is cut off.
void DrawSquare(Canvas& canvas, const PlotArea& area, PlotContents& contents, int x, int y) {
    const int x1 = std::max(x - 5, area.left);
    const int y1 = std::max(y - 5, area.top);
    const int x2 = std::min(x + 6, area.right + 1);
    const int y2 = std::min(y + 6, area.bottom + 1);
    if (x1 < x2 && y1 < y2) {
        canvas.Rectangle(x1, y1, x2, y2);
        contents.AddBox({x1, y1, x2, y2});
    }
}

}  // namespace

void DrawBlockLegend(Canvas& canvas, const PlotArea& area, PlotContents& contents,
                     const SystemColors& colors, const std::vector<LegendEntry>& extra) {
    static constexpr const char* kNames[] = {"Ma", "Di", "Wo", "Do", "Vr"};
    std::vector<LegendEntry> entries;
    entries.reserve(6 + extra.size());
    for (int i = 0; i < 5; ++i) {
        entries.push_back({LegendEntry::Mark::Square, *WeekdayColor(i + 2, colors), kNames[i]});
    }
    entries.push_back({LegendEntry::Mark::DashedLine, kBlack, "Waarde op expiratie"});
    entries.insert(entries.end(), extra.begin(), extra.end());
    DrawLegend(canvas, area, contents, entries, 20);
}

void DrawIndexAxis(Canvas& canvas, const PlotArea& area, const IndexWindow& window) {
    canvas.SetBrushColor(kBackground);
    canvas.SetFontColor(kBlack);
    canvas.SetFontSize(9);
    canvas.SetPenColor(kBlack);
    int lastGridX = area.left;
    const int64_t from = Nearest(window.lowEdge);
    const int64_t to = Nearest(window.highEdge);
    const bool narrow = window.width < 100;
    const int majorEvery = narrow ? 10 : 50;
    const bool majorsOnly = to - from > kMaxIndexSteps;
    int64_t v = from;
    if (majorsOnly) {
        v = from + ((majorEvery - from % majorEvery) % majorEvery);
    }
    for (; v <= to; v += majorsOnly ? majorEvery : 1) {
        const int x = Nearest(window.X(static_cast<double>(v)));
        if (v % majorEvery == 0) {
            canvas.MoveTo(x, area.bottom);
            canvas.LineTo(x, area.bottom - 10);
            if (x != area.left && x != area.right &&
                (std::abs(lastGridX - x) > 40 || std::abs(x - area.left) < 40)) {
                canvas.SetPenColor(kGrid);
                canvas.LineTo(x, area.top);
                canvas.SetPenColor(kBlack);
                lastGridX = x;
            }
            canvas.TextOut(x - 15, area.bottom + 5, std::to_string(v));
        } else if (v % 5 == 0) {
            canvas.MoveTo(x, area.bottom);
            canvas.LineTo(x, area.bottom - 6);
        } else {
            canvas.MoveTo(x, area.bottom);
            canvas.LineTo(x, area.bottom - 3);
        }
    }
    canvas.TextOut(area.left + 5, area.bottom + 20, "AEX");
    DrawArrowHead(canvas, area.left + 40, area.bottom + 30, 0);
}

std::optional<Color> WeekdayColor(int weekday, const SystemColors& colors) {
    switch (weekday) {
        case 2:
            return Rgb(255, 0, 0);
        case 3:
            return Rgb(255, 170, 255);
        case 4:
            return Rgb(255, 255, 0);
        case 5:
            return Rgb(0, 255, 0);
        case 6:
            return colors.highlight;
        default:
            return std::nullopt;
    }
}

std::optional<double> LastPlottedIndex(const std::vector<std::string>& lines) {
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        const HistoryRow row = SplitHistoryRow(*it);
        if (ParseDmy(row.dateText) && row.somField != kNotDownloaded) {
            return ParseNumber(row.aexField);
        }
    }
    return std::nullopt;
}

IndexWindow IndexWindowFor(const ChartHeader& header, const std::vector<std::string>& lines,
                           const PlotArea& area) {
    IndexWindow w;
    w.left = area.left;
    w.lowStrike = header.lowStrike;
    w.highStrike = header.highStrike;
    if (Contains(header.putText, "Geen") || Contains(header.callText, "Geen")) {
        const double x = LastPlottedIndex(lines).value_or(w.highStrike);
        w.lowStrike = w.highStrike - (w.highStrike - x) * 2;
    }
    w.lowEdge = std::min(w.lowStrike, w.highStrike) - header.margin;
    w.highEdge = std::max(w.lowStrike, w.highStrike) + header.margin;
    w.width = w.highEdge - w.lowEdge;
    const double scale = (area.right - area.left) / w.width;
    w.scale = w.width > 0 && std::isfinite(scale) ? scale : 0;
    return w;
}

void DrawBlockChart(const ChartPass& pass, Canvas& canvas, ChartState& state,
                    ChartOutputs& outputs) {
    PlotContents contents;
    DrawBlockSeries(pass, canvas, state, outputs, contents);
    DrawBlockLegend(canvas, PlotAreaFor(pass.width, pass.height), contents, pass.colors);
}

void DrawBlockSeries(const ChartPass& pass, Canvas& canvas, ChartState& state,
                     ChartOutputs& outputs, PlotContents& contents) {
    const PlotArea area = PlotAreaFor(pass.width, pass.height);
    const bool somPass = pass.series == ChartSeries::Som;
    if (somPass) {
        DrawBackground(canvas, area, pass.width, pass.height);
    }
    const ChartHeader header = ParseChartFileName(pass.fileName);
    // The rows come first: a Single's window depends on the last index level.
    const auto read = PassHistory(pass);
    const HistoryRows& rows = read->rows;
    const std::vector<HistoryRowValues>& values = read->values;
    const IndexWindow window = IndexWindowFor(header, rows.lines, area);

    canvas.SetFontColor(kBlack);
    canvas.SetBrushColor(kBackground);
    DrawDatesTitle(canvas, area, header, rows.startDate);
    DrawCombinationTitle(canvas, area, header);
    if (somPass) {
        state.valueScale = ValueScaleOf(values);
        DrawValueAxis(canvas, area, state.valueScale);
        DrawUnitMark(canvas, area, 9);
        DrawIndexAxis(canvas, area, window);
    }
    const double top = ValueTop(state.valueScale);
    const double pixelsPerValue = (area.bottom - area.top) / top;
    if (somPass) {
        state.points.clear();
    }

    double lastAex = 0;
    std::optional<size_t> lastDated;
    bool firstPoint = true;
    std::pair<int, int> last;  // the previous square's centre
    for (size_t i = 0; i < values.size(); ++i) {
        const HistoryRowValues& row = values[i];
        if (!row.date) {
            continue;
        }
        if (const auto color = WeekdayColor(row.weekday, pass.colors)) {
            canvas.SetBrushColor(*color);
        }
        lastDated = i;
        state.lastRowDate = *row.date;
        if (row.notDownloaded) {
            outputs.l21 = "Laatste kosrsen niet gedownload";
            continue;
        }
        lastAex = row.aex;
        state.lastHistoryIndexValue = row.aex;
        const double v = pass.series == ChartSeries::Put    ? row.put
                         : pass.series == ChartSeries::Call ? row.call
                                                            : row.som;
        const int y = Nearest(area.bottom - pixelsPerValue * v);
        const int x = Nearest(window.X(row.aex));
        if (firstPoint) {
            canvas.MoveTo(x, y);
            firstPoint = false;
        } else if (const auto join = ClipToPlot(area, last.first, last.second, x, y)) {
            if (join->x0 != last.first || join->y0 != last.second) {
                canvas.MoveTo(join->x0, join->y0);
            }
            canvas.LineTo(join->x1, join->y1);
            contents.AddLine(join->x0, join->y0, join->x1, join->y1);
        }
        last = {x, y};
        DrawSquare(canvas, area, contents, x, y);
        state.points.push_back({x, y, *row.date, row.som, row.aex});
        canvas.SetBrushColor(kWhite);
    }
    if (lastDated) {
        const HistoryRow row = SplitHistoryRow(rows.lines[*lastDated]);
        state.lastRowTexts = {row.putField, row.callField, row.somField};
    }

    canvas.SetPenColor(kRed);
    const int xa = Nearest(window.X(lastAex));
    canvas.MoveTo(xa, area.bottom);
    canvas.LineTo(xa, area.bottom - 20);
    contents.AddLine(xa, area.bottom, xa, area.bottom - 20);
    canvas.SetPenColor(kBlack);
    canvas.SetFontColor(kRed);
    canvas.SetBrushColor(pass.colors.buttonFace);
    canvas.TextOut(xa - 10, area.bottom + 25, "AEX");

    DrawExpiryLines(canvas, area, header, window, top, contents);
    outputs.result = std::array<LabelOutput, 4>{};
    outputs.hintsOn = true;
}

}  // namespace rendaal
