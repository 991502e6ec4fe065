#include "charts/legend.h"

#include <gtest/gtest.h>

#include "chart_test_support.h"
#include "charts/chart_request.h"
#include "core/text.h"

namespace rendaal {
namespace {

using Op = RecordingCanvas::Op;
using test::ChartBench;
using test::Line;

const std::string kName = "Strangle_AEX_2703_00440.00_00520.00.csv";

// The boxes of the key and the profit lines, each with the lines and squares drawn before it
// that it covers.
std::vector<std::string> CoveredByBoxes(const RecordingCanvas& canvas, const PlotArea& area) {
    std::vector<Segment> lines;
    std::vector<Box> squares;
    std::vector<std::string> covered;
    for (const auto& c : canvas.calls()) {
        const bool key = c.op == Op::Rectangle && c.state.pen == chart_colors::kGrid;
        if (key) {
            const Box box{c.x1, c.y1, c.x2, c.y2};
            for (const Segment& s : lines) {
                if (Touches(box, s)) {
                    covered.push_back("line at " + std::to_string(s.x0) + "," +
                                      std::to_string(s.y0));
                }
            }
            for (const Box& q : squares) {
                if (Overlap(box, q)) {
                    covered.push_back("square at " + std::to_string(q.x1));
                }
            }
        } else if (c.op == Op::LineTo && c.state.pen != chart_colors::kGrid) {
            lines.push_back({c.x1, c.y1, c.x2, c.y2});
        } else if (c.op == Op::Rectangle && !(c.x1 == area.left && c.y1 == area.top)) {
            squares.push_back({c.x1, c.y1, c.x2, c.y2});
        }
    }
    return covered;
}

// The key never hides what it explains: at any size, with a line drawn over the chart, it
// finds a free place or is left out; where there is room it names every line style.
TEST(ChartKey, HidesNoDataAtAnySizeAndNamesEveryLineStyle) {
    std::vector<std::string> zigzag;  // two months swinging across the whole plot
    for (int i = 0; i < 60; ++i) {
        zigzag.push_back(Line(FormatDmy(FromDayNumber(DayNumber(2026, 10, 5) + i)), "05,00",
                              "05,00", i % 2 ? "02,00" : "19,00",
                              FormatNumber(440 + (i * 37) % 80, 5, 1, ',')));
    }
    const struct {
        bool blocks;
        int w, h;
        bool roomy;
    } cases[] = {{true, 658, 474, true},   {false, 658, 474, true}, {true, 420, 190, false},
                 {false, 420, 190, false}, {true, 1900, 474, true}, {false, 1900, 474, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.blocks ? "Blokjes " : "Grafiek ") + std::to_string(c.w));
        ChartBench b;
        b.Write(kName,
                c.roomy ? std::vector<std::string>(zigzag.begin(), zigzag.begin() + 3) : zigzag);
        ChartRequest request = b.Request(kName, c.blocks, true, {2026, 12, 7}, c.w, c.h);
        ChartOverlay overlay;
        overlay.entry = {LegendEntry::Mark::DashedLine, Rgb(128, 0, 128), "Theorie",
                         Rgb(128, 0, 128)};
        overlay.draw = [](Canvas& canvas, const PlotArea& area, double, PlotContents& contents) {
            DrawDashedPolyline(canvas, area, {{area.left, area.bottom}, {area.right, area.top}},
                               Rgb(128, 0, 128), &contents);
        };
        request.overlay = overlay;
        DrawChart(request, b.canvas, b.state, b.outputs);
        const PlotArea area = PlotAreaFor(c.w, c.h);
        EXPECT_EQ(CoveredByBoxes(b.canvas, area), std::vector<std::string>{});
        if (c.roomy) {
            for (const char* text :
                 {"Theorie", c.blocks ? "Waarde op expiratie" : "Lineair naar 0 op expiratie"}) {
                EXPECT_EQ(b.canvas.TextsEqual(text).size(), 1u) << text;
            }
        }
    }
}

}  // namespace
}  // namespace rendaal
