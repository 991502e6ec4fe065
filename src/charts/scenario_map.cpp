#include "charts/scenario_map.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "analytics/report.h"
#include "core/money.h"

namespace rendaal {
namespace {

constexpr int kFontSize = 8;
constexpr int kLine = 14;
constexpr Color kPaper = Rgb(250, 250, 250);
constexpr Color kEmpty = Rgb(210, 210, 210);
constexpr Color kProfit = Rgb(30, 150, 60);
constexpr Color kLoss = Rgb(205, 40, 40);
constexpr Color kToday = Rgb(0, 70, 200);
constexpr Color kInk = Rgb(0, 0, 0);

void Font(Canvas& c) {
    c.SetFontName("Verdana");
    c.SetFontSize(kFontSize);
}

void Line(Canvas& c, int x1, int y1, int x2, int y2) {
    c.MoveTo(x1, y1);
    c.LineTo(x2, y2);
}

void Frame(Canvas& c, int x1, int y1, int x2, int y2, Color color) {
    c.SetPenColor(color);
    c.SetPenStyle(PenStyle::Solid);
    for (int i = 0; i < 2; ++i) {
        Line(c, x1 + i, y1 + i, x2 - 1 - i, y1 + i);
        Line(c, x2 - 1 - i, y1 + i, x2 - 1 - i, y2 - 1 - i);
        Line(c, x2 - 1 - i, y2 - 1 - i, x1 + i, y2 - 1 - i);
        Line(c, x1 + i, y2 - 1 - i, x1 + i, y1 + i);
    }
}

void Text(Canvas& c, int x, int y, const std::string& text, Color ink, Color paper) {
    c.SetBrushColor(paper);
    c.SetFontColor(ink);
    c.TextOut(x, y, text);
}

double Largest(const ScenarioGrid& g) {
    double largest = 0;
    for (const auto& r : g.results) {
        if (r) {
            largest = std::max(largest, std::abs(*r));
        }
    }
    return largest;
}

std::string ColumnNote(const ScenarioGrid& g, size_t column) {
    const ScenarioColumn& c = g.columns[column];
    if (c.marks & kMarkToday) {
        return "nu";
    }
    if (c.marks & (kMarkBeLow | kMarkBeHigh)) {
        return "BE";
    }
    const auto today = g.TodayColumn();
    const double pct = std::round((c.level / g.columns[*today].level - 1) * 100);
    return (pct > 0 ? "+" : "") + FormatFixed(pct, 0) + "%";
}

// Where a level lies across the columns: between the centres of its neighbours, as the columns
// are not evenly spaced in level. Empty outside the first and last centre.
std::optional<int> LevelX(const ScenarioGrid& g, const ScenarioMapLayout& l, double level) {
    auto centre = [&](size_t i) { return 0.5 * (l.ColumnX(i) + l.ColumnX(i + 1)); };
    for (size_t i = 0; i + 1 < g.columns.size(); ++i) {
        const double a = g.columns[i].level, b = g.columns[i + 1].level;
        if (level >= a && level <= b) {
            const double f = b > a ? (level - a) / (b - a) : 0;
            return static_cast<int>(std::lround(centre(i) + f * (centre(i + 1) - centre(i))));
        }
    }
    return std::nullopt;
}

void ZeroLine(Canvas& c, const ScenarioGrid& g, const ScenarioMapLayout& l, bool low) {
    c.SetPenColor(kInk);
    c.SetPenStyle(PenStyle::Solid);
    std::optional<std::pair<int, int>> last;
    for (size_t d = 0; d < g.dates.size(); ++d) {
        const auto& be = low ? g.dates[d].beLow : g.dates[d].beHigh;
        const auto x = be ? LevelX(g, l, *be) : std::nullopt;
        if (!x) {
            last.reset();
            continue;
        }
        const int y1 = l.RowY(d), y2 = l.RowY(d + 1), y = (y1 + y2) / 2;
        // A tick across the row, so that a date alone still shows where it breaks even.
        for (int i = 0; i < 2; ++i) {
            Line(c, *x + i, y1 + (y2 - y1) / 4, *x + i, y2 - (y2 - y1) / 4);
            if (last) {
                Line(c, last->first + i, last->second, *x + i, y);
            }
        }
        last = std::pair{*x, y};
    }
}

}  // namespace

int ScenarioMapLayout::ColumnX(size_t column) const {
    return columns == 0 ? left
                        : left + static_cast<int>(static_cast<int64_t>(right - left) *
                                                  static_cast<int64_t>(column) /
                                                  static_cast<int64_t>(columns));
}

int ScenarioMapLayout::RowY(size_t row) const {
    return rows == 0
               ? top
               : top + static_cast<int>(static_cast<int64_t>(bottom - top) *
                                        static_cast<int64_t>(row) / static_cast<int64_t>(rows));
}

std::optional<ScenarioCell> ScenarioMapLayout::CellAt(int x, int y) const {
    if (x < left || x >= right || y < top || y >= bottom || columns == 0 || rows == 0) {
        return std::nullopt;
    }
    ScenarioCell cell;
    while (cell.column + 1 < columns && ColumnX(cell.column + 1) <= x) {
        ++cell.column;
    }
    while (cell.date + 1 < rows && RowY(cell.date + 1) <= y) {
        ++cell.date;
    }
    return cell;
}

ScenarioMapLayout LayoutScenarioMap(const ScenarioGrid& grid, int width, int height,
                                    Canvas& canvas) {
    Font(canvas);
    ScenarioMapLayout l;
    l.columns = grid.columns.size();
    l.rows = grid.dates.size();
    l.left = canvas.TextWidth("00-00-0000 exp.") + 12;
    l.top = 8 + 3 * kLine;
    l.right = std::max(l.left + 1, width - 8);
    l.bottom = std::max(l.top + 1, height - 2 * kLine);
    return l;
}

Color ScenarioColor(std::optional<double> result, double largest) {
    if (!result) {
        return kEmpty;
    }
    const double a = largest > 0 ? std::clamp(std::abs(*result) / largest, 0.0, 1.0) : 0;
    const Color full = *result >= 0 ? kProfit : kLoss;
    auto mix = [a](uint8_t from, uint8_t to) {
        return static_cast<int>(std::lround(from + a * (to - from)));
    };
    return Rgb(mix(kPaper.r, full.r), mix(kPaper.g, full.g), mix(kPaper.b, full.b));
}

namespace {

// Column heads: every column whose texts fit, the marked ones always.
void DrawHeads(Canvas& canvas, const ScenarioGrid& grid, const ScenarioMapLayout& l) {
    const int cellW = std::max(1, l.ColumnX(1) - l.ColumnX(0));
    const int headW = canvas.TextWidth("00000") + 4;
    const size_t every = static_cast<size_t>(std::max(1, (headW + cellW - 1) / cellW));
    for (size_t c = 0; c < grid.columns.size(); ++c) {
        const unsigned marks = grid.columns[c].marks;
        if (marks == kMarkNone && c % every != 0) {
            continue;
        }
        const int mid = (l.ColumnX(c) + l.ColumnX(c + 1)) / 2;
        const std::string level = FormatFixed(grid.columns[c].level, 0);
        const std::string note = ColumnNote(grid, c);
        const Color ink = (marks & kMarkToday) != 0 ? kToday : kInk;
        Text(canvas, mid - canvas.TextWidth(level) / 2, 8 + kLine, level, ink, kPaper);
        Text(canvas, mid - canvas.TextWidth(note) / 2, 8 + 2 * kLine, note, ink, kPaper);
    }
}

// One cell, with its amount in whole euros where that fits.
void DrawCell(Canvas& canvas, int x1, int y1, int x2, int y2, std::optional<double> r,
              double largest) {
    const Color fill = ScenarioColor(r, largest);
    canvas.SetBrushColor(fill);
    canvas.FillRect(x1, y1, x2, y2);
    if (!r || y2 - y1 < kLine) {
        return;
    }
    const std::string amount = FormatGrouped(*r, 0);
    const int w = canvas.TextWidth(amount);
    if (w + 4 <= x2 - x1) {
        const bool dark = largest > 0 && std::abs(*r) / largest > 0.6;
        Text(canvas, (x1 + x2 - w) / 2, (y1 + y2) / 2 - kLine / 2 + 1, amount, dark ? kPaper : kInk,
             fill);
    }
}

void DrawRows(Canvas& canvas, const ScenarioGrid& grid, const ScenarioMapLayout& l,
              double largest) {
    for (size_t d = 0; d < grid.dates.size(); ++d) {
        const int y1 = l.RowY(d), y2 = l.RowY(d + 1);
        const std::string label =
            FormatDmy(grid.dates[d].date) + (grid.dates[d].expiry ? " exp." : "");
        Text(canvas, 6, (y1 + y2) / 2 - kLine / 2, label, kInk, kPaper);
        for (size_t c = 0; c < grid.columns.size(); ++c) {
            DrawCell(canvas, l.ColumnX(c), y1, l.ColumnX(c + 1), y2, grid.At(d, c), largest);
        }
    }
}

// Today's level and the break-evens at expiry, as columns framed top to bottom.
void DrawMarkedColumns(Canvas& canvas, const ScenarioGrid& grid, const ScenarioMapLayout& l) {
    for (size_t c = 0; c < grid.columns.size(); ++c) {
        const unsigned m = grid.columns[c].marks;
        if (m == kMarkNone) {
            continue;
        }
        const bool today = (m & kMarkToday) != 0;
        canvas.SetPenColor(today ? kToday : kInk);
        canvas.SetPenStyle(today ? PenStyle::Solid : PenStyle::Dash);
        for (const int x : {l.ColumnX(c), l.ColumnX(c + 1) - 1}) {
            Line(canvas, x, l.top - 2, x, l.bottom);
        }
    }
}

void DrawKey(Canvas& canvas, const ScenarioMapLayout& l, double largest) {
    int x = l.left;
    const int y = l.bottom + kLine / 2;
    auto key = [&](Color color, const std::string& text) {
        canvas.SetBrushColor(color);
        canvas.FillRect(x, y + 2, x + 12, y + 12);
        Text(canvas, x + 16, y, text, kInk, kPaper);
        x += 16 + canvas.TextWidth(text) + 16;
    };
    key(kProfit, "winst");
    key(kLoss, "verlies (per contract, volle kleur " + FormatMoney(largest) + ")");
    key(kEmpty, "onbekend");
    key(kInk, "lijn: resultaat 0 (break-even)");
    key(kToday, "AEX nu");
}

}  // namespace

void DrawScenarioMap(Canvas& canvas, const ScenarioGrid& grid, int width, int height,
                     const std::string& title, std::optional<ScenarioCell> selected) {
    Font(canvas);
    canvas.SetBrushColor(kPaper);
    canvas.FillRect(0, 0, width, height);
    Text(canvas, 8, 6, title, kInk, kPaper);
    if (!grid.problem.empty() || grid.columns.empty() || grid.dates.empty()) {
        Text(canvas, 8, 6 + 2 * kLine, grid.problem, kInk, kPaper);
        return;
    }
    const ScenarioMapLayout l = LayoutScenarioMap(grid, width, height, canvas);
    const double largest = Largest(grid);
    DrawHeads(canvas, grid, l);
    DrawRows(canvas, grid, l, largest);
    DrawMarkedColumns(canvas, grid, l);
    ZeroLine(canvas, grid, l, true);
    ZeroLine(canvas, grid, l, false);
    if (selected && selected->date < l.rows && selected->column < l.columns) {
        Frame(canvas, l.ColumnX(selected->column) - 1, l.RowY(selected->date) - 1,
              l.ColumnX(selected->column + 1) + 1, l.RowY(selected->date + 1) + 1, kToday);
    }
    DrawKey(canvas, l, largest);
}

}  // namespace rendaal
