#include "charts/graph_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>

#include "core/text.h"

namespace rendaal {
namespace {

using namespace chart_colors;

Color SeriesColor(ChartSeries series) {
    switch (series) {
        case ChartSeries::Put:
            return kRed;
        case ChartSeries::Call:
            return kGreen;
        case ChartSeries::Som:
            break;
    }
    return kBlue;
}

const char* SeriesName(ChartSeries series) {
    switch (series) {
        case ChartSeries::Put:
            return "Put";
        case ChartSeries::Call:
            return "Call";
        case ChartSeries::Som:
            break;
    }
    return "Som";
}

int DayX(const PlotArea& area, const TimeSpan& span, int64_t day) {
    return Nearest(static_cast<double>(day - span.firstDay) * span.pixelsPerDay) + area.left;
}

void DrawGuideLines(Canvas& canvas, const PlotArea& area, const TimeSpan& span,
                    const ChartHeader& header, const HistoryRows& rows, double top,
                    const SystemColors& colors, GraphTexts& texts) {
    if (!header.expiryDate) {
        return;  // no expiry to fall towards
    }
    const int expiryX = DayX(area, span, DayNumber(*header.expiryDate));
    const double som0 = ParseNumber(SplitHistoryRow(rows.lines.front()).somField);
    const int h0 = Nearest((area.bottom - area.top) / top * som0);
    // An expiry exactly 50 pixels left of the plot puts zero in the divisor; the value has
    // fallen to zero by then, so the lines end at the bottom.
    const int e = expiryX == 0
                      ? 0
                      : Nearest(static_cast<double>(
                                    static_cast<int64_t>(expiryX - (area.right - area.left)) * h0) /
                                expiryX);
    canvas.SetPenColor(colors.activeCaption);
    canvas.SetPenStyle(PenStyle::Dash);
    canvas.MoveTo(area.left, area.bottom - h0);
    canvas.LineTo(area.right, area.bottom - e);
    canvas.MoveTo(area.left, area.bottom - Half(h0));
    canvas.LineTo(area.right, area.bottom - Half(e));
    canvas.SetPenStyle(PenStyle::Solid);
    texts.contents.AddLine(area.left, area.bottom - h0, area.right, area.bottom - e);
    texts.contents.AddLine(area.left, area.bottom - Half(h0), area.right, area.bottom - Half(e));
    texts.guideColor = colors.activeCaption;
}

// Top-left corners for a series' name near its first point (x, y): above and to the
// right first, where the name has always stood, then outwards.
std::vector<std::pair<int, int>> NearFirstPoint(int x, int y) {
    std::vector<std::pair<int, int>> out;
    for (int dx : {20, 6, 40, 64, 96, 136}) {
        for (int dy : {-20, 5, -38, 23, -56, 41, -74, 59, -92, 77}) {
            out.emplace_back(dx, dy);
        }
    }
    std::stable_sort(out.begin(), out.end(), [](auto a, auto b) {
        return std::abs(a.first - 20) + std::abs(a.second + 20) <
               std::abs(b.first - 20) + std::abs(b.second + 20);
    });
    for (auto& [cx, cy] : out) {
        cx += x;
        cy += y;
    }
    return out;
}

Color SignColor(double v) {
    return v > 0 ? kGreen : v < 0 ? kRed : kBlue;
}

struct DayMark {
    int length;
    bool tick, grid, label;
};

// Month starts always; tens, fives and the other days as the scale leaves room for them.
DayMark DayMarkOf(int day, double pixelsPerDay) {
    if (day == 1) {
        return {17, true, true, true};
    }
    if (day % 10 == 0) {
        return {13, true, pixelsPerDay > 10, true};
    }
    if (day % 5 == 0) {
        return {9, pixelsPerDay > 10, pixelsPerDay > 30, pixelsPerDay > 10};
    }
    return {5, pixelsPerDay > 30, false, pixelsPerDay > 30};
}

}  // namespace

void DrawTimeAxis(Canvas& canvas, const PlotArea& area, const TimeSpan& span) {
    const double p = span.pixelsPerDay;
    std::vector<AxisLabel> days;
    std::vector<AxisLabel> months;
    for (int64_t d = span.firstDay; d <= span.lastDay; ++d) {
        const int x = DayX(area, span, d);
        const Date date = FromDayNumber(d);
        const int day = date.day;
        const DayMark mark = DayMarkOf(day, p);
        const bool first = day == 1;
        if (mark.tick) {
            canvas.MoveTo(x, area.bottom);
            canvas.LineTo(x, area.bottom - mark.length);
            if (mark.grid) {
                canvas.SetPenColor(kGrid);
                canvas.LineTo(x, area.top);
                canvas.SetPenColor(kBlack);
            }
        }
        if (mark.label) {
            std::string text = std::to_string(day);
            const int width = canvas.TextWidth(text);
            days.push_back({x - Half(width), width, first, std::move(text)});
        }
        if (first) {
            std::string name = ShortMonthName(date.month);
            const int width = canvas.TextWidth(name);
            months.push_back({x - Half(width), width, true, std::move(name)});
        }
    }
    for (const auto* row : {&days, &months}) {
        const int y = area.bottom + (row == &days ? 5 : 22);
        for (const AxisLabel& label : SpacedLabels(*row)) {
            canvas.TextOut(label.x, y, label.text);
        }
    }
}

std::vector<AxisLabel> SpacedLabels(const std::vector<AxisLabel>& labels) {
    // Left edges of the labels kept so far, with their right edges.
    std::map<int, int> kept;
    auto fits = [&](const AxisLabel& l) {
        const int right = l.x + l.width;
        auto next = kept.lower_bound(l.x);
        if (next != kept.end() && next->first < right + kAxisLabelGap) {
            return false;
        }
        return next == kept.begin() || std::prev(next)->second + kAxisLabelGap <= l.x;
    };
    std::vector<bool> keep(labels.size());
    for (const bool firstRound : {true, false}) {
        for (size_t i = 0; i < labels.size(); ++i) {
            if (labels[i].preferred == firstRound && fits(labels[i])) {
                keep[i] = true;
                kept.emplace(labels[i].x, labels[i].x + labels[i].width);
            }
        }
    }
    std::vector<AxisLabel> result;
    for (size_t i = 0; i < labels.size(); ++i) {
        if (keep[i]) {
            result.push_back(labels[i]);
        }
    }
    return result;
}

const char* ShortMonthName(int month) {
    static constexpr const char* kNames[] = {"jan", "feb", "mrt", "apr", "mei", "jun",
                                             "jul", "aug", "sep", "okt", "nov", "dec"};
    return month >= 1 && month <= 12 ? kNames[month - 1] : "";
}

TimeSpan TimeSpanFor(const std::vector<std::string>& lines, const Date& today,
                     const PlotArea& area) {
    TimeSpan span;
    span.lastDay = DayNumber(today);
    span.firstDay = span.lastDay;
    for (const auto& line : lines) {
        if (const auto day = RowDayNumber(SplitHistoryRow(line).dateText)) {
            span.firstDay = *day;
            break;
        }
    }
    if (span.lastDay - span.firstDay < 1) {
        span.lastDay = span.firstDay + 1;
    } else if (span.lastDay - span.firstDay > kMaxChartDays) {
        span.firstDay = span.lastDay - kMaxChartDays;
    }
    span.pixelsPerDay = static_cast<double>(area.right - area.left) /
                        static_cast<double>(span.lastDay - span.firstDay);
    return span;
}

std::array<LabelOutput, 4> ResultReadout(double first, double secondToLast, double last) {
    const double r = (first - last) * 100;
    const double dd = (secondToLast - last) * 100;
    const double q = std::fabs(r) > 0.1 ? 100 * dd / r : 0;
    const std::string sign = dd > 0 ? "+" : "";
    std::array<LabelOutput, 4> out;
    out[0].caption = "Resultaat: ";
    out[1].caption = std::string(kEuro) + FormatEuros(r, 2) + ",";
    out[1].fontColor = SignColor(r);
    out[2].caption = sign + kEuro + FormatEuros(dd, 2);
    out[2].fontColor = SignColor(dd);
    out[3].caption = std::fabs(q) > 0.001 ? "(" + sign + FormatNumber(q, 2, 2) + "%)" : "(***)%";
    out[3].fontColor = SignColor(dd);
    return out;
}

void DrawGraphChart(const ChartPass& pass, Canvas& canvas, ChartState& state,
                    ChartOutputs& outputs) {
    GraphTexts texts;
    DrawGraphSeries(pass, canvas, state, outputs, texts);
    DrawGraphTexts(canvas, PlotAreaFor(pass.width, pass.height), texts);
}

void DrawGraphSeries(const ChartPass& pass, Canvas& canvas, ChartState& state,
                     ChartOutputs& outputs, GraphTexts& texts) {
    const PlotArea area = PlotAreaFor(pass.width, pass.height);
    const bool somPass = pass.series == ChartSeries::Som;
    if (somPass) {
        DrawBackground(canvas, area, pass.width, pass.height);
    }
    const ChartHeader header = ParseChartFileName(pass.fileName);
    DrawCombinationTitle(canvas, area, header);
    const auto read = PassHistory(pass);
    const HistoryRows& rows = read->rows;
    const std::vector<HistoryRowValues>& values = read->values;
    const TimeSpan span = TimeSpanFor(rows.lines, pass.today, area);

    if (somPass) {
        DrawDatesTitle(canvas, area, header, rows.startDate);
        state.valueScale = ValueScaleOf(values);
        DrawValueAxis(canvas, area, state.valueScale);
        DrawUnitMark(canvas, area, 10);
        DrawTimeAxis(canvas, area, span);
        DrawGuideLines(canvas, area, span, header, rows, ValueTop(state.valueScale), pass.colors,
                       texts);
    }
    const double top = ValueTop(state.valueScale);
    const double pixelsPerValue = (area.bottom - area.top) / top;
    const Color color = SeriesColor(pass.series);
    if (somPass) {
        state.points.clear();
    }

    double firstValue = 0;
    double secondToLastValue = 0;
    double lastValue = 0;
    bool firstPoint = true;
    std::pair<int, int> last;
    const size_t count = rows.lines.size();
    std::optional<size_t> lastDated;
    for (size_t i = 0; i < count; ++i) {
        const HistoryRowValues& row = values[i];
        const auto day = row.day;
        if (!day) {
            continue;
        }
        lastDated = i;
        state.lastRowDate = FromDayNumber(*day);
        const double put = row.put;
        const double call = row.call;
        const double som = row.som;
        state.lastHistoryIndexValue = row.aex;
        const double v = pass.series == ChartSeries::Put    ? put
                         : pass.series == ChartSeries::Call ? call
                                                            : som;
        if (i == 0) {
            firstValue = v;
        }
        if (i + 2 == count) {
            secondToLastValue = v;
        }
        if (i + 1 == count) {
            lastValue = v;
        }
        if (som == 0) {
            outputs.l21 = "Laatste koesrsen niet gedownload";
            continue;
        }
        canvas.SetBrushColor(kWhite);
        const int y = Nearest(area.bottom - pixelsPerValue * v);
        canvas.SetPenColor(color);
        const int x = DayX(area, span, *day);
        if (firstPoint) {
            texts.seriesNames.push_back({SeriesName(pass.series), color, x, y});
            canvas.MoveTo(x, y);
            last = {x, y};
        }
        canvas.LineTo(x, y);
        texts.contents.AddLine(last.first, last.second, x, y);
        if (somPass) {
            state.points.push_back({x, y, FromDayNumber(*day), som, state.lastHistoryIndexValue});
        }
        last = {x, y};
        firstPoint = false;
    }

    if (lastDated) {
        const HistoryRow row = SplitHistoryRow(rows.lines[*lastDated]);
        state.lastRowTexts = {row.putField, row.callField, row.somField};
    }

    const double profit = (firstValue - lastValue) * 100;
    texts.profits.push_back(
        {std::string("Winst ") + SeriesName(pass.series) + ": " + kEuro + FormatEuros(profit),
         color});

    if (somPass) {
        outputs.result = ResultReadout(firstValue, secondToLastValue, lastValue);
    }
    outputs.hintsOn = true;
}

void DrawGraphTexts(Canvas& canvas, const PlotArea& area, GraphTexts& texts) {
    canvas.SetBrushColor(kWhite);
    for (const auto& name : texts.seriesNames) {
        const int w = canvas.TextWidth(name.text);
        std::vector<std::pair<int, int>> near = NearFirstPoint(name.x, name.y);
        const Box box = PlaceBox(texts.contents, area, w, kTextHeight,
                                 BoxCandidates(area, w, kTextHeight, std::move(near)));
        canvas.SetFontColor(name.color);
        canvas.TextOut(box.x1, box.y1, name.text);
    }
    std::vector<LegendEntry> entries;
    for (const auto& line : texts.profits) {
        entries.push_back({LegendEntry::Mark::None, kBlack, line.text, line.color});
    }
    if (texts.guideColor) {
        entries.push_back(
            {LegendEntry::Mark::DashedLine, *texts.guideColor, "Lineair naar 0 op expiratie"});
        entries.push_back({LegendEntry::Mark::DashedLine, *texts.guideColor, "De helft daarvan"});
    }
    entries.insert(entries.end(), texts.extra.begin(), texts.extra.end());
    DrawLegend(canvas, area, texts.contents, entries, 18);
}

}  // namespace rendaal
