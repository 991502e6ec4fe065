#include "charts/frame.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "core/text.h"

namespace rendaal {

int ImageSide(int pixels) {
    return std::clamp(pixels, 0, kCoordinateLimit);
}

PlotArea PlotAreaFor(int imageWidth, int imageHeight) {
    return PlotArea{50, 50, ImageSide(imageWidth) - 50, ImageSide(imageHeight) - 50};
}

int Nearest(double x) {
    if (std::isnan(x)) {
        return 0;
    }
    x = std::clamp(x, -static_cast<double>(kCoordinateLimit),
                   static_cast<double>(kCoordinateLimit));
    // The default floating-point rounding mode rounds halves to even.
    return static_cast<int>(std::nearbyint(x));
}

std::optional<Segment> ClipToPlot(const PlotArea& area, int x0, int y0, int x1, int y1) {
    if (area.right < area.left || area.bottom < area.top) {
        return std::nullopt;  // an image too small to hold a plot
    }
    // Liang-Barsky: the segment is p(t) = start + t * d for t in 0..1.
    const double dx = static_cast<double>(x1) - x0;
    const double dy = static_cast<double>(y1) - y0;
    double from = 0;
    double to = 1;
    const double p[] = {-dx, dx, -dy, dy};
    const double q[] = {static_cast<double>(x0) - area.left, static_cast<double>(area.right) - x0,
                        static_cast<double>(y0) - area.top, static_cast<double>(area.bottom) - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) {
                return std::nullopt;  // parallel to this edge and outside it
            }
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) {
            from = std::max(from, t);
        } else {
            to = std::min(to, t);
        }
    }
    if (from > to) {
        return std::nullopt;
    }
    auto at = [&](double t) {
        // Rounding may step a hair outside; the clamp keeps the end on the area.
        return std::pair{std::clamp(Nearest(x0 + t * dx), area.left, area.right),
                         std::clamp(Nearest(y0 + t * dy), area.top, area.bottom)};
    };
    Segment s{x0, y0, x1, y1};
    if (from > 0) {
        std::tie(s.x0, s.y0) = at(from);
    }
    if (to < 1) {
        std::tie(s.x1, s.y1) = at(to);
    }
    return s;
}

int Centre(Canvas& canvas, const PlotArea& area, const std::string& text) {
    return area.left + Half((area.right - area.left) - canvas.TextWidth(text));
}

double ValueTop(const ValueScale& scale) {
    return scale.top > 0 ? scale.top : 5;
}

void DrawBackground(Canvas& canvas, const PlotArea& area, int width, int height) {
    using namespace chart_colors;
    canvas.SetFontName("Verdana");
    canvas.SetFontSize(9);
    canvas.SetBrushColor(kBackground);
    canvas.FillRect(0, 0, ImageSide(width), ImageSide(height));
    canvas.SetBrushColor(kWhite);
    canvas.SetPenColor(kBlack);
    canvas.SetPenStyle(PenStyle::Solid);
    canvas.Rectangle(area.left, area.top, area.right + 1, area.bottom + 1);
}

void DrawCombinationTitle(Canvas& canvas, const PlotArea& area, const ChartHeader& header) {
    canvas.SetFontColor(chart_colors::kBlack);
    canvas.SetBrushColor(chart_colors::kBackground);
    const bool putGeen = Contains(header.putLabel, "Geen");
    const bool callGeen = Contains(header.callLabel, "Geen");
    std::string text;
    if (!putGeen && !callGeen) {
        text = header.putLabel + "  +  " + header.callLabel;
    } else {
        text = putGeen ? header.callLabel : header.putLabel;
    }
    canvas.TextOut(Centre(canvas, area, text), area.top - 25, text);
}

void DrawDatesTitle(Canvas& canvas, const PlotArea& area, const ChartHeader& header,
                    const std::string& startDate) {
    canvas.SetFontColor(chart_colors::kBlack);
    canvas.SetBrushColor(chart_colors::kBackground);
    // The start date is whatever the first line holds; a damaged file must not fill the title.
    const std::string start = startDate.substr(0, 32);
    const std::string expiry = header.expiryDate ? FormatDmy(*header.expiryDate) : std::string();
    const std::string text = header.kind + ", startdatum: " + start + ", expitatiedatum: " + expiry;
    canvas.TextOut(Centre(canvas, area, text), area.top - 45, text);
}

void DrawValueAxis(Canvas& canvas, const PlotArea& area, const ValueScale& scale) {
    using namespace chart_colors;
    const double top = ValueTop(scale);
    const int ticks = scale.ticks > 0 ? scale.ticks : 5;
    const long long step = std::max(1LL, std::llround(top / ticks));
    const double p = static_cast<double>(area.bottom - area.top) / ticks;
    long long v = 0;
    double a = 1.0;
    // A scale of n ticks draws n + 1 marks; the bound only guards a step rounding to less.
    for (int mark = 0; mark <= 2 * ticks + 1 && static_cast<double>(v) <= top; ++mark) {
        const int offset = Nearest(a) - 1;
        const int y = area.bottom - offset;
        canvas.MoveTo(area.left, y);
        canvas.LineTo(area.left + 10, y);
        if (offset != area.bottom - area.top && offset != 0) {
            canvas.SetPenColor(kGrid);
            canvas.LineTo(area.right, y);
            canvas.SetPenColor(kBlack);
        }
        canvas.TextOut(area.left - 22, y - 10, PadLeft(v, 2));
        v += step;
        a += p;
    }
}

void DrawUnitMark(Canvas& canvas, const PlotArea& area, int euroFontSize) {
    canvas.SetBrushColor(chart_colors::kBackground);
    if (euroFontSize != 9) {
        canvas.SetFontSize(euroFontSize);
    }
    canvas.TextOut(area.left - 30, area.bottom - 30, kEuro);
    DrawArrowHead(canvas, area.left - 25, area.bottom - 35, 1);
    if (euroFontSize != 9) {
        canvas.SetFontSize(9);
    }
}

void DrawArrowHead(Canvas& canvas, int x, int y, int direction) {
    if (direction == 1) {
        canvas.MoveTo(x, y);
        canvas.LineTo(x, y - 20);
        canvas.LineTo(x - 4, y - 20);
        canvas.LineTo(x, y - 35);
        canvas.LineTo(x + 4, y - 20);
        canvas.LineTo(x, y - 20);
        canvas.FloodFill(x, y - 25, chart_colors::kBlack);
    } else if (direction == 0) {
        canvas.MoveTo(x, y);
        canvas.LineTo(x + 20, y);
        canvas.LineTo(x + 20, y - 4);
        canvas.LineTo(x + 35, y);
        canvas.LineTo(x + 20, y + 4);
        canvas.LineTo(x + 20, y);
        canvas.FloodFill(x + 25, y, chart_colors::kBlack);
    }
}

}  // namespace rendaal
