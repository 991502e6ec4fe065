#include "analytics/theory_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "charts/recording_canvas.h"

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

}  // namespace
}  // namespace rendaal
