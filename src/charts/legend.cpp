#include "charts/legend.h"

#include <algorithm>
#include <cmath>

namespace rendaal {
namespace {

using namespace chart_colors;

constexpr int kMarkWidth = 24;
constexpr double kDashOn = 6;
constexpr double kDashOff = 4;

struct Point {
    double x;
    double y;
};

// Where an entry's text starts, and the room kept after it.
int TextLeft(const LegendEntry& e) {
    switch (e.mark) {
        case LegendEntry::Mark::Square:
            return 18;
        case LegendEntry::Mark::DashedLine:
            return kMarkWidth + 8;
        case LegendEntry::Mark::None:
            break;
    }
    return 3;
}

int TextRight(const LegendEntry& e) {
    return e.mark == LegendEntry::Mark::None ? 3 : 10;
}

// The part of the segment a-b inside the box [left, right] x [top, bottom]; false when none is.
bool Clip(Point& a, Point& b, const PlotArea& area) {
    double t0 = 0;
    double t1 = 1;
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    for (const auto& [p, q] : {std::pair{-dx, a.x - area.left}, std::pair{dx, area.right - a.x},
                               std::pair{-dy, a.y - area.top}, std::pair{dy, area.bottom - a.y}}) {
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
    a = {from.x + t0 * dx, from.y + t0 * dy};
    b = {from.x + t1 * dx, from.y + t1 * dy};
    return true;
}

// One dash, doubled on the row below (above at the bottom edge).
void Dash(Canvas& canvas, const PlotArea& area, PlotContents* contents, int x0, int y0, int x1,
          int y1) {
    const int down = std::max(y0, y1) < area.bottom ? 1 : -1;
    for (const int dy : {0, down}) {
        canvas.MoveTo(x0, y0 + dy);
        canvas.LineTo(x1, y1 + dy);
    }
    if (contents) {
        contents->AddLine(x0, y0, x1, y1 + down);
    }
}

}  // namespace

std::optional<Box> PlaceClearBox(PlotContents& contents, const PlotArea& area, int w, int h,
                                 const std::vector<std::pair<int, int>>& candidates) {
    for (const auto& [x, y] : candidates) {
        const Box box{x, y, x + w, y + h};
        if (box.x1 <= area.left || box.y1 <= area.top || box.x2 > area.right ||
            box.y2 > area.bottom) {
            continue;
        }
        if (contents.Hits(area, box) == 0) {
            contents.AddBox(box);
            return box;
        }
    }
    return std::nullopt;
}

std::optional<Box> DrawLegend(Canvas& canvas, const PlotArea& area, PlotContents& contents,
                              const std::vector<LegendEntry>& entries, int pitch) {
    if (entries.empty()) {
        return std::nullopt;
    }
    const int n = static_cast<int>(entries.size());
    std::vector<int> widths;
    widths.reserve(entries.size());
    for (const LegendEntry& e : entries) {
        widths.push_back(TextLeft(e) + canvas.TextWidth(e.text) + TextRight(e));
    }
    std::vector<int> layouts = {1};
    if (n > 3) {
        layouts.push_back(2);
    }
    if (n > 1) {
        layouts.push_back(n);
    }
    for (const int columns : layouts) {
        const int rows = (n + columns - 1) / columns;
        std::vector<int> columnX(static_cast<size_t>(columns) + 1, 0);
        for (int c = 0; c < columns; ++c) {
            int widest = 0;
            for (int i = c * rows; i < std::min(n, (c + 1) * rows); ++i) {
                widest = std::max(widest, widths[static_cast<size_t>(i)]);
            }
            columnX[static_cast<size_t>(c) + 1] = columnX[static_cast<size_t>(c)] + widest;
        }
        const int w = columnX.back();
        const int h = rows * pitch + 3;
        const auto box = PlaceClearBox(contents, area, w, h, BoxCandidates(area, w, h, {}));
        if (!box) {
            continue;
        }
        canvas.SetPenStyle(PenStyle::Solid);
        canvas.SetBrushColor(kWhite);
        canvas.SetPenColor(kGrid);
        canvas.Rectangle(box->x1, box->y1, box->x2, box->y2);
        canvas.SetPenColor(kBlack);
        for (int i = 0; i < n; ++i) {
            const LegendEntry& e = entries[static_cast<size_t>(i)];
            const int x = box->x1 + columnX[static_cast<size_t>(i / rows)];
            const int y = box->y1 + (i % rows) * pitch;
            if (e.mark == LegendEntry::Mark::Square) {
                canvas.SetBrushColor(e.markColor);
                canvas.Rectangle(x + 3, y + 6, x + 13, y + 16);
            } else if (e.mark == LegendEntry::Mark::DashedLine) {
                canvas.SetPenColor(e.markColor);
                canvas.SetPenStyle(PenStyle::Dash);
                for (const int row : {y + 10, y + 11}) {
                    canvas.MoveTo(x + 3, row);
                    canvas.LineTo(x + 3 + kMarkWidth, row);
                }
                canvas.SetPenStyle(PenStyle::Solid);
                canvas.SetPenColor(kBlack);
            }
            canvas.SetBrushColor(kWhite);
            canvas.SetFontColor(e.textColor);
            canvas.TextOut(x + TextLeft(e), y + 3, e.text);
        }
        canvas.SetFontColor(kBlack);
        return box;
    }
    return std::nullopt;
}

void DrawDashedPolyline(Canvas& canvas, const PlotArea& area,
                        const std::vector<std::pair<double, double>>& points, Color color,
                        PlotContents* contents) {
    if (area.right <= area.left || area.bottom <= area.top) {
        return;
    }
    canvas.SetPenStyle(PenStyle::Solid);
    canvas.SetPenColor(color);
    double phase = 0;  // distance into the current dash period
    auto advance = [&phase](double by) { phase = std::fmod(phase + by, kDashOn + kDashOff); };
    for (size_t i = 1; i < points.size(); ++i) {
        Point a{points[i - 1].first, points[i - 1].second};
        Point b{points[i].first, points[i].second};
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        const Point from = a;
        // Only the visible part is walked dash by dash: a value far off the scale makes a
        // segment millions of pixels long.
        if (!(length > 0) || !std::isfinite(length) || !Clip(a, b, area)) {
            advance(std::isfinite(length) ? length : 0);
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
                Dash(canvas, area, contents, Nearest(a.x + t0 * (b.x - a.x)),
                     Nearest(a.y + t0 * (b.y - a.y)), Nearest(a.x + t1 * (b.x - a.x)),
                     Nearest(a.y + t1 * (b.y - a.y)));
            }
            done += step;
            advance(step);
        }
        advance(std::max(length - before - visible, 0.0));
    }
    canvas.SetPenColor(kBlack);
}

}  // namespace rendaal
