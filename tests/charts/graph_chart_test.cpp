#include "charts/graph_chart.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "chart_test_support.h"
#include "charts/chart_request.h"
#include "core/text.h"

namespace rendaal {
namespace {

using namespace test;
using namespace chart_colors;

const PlotArea kArea = PlotAreaFor(658, 474);

std::string Dmy(int64_t day) {
    return FormatDmy(FromDayNumber(day));
}

TEST(GraphChart, PlotAreaAndBackground) {
    EXPECT_EQ(kArea.left, 50);
    EXPECT_EQ(kArea.top, 50);
    EXPECT_EQ(kArea.right, 608);
    EXPECT_EQ(kArea.bottom, 424);
    ChartBench b;
    b.Write("Strangle_AEX_2612_00900.00_00950.00.csv", {});
    DrawGraphChart(b.Pass("Strangle_AEX_2612_00900.00_00950.00.csv", 658, 474, {2026, 12, 7}),
                   b.canvas, b.state, b.outputs);
    const auto fills = b.canvas.Of(Op::FillRect);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(std::vector<int>({fills[0].x1, fills[0].y1, fills[0].x2, fills[0].y2}),
              std::vector<int>({0, 0, 658, 474}));
    EXPECT_EQ(fills[0].state.brush, kBackground);
    const auto rects = b.canvas.Of(Op::Rectangle);
    ASSERT_EQ(rects.size(), 2u);  // the plot, the box of the profit line
    EXPECT_EQ(std::vector<int>({rects[0].x1, rects[0].y1, rects[0].x2, rects[0].y2}),
              std::vector<int>({50, 50, 609, 425}));
    EXPECT_EQ(rects[0].state.brush, kWhite);
    EXPECT_EQ(b.canvas.state().fontName, "Verdana");
}

struct AxisCase {
    ValueScale scale;
    std::vector<int> offsets;
    std::vector<std::string> labels;
};

TEST(ValueAxis, OffsetsLabelsAndGridLines) {
    const AxisCase cases[] = {
        {{20, 4}, {0, 93, 187, 281, 374}, {" 0", " 5", "10", "15", "20"}},
        {{10, 5}, {0, 75, 150, 224, 299, 374}, {" 0", " 2", " 4", " 6", " 8", "10"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scale.top);
        RecordingCanvas canvas;
        canvas.SetPenColor(kBlack);
        DrawValueAxis(canvas, kArea, c.scale);
        std::vector<int> tickOffsets, gridOffsets;
        for (const auto& l : canvas.Of(Op::LineTo)) {
            if (l.x1 == 50 && l.x2 == 60 && l.y1 == l.y2 && l.state.pen == kBlack) {
                tickOffsets.push_back(424 - l.y1);
            }
            if (l.x1 == 60 && l.x2 == 608 && l.y1 == l.y2 && l.state.pen == kGrid) {
                gridOffsets.push_back(424 - l.y1);
            }
        }
        EXPECT_EQ(tickOffsets, c.offsets);
        EXPECT_EQ(gridOffsets, std::vector<int>(c.offsets.begin() + 1, c.offsets.end() - 1));
        const auto texts = canvas.Of(Op::TextOut);
        ASSERT_EQ(texts.size(), c.labels.size());
        for (size_t i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(texts[i].text, c.labels[i]);
            EXPECT_EQ(texts[i].x1, 28);
            EXPECT_EQ(texts[i].y1, 424 - c.offsets[i] - 10);
        }
    }
}

struct Mark {
    int x;
    int length;
    bool operator==(const Mark&) const = default;
};

struct TimeAxisResult {
    std::vector<Mark> ticks;
    std::vector<int> grid;
    std::vector<std::string> labels;
    std::vector<std::string> months;
};

TimeAxisResult RunTimeAxis(const TimeSpan& span) {
    RecordingCanvas canvas;
    canvas.SetPenColor(kBlack);
    DrawTimeAxis(canvas, kArea, span);
    TimeAxisResult r;
    for (const auto& l : canvas.Of(Op::LineTo)) {
        if (l.state.pen == kBlack) {
            EXPECT_EQ(l.y1, 424);
            EXPECT_EQ(l.x1, l.x2);
            r.ticks.push_back({l.x2, 424 - l.y2});
        } else {
            EXPECT_EQ(l.state.pen, kGrid);
            EXPECT_EQ(l.y2, 50);
            r.grid.push_back(l.x2);
        }
    }
    for (const auto& t : canvas.Of(Op::TextOut)) {
        (t.y1 == 429 ? r.labels : r.months).push_back(t.text);
        EXPECT_TRUE(t.y1 == 429 || t.y1 == 446);
    }
    return r;
}

TEST(TimeAxis, SixtyTwoDaysAtNinePixels) {
    const int64_t first = DayNumber(2026, 10, 1);
    const std::vector<std::string> lines = {Line("01-10-2026", "1", "1", "02,00", "900")};
    const TimeSpan span = TimeSpanFor(lines, {2026, 12, 2}, kArea);
    EXPECT_EQ(span.firstDay, first);
    EXPECT_EQ(span.lastDay, first + 62);
    EXPECT_DOUBLE_EQ(span.pixelsPerDay, 9.0);
    const TimeAxisResult r = RunTimeAxis(span);
    const std::vector<Mark> ticks = {{50, 17},  {131, 13}, {221, 13}, {311, 13}, {329, 17},
                                     {410, 13}, {500, 13}, {590, 13}, {599, 17}};
    EXPECT_EQ(r.ticks, ticks);
    EXPECT_EQ(r.grid, std::vector<int>({50, 329, 599}));
    // 30 November lies nine pixels before 1 December: "30" and "1" would read "301".
    EXPECT_EQ(r.labels, std::vector<std::string>({"1", "10", "20", "30", "1", "10", "20", "1"}));
    EXPECT_EQ(r.months, std::vector<std::string>({"okt", "nov", "dec"}));
}

TEST(TimeAxis, TwentyPixelsMarksFivesAndGridsTens) {
    const int64_t first = DayNumber(2026, 11, 1);
    const TimeAxisResult r = RunTimeAxis({first, first + 29, 20.0});
    std::vector<Mark> ticks;
    for (int day : {1, 5, 10, 15, 20, 25, 30}) {
        ticks.push_back({50 + 20 * (day - 1), day == 1 ? 17 : day % 10 == 0 ? 13 : 9});
    }
    EXPECT_EQ(r.ticks, ticks);
    EXPECT_EQ(r.grid, std::vector<int>({50, 230, 430, 630}));
    EXPECT_EQ(r.labels, std::vector<std::string>({"1", "5", "10", "15", "20", "25", "30"}));
    EXPECT_EQ(r.months, std::vector<std::string>({"nov"}));
}

TEST(TimeAxis, FortyPixelsMarksEveryDay) {
    const int64_t first = DayNumber(2026, 11, 1);
    const TimeAxisResult r = RunTimeAxis({first, first + 11, 40.0});
    ASSERT_EQ(r.ticks.size(), 12u);
    EXPECT_EQ(r.ticks[0], (Mark{50, 17}));
    EXPECT_EQ(r.ticks[1], (Mark{90, 5}));
    EXPECT_EQ(r.ticks[4], (Mark{210, 9}));
    EXPECT_EQ(r.ticks[9], (Mark{410, 13}));
    EXPECT_EQ(r.grid, std::vector<int>({50, 210, 410}));
    EXPECT_EQ(r.labels.size(), 12u);
}

TEST(TimeAxis, LabelsThatWouldTouchAreLeftOut) {
    struct Case {
        const char* what;
        std::vector<AxisLabel> labels;
        std::vector<std::string> kept;
    } cases[] = {
        {"day 1 wins over the label before it",
         {{583, 14, false, "30"}, {596, 7, true, "1"}},
         {"1"}},
        {"day 1 wins over the label after it", {{0, 7, true, "1"}, {8, 7, false, "2"}}, {"1"}},
        {"two pixels apart both stay", {{580, 14, false, "30"}, {596, 7, true, "1"}}, {"30", "1"}},
        {"of two month starts the first stays",
         {{0, 7, true, "1"}, {8, 7, true, "1"}, {16, 7, true, "1"}},
         {"1", "1"}},
        {"a dropped label frees no room for its neighbour",
         {{0, 14, false, "10"}, {15, 14, false, "20"}, {31, 14, false, "30"}},
         {"10", "30"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> kept;
        for (const AxisLabel& l : SpacedLabels(c.labels)) {
            kept.push_back(l.text);
        }
        EXPECT_EQ(kept, c.kept) << c.what;
    }
}

TEST(TimeSpan, StartsTodayShowsOneDay) {
    const std::vector<std::string> lines = {Line("07-12-2026", "1", "1", "02,00", "900")};
    const TimeSpan span = TimeSpanFor(lines, {2026, 12, 7}, kArea);
    EXPECT_EQ(span.lastDay - span.firstDay, 1);
    EXPECT_DOUBLE_EQ(span.pixelsPerDay, 558.0);
}

TEST(TimeSpan, DateAfterTodayNoDateAndAncientDate) {
    const Date today{2026, 12, 7};
    const int64_t t = DayNumber(today);
    // A first date after today: one day from that date.
    TimeSpan s = TimeSpanFor({Line("01-01-2030", "1", "1", "1", "1")}, today, kArea);
    EXPECT_EQ(s.firstDay, DayNumber(2030, 1, 1));
    EXPECT_EQ(s.lastDay, s.firstDay + 1);
    // No line with a real date: today and tomorrow.
    s = TimeSpanFor({"", "garbage", Line("99-99-9999", "1", "1", "1", "1")}, today, kArea);
    EXPECT_EQ(s.firstDay, t);
    EXPECT_EQ(s.lastDay, t + 1);
    // The first real date counts when line 0 has none.
    s = TimeSpanFor({"garbage", Line("01-12-2026", "1", "1", "1", "1")}, today, kArea);
    EXPECT_EQ(s.firstDay, t - 6);
    // At most a hundred years.
    s = TimeSpanFor({Line("01-01-0001", "1", "1", "1", "1")}, today, kArea);
    EXPECT_EQ(s.lastDay - s.firstDay, kMaxChartDays);
    EXPECT_EQ(s.lastDay, t);
}

// A history whose first line lies `expiryOffset` days before the expiry, drawn `span` days
// after its first day; the guide lines' end points come back.
std::vector<Call> GuideLines(int64_t expiryOffset, int64_t span, const std::string& som0) {
    ChartBench b;
    const std::string name = "Strangle_AEX_1303_00460.00_00500.00.csv";  // expiry 15-03-2013
    const int64_t first = DayNumber(2013, 3, 15) - expiryOffset;
    b.Write(name, {Line(Dmy(first), "05,00", "05,00", som0, "470,00")});
    const Date today = FromDayNumber(first + span);
    DrawGraphChart(b.Pass(name, 658, 474, today), b.canvas, b.state, b.outputs);
    std::vector<Call> out;
    for (const auto& c : b.canvas.Of(Op::LineTo)) {
        if (c.state.penStyle == PenStyle::Dash && !IsKeySample(c)) {
            EXPECT_EQ(c.state.pen, SystemColors{}.activeCaption);
            out.push_back(c);
        }
    }
    return out;
}

TEST(GuideLines, FallFromTheFirstSumTowardsExpiry) {
    // p = 1, expiry X = 650, T = 20, H0 = 187, E = Nearest(92 * 187 / 650) = 26.
    const auto lines = GuideLines(600, 558, "10,00");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(std::vector<int>({lines[0].x1, lines[0].y1, lines[0].x2, lines[0].y2}),
              std::vector<int>({50, 237, 608, 398}));
    EXPECT_EQ(std::vector<int>({lines[1].x1, lines[1].y1, lines[1].x2, lines[1].y2}),
              std::vector<int>({50, 331, 608, 411}));
}

TEST(GuideLines, ExpiryXOfZeroEndsAtTheBottom) {
    const auto lines = GuideLines(-50, 558, "10,00");  // expiry 50 days before the start
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].y1, 237);
    EXPECT_EQ(lines[0].y2, 424);
    EXPECT_EQ(lines[1].y2, 424);
}

TEST(GuideLines, NoExpiryDateNoGuideLines) {
    ChartBench b;
    const std::string name = "Strangle_AX5_2602_00460.00_00500.00.csv";  // no fifth Friday
    b.Write(name, {Line("01-12-2025", "05,00", "05,00", "10,00", "470,00")});
    DrawGraphChart(b.Pass(name, 658, 474, {2026, 1, 5}), b.canvas, b.state, b.outputs);
    for (const auto& c : b.canvas.Of(Op::LineTo)) {
        EXPECT_EQ(c.state.penStyle, PenStyle::Solid);
    }
    EXPECT_EQ(b.canvas.TextsEqual("Strangle, startdatum: 01-12-2025, expitatiedatum: ").size(), 1u);
}

TEST(GraphChart, ProfitTextAndResultReadout) {
    ChartBench b;
    const std::string name = "Strangle_AEX_2612_00900.00_00950.00.csv";
    b.Write(name, {Line("01-12-2026", "12,00", "08,75", "20,75", "912,00"),
                   Line("02-12-2026", "07,00", "05,80", "12,80", "915,00"),
                   Line("03-12-2026", "07,00", "05,35", "12,35", "916,50")});
    DrawGraphChart(b.Pass(name, 658, 474, {2026, 12, 7}), b.canvas, b.state, b.outputs);
    const auto profit = b.canvas.TextsEqual("Winst Som: €840");
    ASSERT_EQ(profit.size(), 1u);
    EXPECT_EQ(profit[0].state.fontColor, kBlue);
    EXPECT_EQ(profit[0].state.brush, kWhite);
    ASSERT_TRUE(b.outputs.result.has_value());
    const auto& r = *b.outputs.result;
    EXPECT_EQ(r[0].caption, "Resultaat: ");
    EXPECT_EQ(r[1].caption, "€840,");
    EXPECT_EQ(r[1].fontColor, kGreen);
    EXPECT_EQ(r[2].caption, "+€45");
    EXPECT_EQ(r[2].fontColor, kGreen);
    EXPECT_EQ(r[3].caption, "(+5,36%)");
    EXPECT_EQ(r[3].fontColor, kGreen);
    EXPECT_FALSE(b.outputs.l21.has_value());
    EXPECT_TRUE(b.outputs.hintsOn);
    EXPECT_EQ(b.state.lastRowTexts.som, " 12,35");
    EXPECT_DOUBLE_EQ(b.state.lastHistoryIndexValue, 916.5);
    // The series name at the first point, the line through the three days.
    const auto name0 = b.canvas.TextsEqual("Som");
    ASSERT_EQ(name0.size(), 1u);
    EXPECT_EQ(name0[0].x1, 70);  // where it always stood, when that is clear
    EXPECT_EQ(name0[0].y1, 249);
    const auto blue = LinesWithPen(b.canvas, kBlue);
    ASSERT_EQ(blue.size(), 3u);
    // p = 558 / 6 = 93; y = Nearest(424 - 374 / 50 * v) with T = 50.
    EXPECT_EQ(blue[0].x2, 50);
    EXPECT_EQ(blue[1].x2, 143);
    EXPECT_EQ(blue[2].x2, 236);
    EXPECT_EQ(blue[0].y2, 269);  // 424 - 155.21
    EXPECT_EQ(blue[2].y2, 332);  // 424 - 92.378
}

// Series names, profit lines and the lines of the plot, as real histories bring them together.
TEST(GraphChart, TextsHideNoLineAndNoOtherText) {
    struct Case {
        const char* what;
        std::string name;
        bool separate;
        std::vector<std::string> lines;
        std::vector<std::string> texts;  // on the plot, in any order
    };
    std::vector<std::string> falling;  // a strangle losing value over two months
    std::vector<std::string> lowCall;  // the call's line starts where the profit lines stood
    for (int i = 0; i < 60; ++i) {
        const std::string date = Dmy(DayNumber(2026, 10, 8) + i);
        falling.push_back(Line(date, FormatNumber(12 - i * 0.1, 5, 2, ','),
                               FormatNumber(9 - i * 0.05, 5, 2, ','),
                               FormatNumber(21 - i * 0.15, 5, 2, ','), "912,00"));
        lowCall.push_back(Line(date, FormatNumber(30 - i * 0.2, 5, 2, ','),
                               FormatNumber(2 + (i % 3) * 0.2, 5, 2, ','),
                               FormatNumber(32 - i * 0.2 + (i % 3) * 0.2, 5, 2, ','), "912,00"));
    }
    const std::vector<std::string> singlePut = {
        Line("01-12-2026", "30,00", "00,00", "30,00", "912,00"),
        Line("04-12-2026", "12,00", "00,00", "12,00", "915,00"),
        Line("07-12-2026", "08,73", "00,00", "08,73", "916,50")};
    const std::string strangle = "Strangle_AEX_2612_00900.00_00950.00.csv";
    const Case cases[] = {
        {"strangle, sum only", strangle, false, falling, {"Som", "Winst Som: €885"}},
        {"strangle, apart",
         strangle,
         true,
         falling,
         {"Som", "Put", "Call", "Winst Som: €885", "Winst Put: €590", "Winst Call: €295"}},
        {"low call under the profit lines",
         strangle,
         true,
         lowCall,
         {"Som", "Put", "Call", "Winst Som: €1.140", "Winst Put: €1.180", "Winst Call: €-40"}},
        {"single put: no call, put on the sum",
         "Single_AEX_2612_00900.00_00Geen.csv",
         true,
         singlePut,
         {"Som", "Put", "Winst Som: €2.127", "Winst Put: €2.127"}},
        {"single call",
         "Single_AEX_2612_00Geen_00950.00.csv",
         true,
         std::vector<std::string>{Line("01-12-2026", "00,00", "05,00", "05,00", "912,00"),
                                  Line("07-12-2026", "00,00", "04,00", "04,00", "916,50")},
         {"Som", "Call", "Winst Som: €100", "Winst Call: €100"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ChartBench b;
        b.Write(c.name, c.lines);
        DrawChart(b.Request(c.name, false, c.separate, {2026, 12, 7}), b.canvas, b.state,
                  b.outputs);
        EXPECT_EQ(TextClashes(b.canvas, kArea), std::vector<std::string>{});
        std::vector<std::string> texts;
        for (const auto& t : b.canvas.Of(Op::TextOut)) {
            if (t.x1 > kArea.left && t.x1 < kArea.right && t.y1 > kArea.top &&
                t.y1 < kArea.bottom) {
                texts.push_back(t.text);
            }
        }
        std::sort(texts.begin(), texts.end());
        std::vector<std::string> expected = c.texts;
        // The key of the guide lines.
        expected.insert(expected.end(), {"Lineair naar 0 op expiratie", "De helft daarvan"});
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(texts, expected);
    }
}

TEST(ResultReadout, Cases) {
    struct Case {
        double first, second, last;
        const char* l2;
        Color c2;
        const char* l3;
        const char* l4;
        Color c3;
    } cases[] = {
        {20.75, 12.80, 12.35, "€840,", kGreen, "+€45", "(+5,36%)", kGreen},
        {20.75, 0, 20.75, "€ 0,", kBlue, "€-2.075", "(***)%", kRed},  // a single line
        {10, 10, 12, "€-200,", kRed, "€-200", "(100,00%)", kRed},
        {10, 10, 10, "€ 0,", kBlue, "€ 0", "(***)%", kBlue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.l2);
        const auto r = ResultReadout(c.first, c.second, c.last);
        EXPECT_EQ(r[1].caption, c.l2);
        EXPECT_EQ(r[1].fontColor, c.c2);
        EXPECT_EQ(r[2].caption, c.l3);
        EXPECT_EQ(r[3].caption, c.l4);
        EXPECT_EQ(r[3].fontColor, c.c3);
    }
}

TEST(GraphChart, NotDownloadedLastLineCountsWithZero) {
    ChartBench b;
    const std::string name = "Strangle_AEX_2612_00900.00_00950.00.csv";
    b.Write(name, {Line("01-12-2026", "12,00", "08,75", "20,75", "912,00"),
                   Line("02-12-2026", "00,00", "00,00", "00,00", "915,00")});
    DrawGraphChart(b.Pass(name, 658, 474, {2026, 12, 7}), b.canvas, b.state, b.outputs);
    EXPECT_EQ(b.outputs.l21, "Laatste koesrsen niet gedownload");
    EXPECT_EQ((*b.outputs.result)[1].caption, "€2.075,");
    EXPECT_EQ(LinesWithPen(b.canvas, kBlue).size(), 1u);
    EXPECT_EQ(b.state.lastRowTexts.som, " 00,00");
}

TEST(DrawChart, SeparateViewDrawsThreeSeriesOverOneFrame) {
    ChartBench b;
    const std::string name = "Strangle_AEX_2612_00900.00_00950.00.csv";
    b.Write(name, {Line("01-12-2026", "12,00", "08,75", "20,75", "912,00"),
                   Line("03-12-2026", "07,00", "05,35", "12,35", "916,50")});
    DrawChart(b.Request(name, false, true, {2026, 12, 7}), b.canvas, b.state, b.outputs);
    EXPECT_EQ(b.canvas.Of(Op::FillRect).size(), 1u);
    // One box of profit lines, in the order of the passes.
    const int y = b.canvas.TextsEqual("Winst Som: €840").at(0).y1;
    EXPECT_EQ(b.canvas.TextsEqual("Winst Put: €500").at(0).y1, y + 18);
    EXPECT_EQ(b.canvas.TextsEqual("Winst Call: €340").at(0).y1, y + 36);
    EXPECT_EQ(b.canvas.TextsEqual("Winst Put: €500").at(0).state.fontColor, kRed);
    EXPECT_EQ(LinesWithPen(b.canvas, kBlue).size(), 2u);
    EXPECT_EQ(LinesWithPen(b.canvas, kRed).size(), 2u);
    EXPECT_EQ(LinesWithPen(b.canvas, kGreen).size(), 2u);
    EXPECT_EQ((*b.outputs.result)[1].caption, "€840,");
    EXPECT_EQ(b.state.valueScale, (ValueScale{50, 5}));

    RecordingCanvas sumOnly;
    DrawChart(b.Request(name, false, false, {2026, 12, 7}), sumOnly, b.state, b.outputs);
    EXPECT_TRUE(LinesWithPen(sumOnly, kRed).empty());
    EXPECT_TRUE(sumOnly.TextsEqual("Winst Put: €500").empty());
}

TEST(GraphChart, FileWithoutDataLinesDrawsFrameTitlesAndAxes) {
    for (bool missing : {false, true}) {
        SCOPED_TRACE(missing);
        ChartBench b;
        const std::string name = "Strangle_AEX_2612_00900.00_00950.00.csv";
        if (!missing) {
            b.Write(name, {});
        }
        DrawGraphChart(b.Pass(name, 658, 474, {2026, 12, 7}), b.canvas, b.state, b.outputs);
        EXPECT_EQ(b.canvas.Of(Op::Rectangle).size(), 2u);
        EXPECT_EQ(b.canvas.TextsEqual("AEX P2612_00900.00  +  AEX C2612_00950.00").size(), 1u);
        EXPECT_EQ(b.canvas.TextsEqual("Strangle, startdatum: , expitatiedatum: 18-12-2026").size(),
                  1u);
        EXPECT_EQ(b.canvas.TextsEqual("20").size(), 0u);
        EXPECT_EQ(b.canvas.TextsEqual(" 5").size(), 1u);   // value axis of the smallest scale
        EXPECT_EQ(b.canvas.TextsEqual("dec").size(), 0u);  // 7 and 8 December only
        EXPECT_EQ(b.canvas.TextsEqual("7").size(), 1u);
        EXPECT_TRUE(LinesWithPen(b.canvas, kBlue).empty());
        EXPECT_EQ(b.canvas.TextsEqual("Winst Som: €0").size(), 1u);
        EXPECT_FALSE(b.outputs.l21.has_value());
    }
}

TEST(GraphChart, HistoryStartingTodayPlotsAtTheLeftEdge) {
    ChartBench b;
    const std::string name = "Strangle_AEX_2612_00900.00_00950.00.csv";
    b.Write(name, {Line("07-12-2026", "12,00", "08,75", "20,75", "912,00")});
    DrawGraphChart(b.Pass(name, 658, 474, {2026, 12, 7}), b.canvas, b.state, b.outputs);
    const auto blue = LinesWithPen(b.canvas, kBlue);
    ASSERT_EQ(blue.size(), 1u);
    EXPECT_EQ(blue[0].x2, 50);
}

TEST(GraphChart, BadLinesAreSkippedAndNeverDrawAbsurdly) {
    ChartBench b;
    const std::string name = "Strangle_AEX_2612_00900.00_00950.00.csv";
    b.Write(name, {"garbage without anything", "", "06-12-2026", "06-12-2026;1;2;3;4",
                   "no-blank;1;2;3;4", Line("99-99-9999", "1", "1", "1", "1"),
                   Line("01-12-2026", "12,00", "08,75", "20,75", "912,00"),
                   Line("02-12-2026", "1", "1", "99999999999999999999999999999,00", "1"),
                   Line("03-12-2026", "-99999999999999999999", "1", "-1e308", "nan"),
                   Line("01-01-2099", "1", "1", "5,00", "1"),  // after today
                   Line("04-12-2026", "07,00", "05,35", "12,35", "916,50")});
    ChartState state;
    DrawChart(b.Request(name, false, true, {2026, 12, 7}), b.canvas, state, b.outputs);
    EXPECT_TRUE(AllCoordinatesBounded(b.canvas));
    EXPECT_EQ(state.lastRowTexts.som, " 12,35");
    EXPECT_EQ(state.valueScale, (ValueScale{5e15, 5}));
    EXPECT_LT(b.canvas.calls().size(), 2000u);
}

TEST(GraphChart, AncientFirstDateWalksAtMostAHundredYears) {
    ChartBench b;
    const std::string name = "Strangle_AEX_2612_00900.00_00950.00.csv";
    b.Write(name, {Line("01-01-0001", "1", "1", "2,00", "900"),
                   Line("01-12-2026", "1", "1", "2,00", "900")});
    DrawGraphChart(b.Pass(name, 658, 474, {2026, 12, 7}), b.canvas, b.state, b.outputs);
    EXPECT_TRUE(AllCoordinatesBounded(b.canvas));
    // Twelve hundred months of a few marks each.
    EXPECT_LT(b.canvas.calls().size(), 1200u * 20);
}

}  // namespace
}  // namespace rendaal
