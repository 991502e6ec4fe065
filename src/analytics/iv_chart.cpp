#include "analytics/iv_chart.h"

#include <algorithm>
#include <optional>

#include "analytics/report.h"
#include "charts/frame.h"
#include "charts/history.h"
#include "core/text.h"

namespace rendaal {
namespace {

using namespace chart_colors;

// Day labels keep this much room between them, so that they never run together.
constexpr int kLabelGap = 12;

struct Span {
    int64_t first = 0;
    int64_t last = 0;
};

int DayX(const PlotArea& area, const Span& span, int64_t day) {
    const int64_t days = std::max<int64_t>(span.last - span.first, 1);
    return area.left + Nearest(static_cast<double>(day - span.first) * (area.right - area.left) /
                               static_cast<double>(days));
}

void DrawDayLabels(Canvas& canvas, const PlotArea& area, const Span& span) {
    canvas.SetFontColor(kBlack);
    canvas.SetBrushColor(kBackground);
    int freeFrom = area.left - 40;
    auto label = [&](int64_t day) {
        const std::string text = FormatDmy(FromDayNumber(day));
        const int x = DayX(area, span, day);
        const int w = canvas.TextWidth(text);
        if (x - w / 2 < freeFrom || x + w / 2 > area.right + 40) {
            return;
        }
        canvas.MoveTo(x, area.bottom);
        canvas.LineTo(x, area.bottom + 5);
        canvas.TextOut(x - w / 2, area.bottom + 8, text);
        freeFrom = x + w / 2 + kLabelGap;
    };
    label(span.first);
    // Month starts in between, as far as they fit; the last day always gets its label.
    const int lastWidth = canvas.TextWidth(FormatDmy(FromDayNumber(span.last)));
    for (int64_t day = span.first + 1; day < span.last; ++day) {
        if (FromDayNumber(day).day == 1 &&
            DayX(area, span, day) + lastWidth < DayX(area, span, span.last) - lastWidth / 2) {
            label(day);
        }
    }
    if (span.last != span.first) {
        label(span.last);
    }
}

void DrawSeries(Canvas& canvas, const PlotArea& area, const Span& span, double top,
                const std::vector<IvRow>& rows, std::optional<double> IvRow::*iv, Color color) {
    canvas.SetPenColor(color);
    canvas.SetBrushColor(color);
    const double pixelsPerPercent = (area.bottom - area.top) / top;
    std::optional<std::pair<int, int>> last;
    for (const auto& r : rows) {
        const auto& v = r.*iv;
        if (!v) {
            last.reset();
            continue;
        }
        const int x = DayX(area, span, DayNumber(r.date));
        const int y = Nearest(area.bottom - pixelsPerPercent * *v * 100);
        if (last) {
            if (const auto seg = ClipToPlot(area, last->first, last->second, x, y)) {
                canvas.MoveTo(seg->x0, seg->y0);
                canvas.LineTo(seg->x1, seg->y1);
            }
        }
        if (y >= area.top && y <= area.bottom) {
            canvas.FillRect(x - 2, y - 2, x + 3, y + 3);
        }
        last = {x, y};
    }
    canvas.SetPenColor(kBlack);
}

void DrawLegend(Canvas& canvas, const PlotArea& area) {
    int x = area.right - 150;
    for (const auto& [text, color] : {std::pair{"IV put", kRed}, std::pair{"IV call", kGreen}}) {
        canvas.SetBrushColor(color);
        canvas.FillRect(x, area.top + 12, x + 20, area.top + 15);
        canvas.SetBrushColor(kWhite);
        canvas.SetFontColor(color);
        canvas.TextOut(x + 24, area.top + 6, text);
        x += 75;
    }
    canvas.SetFontColor(kBlack);
}

}  // namespace

void DrawIvChart(Canvas& canvas, int width, int height, const std::string& fileName,
                 const std::vector<IvRow>& rows) {
    const PlotArea area = PlotAreaFor(width, height);
    DrawBackground(canvas, area, width, height);
    DrawCombinationTitle(canvas, area, ParseChartFileName(fileName));
    canvas.SetFontColor(kBlack);
    canvas.SetBrushColor(kBackground);
    // Clear of the top value label below it, at any font size.
    canvas.TextOut(area.left - 35, area.top - 34, "IV %");

    std::vector<IvRow> sorted = rows;
    std::stable_sort(sorted.begin(), sorted.end(), [](const IvRow& a, const IvRow& b) {
        return DayNumber(a.date) < DayNumber(b.date);
    });
    double maxPercent = 0;
    for (const auto& r : sorted) {
        for (const auto& v : {r.ivPut, r.ivCall}) {
            if (v) {
                maxPercent = std::max(maxPercent, *v * 100);
            }
        }
    }
    const ValueScale scale = ScaleForMaximum(maxPercent);
    DrawValueAxis(canvas, area, scale);
    if (!(maxPercent > 0)) {
        canvas.SetBrushColor(kWhite);
        canvas.TextOut(Centre(canvas, area, kNoVolatilityText), Half(area.top + area.bottom) - 6,
                       kNoVolatilityText);
        return;
    }
    const Span span{DayNumber(sorted.front().date), DayNumber(sorted.back().date)};
    DrawDayLabels(canvas, area, span);
    const double top = ValueTop(scale);
    DrawSeries(canvas, area, span, top, sorted, &IvRow::ivPut, kRed);
    DrawSeries(canvas, area, span, top, sorted, &IvRow::ivCall, kGreen);
    DrawLegend(canvas, area);
}

std::string IvChartDescription(const std::string& fileName, const std::vector<IvRow>& rows) {
    const ChartHeader header = ParseChartFileName(fileName);
    const bool putGeen = Contains(header.putLabel, "Geen");
    const bool callGeen = Contains(header.callLabel, "Geen");
    std::string text = "Volatiliteit (IV, % per jaar) van ";
    if (!putGeen && !callGeen) {
        text += header.putLabel + " + " + header.callLabel;
    } else {
        text += putGeen ? header.callLabel : header.putLabel;
    }
    const IvRow* first = nullptr;
    const IvRow* last = nullptr;
    for (const auto& r : rows) {
        if (!r.ivPut && !r.ivCall) {
            continue;
        }
        if (first == nullptr || DayNumber(r.date) < DayNumber(first->date)) {
            first = &r;
        }
        if (last == nullptr || DayNumber(r.date) >= DayNumber(last->date)) {
            last = &r;
        }
    }
    if (last == nullptr) {
        return text + ": " + kNoVolatilityText;
    }
    auto percent = [](const std::optional<double>& v) {
        return v ? FormatFixed(*v * 100, 2, ',') + " %" : std::string("geen");
    };
    text += ", " + FormatDmy(first->date) + " tot " + FormatDmy(last->date) + "; laatste dag " +
            FormatDmy(last->date) + ":";
    std::string sep = " ";
    if (!putGeen) {
        text += sep + "IV put " + percent(last->ivPut);
        sep = "; ";
    }
    if (!callGeen) {
        text += sep + "IV call " + percent(last->ivCall);
        sep = "; ";
    }
    return last->aex ? text + sep + "AEX " + FormatFixed(last->aex, 2, ',') : text;
}

}  // namespace rendaal
