#include "charts/frame.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>
#include <utility>

#include "core/money.h"
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

bool Overlap(const Box& a, const Box& b) {
    return a.x1 < b.x2 && b.x1 < a.x2 && a.y1 < b.y2 && b.y1 < a.y2;
}

bool Touches(const Box& box, const Segment& line) {
    if (box.x2 <= box.x1 || box.y2 <= box.y1) {
        return false;
    }
    // The box's last pixels are x2 - 1 and y2 - 1.
    const PlotArea area{box.x1, box.y1, box.x2 - 1, box.y2 - 1};
    return ClipToPlot(area, line.x0, line.y0, line.x1, line.y1).has_value();
}

void PlotContents::AddLine(int x0, int y0, int x1, int y1) {
    lines_.push_back({x0, y0, x1, y1});
    built_ = false;
}

void PlotContents::AddBox(const Box& box) {
    // Texts placed one after the other are looked at one by one; the grid stays.
    (built_ ? placed_ : boxes_).push_back(box);
}

void PlotContents::MarkBoxes(const PlotArea& area) {
    // A box costs its four corners however large it is, so thousands of squares cost little
    // more than the grid: +1 and -1 at the corners, summed into how many boxes cover a cell.
    const size_t stride = static_cast<size_t>(columns_) + 1;
    std::vector<int32_t> cover(stride * (static_cast<size_t>(rows_) + 1), 0);
    for (const Box& box : boxes_) {
        const int x1 = std::max(box.x1, area.left);
        const int x2 = std::min(box.x2, area.right + 1);
        const int y1 = std::max(box.y1, area.top);
        const int y2 = std::min(box.y2, area.bottom + 1);
        if (x1 >= x2 || y1 >= y2) {
            continue;
        }
        const auto cx1 = static_cast<size_t>((x1 - area.left) >> shift_);
        const auto cx2 = static_cast<size_t>((x2 - 1 - area.left) >> shift_) + 1;
        const auto cy1 = static_cast<size_t>((y1 - area.top) >> shift_);
        const auto cy2 = static_cast<size_t>((y2 - 1 - area.top) >> shift_) + 1;
        ++cover[cy1 * stride + cx1];
        --cover[cy1 * stride + cx2];
        --cover[cy2 * stride + cx1];
        ++cover[cy2 * stride + cx2];
    }
    sums_.assign(cover.size(), 0);
    for (size_t y = 0; y < static_cast<size_t>(rows_); ++y) {
        int32_t row = 0;
        for (size_t x = 0; x < static_cast<size_t>(columns_); ++x) {
            row += cover[y * stride + x];
            cover[y * stride + x] = row + (y > 0 ? cover[(y - 1) * stride + x] : 0);
            sums_[(y + 1) * stride + x + 1] = cover[y * stride + x] > 0 ? 1 : 0;
        }
    }
}

void PlotContents::Build(const PlotArea& area) {
    builtFor_ = area;
    boxes_.insert(boxes_.end(), placed_.begin(), placed_.end());
    placed_.clear();
    // A picture too small for a plot still gets a grid of one cell.
    const int64_t w = std::max<int64_t>(1, static_cast<int64_t>(area.right) - area.left + 1);
    const int64_t h = std::max<int64_t>(1, static_cast<int64_t>(area.bottom) - area.top + 1);
    constexpr int64_t kMaxCells = 1 << 20;
    shift_ = 0;
    while (((w >> shift_) + 1) * ((h >> shift_) + 1) > kMaxCells) {
        ++shift_;
    }
    std::vector<Segment> on;
    on.reserve(lines_.size());
    int64_t length = 0;
    for (const Segment& line : lines_) {
        const bool inside =
            std::min(line.x0, line.x1) >= area.left && std::max(line.x0, line.x1) <= area.right &&
            std::min(line.y0, line.y1) >= area.top && std::max(line.y0, line.y1) <= area.bottom;
        const auto part = inside ? std::optional<Segment>(line)
                                 : ClipToPlot(area, line.x0, line.y0, line.x1, line.y1);
        if (part) {
            on.push_back(*part);
            length += std::max(std::abs(part->x1 - part->x0), std::abs(part->y1 - part->y0));
        }
    }
    // A chart of ten thousands of long lines is looked at more coarsely, so that placing a
    // text costs about as much as drawing the chart.
    constexpr int64_t kMaxSteps = 1 << 21;
    while ((length >> std::max(0, shift_ - 1)) > kMaxSteps && shift_ < 12) {
        ++shift_;
    }
    columns_ = static_cast<int>((w >> shift_) + 1);
    rows_ = static_cast<int>((h >> shift_) + 1);
    MarkBoxes(area);
    // Along a line in steps of a pixel, or of half a cell where cells are larger, so that no
    // cell it crosses is missed; positions in 16.16 fixed point. The grid's shape is held in
    // locals: stores into the grid could otherwise alias the members and be reloaded per step.
    const int step = std::max(1, (1 << shift_) / 2);
    const int shift = shift_;
    const int columns = columns_;
    const int rows = rows_;
    const size_t stride = static_cast<size_t>(columns) + 1;
    int32_t* const cells = sums_.data() + stride + 1;
    const auto mark = [&](int x, int y) {
        // The lines were clipped to the plot, so the offsets are never negative.
        const int cx = (x - area.left) >> shift;
        const int cy = (y - area.top) >> shift;
        if (cx < columns && cy < rows) {
            cells[static_cast<size_t>(cy) * stride + static_cast<size_t>(cx)] = 1;
        }
    };
    for (const Segment& line : on) {
        const int dx = line.x1 - line.x0;
        const int dy = line.y1 - line.y0;
        const int n = std::max(std::abs(dx), std::abs(dy));
        if (n > 0) {
            const int64_t sx = (static_cast<int64_t>(dx) << 16) / n * step;
            const int64_t sy = (static_cast<int64_t>(dy) << 16) / n * step;
            int64_t x = (static_cast<int64_t>(line.x0) << 16) + (1 << 15);
            int64_t y = (static_cast<int64_t>(line.y0) << 16) + (1 << 15);
            for (int i = 0; i < n; i += step, x += sx, y += sy) {
                mark(static_cast<int>(x >> 16), static_cast<int>(y >> 16));
            }
        }
        mark(line.x1, line.y1);
    }
    for (size_t y = 1; y <= static_cast<size_t>(rows_); ++y) {
        int32_t row = 0;
        for (size_t x = 1; x <= static_cast<size_t>(columns_); ++x) {
            row += sums_[y * stride + x];
            sums_[y * stride + x] = sums_[(y - 1) * stride + x] + row;
        }
    }
    built_ = true;
}

