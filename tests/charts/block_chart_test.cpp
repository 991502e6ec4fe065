#include "charts/block_chart.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "chart_test_support.h"
#include "charts/chart_request.h"
#include "core/text.h"

namespace rendaal {
namespace {

using namespace test;
using namespace chart_colors;

const std::string kStrangle = "Strangle_AEX_1303_00460.00_00500.00.csv";
const Date kToday{2026, 12, 14};

struct IndexAxis {
    std::map<int, int> tickLength;  // x -> length
    std::vector<int> grid;
    std::vector<std::pair<int, std::string>> labels;  // x, text
};

IndexAxis RunIndexAxis(const std::string& name, int width) {
    const PlotArea area = PlotAreaFor(width, 474);
    const IndexWindow window = IndexWindowFor(ParseChartFileName(name), {}, area);
    RecordingCanvas canvas;
    DrawIndexAxis(canvas, area, window);
    IndexAxis r;
    for (const auto& l : canvas.Of(Op::LineTo)) {
        if (l.state.pen == kGrid) {
            EXPECT_EQ(l.y2, 50);
            r.grid.push_back(l.x2);
        } else if (l.y1 == 424) {
            EXPECT_EQ(l.x1, l.x2);
            EXPECT_EQ(r.tickLength.count(l.x1), 0u) << l.x1;
            r.tickLength[l.x1] = 424 - l.y2;
        }
    }
    for (const auto& t : canvas.Of(Op::TextOut)) {
        if (t.y1 == 429) {
            r.labels.emplace_back(t.x1 + 15, t.text);
        }
    }
    EXPECT_EQ(canvas.TextsEqual("AEX").at(0).x1, 55);
    EXPECT_EQ(canvas.TextsEqual("AEX").at(0).y1, 444);
    EXPECT_EQ(canvas.Of(Op::FloodFill).at(0).x1, 115);  // arrow head at left + 40 + 25
    return r;
}

TEST(IndexAxis, Strangle460To500On660Pixels) {
    const PlotArea area = PlotAreaFor(660, 474);
    const IndexWindow w = IndexWindowFor(ParseChartFileName(kStrangle), {}, area);
    EXPECT_EQ(w.lowEdge, 440);
    EXPECT_EQ(w.highEdge, 520);
    EXPECT_DOUBLE_EQ(w.scale, 7.0);
    EXPECT_DOUBLE_EQ(w.X(478.5), 319.5);
    EXPECT_DOUBLE_EQ(w.X(479.5), 326.5);

    const IndexAxis r = RunIndexAxis(kStrangle, 660);
    ASSERT_EQ(r.tickLength.size(), 81u);
    for (int v = 440; v <= 520; ++v) {
        const int x = 50 + 7 * (v - 440);
        EXPECT_EQ(r.tickLength.at(x), v % 10 == 0 ? 10 : v % 5 == 0 ? 6 : 3) << v;
    }
    EXPECT_EQ(r.grid, std::vector<int>({120, 190, 260, 330, 400, 470, 540}));
    ASSERT_EQ(r.labels.size(), 9u);
    EXPECT_EQ(r.labels.front(), (std::pair<int, std::string>{50, "440"}));
    EXPECT_EQ(r.labels.back(), (std::pair<int, std::string>{610, "520"}));
}

TEST(IndexAxis, MajorsByWindowWidth) {
    struct Case {
        const char* name;
        std::vector<std::string> labels;
    } cases[] = {
        {"Straddle_AEX_1303_00330.00_00330.00.csv",
         {"290", "300", "310", "320", "330", "340", "350", "360", "370"}},
        {"Strangle_AEX_1303_00400.00_00500.00.csv", {"400", "450", "500"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const IndexAxis r = RunIndexAxis(c.name, 660);
        std::vector<std::string> labels;
        for (const auto& l : r.labels) {
            labels.push_back(l.second);
        }
        EXPECT_EQ(labels, c.labels);
    }
    // Strangle 400/500: 380 .. 520 over 560 pixels, 4 pixels a point; 410 is a 6-pixel tick.
    const IndexAxis wide = RunIndexAxis("Strangle_AEX_1303_00400.00_00500.00.csv", 660);
    EXPECT_EQ(wide.tickLength.at(50 + 4 * 30), 6);
    EXPECT_EQ(wide.tickLength.at(50 + 4 * 20), 10);
}

TEST(IndexAxis, NarrowPlotSkipsGridLinesCloserThanForty) {
    // 300 pixels: 200 for 80 points, majors 25 pixels apart.
    const IndexAxis r = RunIndexAxis(kStrangle, 300);
    EXPECT_EQ(r.grid, std::vector<int>({75, 125, 175, 225}));
    EXPECT_EQ(r.labels.size(), 9u);
}

TEST(BlockChart, SquaresByWeekdayAtTheirIndexLevel) {
    ChartBench b;
    b.Write(kStrangle, {Line("07-12-2026", "05,00", "05,00", "10,00", "478,5"),    // Monday
                        Line("11-12-2026", "05,00", "05,00", "10,00", "479,5"),    // Friday
                        Line("12-12-2026", "05,00", "05,00", "10,00", "480,0")});  // Saturday
    ChartPass pass = b.Pass(kStrangle, 660, 474, kToday);
    pass.colors.highlight = Rgb(1, 2, 3);
    DrawBlockChart(pass, b.canvas, b.state, b.outputs);
    const auto rects = b.canvas.Of(Op::Rectangle);
    ASSERT_EQ(rects.size(), 1u + 3 + 1 + 5);
    // T = 20: y = 424 - 18.7 * 10 = 237.
    EXPECT_EQ(std::vector<int>({rects[1].x1, rects[1].y1, rects[1].x2, rects[1].y2}),
              std::vector<int>({315, 232, 326, 243}));
    EXPECT_EQ(rects[1].state.brush, Rgb(255, 0, 0));
    EXPECT_EQ(rects[2].x1, 321);
    EXPECT_EQ(rects[2].state.brush, Rgb(1, 2, 3));
    EXPECT_EQ(rects[3].x1, 325);
    EXPECT_EQ(rects[3].state.brush, kWhite);  // the weekend keeps the brush
    // Legend: Monday to Friday in a white box.
    EXPECT_EQ(rects[4].state.brush, kWhite);
    const Color legend[] = {Rgb(255, 0, 0), Rgb(255, 170, 255), Rgb(255, 255, 0), Rgb(0, 255, 0),
                            Rgb(1, 2, 3)};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rects[5 + i].state.brush, legend[i]);
        EXPECT_EQ(rects[5 + i].x1, rects[4].x1 + 3);
        EXPECT_EQ(rects[5 + i].y1, rects[4].y1 + 6 + 20 * i);
        EXPECT_EQ(rects[5 + i].x2 - rects[5 + i].x1, 10);
    }
    EXPECT_EQ(b.canvas.TextsEqual("Vr").at(0).x1, rects[9].x2 + 5);
    EXPECT_EQ(b.canvas.TextsEqual("Vr").at(0).y1, rects[9].y1 - 3);
    // AEX mark at the last plotted level, 480: x 330.
    const auto red = LinesWithPen(b.canvas, kRed);
    ASSERT_EQ(red.size(), 1u);
    EXPECT_EQ(std::vector<int>({red[0].x1, red[0].y1, red[0].x2, red[0].y2}),
              std::vector<int>({330, 424, 330, 404}));
    const auto mark = b.canvas.TextsEqual("AEX");
    EXPECT_EQ(mark.back().x1, 320);
    EXPECT_EQ(mark.back().y1, 449);
    EXPECT_EQ(mark.back().state.fontColor, kRed);
    EXPECT_EQ(mark.back().state.brush, SystemColors{}.buttonFace);
    EXPECT_DOUBLE_EQ(b.state.lastHistoryIndexValue, 480.0);
    ASSERT_TRUE(b.outputs.result.has_value());
    for (const auto& label : *b.outputs.result) {
        EXPECT_EQ(label.caption, "");
    }
    EXPECT_TRUE(b.outputs.hintsOn);
}

TEST(BlockChart, SquaresAndJoinsOutsideTheWindowAreCutAtThePlotArea) {
    ChartBench b;
    // Window 440 .. 520 on x 50 .. 610.
    b.Write(kStrangle, {Line("07-12-2026", "05,00", "05,00", "10,00", "478,5"),  // x 320
                        Line("08-12-2026", "05,00", "05,00", "10,00", "430"),    // x -20
                        Line("09-12-2026", "05,00", "05,00", "10,00", "521"),    // x 617
                        Line("10-12-2026", "05,00", "05,00", "10,00", "520,5"),  // x 614
                        Line("11-12-2026", "05,00", "05,00", "-0,20", "480")});  // y 428
    DrawBlockChart(b.Pass(kStrangle, 660, 474, kToday), b.canvas, b.state, b.outputs);
    std::vector<std::vector<int>> boxes;
    bool squares = false;
    for (const Call& c : b.canvas.calls()) {
        if (c.op == Op::LineTo && c.state.pen == kRed) {
            break;  // the AEX mark: the squares are done
        }
        if (c.op == Op::Rectangle) {
            boxes.push_back({c.x1, c.y1, c.x2, c.y2});
            squares = boxes.size() > 1;  // after the frame
        } else if (c.op == Op::LineTo && squares) {
            EXPECT_TRUE(c.x1 >= 50 && c.x1 <= 610 && c.x2 >= 50 && c.x2 <= 610) << c.x1 << c.x2;
            EXPECT_TRUE(c.y1 >= 50 && c.y1 <= 424 && c.y2 >= 50 && c.y2 <= 424) << c.y1 << c.y2;
        }
    }
    // The frame, then the squares: the two wholly outside are left out, the others cut.
    const std::vector<std::vector<int>> expected = {
        {50, 50, 611, 425}, {315, 232, 326, 243}, {609, 232, 611, 243}, {325, 423, 336, 425}};
    EXPECT_EQ(boxes, expected);
}

std::vector<Call> DashedLines(const RecordingCanvas& canvas) {
    std::vector<Call> out;
    for (const auto& c : canvas.Of(Op::LineTo)) {
        if (c.state.penStyle == PenStyle::Dash && !IsKeySample(c)) {
            EXPECT_EQ(c.state.pen, kBlack);
            out.push_back(c);
        }
    }
    return out;
}

struct ExpiryCase {
    const char* name;
    const char* aex;
    std::vector<std::vector<int>> lines;  // x1, y1, x2, y2
    const char* title;
};

TEST(BlockChart, ExpiryValueLines) {
    const ExpiryCase cases[] = {
        {"Strangle_AEX_1303_00460.00_00500.00.csv",
         "478,5",
         {{190, 424, 50, 87}, {470, 424, 610, 87}},
         "AEX P1303_00460.00  +  AEX C1303_00500.00"},
        {"Strangle_AEX_1303_00500.00_00460.00.csv",
         "478,5",
         {{470, 424, 50, 87}, {190, 424, 610, 87}},
         "AEX P1303_00500.00  +  AEX C1303_00460.00"},
        // A Single is completed about the last index level, 480: window 440 .. 520 again.
        {"Single_AEX_1303_00460.00_00Geen.csv", "480", {{190, 424, 50, 87}}, "AEX P1303_00460.00"},
        {"Single_AEX_1303_00Geen_00500.00.csv", "480", {{470, 424, 610, 87}}, "AEX C1303_00500.00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ChartBench b;
        b.Write(c.name, {Line("07-12-2026", "05,00", "05,00", "10,00", c.aex)});
        DrawBlockChart(b.Pass(c.name, 660, 474, kToday), b.canvas, b.state, b.outputs);
        std::vector<std::vector<int>> lines;
        for (const auto& l : DashedLines(b.canvas)) {
            lines.push_back({l.x1, l.y1, l.x2, l.y2});
        }
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(b.canvas.TextsEqual(c.title).size(), 1u);
        EXPECT_EQ(b.canvas.TextsEqual("440").size(), 1u);
        EXPECT_EQ(b.canvas.TextsEqual("520").size(), 1u);
    }
}

// The legend keeps clear of the squares, their joins, the AEX mark and the expiry value lines,
// which stay on the plot however high they rise.
TEST(BlockChart, LegendHidesNothingAndDashedLinesStayOnThePlot) {
    struct Case {
        const char* what;
        std::string name;
        bool separate;
        std::vector<std::string> lines;
    };
    std::vector<std::string> walk;  // a month of days round the put's strike
    for (int i = 0; i < 30; ++i) {
        walk.push_back(Line(FormatDmy(FromDayNumber(DayNumber(2026, 11, 2) + i)), "05,00", "03,00",
                            FormatNumber(8 + (i % 7) * 0.5, 5, 2, ','),
                            FormatNumber(445 + i * 2.5, 5, 1, ',')));
    }
    const Case cases[] = {
        {"put line through the old legend", kStrangle, false,
         std::vector<std::string>{Line("07-12-2026", "05,00", "05,00", "10,00", "478,5")}},
        {"a month of squares, apart", kStrangle, true, walk},
        // Margin 40 on a top of 5: the lines would rise far above the plot.
        {"straddle, low sums", "Straddle_AEX_1303_00480.00_00480.00.csv", false,
         std::vector<std::string>{Line("07-12-2026", "01,00", "01,00", "02,00", "470,0"),
                                  Line("08-12-2026", "01,00", "01,00", "02,50", "490,0")}},
        {"single", "Single_AEX_1303_00460.00_00Geen.csv", true, walk},
    };
    const PlotArea area = PlotAreaFor(660, 474);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ChartBench b;
        b.Write(c.name, c.lines);
        DrawChart(b.Request(c.name, true, c.separate, kToday, 660, 474), b.canvas, b.state,
                  b.outputs);
        EXPECT_EQ(TextClashes(b.canvas, area), std::vector<std::string>{});
        EXPECT_EQ(b.canvas.TextsEqual("Wo").size(), 1u);
        const auto dashed = DashedLines(b.canvas);
        EXPECT_FALSE(dashed.empty());
        for (const auto& l : dashed) {
            for (const auto& [x, y] : {std::pair{l.x1, l.y1}, std::pair{l.x2, l.y2}}) {
                EXPECT_TRUE(x >= area.left && x <= area.right && y >= area.top && y <= area.bottom)
                    << x << "," << y;
            }
        }
    }
}

// Squares are summed from their corners; every covered pixel under a box and its pixel of air
// must still count, at the plot's edges too.
TEST(PlotContents, HitsCountEveryCoveredPixelOfSquaresCrossingTheEdges) {
    const PlotArea area{10, 20, 70, 60};
    std::mt19937 random(5);
    const auto any = [&](int from, int to) {
        return std::uniform_int_distribution(from, to)(random);
    };
    PlotContents contents;
    std::vector<bool> covered(100 * 100);
    for (int i = 0; i < 40; ++i) {
        const Box s{any(0, 80), any(10, 70), any(0, 80), any(10, 70)};
        contents.AddBox({s.x1, s.y1, s.x1 + s.x2 % 12, s.y1 + s.y2 % 12});
        for (int y = s.y1; y < s.y1 + s.y2 % 12; ++y) {
            for (int x = s.x1; x < s.x1 + s.x2 % 12; ++x) {
                covered[static_cast<size_t>(y * 100 + x)] =
                    x >= 10 && x <= 70 && y >= 20 && y <= 60;
            }
        }
    }
    for (int i = 0; i < 300; ++i) {
        const Box q{any(5, 75), any(15, 65), any(0, 20), any(0, 15)};
        int64_t hits = 0;
        for (int y = q.y1 - 1; y <= q.y1 + q.y2; ++y) {
            for (int x = q.x1 - 1; x <= q.x1 + q.x2; ++x) {
                hits += covered[static_cast<size_t>(y * 100 + x)] ? 1 : 0;
            }
        }
        EXPECT_EQ(contents.Hits(area, {q.x1, q.y1, q.x1 + q.x2, q.y1 + q.y2}), hits) << i;
    }
}

TEST(BlockChart, SingleWithoutPlottedLinesCentresOnItsStrike) {
    const IndexWindow w = IndexWindowFor(ParseChartFileName("Single_AEX_1303_00Geen_00500.00.csv"),
                                         {""}, PlotAreaFor(660, 474));
    EXPECT_EQ(w.lowEdge, 480);
    EXPECT_EQ(w.highEdge, 520);
    EXPECT_GT(w.scale, 0);
}

TEST(BlockChart, NotDownloadedOnlyWithTheExactSumText) {
    ChartBench b;
    b.Write(kStrangle, {"07-12-2026 17:35:00; 0,00; 0,00; 0,00; 478,5",
                        "08-12-2026 17:35:00; 0,00; 0,00;0,00; 479,5"});
    DrawBlockChart(b.Pass(kStrangle, 660, 474, kToday), b.canvas, b.state, b.outputs);
    EXPECT_EQ(b.outputs.l21, "Laatste kosrsen niet gedownload");
    const auto rects = b.canvas.Of(Op::Rectangle);
    ASSERT_EQ(rects.size(), 1u + 1 + 1 + 5);
    EXPECT_EQ(rects[1].x1, 321);  // 479.5 at x 326
    EXPECT_EQ(rects[1].y1, 419);  // value 0 at the bottom
    EXPECT_EQ(b.state.lastRowTexts.som, "0,00");
}

TEST(BlockChart, FileWithoutDataLinesDrawsFrameAxesAndLegend) {
    ChartBench b;
    b.Write(kStrangle, {});
    DrawChart(b.Request(kStrangle, true, true, kToday, 660, 474), b.canvas, b.state, b.outputs);
    const auto rects = b.canvas.Of(Op::Rectangle);
    EXPECT_EQ(rects.size(), 1u + 1 + 5);  // frame, one legend in its box
    EXPECT_EQ(b.canvas.TextsEqual("440").size(), 1u);
    EXPECT_EQ(b.canvas.TextsEqual("Strangle, startdatum: , expitatiedatum: 15-03-2013").size(), 3u);
    // The AEX mark stands at index level 0, far left of the window.
    const auto red = LinesWithPen(b.canvas, kRed);
    ASSERT_EQ(red.size(), 3u);
    EXPECT_EQ(red[0].x1, 50 - 440 * 7);
    EXPECT_FALSE(b.outputs.l21.has_value());
}

TEST(BlockChart, AbsurdValuesStayBounded) {
    ChartBench b;
    const std::string single = "Single_AEX_1303_00Geen_00500.00.csv";
    const std::string wide = "Strangle_AEX_1303_00000.00_99999999999999.00.csv";
    for (const auto& name : {single, wide, kStrangle}) {
        b.Write(name, {Line("07-12-2026", "1", "1", "10,00", "999999999999999"),
                       Line("08-12-2026", "1", "1", "99999999999999999999", "-99999999999999"),
                       Line("09-12-2026", "1", "1", "10,00", "")});
    }
    for (const auto& name : {single, wide, kStrangle}) {
        SCOPED_TRACE(name);
        RecordingCanvas canvas;
        DrawChart(b.Request(name, true, true, kToday), canvas, b.state, b.outputs);
        EXPECT_TRUE(AllCoordinatesBounded(canvas));
        EXPECT_LT(canvas.calls().size(), 200000u);
    }
}

TEST(WeekdayColor, FridayIsTheHighlight) {
    SystemColors colors;
    colors.highlight = Rgb(9, 9, 9);
    EXPECT_EQ(WeekdayColor(6, colors), Rgb(9, 9, 9));
    EXPECT_EQ(WeekdayColor(3, colors), Rgb(255, 170, 255));
    EXPECT_FALSE(WeekdayColor(1, colors).has_value());
    EXPECT_FALSE(WeekdayColor(7, colors).has_value());
}

}  // namespace
}  // namespace rendaal
