#include "charts/theory_line.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "charts/graph_chart.h"
#include "charts/legend.h"
#include "core/text.h"
#include "history/rows.h"

namespace rendaal {

double TheoryCurve::At(double level) const {
    return TheoreticalValue(strikes, ivPut, ivCall, level, years, rates).value_or(NAN);
}

Date TheoryDate(const Date& today, const Date& expiry, int64_t days) {
    const int64_t from = DayNumber(today);
    const int64_t latest = std::max(from, DayNumber(expiry) - 1);
    return FromDayNumber(std::clamp(from + std::max<int64_t>(days, 0), from, latest));
}

std::optional<TheoryCurve> TheoryCurveFor(const std::string& fileName,
                                          const std::vector<std::string>& lines, const Rates& rates,
                                          const DateTime& now, int64_t days) {
    const OverviewRow last = HistoryOverview(fileName, lines, rates, now);
    if (!last.expiry || (!last.strikes.put && !last.strikes.call) ||
        (last.strikes.put && !last.ivPut) || (last.strikes.call && !last.ivCall)) {
        return std::nullopt;
    }
    return TheoryCurve{last.strikes, last.ivPut, last.ivCall,
                       YearsBetween(TheoryDate(now.date(), *last.expiry, days), *last.expiry),
                       rates};
}

void DrawTheoryLine(Canvas& canvas, const PlotArea& area, const IndexWindow& window,
                    double valueTop, const TheoryCurve& curve, PlotContents* contents) {
    if (!(window.scale > 0) || !(valueTop > 0) || area.right <= area.left) {
        return;
    }
    const double pixelsPerValue = (area.bottom - area.top) / valueTop;
    // One point per pixel column.
    std::vector<std::pair<double, double>> points;
    for (int x = area.left; x <= area.right; ++x) {
        const double level = window.lowEdge + (x - area.left) / window.scale;
        const double v = curve.At(level);
        if (std::isfinite(v)) {
            points.emplace_back(x, area.bottom - pixelsPerValue * v);
        }
    }
    DrawDashedPolyline(canvas, area, points, kTheoryColor, contents);
}

void DrawTheoryOverlay(Canvas& canvas, const std::string& fileName,
                       const std::vector<std::string>& lines, int width, int height,
                       double valueTop, const Rates& rates, const DateTime& now, int64_t days,
                       PlotContents* contents) {
    const auto curve = TheoryCurveFor(fileName, lines, rates, now, days);
    if (!curve) {
        return;
    }
    const PlotArea area = PlotAreaFor(width, height);
    const ChartHeader header = ParseChartFileName(fileName);
    DrawTheoryLine(canvas, area, IndexWindowFor(header, lines, area), valueTop, *curve, contents);
}

namespace {

struct DayValue {
    Date date;
    int64_t day = 0;
    double theory = 0;
    double market = 0;
};

// The theoretical value of each day the graph chart plots.
std::vector<DayValue> TheoryByDay(const std::string& fileName,
                                  const std::vector<std::string>& lines, const Rates& rates,
                                  const DateTime& now) {
    std::vector<DayValue> out;
    const auto curve = TheoryCurveFor(fileName, lines, rates, now, 0);
    const ChartHeader header = ParseChartFileName(fileName);
    if (!curve || !header.expiryDate) {
        return out;
    }
    for (const std::string& line : lines) {
        const HistoryRow row = SplitHistoryRow(line);
        const auto day = RowDayNumber(row.dateText);
        const auto level = IndexLevel(row.aexField);
        const double som = ParseNumber(row.somField);
        if (!day || !level || som == 0) {
            continue;
        }
        const Date date = FromDayNumber(*day);
        const auto v = TheoreticalValue(curve->strikes, curve->ivPut, curve->ivCall, *level,
                                        YearsBetween(date, *header.expiryDate), rates);
        if (v && std::isfinite(*v)) {
            out.push_back({date, *day, *v, som});
        }
    }
    return out;
}

std::string Euros(double v) {
    return std::string("\xE2\x82\xAC ") + FormatNumber(v, 1, 2);
}

}  // namespace

void DrawTheoryByDay(Canvas& canvas, const PlotArea& area, double valueTop,
                     const std::string& fileName, const std::vector<std::string>& lines,
                     const Rates& rates, const DateTime& now, const Date& today,
                     PlotContents* contents) {
    if (!(valueTop > 0)) {
        return;
    }
    const TimeSpan span = TimeSpanFor(lines, today, area);
    const double pixelsPerValue = (area.bottom - area.top) / valueTop;
    std::vector<std::pair<double, double>> points;
    for (const DayValue& d : TheoryByDay(fileName, lines, rates, now)) {
        if (d.day < span.firstDay || d.day > span.lastDay) {
            continue;
        }
        points.emplace_back(
            Nearest(static_cast<double>(d.day - span.firstDay) * span.pixelsPerDay) + area.left,
            area.bottom - pixelsPerValue * d.theory);
    }
    DrawDashedPolyline(canvas, area, points, kTheoryColor, contents);
}

std::string TheoryCaption(bool blocks, const std::string& fileName, const DateTime& now,
                          int64_t days) {
    if (!blocks) {
        return "Theorie per dag";
    }
    const ChartHeader header = ParseChartFileName(fileName);
    const int64_t shown =
        header.expiryDate
            ? DayNumber(TheoryDate(now.date(), *header.expiryDate, days)) - DayNumber(now.date())
            : 0;
    return shown > 0 ? "Theorie over " + std::to_string(shown) + " dagen" : "Theorie vandaag";
}

std::string TheorySummary(bool blocks, const std::string& fileName,
                          const std::vector<std::string>& lines, const Rates& rates,
                          const DateTime& now, int64_t days) {
    const std::string caption = TheoryCaption(blocks, fileName, now, days);
    if (!blocks) {
        const auto values = TheoryByDay(fileName, lines, rates, now);
        if (values.empty()) {
            return {};
        }
        const DayValue& last = values.back();
        return caption + ": laatste " + Euros(last.theory) + " op " + FormatDmy(last.date) +
               ", koers " + Euros(last.market);
    }
    const auto curve = TheoryCurveFor(fileName, lines, rates, now, days);
    const auto level = LastPlottedIndex(lines);
    if (!curve || !level) {
        return {};
    }
    const double v = curve->At(*level);
    if (!std::isfinite(v)) {
        return {};
    }
    return caption + ": " + Euros(v) + " bij AEX " + FormatNumber(*level, 1, 2);
}

}  // namespace rendaal