int64_t PlotContents::Hits(const PlotArea& area, const Box& box) {
    if (!built_ || !(builtFor_.left == area.left && builtFor_.top == area.top &&
                     builtFor_.right == area.right && builtFor_.bottom == area.bottom)) {
        Build(area);
    }
    int64_t placed = 0;
    const Box air{box.x1 - 1, box.y1 - 1, box.x2 + 1, box.y2 + 1};
    for (const Box& other : placed_) {
        placed += Overlap(air, other) ? 1 : 0;
    }
    // Cells of the box with its air, clamped to the plot.
    const int cell = 1 << shift_;
    const int x1 = std::clamp((box.x1 - 1 - area.left) / cell, 0, columns_);
    const int y1 = std::clamp((box.y1 - 1 - area.top) / cell, 0, rows_);
    const int x2 = std::clamp((box.x2 + cell - area.left) / cell, 0, columns_);
    const int y2 = std::clamp((box.y2 + cell - area.top) / cell, 0, rows_);
    if (x2 <= x1 || y2 <= y1) {
        return placed;
    }
    const size_t stride = static_cast<size_t>(columns_) + 1;
    const auto at = [&](int x, int y) {
        return sums_[static_cast<size_t>(y) * stride + static_cast<size_t>(x)];
    };
    return placed + at(x2, y2) - at(x1, y2) - at(x2, y1) + at(x1, y1);
}

Box PlaceBox(PlotContents& contents, const PlotArea& area, int w, int h,
             const std::vector<std::pair<int, int>>& candidates) {
    std::optional<Box> best;
    int64_t bestHits = 0;
    for (const auto& [x, y] : candidates) {
        const Box box{x, y, x + w, y + h};
        if (box.x1 <= area.left || box.y1 <= area.top || box.x2 > area.right ||
            box.y2 > area.bottom) {
            continue;  // on the frame or beyond it
        }
        const int64_t hits = contents.Hits(area, box);
        if (!best || hits < bestHits) {
            best = box;
            bestHits = hits;
            if (hits == 0) {
                break;
            }
        }
    }
    if (!best) {
        const auto [x, y] = candidates.empty() ? std::pair{area.left, area.top} : candidates[0];
        best = Box{x, y, x + w, y + h};
    }
    contents.AddBox(*best);
    return *best;
}

std::vector<std::pair<int, int>> BoxCandidates(const PlotArea& area, int w, int h,
                                               std::vector<std::pair<int, int>> preferred) {
    // Clear of the axes' ticks, which reach 10 pixels in from the left and 17 up from the bottom.
    const int left = area.left + 13;
    const int right = area.right - 6 - w;
    const int top = area.top + 6;
    const int bottom = area.bottom - 20 - h;
    std::vector<std::pair<int, int>> out = std::move(preferred);
    out.insert(out.end(), {{left, bottom}, {left, top}, {right, top}, {right, bottom}});
    // Only a plot of sane size is scanned; a huge picture keeps to the corners.
    if (right - left <= 4000 && bottom - top <= 4000) {
        for (int y = bottom; y >= top; y -= 10) {
            for (int x = left; x <= right; x += 10) {
                out.emplace_back(x, y);
            }
        }
    }
    return out;
}

std::string FormatEuros(double value, int width) {
    // Rounded half away from zero first: the money formatter alone rounds a half to even.
    std::string text = std::fabs(value) < 1e15
                           ? FormatGrouped(std::round(value), 0)
                           : FormatNumber(value, 1, 0);  // absurd sums: the plain (cut) figure
    if (static_cast<int>(text.size()) < width) {
        text.insert(0, static_cast<size_t>(width) - text.size(), ' ');
    }
    return text;
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

std::shared_ptr<const ChartHistory> PassHistory(const ChartPass& pass) {
    return pass.history
               ? pass.history
               : std::make_shared<const ChartHistory>(ReadChartHistory(pass.folder, pass.fileName));
}

}  // namespace rendaal
