#include "charts/theory_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "charts/iv_chart.h"
#include "charts/recording_canvas.h"
#include "core/combination.h"

namespace rendaal {
namespace {

using Op = RecordingCanvas::Op;

// Strangle 880/960 on a 660 x 474 picture: index window 860..980, plot 50..610 x 50..424.
struct TheoryLineTest : testing::Test {
    PlotArea area = PlotAreaFor(660, 474);
    IndexWindow window;
    TheoryCurve curve{{880, 960}, 0.22, 0.18, 105.0 / 365, {0.02, 0.03}};
    RecordingCanvas canvas;

    void SetUp() override {
        ChartHeader header;
        header.lowStrike = 880;
        header.highStrike = 960;
        header.margin = 20;
        window = IndexWindowFor(header, {}, area);
    }

    std::vector<RecordingCanvas::Call> PurpleLines() const {
        std::vector<RecordingCanvas::Call> out;
        for (const auto& c : canvas.Of(Op::LineTo)) {
            if (c.state.pen == kTheoryColor) {
                out.push_back(c);
            }
        }
        return out;
    }
};

TEST_F(TheoryLineTest, DashedInsideThePlotOnTheSquaresScale) {
    DrawTheoryLine(canvas, area, window, 50, curve);
    const auto lines = PurpleLines();
    ASSERT_GT(lines.size(), 30u);
    int gaps = 0;
    double nearest = 1e9;
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto& c = lines[i];
        for (const int y : {c.y1, c.y2}) {
            EXPECT_GE(y, area.top);
            EXPECT_LE(y, area.bottom);
        }
        for (const int x : {c.x1, c.x2}) {
            EXPECT_GE(x, area.left);
            EXPECT_LE(x, area.right);
        }
        gaps += i > 0 && (lines[i - 1].x2 != c.x1 || lines[i - 1].y2 != c.y1);
        // At 920 the strangle is worth 44.68: y = 424 - 374 / 50 * 44.68 = 89.8.
        if (std::abs(c.x1 - 330) <= 4) {
            nearest = std::min(nearest, std::abs(c.y1 - 89.8));
        }
    }
    EXPECT_GT(gaps, 20);
    EXPECT_LE(nearest, 2.0);
    // Near the window's edges the value (about 56) lies above the top of 50 and is cut off there.
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [&](const auto& c) { return c.y1 == area.top || c.y2 == area.top; }));
    EXPECT_EQ(canvas.state().pen, chart_colors::kBlack);
}

TEST_F(TheoryLineTest, NothingWhenTheCurveLiesAboveTheScaleOrHasNoVolatility) {
    DrawTheoryLine(canvas, area, window, 5, curve);
    EXPECT_TRUE(PurpleLines().empty());
    curve.ivCall.reset();
    DrawTheoryLine(canvas, area, window, 50, curve);
    EXPECT_TRUE(PurpleLines().empty());
}

TEST(IvChartDescription, NamesTheCombinationSpanAndLastValues) {
    const std::string name = HistoryFileName(
        "AEX 2703 00880.00 00Geen; Put: mrt 2027 880.00; Call: mrt 2027 Geen; Single");
    std::vector<IvRow> rows(3);
    rows[0] = {Date{2026, 12, 4}, 905.5, 11.0, std::nullopt, 0.1875, std::nullopt};
    rows[1] = {Date{2026, 12, 2}, 900.0, 12.0, std::nullopt, 0.2, std::nullopt};
    rows[2] = {Date{2026, 12, 7}, std::nullopt, 11.0, std::nullopt, std::nullopt, std::nullopt};
    EXPECT_EQ(IvChartDescription(name, rows),
              "Volatiliteit (IV, % per jaar) van AEX P2703_00880.00, 02-12-2026 tot 04-12-2026; "
              "laatste dag 04-12-2026: IV put 18,75 %; AEX 905,50");
    rows.resize(0);
    EXPECT_EQ(
        IvChartDescription(name, rows),
        "Volatiliteit (IV, % per jaar) van AEX P2703_00880.00: Geen volatiliteit te berekenen");
}

}  // namespace
}  // namespace rendaal
