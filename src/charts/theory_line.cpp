#include "charts/theory_line.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "history/rows.h"

namespace rendaal {
namespace {

constexpr double kDashOn = 6;
constexpr double kDashOff = 4;

struct Point {
    double x;
    double y;
};

// The part of the segment a-b with y inside [top, bottom]; false when none is.
bool ClipToRows(Point& a, Point& b, double top, double bottom) {
    double t0 = 0;
    double t1 = 1;
    const double dy = b.y - a.y;
    for (const auto& [p, q] : {std::pair{-dy, a.y - top}, std::pair{dy, bottom - a.y}}) {
        if (p == 0) {
            if (q < 0) {
                return false;
            }
            continue;
        }
        const double r = q / p;
        if (p < 0) {
            t0 = std::max(t0, r);
        } else {
            t1 = std::min(t1, r);
        }
    }
    if (t0 > t1) {
        return false;
    }
    const Point from = a;
    a = {from.x + t0 * (b.x - from.x), from.y + t0 * dy};
    b = {from.x + t1 * (b.x - from.x), from.y + t1 * dy};
    return true;
}

}  // namespace

double TheoryCurve::At(double level) const {
    return TheoreticalValue(strikes, ivPut, ivCall, level, years, rates).value_or(NAN);
}

Date TheoryDate(const Date& today, const Date& expiry, int64_t days) {
    const int64_t from = DayNumber(today);
    const int64_t latest = std::max(from, DayNumber(expiry) - 1);
    return FromDayNumber(std::clamp(from + std::max<int64_t>(days, 0), from, latest));
}

std::optional<TheoryCurve> TheoryCurveFor(const std::string& folder, const std::string& fileName,
                                          const Rates& rates, const DateTime& now, int64_t days) {
    const HistoryRows rows = LoadHistoryRows(folder, fileName);
    const OverviewRow last = HistoryOverview(fileName, rows.lines, rates, now);
    if (!last.expiry || (!last.strikes.put && !last.strikes.call) ||
        (last.strikes.put && !last.ivPut) || (last.strikes.call && !last.ivCall)) {
        return std::nullopt;
    }
    return TheoryCurve{last.strikes, last.ivPut, last.ivCall,
                       YearsBetween(TheoryDate(now.date(), *last.expiry, days), *last.expiry),
                       rates};
}

void DrawTheoryLine(Canvas& canvas, const PlotArea& area, const IndexWindow& window,
                    double valueTop, const TheoryCurve& curve) {
    if (!(window.scale > 0) || !(valueTop > 0) || area.right <= area.left) {
        return;
    }
    const double pixelsPerValue = (area.bottom - area.top) / valueTop;
    // One point per pixel column; the dash pattern runs on along the curve.
    std::vector<Point> points;
    for (int x = area.left; x <= area.right; ++x) {
        const double level = window.lowEdge + (x - area.left) / window.scale;
        const double v = curve.At(level);
        if (std::isfinite(v)) {
            points.push_back({static_cast<double>(x), area.bottom - pixelsPerValue * v});
        }
    }
    canvas.SetPenStyle(PenStyle::Solid);
    canvas.SetPenColor(kTheoryColor);
    double phase = 0;  // distance into the current dash period
    auto advance = [&phase](double by) { phase = std::fmod(phase + by, kDashOn + kDashOff); };
    for (size_t i = 1; i < points.size(); ++i) {
        Point a = points[i - 1];
        Point b = points[i];
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        const Point from = a;
        // Only the visible part is walked dash by dash: a value far off the scale makes a
        // segment millions of pixels long.
        if (length <= 0 || !ClipToRows(a, b, area.top, area.bottom)) {
            advance(length);
            continue;
        }
        const double before = std::hypot(a.x - from.x, a.y - from.y);
        advance(before);
        const double visible = std::hypot(b.x - a.x, b.y - a.y);
        double done = 0;
        while (done < visible) {
            const bool on = phase < kDashOn;
            const double step =
                std::min(visible - done, (on ? kDashOn : kDashOn + kDashOff) - phase);
            if (on) {
                const double t0 = done / visible;
                const double t1 = (done + step) / visible;
                canvas.MoveTo(Nearest(a.x + t0 * (b.x - a.x)), Nearest(a.y + t0 * (b.y - a.y)));
                canvas.LineTo(Nearest(a.x + t1 * (b.x - a.x)), Nearest(a.y + t1 * (b.y - a.y)));
            }
            done += step;
            advance(step);
        }
        advance(std::max(length - before - visible, 0.0));
    }
    canvas.SetPenColor(chart_colors::kBlack);
}

void DrawTheoryOverlay(Canvas& canvas, const std::string& folder, const std::string& fileName,
                       int width, int height, double valueTop, const Rates& rates,
                       const DateTime& now, int64_t days) {
    const auto curve = TheoryCurveFor(folder, fileName, rates, now, days);
    if (!curve) {
        return;
    }
    const PlotArea area = PlotAreaFor(width, height);
    const ChartHeader header = ParseChartFileName(fileName);
    const HistoryRows rows = LoadHistoryRows(folder, fileName);
    DrawTheoryLine(canvas, area, IndexWindowFor(header, rows.lines, area), valueTop, *curve);
    // A line of a later day says which day, so it is not taken for today's value.
    const int64_t shown =
        header.expiryDate
            ? DayNumber(TheoryDate(now.date(), *header.expiryDate, days)) - DayNumber(now.date())
            : 0;
    if (shown > 0) {
        const std::string text = "Theorie over " + std::to_string(shown) + " dagen";
        canvas.SetFontColor(kTheoryColor);
        canvas.SetBrushColor(chart_colors::kWhite);
        canvas.TextOut(area.right - canvas.TextWidth(text) - 8, area.top + 6, text);
        canvas.SetFontColor(chart_colors::kBlack);
    }
}

}  // namespace rendaal
